// The demo office's code tables: every drop-down the registers name, with
// national-standard codes where they exist.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace officerecords {

struct demo_code_table {
    std::string_view name;  // lower case: the runtime looks code tables up that way
    std::vector<std::pair<std::string_view, std::string_view>> rows;  // tcode, tname
};

const std::vector<demo_code_table>& demo_code_tables();

}  // namespace officerecords
