// officerecords-cli stats: one view of the office's figures for a period,
// printed as aligned text or written as CSV or a workbook.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace officerecords {

struct stats_request {
    std::string view;      // money, assets, work, activities, committee
    std::string database;  // a file or a server's URI
    std::vector<std::string> communities;  // empty: every community the login sees
    std::string from, to;  // YYYY-MM-DD
    std::string format = "text";  // text, csv, xlsx
    std::string out;  // the file; none: standard output (not for xlsx)
};

// Returns 0 after printing the view (text, CSV without --out) or
// "wrote FILE"; 2 after a Chinese message for an argument that cannot be
// used; 1 when the database cannot be opened or the figures computed.
int stats_command(const stats_request& request, std::ostream& out, std::ostream& err);

}  // namespace officerecords
