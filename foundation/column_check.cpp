#include "foundation/column_check.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace officerecords {

date foundation_date() { return *date::parse("1949-10-01"); }

bool after_today(const std::optional<date>& d, date today) { return d && *d > today; }

bool before_foundation(const std::optional<date>& d) { return d && *d < foundation_date(); }

namespace {

// A stored item read as a number, whatever form it was stored in.
std::optional<double> stored_number(const value& stored) {
    if (auto d = stored.as_double()) return d;
    if (stored.is_text()) return parse_number(stored.text());
    return std::nullopt;
}

}  // namespace

bool generic_column_check(data_window& dw, host_services& host, date today,
                          std::initializer_list<std::string_view> exempt) {
    dw.accepttext();
    long row = dw.getrow();
    // Without a current row there is nothing to check; the window's own
    // checks still run.
    if (row < 1) return true;
    // The columns' types and visibility are read from the window itself,
    // not parsed back out of property strings: every save runs this check
    // over every column. The label is asked for only when a message names it.
    auto refuse = [&](const std::string& name, const char* why) {
        host.message_box("提示", dw.describe(name + "_t.text") + why);
        dw.setitem(row, name, value());
        return false;
    };
    for (int n = 1; n <= dw.column_count(); ++n) {
        if (!dw.state(n).visible) continue;
        const column_def& c = dw.column_definition(n);
        const std::string& name = c.name;
        if (c.type == column_type::decimal) {
            auto v = dw.getitemdecimal(row, name);
            if (v && *v < decimal(0, 0)) return refuse(name, "不能为负值");
        } else if (c.type == column_type::date) {
            bool is_exempt = false;
            for (auto e : exempt) is_exempt = is_exempt || iequals(e, name);
            auto v = dw.getitemdate(row, name);
            if (!is_exempt && after_today(v, today)) return refuse(name, "不能大于当前日期");
        } else if (c.type == column_type::whole || c.type == column_type::number) {
            auto v = dw.getitemnumber(row, name);
            // A fraction another program stored in a whole-number column is
            // null to the window, but the check reads the number stored, as
            // it reads every whole number: -1.5 is refused, -0.4 passes.
            if (!v)
                if (const auto stored = dw.unreadable_item(row, n)) v = stored_number(*stored);
            if (v && std::trunc(*v) < 0) return refuse(name, "不能为负值");
        }
    }
    return true;
}

}  // namespace officerecords
