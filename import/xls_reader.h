// An old-style XLS workbook's sheets, read with libfreexl. The library
// reads the workbook in when it is opened and answers for any cell, so
// the sheet is handed out row by row from there.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/sheet_source.h"

namespace officerecords {

// `path` is opened; `file` is the name the messages give it.
result<std::vector<std::string>> xls_sheet_names(const std::string& path, const std::string& file);

// The sheet named `sheet` (the first when empty).
result<std::unique_ptr<sheet_source>> open_xls_sheet(const std::string& path,
                                                     const std::string& file,
                                                     const std::string& sheet);

// A workbook with a password to open it is not read: the clerk is told
// to save it without one. (An XLSX with one is a compound file too.)
status password_protected(const std::string& file);

// libfreexl hands date cells out as text ("2020-01-01", "2020-01-01
// 12:00:00", "06:00:00"); this is the same moment as Excel's serial day in
// its 1900 system ("43831", "43831.5", "0.25"), as an XLSX date cell
// gives it. Nullopt for any other text.
std::optional<std::string> excel_serial_text(std::string_view date_time);

}  // namespace officerecords
