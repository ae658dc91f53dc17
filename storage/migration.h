// Bringing a database of an earlier format to this program's: the ordered
// migration steps, each taking the database one version on, and what
// opening a database does with them.
//
// A database says its version: SQLite in its header (PRAGMA user_version,
// beside the application id that marks it as this program's), the server
// in a one-row table. Opening a database of an earlier version takes a
// backup first, then runs the missing steps in order inside one write
// transaction, so that a failure or a stop at any point leaves the
// database as it was; every step is recorded in the history as the
// program's own. A database of a later version is refused untouched.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/change_log.h"
#include "foundation/clock.h"
#include "foundation/status.h"
#include "foundation/transaction.h"
#include "storage/schema.h"

namespace officerecords {

// What a step works with: who the history names for the program's own
// changes, and the notes of what the step found in the data and did about
// it (records given a key, values kept as they were stored), in the
// clerk's words, which go into the history of the step.
struct migration_work {
    change_context who;
    std::vector<std::string> notes;
};

// The item of an upgrade step's history that names the program's version
// that made it ("0.1.0 (git 1a2b3c4)").
inline constexpr const char* k_program_version_item = "程序版本";

struct migration_step {
    int version;            // the version the step brings the database to
    std::string_view what;  // what it changes, for the history
    // Runs inside the migration's write transaction.
    status (*run)(transaction& t, sql_dialect d, migration_work& work);
};

// Every step, in order: steps()[i] brings version i to version i + 1, the
// last one to k_schema_version.
const std::vector<migration_step>& migration_steps();

// The version of the database `t` is open on: SQLite's user_version, the
// server's version table, 0 for a database of ours made before either.
result<int> database_version(transaction& t, sql_dialect d);

// Writes the version (and on SQLite the application id) in t's open write
// transaction; create_database marks a new database with it.
[[nodiscard]] status write_database_version(transaction& t, sql_dialect d, int version);

struct upgrade_options {
    // Makes the backup taken before the first step; its file's name is
    // said in the history. Called under the write lock, so it copies what
    // the steps will change. Empty: no backup (a copy being restored).
    std::function<result<std::string>()> backup;
};

// Opening: refuses a database newer than the program, brings an older one
// up to date, then checks that every table and column this version has is
// there, naming the first one missing. `target` names the database in the
// messages. Another workstation upgrading the same database meanwhile is
// waited for (busy timeout), or told.
[[nodiscard]] status bring_up_to_date(transaction& t, sql_dialect d, const std::string& target,
                                      const clock_source& clock, const upgrade_options& options);

// The message for a database newer than the program.
std::string newer_database_message(int version, const std::string& target);

}  // namespace officerecords
