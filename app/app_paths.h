// Where the desktop program finds its files: the demo database in the
// user's data folder, and the pictures, display files and help pages the
// windows name relative to the working directory ("bmp\cb_save.bmp"),
// resolved as storage/file_places.h says.
#pragma once

#include <QString>
#include <string_view>

namespace officerecords::app {

// ${XDG_DATA_HOME:-~/.local/share}/OfficeRecords/demo.db
QString default_database_path();

// A file the windows name for reading: the display file the program wrote
// under that name in the user's cache, else the program's own file in the
// install's data folder or beside the program, else the working
// directory's. Backslashes become "/".
QString resolve_for_reading(std::string_view path);

// The help page `page` (a window's name, or "keys"): help/PAGE.md where
// resolve_for_reading looks; empty when none has it.
QString help_page_path(std::string_view page);

}  // namespace officerecords::app
