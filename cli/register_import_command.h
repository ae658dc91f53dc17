// The command-line program's import: a sheet or CSV file into one
// community's register, every row through the register's window, and what
// became of each row printed as the scripted sessions print it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "foundation/session.h"
#include "import/register_import.h"
#include "storage/database.h"

namespace officerecords {

struct register_import_request {
    import_request import;
    std::string database;
    std::string commno;  // empty: the community with the lowest number
    bool dry_run = false;
    std::string rejects;  // an XLSX for the rows that fail; empty: none
    connection_options options = {};
};

// Prints "note: …" naming the file's columns that are left out, then
// "checked N rows: P pass, F fail", each failing row as
// "row K: MESSAGE", each possible duplicate the same way, then
// "imported P records" or "nothing imported". Returns the exit status:
// 0 when records were imported, for a dry run, and when no row failed;
// 1 when nothing was imported because rows failed, and on a failure to
// read or write, which is printed as "error: WHY".
int run_import(session& s, const register_import_request& request, std::ostream& out);

// The command: opens the database and chooses the community first.
int import_register(const register_import_request& request, std::ostream& out, std::ostream& err);

// A folder of pictures into the album of the community's activity
// `orderno`: prints "added FILE" or "refused FILE: WHY" for each file, then
// "imported N photos". 0 when every file was added; 1 when the album
// refused one, or on a failure ("error: WHY" to `err`).
int import_photos(const std::string& database, const std::string& commno, std::int64_t orderno,
                  const std::string& folder, const connection_options& options, std::ostream& out,
                  std::ostream& err);

}  // namespace officerecords
