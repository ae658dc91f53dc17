// Opening the office's database: the two transactions `sqlca` and
// `photosqlca`, each on its own connection, and the creation of a new
// database with the schema (and, on request, the demo office's data).
#pragma once

#include <memory>
#include <string>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

struct database {
    std::unique_ptr<transaction> sqlca;
    std::unique_ptr<transaction> photosqlca;
};

// Opens an existing database. A missing file, a file that is not a
// database, or one without our tables gives a message that names it.
result<database> open_database(const std::string& target, const clock_source& clock);
// Opens one more connection to the same database (the scripted `sql`
// command runs on one of its own).
result<std::unique_ptr<transaction>> open_connection(const std::string& target,
                                                     const clock_source& clock);

// Creates a new database file; refuses to overwrite one. On failure the
// half-made file is removed.
status create_database(const std::string& target, bool demo, const clock_source& clock);

}  // namespace officerecords
