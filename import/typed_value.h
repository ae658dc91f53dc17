// Values as clerks type them into their own sheets, read into what a
// register's column takes. Each reader gives nullopt for a text it cannot
// read, so that the row reports it: a value is never quietly left empty.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace officerecords {

// The cell's text without the blanks around it: spaces, tabs, line
// breaks, the ideographic space (U+3000) and the no-break space.
std::string trimmed_cell(std::string_view text);

// "2020-01-01", "2020/1/1", "2020.1.1", "2020年1月1日", "20200101", each
// also with a time after it ("2020-01-01 00:00:00", as sheets write a date
// cell in text). Nullopt for any other text or a day that does not exist.
std::optional<date> read_typed_date(std::string_view text);

// A date cell of a workbook: Excel's serial day number in its 1900 date
// system, whose day 60 is a 29 February 1900 that never was. A fraction
// (the time of day) is dropped; nullopt before 1900-01-01 or past 9999.
std::optional<date> excel_serial_date(double serial);

// "19960", "19,960.00", "¥1,234.5", "￥ 12", "-3.50", with full-width
// digits and signs read as their ASCII twins. The thousands separators
// must stand every three digits. Nullopt for anything else.
std::optional<decimal> read_typed_amount(std::string_view text);

// 是/否, and the 1/0, Y/N and yes/no other programs write; nullopt else.
std::optional<bool> read_yes_no(std::string_view text);

}  // namespace officerecords
