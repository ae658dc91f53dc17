// Backups of the office's database: a consistent copy of a live database,
// verified after it is written, and putting a backup back in place of the
// database while other workstations stay connected.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "foundation/clock.h"
#include "foundation/status.h"

namespace officerecords {

struct backup_report {
    long long tables = 0;
    long long rows = 0;  // in every table together
};

// Called with the name of each step a backup or restore has just done;
// tests stop the process there. A backup: "copied", "verified",
// "published". A restore: "backup checked", "waiting for the lock" (once,
// when a save under way holds it), "live locked" (its write lock taken), "keep copied", "keep verified", "keep published", "copying" (once
// per part of the pages), "committed" (the database holds the backup's
// content from here on), "verified".
using step_hook = std::function<void(std::string_view step)>;

struct backup_options {
    // Whether a file at `out` is replaced (once the new backup is whole
    // and checked) instead of refused.
    bool replace = false;
    step_hook at_step;
};

// Copies the database `target` as it stands at one moment, while other
// workstations go on saving, into `out`, then checks the copy:
// integrity_check ok, and every table holding the rows it held at that
// moment. On any failure `out` is left as it was.
result<backup_report> backup_database(const std::string& target, const std::string& out,
                                      const clock_source& clock, const backup_options& options = {});

// Puts the backup `from` in place of `target`, in place: the backup, opened
// read-only and never changed, is checked first, then copied into the
// database under its write lock, after the database as it stands is kept
// under `replaced_as` (which must not exist). Other workstations stay
// connected: they see the old content or the new, never a mix, and the
// first save each begins afterwards is refused with k_restored_under_save.
// A failure before the backup's content is committed leaves the database
// as it was and no file at `replaced_as`; a failure of the check after it
// leaves the restored database and `replaced_as`.
status restore_database(const std::string& target, const std::string& from,
                        const std::string& replaced_as, const clock_source& clock,
                        const step_hook& at_step = {});

// Where a restore keeps the database it replaces: beside it, named after
// the moment, "office.db.before-restore-2026-12-09-08.30.00".
std::string replaced_database_name(const std::string& target, const clock_source& clock);

}  // namespace officerecords
