// Backups of the office's database: a consistent copy of a live database,
// verified after it is written, and putting a backup back in place of the
// database when no workstation has it open.
#pragma once

#include <string>

#include "foundation/clock.h"
#include "foundation/status.h"

namespace officerecords {

struct backup_report {
    long long tables = 0;
    long long rows = 0;  // in every table together
};

// Copies the database `target` as it stands at one moment, while other
// workstations go on saving, into `out` (which must not exist), then checks
// the copy: integrity_check ok, and every table holding the rows it held at
// that moment. On any failure no file is left at `out`.
result<backup_report> backup_database(const std::string& target, const std::string& out,
                                      const clock_source& clock);

// Puts the backup `from` in place of `target`: only after the backup
// passes its checks, and only when no workstation has `target` open. The
// replaced file is kept beside it under `replaced_as` (it must not exist).
status restore_database(const std::string& target, const std::string& from,
                        const std::string& replaced_as, const clock_source& clock);

// Where a restore keeps the database it replaces: beside it, named after
// the moment, "office.db.before-restore-2026-12-09-08.30.00".
std::string replaced_database_name(const std::string& target, const clock_source& clock);

}  // namespace officerecords
