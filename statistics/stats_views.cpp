#include "statistics/stats_views.h"

#include <algorithm>

namespace officerecords::stats_detail {

namespace {

constexpr const char* k_income = "w_m_og_incomemoneyrecord";
constexpr const char* k_outgo = "w_m_og_moneyoutgorecord";

dimension month_of(std::string column) {
    return {"月份", dimension::kind::month, std::move(column), {}};
}
dimension code_of(std::string header, std::string column, std::string code_table, bool every_code = true) {
    return {std::move(header), dimension::kind::code, std::move(column), std::move(code_table), {}, every_code};
}
dimension yes_no(std::string header, std::string column) {
    return {std::move(header), dimension::kind::code, std::move(column), {}, {{"1", "是"}, {"0", "否"}}};
}
const measure k_records{"笔数", measure::kind::records, {}};
measure amount_of(std::string header, std::string column) {
    return {std::move(header), measure::kind::amount, std::move(column)};
}

status add(stats_context& c, std::vector<stats_table>& out, const table_request& request) {
    auto t = c.table(request);
    if (!t) return status::error(t.message());
    out.push_back(t.take());
    return status::ok();
}

// Income and expenditure by month, the balance carried from before the
// period, and each month's closing balance: the one table whose figures
// come from two registers.
status balance_table(stats_context& c, std::vector<stats_table>& out) {
    const records_of income{k_income, "recorddate"}, outgo{k_outgo, "recorddate"};
    const std::vector<dimension> by_month{month_of("recorddate")};
    const std::vector<measure> sum{amount_of("金额", "moneysum")};
    auto in = c.query(income, by_month, sum);
    if (!in) return status::error(in.message());
    auto away = c.query(outgo, by_month, sum);
    if (!away) return status::error(away.message());

    // Before the period: every dated record before its first day.
    const date day_before = date::from_days(c.period().from.days() - 1);
    auto before_of = [&](std::string window) {
        return records_of{std::move(window), "recorddate", {}, {}, false};
    };
    const records_of income_before = before_of(k_income), outgo_before = before_of(k_outgo);
    stats_context whole_past(c.trans(), {date::from_days(-719162), day_before}, c.communities());
    auto in_before = whole_past.query(income_before, {}, sum);
    if (!in_before) return status::error(in_before.message());
    auto away_before = whole_past.query(outgo_before, {}, sum);
    if (!away_before) return status::error(away_before.message());

    std::vector<std::vector<std::string>> columns;
    for (const community& m : c.communities()) columns.push_back({m.commno});
    if (c.communities().size() > 1) columns.push_back(c.all_commnos());
    auto total = [](const grouped& g, const std::vector<std::string>& commnos, const std::string* month) {
        std::int64_t fen = 0;
        for (const auto& [k, sums] : g)
            if (std::find(commnos.begin(), commnos.end(), k[0]) != commnos.end() && (!month || k[1] == *month))
                fen += sums[0];
        return fen;
    };

    stats_table t;
    t.title = "收支结余：按月份";
    t.header = {"月份"};
    const std::vector<measure> shown{amount_of("收入", ""), amount_of("支出", ""), amount_of("结余", "")};
    for (std::string& h : figure_headers(c.communities(), shown)) t.header.push_back(std::move(h));
    t.chart = stats_chart::lines;
    t.total_row = true;

    std::vector<std::int64_t> balance(columns.size());
    std::vector<stats_cell> first{{"上期结转", std::nullopt, std::nullopt}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::int64_t a = total(*in_before, columns[i], nullptr), b = total(*away_before, columns[i], nullptr);
        balance[i] = a - b;
        stats_cell ci = amount_cell(a), co = amount_cell(b);
        ci.behind = whole_past.behind(income_before, columns[i]);
        co.behind = whole_past.behind(outgo_before, columns[i]);
        first.push_back(std::move(ci));
        first.push_back(std::move(co));
        first.push_back(amount_cell(balance[i]));
    }
    t.rows.push_back(std::move(first));

    std::vector<std::string> keys = c.months();
    bool undated = false;
    for (const grouped* g : {&*in, &*away})
        for (const auto& [k, sums] : *g) undated = undated || k[1].empty();
    if (undated) keys.emplace_back();
    const dimension& month = by_month[0];
    for (const std::string& key : keys) {
        std::vector<stats_cell> row{{month_label(key), std::nullopt, std::nullopt}};
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::int64_t a = total(*in, columns[i], &key), b = total(*away, columns[i], &key);
            balance[i] += a - b;
            stats_cell ci = amount_cell(a), co = amount_cell(b);
            ci.behind = c.behind(income, columns[i]);
            c.narrow(*ci.behind, month, key);
            co.behind = c.behind(outgo, columns[i]);
            c.narrow(*co.behind, month, key);
            row.push_back(std::move(ci));
            row.push_back(std::move(co));
            row.push_back(amount_cell(balance[i]));
        }
        t.rows.push_back(std::move(row));
    }
    std::vector<stats_cell> last{{"合计", std::nullopt, std::nullopt}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        stats_cell ci = amount_cell(total(*in, columns[i], nullptr)), co = amount_cell(total(*away, columns[i], nullptr));
        ci.behind = c.behind(income, columns[i]);
        co.behind = c.behind(outgo, columns[i]);
        last.push_back(std::move(ci));
        last.push_back(std::move(co));
        last.push_back(amount_cell(balance[i]));
    }
    t.rows.push_back(std::move(last));
    out.push_back(std::move(t));
    return status::ok();
}

}  // namespace

status money_tables(stats_context& c, std::vector<stats_table>& out) {
    const records_of income{k_income, "recorddate"}, outgo{k_outgo, "recorddate"};
    const std::vector<measure> figures{k_records, amount_of("金额（元）", "moneysum")};
    for (const table_request& r : {
             table_request{"收入：按类别", income, {code_of("经费类别", "outlaysort", "dddw_og_outlaysort")}, figures},
             table_request{"收入：按月份", income, {month_of("recorddate")}, figures},
             table_request{"支出：按经费类别和使用范围",
                           outgo,
                           {code_of("经费类别", "outlaysort", "dddw_og_outlaysort", false),
                            code_of("经费使用范围", "usebound", "dddw_og_usebound", false)},
                           figures},
             table_request{"支出：按月份", outgo, {month_of("recorddate")}, figures},
         })
        if (status s = add(c, out, r); !s) return s;
    return balance_table(c, out);
}

}  // namespace officerecords::stats_detail

namespace officerecords::stats_detail {
status asset_tables(stats_context&, std::vector<stats_table>&) { return status::ok(); }
status work_tables(stats_context&, std::vector<stats_table>&) { return status::ok(); }
status activity_tables(stats_context&, std::vector<stats_table>&) { return status::ok(); }
status committee_tables(stats_context&, const std::string&, std::string&, std::vector<stats_table>&) {
    return status::ok();
}
}  // namespace officerecords::stats_detail
