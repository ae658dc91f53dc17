// Where the desktop program finds its files: the demo database in the
// user's data folder, and the pictures and photo files the windows name
// with paths relative to the working directory ("bmp\cb_save.bmp").
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

}  // namespace officerecords::app
