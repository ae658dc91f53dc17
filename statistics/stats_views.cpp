#include "statistics/stats_views.h"

#include <algorithm>

#include "catalog/window_catalog.h"

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
    const std::vector<measure> sum{k_records, amount_of("金额（元）", "moneysum")};
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
                fen += sums[1];
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
    // One pass over each register; every table below adds up its groups.
    if (status s = c.prefetch(income, {month_of("recorddate"), code_of("经费类别", "outlaysort", "dddw_og_outlaysort")}, figures); !s)
        return s;
    if (status s = c.prefetch(outgo, {month_of("recorddate"), code_of("经费类别", "outlaysort", "dddw_og_outlaysort"),
                                       code_of("经费使用范围", "usebound", "dddw_og_usebound")},
                              figures);
        !s)
        return s;
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

namespace {

constexpr const char* k_assets = "w_m_og_assetregister";
constexpr const char* k_members = "w_m_og_councilmemberinfo";

dimension yes_no_by(std::string header, std::string column) {
    return {std::move(header), dimension::kind::code, std::move(column), {}, {{"1", "是"}, {"0", "否"}}};
}
const measure k_count{"件数", measure::kind::records, {}};

status add_rows(stats_context& c, std::vector<stats_table>& out, const std::string& title, const std::string& header,
                const std::vector<std::pair<std::string, records_of>>& rows, const std::vector<measure>& measures) {
    auto t = c.rows_table(title, header, rows, measures);
    if (!t) return status::error(t.message());
    out.push_back(t.take());
    return status::ok();
}

// The ten items of the highest original value among those held at the
// period's end, each behind its own record.
status top_assets(stats_context& c, const records_of& held, std::vector<stats_table>& out) {
    const window_entry* e = find_window_entry(k_assets);
    stats_records where = c.behind(held, c.all_commnos());
    const std::string sql = "SELECT commno, orderno, goodsname, COALESCE(assetsort, ''), "
                            "CAST(round(originvalue * 100) AS BIGINT) FROM (" + e->list().select + ") q WHERE " +
                            where.condition + " AND originvalue IS NOT NULL ORDER BY originvalue DESC, commno, orderno LIMIT 10";
    auto rows = c.trans().open_cursor(sql, where.params);
    if (!rows) return status::error("统计失败：" + c.trans().sqlerrtext());
    stats_table t;
    t.title = "价值最高的十项资产";
    const bool several = c.communities().size() > 1;
    if (several) t.header.push_back("社区");
    t.header.insert(t.header.end(), {"资产名称", "资产分类", "原值（元）"});
    t.label_columns = several ? 3 : 2;
    const dimension sort = code_of("资产分类", "assetsort", "dddw_og_assetsort");
    while (rows->fetch()) {
        const std::string commno(rows->column_text(0));
        const value orderno = rows->column_value(1);
        std::vector<stats_cell> row;
        if (several)
            for (const community& m : c.communities())
                if (m.commno == commno) row.push_back({m.name, std::nullopt, std::nullopt});
        row.push_back({std::string(rows->column_text(2)), std::nullopt, std::nullopt});
        auto name = c.code_name(sort, std::string(rows->column_text(3)));
        if (!name) return status::error(name.message());
        row.push_back({*name, std::nullopt, std::nullopt});
        stats_cell value_cell = amount_cell(rows->column_integer(4));
        value_cell.behind = stats_records{k_assets, "commno = ? AND orderno = ?", {value(commno), orderno}};
        row.push_back(std::move(value_cell));
        t.rows.push_back(std::move(row));
    }
    if (c.trans().sqlcode() != 100) return status::error("统计失败：" + c.trans().sqlerrtext());
    out.push_back(std::move(t));
    return status::ok();
}

}  // namespace

status asset_tables(stats_context& c, std::vector<stats_table>& out) {
    const value to(c.period().to);
    // Held at the period's end: acquired by then (or on no recorded day).
    const records_of held{k_assets, "", "purchasedate IS NULL OR purchasedate <= ?", {to}};
    const records_of in_use{k_assets, "", "(purchasedate IS NULL OR purchasedate <= ?) AND (scrapedate IS NULL OR scrapedate > ?)",
                            {to, to}};
    const records_of scrapped{k_assets, "scrapedate", {}, {}, false};
    const std::vector<measure> figures{k_count, {"数量", measure::kind::whole, "goodscount"},
                                       {"原值（元）", measure::kind::amount, "originvalue"}};
    if (status s = add(c, out, {"资产：按分类", held, {code_of("资产分类", "assetsort", "dddw_og_assetsort")}, figures}); !s)
        return s;
    if (status s = add_rows(c, out, "在用与本期报废", "状态", {{"在用", in_use}, {"本期报废", scrapped}}, figures); !s) return s;
    if (status s = add(c, out, {"本期添置：按月份", {k_assets, "purchasedate"}, {month_of("purchasedate")}, figures}); !s)
        return s;
    return top_assets(c, held, out);
}

status work_tables(stats_context& c, std::vector<stats_table>& out) {
    const records_of work{"w_m_og_dailyworkrecord", "meetdate"};
    const records_of seal{"w_m_og_sealuserecord", "applydate"};
    const records_of movein{"w_m_og_comminregister", "registdate"};
    const std::vector<measure> n{k_count};
    for (const table_request& r : {
             table_request{"日常工作：按月份", work, {month_of("meetdate")}, n},
             table_request{"日常工作：按所属组织", work, {code_of("所属组织", "organise", "dddw_og_organise")}, n},
             table_request{"日常工作：按呈报职能部门", work, {code_of("呈报职能部门", "submitdept", "dddw_og_relatedept")}, n},
             table_request{"用章：按月份", seal, {month_of("applydate")}, n},
             table_request{"用章：按用章分类", seal, {code_of("用章分类", "sealusesort", "dddw_og_sealusesort")}, n},
             table_request{"准入登记：按月份", movein, {month_of("registdate")}, n},
             table_request{"准入登记：按是否同意", movein, {yes_no_by("社区居委会是否同意", "isagree")}, n},
         })
        if (status s = add(c, out, r); !s) return s;
    return status::ok();
}

status activity_tables(stats_context& c, std::vector<stats_table>& out) {
    const records_of held{"w_m_og_commactivityrecord", "activitydate"};
    const std::vector<measure> figures{{"次数", measure::kind::records, {}},
                                       {"参加单位（个）", measure::kind::whole, "attendcompnum"},
                                       {"参加人数（人）", measure::kind::whole, "attendpersonnum"},
                                       {"活动经费（元）", measure::kind::amount, "activitycost"}};
    const std::vector<measure> costs{{"次数", measure::kind::records, {}}, {"活动经费（元）", measure::kind::amount, "activitycost"}};
    for (const table_request& r : {
             table_request{"活动：按月份", held, {month_of("activitydate")}, figures},
             table_request{"活动：按主题", held, {code_of("活动主题", "activitytopic", "dddw_og_activitytopic")}, figures},
             table_request{"活动经费：按经费来源", held, {code_of("经费来源", "outlaysource", "dddw_og_outlaysource")}, costs},
         })
        if (status s = add(c, out, r); !s) return s;
    records_of photos = held, chronicle = held;
    photos.condition = "orderno IN (SELECT OrderNo FROM TS_CommActivePhoto)";
    chronicle.condition = "isbigaffair = ?";
    chronicle.params = {value("1")};
    return add_rows(c, out, "照片与大事记", "活动", {{"有照片", photos}, {"转存社区大事记", chronicle}},
                    {{"次数", measure::kind::records, {}}});
}

status committee_tables(stats_context& c, const std::string& term, std::string& term_out, std::vector<stats_table>& out) {
    std::string chosen = term;
    if (chosen.empty()) {
        // The latest term begun by period.to: the highest whose first duty
        // began by then; a term whose members name no start counts as begun.
        stats_records where = c.behind({k_members, ""}, c.all_commnos());
        const std::string* select = &find_window_entry(k_members)->list().select;
        auto rows = c.trans().open_cursor("SELECT falldue, MIN(ondutydate) FROM (" + *select + ") q WHERE " +
                                              where.condition + " AND falldue IS NOT NULL GROUP BY falldue ORDER BY falldue",
                                          where.params);
        if (!rows) return status::error("统计失败：" + c.trans().sqlerrtext());
        while (rows->fetch()) {
            const value first = rows->column_value(1);
            const auto begun = first.is_null() ? std::nullopt : date::parse(first.to_text());
            if (!begun || *begun <= c.period().to) chosen = std::string(rows->column_text(0));
        }
        if (c.trans().sqlcode() != 100) return status::error("统计失败：" + c.trans().sqlerrtext());
        if (chosen.empty()) return status::error("到 " + c.period().to.iso() + " 为止还没有居委会成员的届次。");
    }
    auto name = c.code_name(code_of("届次", "falldue", "dddw_ds_falldue"), chosen);
    if (!name) return status::error(name.message());
    term_out = *name;
    const value in_term(chosen);
    auto of = [&](std::string window, std::string date_column = {}) {
        return records_of{std::move(window), std::move(date_column), "falldue = ?", {in_term}};
    };
    const records_of members = of(k_members);
    const std::vector<measure> people{{"人数", measure::kind::records, {}}};
    const std::vector<measure> n{k_count};
    for (const table_request& r : {
             table_request{"成员：按职务", members, {code_of("职务", "duty", "dddw_ge_duty")}, people},
             table_request{"成员：按性别", members, {code_of("性别", "sex", "dddw_gb_sex")}, people},
             table_request{"成员：按政治面貌", members, {code_of("政治面貌", "polity", "dddw_gb_polity")}, people},
             table_request{"成员：按文化程度", members, {code_of("文化程度", "edulevel", "dddw_gb_edulevel")}, people},
             table_request{"成员：按来源", members, {code_of("来源", "formeridentity", "dddw_ds_formeridentity")}, people},
         })
        if (status s = add(c, out, r); !s) return s;
    // Age in whole years on period.to, in bands that include their lower
    // bound: under 35, 35 to 49, 50 to 59, 60 and over.
    const value on(c.period().to);
    auto band = [&](std::string condition, std::vector<value> params) {
        records_of r = members;
        r.condition += " AND " + condition;
        r.params.insert(r.params.end(), params.begin(), params.end());
        return r;
    };
    const std::string age = "f_getpersonage(?, birthdate)";
    if (status s = add_rows(c, out, "成员：按年龄段（" + c.period().to.iso() + "）", "年龄段",
                            {{"35岁以下", band(age + " < ?", {on, value(35)})},
                             {"35至49岁", band(age + " >= ? AND " + age + " < ?", {on, value(35), on, value(50)})},
                             {"50至59岁", band(age + " >= ? AND " + age + " < ?", {on, value(50), on, value(60)})},
                             {"60岁及以上", band(age + " >= ?", {on, value(60)})},
                             {"出生日期未填", band("birthdate IS NULL", {})}},
                            people);
        !s)
        return s;
    for (const table_request& r : {
             table_request{"组织机构：按机构类别", of("w_m_og_councilorgduty"),
                           {code_of("机构类别", "organtype", "dddw_og_organtype")}, {{"机构数", measure::kind::records, {}}}},
             table_request{"组织机构成员：按机构中职务", of("w_m_og_councilorgmember"),
                           {code_of("机构中职务", "duty", "dddw_ge_duty")}, people},
             table_request{"培训：按级别", of("w_m_og_councilmembertrain", "traindate"),
                           {code_of("培训级别", "trainlevel", "dddw_ge_level")}, {{"人次", measure::kind::records, {}}}},
             table_request{"培训：按是否合格", of("w_m_og_councilmembertrain", "traindate"),
                           {yes_no_by("是否合格", "ispass")}, {{"人次", measure::kind::records, {}}}},
             table_request{"考核评议：按结果", of("w_m_og_councilmemberappr"),
                           {code_of("考核评议结果", "assessresult", "dddw_og_assessresult")}, {{"人次", measure::kind::records, {}}}},
             table_request{"荣誉：按级别", of("w_m_og_councilmemberhonor", "prizedate"),
                           {code_of("奖励级别", "prizelevel", "dddw_ge_level")}, {{"项数", measure::kind::records, {}}}},
             table_request{"社会兼职：按职务", of("w_m_og_parttimejob"),
                           {code_of("社会兼职", "parttimejob", "dddw_gb_parttimejob")}, {{"人次", measure::kind::records, {}}}},
         })
        if (status s = add(c, out, r); !s) return s;
    return status::ok();
}

}  // namespace officerecords::stats_detail
