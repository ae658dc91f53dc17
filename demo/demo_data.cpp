#include "demo/demo_data.h"

#include <string>
#include <utility>
#include <vector>

#include "demo/demo_codes.h"
#include "demo/demo_committee.h"
#include "demo/demo_persons.h"
#include "demo/demo_registers.h"
#include "demo/demo_writer.h"

namespace officerecords {

namespace {

void write_codes(demo::row_writer& w) {
    for (const demo_code_table& table : demo_code_tables()) {
        if (table.name == "dddw_og_assessyear") {
            // Two-digit year codes 01 .. 25 for 2001 .. 2025.
            for (int year = 2001; year <= 2025; ++year) {
                const std::string code = demo::digits(year % 100, 2);
                w.insert("tc_ge_code", {{"codetable", table.name},
                                        {"tcode", code},
                                        {"tname", std::to_string(year) + "年度"}});
            }
            continue;
        }
        for (const auto& [code, name] : table.rows) {
            w.insert("tc_ge_code", {{"codetable", table.name}, {"tcode", code}, {"tname", name}});
        }
    }
}

}  // namespace

status create_demo_database(const std::string& target, const clock_source& clock,
                            const connection_wrapper& wrap) {
    return create_database(target, clock, fill_demo_data, wrap);
}

status fill_demo_data(transaction& t) {
    demo::row_writer w(t);
    for (const demo::community& c : demo::k_communities) {
        w.insert("tc_ge_community", {{"commno", c.commno}, {"commname", c.name}});
    }
    write_codes(w);
    const std::vector<demo::person> people = demo::build_persons();
    const demo::roster r(people);
    demo::write_persons(w, people);
    demo::write_person_photos(w, r);
    demo::write_assets(w);
    demo::write_income(w);
    demo::write_expenditure(w);
    demo::write_daily_work(w);
    demo::write_seal_use(w, r);
    demo::write_move_in(w);
    demo::write_activities(w);
    demo::write_chronicle(w);
    demo::write_bodies(w, r);
    demo::write_members(w, r);
    demo::write_member_side_registers(w, r);
    if (w.error().empty()) return status::ok();
    return status::error("不能写入示例数据 " + t.describe_target() + "：" + w.error());
}

}  // namespace officerecords
