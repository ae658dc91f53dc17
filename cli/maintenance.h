// The command-line program's care of a database: a record's history, a
// backup of a live database, and the restore of a backup.
#pragma once

#include <iosfwd>
#include <string>

namespace officerecords {

// Prints the history of the record KEY (its orderno, or orgno) of the
// register WINDOW of a community, newest change first. 0, or 1 after
// "error: WHY" on `err`.
int print_history(const std::string& database, const std::string& window, const std::string& key,
                  const std::string& commno, std::ostream& out, std::ostream& err);
int backup(const std::string& database, const std::string& out_file, std::ostream& out,
           std::ostream& err);
int restore(const std::string& database, const std::string& from, std::ostream& out,
            std::ostream& err);

}  // namespace officerecords
