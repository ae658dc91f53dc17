// How a record is named to the clerk: by its record number (记录号, the
// orderno the list and the record window show) and the register's own
// naming columns (an asset's name, date and value; a member's name and
// term), as the data window shows them. The history, the deletion's
// question and the record window's title all name records this way.
#pragma once

#include <string>

#include "foundation/data_window.h"

namespace officerecords {

// "办公电脑，2020-01-01，5,000.00": the naming columns of row `row` that
// hold something, as they are shown, in the register's order; empty when
// none does or the row is outside the data window.
std::string record_name(const data_window& dw, long row);

// "记录号 13（办公电脑，2020-01-01，5,000.00）", or "记录号 13" when the
// record has no name; empty for a record without a number yet.
std::string record_label(const std::string& number, const std::string& name);
std::string record_label(const data_window& dw, long row);

}  // namespace officerecords
