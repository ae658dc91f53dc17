// Opening the office's database: the two transactions `sqlca` and
// `photosqlca`, each on its own connection, and the creation of a new
// database with the schema (and what the caller fills it with).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

struct database {
    std::unique_ptr<transaction> sqlca;
    std::unique_ptr<transaction> photosqlca;
};

// Puts a transaction in front of the connection a database is built on;
// tests fail or stop its statements there.
using connection_wrapper = std::function<std::unique_ptr<transaction>(std::unique_ptr<transaction>)>;

struct connection_options {
    // How long a statement waits for another workstation's lock.
    int busy_timeout_ms = 5000;
    // Whether opening brings a database of an earlier format up to this
    // program's (storage/migration.h), after a backup into the backup
    // folder beside it. A backup of a database reads it as it is.
    bool upgrade = true;
    // Whether the upgrade takes its backup first (not for a copy that is
    // itself a backup being restored).
    bool backup_before_upgrade = true;
    // Tests fail or stop the upgrade's statements here.
    connection_wrapper wrap = {};
};

// Opens an existing database. A missing file, a file that is not a
// database, one without our tables or one a newer version of the program
// made gives a message that names it, and such a file is left exactly as
// it was. A database of an earlier format is brought up to this one's.
result<database> open_database(const std::string& target, const clock_source& clock,
                               const connection_options& options = {});
// Options that open a database as it is, whatever its format: to back it
// up, or to check that it is ours.
inline connection_options as_it_is() {
    connection_options o;
    o.upgrade = false;
    return o;
}

// Opens one more connection to the same database (the scripted `sql`
// command runs on one of its own); it too brings an earlier format up.
result<std::unique_ptr<transaction>> open_connection(const std::string& target,
                                                     const clock_source& clock,
                                                     const connection_options& options = {});

// What fills a new database after its schema, in the same write
// transaction (the demo office's data, demo/demo_data.h).
using database_filler = std::function<status(transaction&)>;

// Creates a new database file; refuses to overwrite one. The whole file is
// built under another name in the same folder and in one transaction, then
// renamed into place: stopped at any point, or out of disk, it leaves
// either the complete database or no file of that name.
status create_database(const std::string& target, const clock_source& clock,
                       const database_filler& fill = {}, const connection_wrapper& wrap = {});

}  // namespace officerecords
