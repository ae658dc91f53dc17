// An XLSX workbook's sheets, read with libzip and expat. The sheet itself
// is streamed: rows are handed out as their XML arrives, so only a few
// rows are ever held, however long the sheet. Shared strings and styles
// are held whole (they are bounded by the file's size).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/sheet_source.h"

namespace officerecords {

// `path` is opened; `file` is the name the messages give it.
result<std::vector<std::string>> xlsx_sheet_names(const std::string& path, const std::string& file);

// The sheet named `sheet` (the first when empty).
result<std::unique_ptr<sheet_source>> open_xlsx_sheet(const std::string& path,
                                                      const std::string& file,
                                                      const std::string& sheet);

// Whether a cell of number format `id` shows a date or a time: Excel's
// built-in date formats by their id, any other by its format code
// (`code`, empty for a built-in format the workbook does not spell out).
bool is_date_number_format(int id, std::string_view code);

}  // namespace officerecords
