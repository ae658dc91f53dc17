// Display formats of list and form cells: "#,###,###.00", "###,###,###",
// "#,##0.00", "###", "yyyy-mm-dd". Only what the registers use.
#pragma once

#include <string>
#include <string_view>

#include "foundation/value.h"

namespace officerecords {

// Formats a number by a numeric picture: "," groups thousands, the digits
// after "." fix the fraction. An empty picture gives the plain value.
std::string format_number(const value& v, std::string_view picture);
// Formats a date by a picture made of yyyy, mm and dd.
std::string format_date(date d, std::string_view picture);

}  // namespace officerecords
