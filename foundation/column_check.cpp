#include "foundation/column_check.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace officerecords {

date foundation_date() { return *date::parse("1949-10-01"); }

bool after_today(const std::optional<date>& d, date today) { return d && *d > today; }

bool before_foundation(const std::optional<date>& d) { return d && *d < foundation_date(); }

bool generic_column_check(data_window& dw, host_services& host, date today,
                          std::initializer_list<std::string_view> exempt) {
    dw.accepttext();
    long row = dw.getrow();
    // Without a current row there is nothing to check; the window's own
    // checks still run.
    if (row < 1) return true;
    const auto count = leading_whole(dw.describe("datawindow.column.count"));
    for (std::int64_t n = 1; n <= count; ++n) {
        std::string number = std::to_string(n);
        if (dw.describe("#" + number + ".visible") != "1") continue;
        std::string type = dw.describe("#" + number + ".Coltype");
        std::string name = dw.describe("#" + number + ".name");
        std::string label = dw.describe(name + "_t.text");
        std::string kind = type.substr(0, 4);
        if (kind == "deci") {
            auto v = dw.getitemdecimal(row, name);
            if (v && *v < decimal(0, 0)) {
                host.message_box("提示", label + "不能为负值");
                dw.setitem(row, name, value());
                return false;
            }
        } else if (kind == "date") {
            bool is_exempt = false;
            for (auto e : exempt) is_exempt = is_exempt || iequals(e, name);
            auto v = dw.getitemdate(row, name);
            if (!is_exempt && after_today(v, today)) {
                host.message_box("提示", label + "不能大于当前日期");
                dw.setitem(row, name, value());
                return false;
            }
        } else if (kind == "long" || kind == "numb") {
            auto v = dw.getitemnumber(row, name);
            if (v && std::trunc(*v) < 0) {
                host.message_box("提示", label + "不能为负值");
                dw.setitem(row, name, value());
                return false;
            }
        }
    }
    return true;
}

}  // namespace officerecords
