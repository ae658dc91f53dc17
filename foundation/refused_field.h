// Which field a refused save was about, so that the host can lead the
// clerk there: the checks name a field in their message (by its label,
// "价值（元）:不能为负值", "【培训时间;】不能大于今天的日期！") and some
// also clear it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/data_window.h"

namespace officerecords {

// The field of row `row` that a check's message was about: the item the
// check cleared (it held a value in `before`, the row's items as they
// were, and holds none now); otherwise the shown field whose label the
// message names first, the longest label where two start together. Empty
// when the message names no field of the form.
std::string refused_field(const data_window& dw, long row, const std::vector<value>& before,
                          std::string_view message);

// The items of row `row` as they are now, for refused_field().
std::vector<value> row_items(const data_window& dw, long row);

// The titles of the messages by which a check refuses a save (a failed
// statement's "警告信息" is no check of a field).
bool is_check_title(std::string_view title);

}  // namespace officerecords
