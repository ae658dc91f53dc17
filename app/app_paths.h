// Where the desktop program finds its files: the demo database in the
// user's data folder, the pictures and photo files the windows name with
// paths relative to the working directory ("bmp\cb_save.bmp"), and the
// help pages copied beside the program at build time.
#pragma once

#include <QString>
#include <string_view>

namespace officerecords::app {

// ${XDG_DATA_HOME:-~/.local/share}/OfficeRecords/demo.db
QString default_database_path();

// A file the windows name for reading. A relative path is taken from the
// working directory when the file is there, otherwise from the program's
// folder (where bmp/ lies beside the executable). Backslashes become "/".
QString resolve_for_reading(std::string_view path);
// The same for a file to be written: the working directory when the
// path's folder exists there, otherwise the program's folder when it
// exists there, otherwise the working directory.
QString resolve_for_writing(std::string_view path);

// The help page `page` (a window's name, or "keys"): help/PAGE.md in the
// program's folder, else in the working directory (the tests run beside
// the program, not from its folder); empty when neither has it.
QString help_page_path(std::string_view page);

}  // namespace officerecords::app
