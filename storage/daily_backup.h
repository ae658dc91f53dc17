// The desktop program's own backups: one a day, made on the first start
// of the day, into a folder beside the database, of which the last seven
// days and the first backup of each of the last four weeks are kept.
#pragma once

#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/status.h"

namespace officerecords {

// "<folder of the database>/备份".
std::string backup_folder_for(const std::string& database);

// What a backup of `database` is, by its name's ending: ".db" for a SQLite
// file (a copy of it), ".dump" for a database on a server (pg_dump's
// archive). Restoring takes either, and a server's ".db" of earlier
// versions too.
std::string backup_extension(const std::string& database);

// "<stem of the database>-YYYY-MM-DD" + backup_extension: the name of that
// day's backup ("office-2026-12-09.db", a server's "office-2026-12-09.dump").
std::string daily_backup_name(const std::string& database, date day);

struct daily_backup_outcome {
    std::string made;                  // today's new backup; empty when it was there already
    std::vector<std::string> removed;  // older backups let go
    std::string warning;               // an old backup that could not be removed
    // Why no backup was due: a clerk's login on a server sees his own
    // communities only, and the administrator backs the server up.
    std::string skipped;
};

// Makes today's backup of `database` in `folder` (created when missing)
// unless it is there, then lets go of the daily backups no longer kept.
// Only files named as daily_backup_name names them are ever removed, and
// none when today's backup failed: a server's daily ".db" of earlier
// versions stays, as it may as well be a SQLite database's of that name.
result<daily_backup_outcome> make_daily_backup(const std::string& database, const std::string& folder,
                                               const clock_source& clock);

// Of the days that have a backup, those kept: the newest seven, and the
// earliest of each of the newest four weeks (Monday to Sunday).
std::vector<date> kept_backup_days(std::vector<date> days);

}  // namespace officerecords
