// The generic column check run by the Save handlers of the registers that
// take money, counts and dates, and the two date rules many windows apply.
//
// The check knows nothing of the window's table: it asks the data window
// for its columns through property strings and walks the visible ones of
// the current row in column order. The first negative number or date after
// today is reported in a "提示" box and cleared, and the save stops.
#pragma once

#include <initializer_list>
#include <string_view>

#include "foundation/data_window.h"
#include "foundation/host_services.h"

namespace officerecords {

// The earliest activity or meeting date accepted.
date foundation_date();

// A null date passes both rules.
bool after_today(const std::optional<date>& d, date today);
bool before_foundation(const std::optional<date>& d);

// Returns true when the save may go on. `exempt` names date columns that
// may lie in the future.
bool generic_column_check(data_window& dw, host_services& host, date today,
                          std::initializer_list<std::string_view> exempt = {});

}  // namespace officerecords
