// The command-line program's export: one community's records of a
// register, listed as the desktop program lists them, written to a CSV or
// XLSX file by storage/list_export.h.
#pragma once

#include <iosfwd>
#include <string>

#include "storage/database.h"
#include "storage/list_export.h"

namespace officerecords {

struct register_export_request {
    std::string window;    // w_m_og_..., letter case ignored
    std::string database;  // the database file
    std::string commno;    // empty: the community with the lowest number
    export_format format = export_format::csv;
    std::string out;  // the file to write
    bool overwrite = false;
    connection_options options = {};
};

// Lists and exports. Returns 0 after printing "exported N records of
// WINDOW to FILE" to `out`, or 1 after printing "error: WHY" to `err`: the
// database cannot be opened, there is no such register or community, or
// the file exists (without `overwrite`) or cannot be written.
int export_register(const register_export_request& request, std::ostream& out, std::ostream& err);

}  // namespace officerecords
