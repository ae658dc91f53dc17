// The work, assets and committee views on generated registers of several
// communities, on both backends: every figure against a plain reference
// query and through the register's list, undated records under 日期未填,
// and a community without records.
#include <gtest/gtest.h>

#include "tests/statistics/stats_test_support.h"

namespace officerecords {
namespace {

using namespace stats_testing;
using testkit::backend;

const code_list k_organise = {{"01", "居委会"}, {"02", "党支部"}};
const code_list k_depts = {{"11", "民政科"}, {"12", "城管科"}, {"13", "派出所"}};
const code_list k_seal_sorts = {{"1", "证明"}, {"2", "介绍信"}};

// The view's text for each code of the list.
std::function<std::string(int, const std::string&)> named_by(const code_list& list) {
    return [list](int, const std::string& code) { return name_in(list, code); };
}

class WorkStatsTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        db_ = std::make_unique<testkit::scratch_database>(false, GetParam());
        ASSERT_TRUE(db_->db.sqlca);
    }
    transaction& t() { return db_->sqlca(); }
    std::string month_of(const std::string& column) const {
        return GetParam() == backend::postgresql ? "COALESCE(to_char(" + column + ", 'YYYY-MM'), '')"
                                                 : "COALESCE(strftime('%Y-%m', " + column + "), '')";
    }

    void fill() {
        write_guard w(t());
        ASSERT_TRUE(w.began()) << t().sqlerrtext();
        for (const auto& [code, name] : k_communities)
            insert(t(), "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t(), "dddw_og_organise", k_organise);
        add_codes(t(), "dddw_og_relatedept", k_depts);
        add_codes(t(), "dddw_og_sealusesort", k_seal_sorts);
        for (int p = 1; p <= 5; ++p)
            insert(t(), "tc_ge_personinfo", {"personno", "personname"},
                   {value("P" + std::to_string(p)), value("居民" + std::to_string(p))});
        generator g(31);
        const date from = *date::parse("2025-10-20"), to = *date::parse("2026-03-05");
        std::int64_t no = 0;
        for (int i = 0; i < 120; ++i) {
            const value commno(i % 2 ? "S01" : "S02");
            insert(t(), "tc_og_dailyworkrecord", {"commno", "orderno", "meetdate", "organise", "submitdept"},
                   {commno, value(++no), g.some_date(from, to), g.some_code(codes_of(k_organise)),
                    g.some_code(codes_of(k_depts))});
            insert(t(), "tc_og_sealuserecord", {"commno", "orderno", "personno", "applydate", "sealusesort"},
                   {commno, value(++no), value("P" + std::to_string(g.between(1, 5))), g.some_date(from, to),
                    g.some_code(codes_of(k_seal_sorts))});
            const int answer = g.between(0, 9);
            insert(t(), "tc_og_comminregister", {"commno", "orderno", "registdate", "isagree"},
                   {commno, value(++no), g.some_date(from, to),
                    answer == 0 ? value() : value(answer % 2 ? "1" : "0")});
        }
        ASSERT_EQ(w.commit(), sql_code::ok) << t().sqlerrtext();
    }

    std::unique_ptr<testkit::scratch_database> db_;
};

TEST_P(WorkStatsTest, EveryFigureEqualsItsReferenceAndItsRecords) {
    fill();
    const stats_period period{*date::parse("2025-12-01"), *date::parse("2026-02-28")};
    auto r = compute_statistics(t(), stats_view::work, period, {{"S01", "S02", "S03"}});
    ASSERT_TRUE(r) << r.message();
    const std::vector<std::string> commnos = {"S01", "S02", "S03"};
    const std::vector<value> p = {value(period.from), value(period.to)};
    auto dated = [](const std::string& table, const std::string& column) {
        return " FROM " + table + " WHERE (" + column + " IS NULL OR (" + column + " >= ? AND " + column +
               " <= ?)) ";
    };
    auto months = [](int, const std::string& m) { return month_label_of(m); };
    // A count alone: one figure per community.
    const table_shape counts{1, 0, -1, "", false};
    struct case_ {
        const char* title;
        std::string sql;
        std::function<std::string(int, const std::string&)> name;
    };
    const std::string work = dated("tc_og_dailyworkrecord", "meetdate");
    // The seal list shows a use with its person; so does the reference.
    const std::string seal = " FROM tc_og_sealuserecord s, tc_ge_personinfo pi WHERE s.personno = pi.personno AND "
                             "(s.applydate IS NULL OR (s.applydate >= ? AND s.applydate <= ?)) ";
    const std::string movein = dated("tc_og_comminregister", "registdate");
    const case_ cases[] = {
        {"日常工作：按月份", "SELECT commno, " + month_of("meetdate") + ", COUNT(*), 0" + work + "GROUP BY commno, 2", months},
        {"日常工作：按所属组织", "SELECT commno, COALESCE(organise, ''), COUNT(*), 0" + work + "GROUP BY commno, 2",
         named_by(k_organise)},
        {"日常工作：按呈报职能部门", "SELECT commno, COALESCE(submitdept, ''), COUNT(*), 0" + work + "GROUP BY commno, 2",
         named_by(k_depts)},
        {"用章：按月份", "SELECT s.commno, " + month_of("s.applydate") + ", COUNT(*), 0" + seal + "GROUP BY s.commno, 2",
         months},
        {"用章：按用章分类", "SELECT s.commno, COALESCE(s.sealusesort, ''), COUNT(*), 0" + seal + "GROUP BY s.commno, 2",
         named_by(k_seal_sorts)},
        {"准入登记：按月份", "SELECT commno, " + month_of("registdate") + ", COUNT(*), 0" + movein + "GROUP BY commno, 2",
         months},
        {"准入登记：按是否同意", "SELECT commno, COALESCE(isagree, ''), COUNT(*), 0" + movein + "GROUP BY commno, 2",
         named_by({{"1", "是"}, {"0", "否"}})},
    };
    for (const case_& c : cases) {
        const stats_table* table = find_table(*r, c.title);
        ASSERT_TRUE(table) << c.title;
        expect_table(t(), *table, reference(t(), c.sql, p, 1, false, c.name), commnos, counts);
    }
    // Undated records are there, under 日期未填, in every register's months.
    for (const char* title : {"日常工作：按月份", "用章：按月份", "准入登记：按月份"}) {
        const stats_table* table = find_table(*r, title);
        ASSERT_TRUE(table);
        bool undated = false;
        for (const auto& row : table->rows) undated = undated || row[0].text == k_no_date_label;
        EXPECT_TRUE(undated) << title;
    }
}

TEST_P(WorkStatsTest, AssetFiguresEqualTheirReferencesAndItsRecords) {
    const code_list sorts = {{"01", "办公设备"}, {"02", "家具"}};
    {
        write_guard w(t());
        ASSERT_TRUE(w.began()) << t().sqlerrtext();
        for (const auto& [code, name] : k_communities)
            insert(t(), "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t(), "dddw_og_assetsort", sorts);
        generator g(57);
        for (std::int64_t no = 1; no <= 150; ++no) {
            const value bought = g.some_date(*date::parse("2024-01-01"), *date::parse("2026-06-30"));
            value scrapped;
            if (!bought.is_null() && g.chance(30))
                scrapped = value(date::from_days(bought.day().days() + g.between(1, 500)));
            insert(t(), "tc_og_assetregister",
                   {"commno", "orderno", "assetsort", "goodsname", "goodscount", "originvalue", "purchasedate",
                    "scrapedate"},
                   {value(no % 2 ? "S01" : "S02"), value(no), g.some_code(codes_of(sorts)),
                    value("物品" + std::to_string(no)), value(g.between(1, 20)),
                    g.chance(5) ? value() : g.some_amount(20000), bought, scrapped});
        }
        ASSERT_EQ(w.commit(), sql_code::ok) << t().sqlerrtext();
    }
    const stats_period period{*date::parse("2025-01-01"), *date::parse("2025-12-31")};
    auto r = compute_statistics(t(), stats_view::assets, period, {{"S01", "S02", "S03"}});
    ASSERT_TRUE(r) << r.message();
    const std::vector<std::string> commnos = {"S01", "S02", "S03"};
    const value to(period.to);
    // Held at the period's end: bought by then, or on no recorded day.
    const std::string held = " FROM tc_og_assetregister WHERE (purchasedate IS NULL OR purchasedate <= ?) ";
    expect_table(t(), *find_table(*r, "资产：按分类"),
                 reference(t(), "SELECT commno, COALESCE(assetsort, ''), COUNT(*), SUM(originvalue)" + held +
                                    "GROUP BY commno, 2",
                           {to}, 1, true, named_by(sorts)),
                 commnos, {3, 0, 2, "originvalue", true});
    expect_table(t(), *find_table(*r, "资产：按分类"),
                 reference(t(), "SELECT commno, COALESCE(assetsort, ''), COUNT(*), SUM(goodscount)" + held +
                                    "GROUP BY commno, 2",
                           {to}, 1, false, named_by(sorts)),
                 commnos, {3, 0, 1, "goodscount", false});
    expect_table(t(), *find_table(*r, "本期添置：按月份"),
                 reference(t(), "SELECT commno, " + month_of("purchasedate") +
                                    ", COUNT(*), SUM(originvalue) FROM tc_og_assetregister WHERE (purchasedate IS NULL "
                                    "OR (purchasedate >= ? AND purchasedate <= ?)) GROUP BY commno, 2",
                           {value(period.from), to}, 1, true, [](int, const std::string& m) { return month_label_of(m); }),
                 commnos, {3, 0, 2, "originvalue", true});
    // The ten most valuable held, highest first, each opening to itself.
    const stats_table* top = find_table(*r, "价值最高的十项资产");
    ASSERT_TRUE(top);
    auto want = t().open_cursor("SELECT goodsname, CAST(round(originvalue * 100) AS BIGINT)" + std::string(held) +
                                    "AND originvalue IS NOT NULL ORDER BY originvalue DESC, commno, orderno LIMIT 10",
                                {&to, 1});
    ASSERT_TRUE(want) << t().sqlerrtext();
    std::size_t i = 0;
    while (want->fetch()) {
        ASSERT_LT(i, top->rows.size());
        const auto& row = top->rows[i++];
        EXPECT_EQ(row[1].text, std::string(want->column_text(0)));
        EXPECT_EQ(row.back().number->units(), want->column_integer(1));
        ASSERT_TRUE(row.back().behind);
        EXPECT_EQ(retrieved(t(), *row.back().behind, "originvalue", true), (figure{1, want->column_integer(1)}));
    }
    EXPECT_EQ(i, 10u);
    EXPECT_EQ(top->rows.size(), 10u);
}

// Age in whole years on a day, worked out here rather than by the
// database's function the view asks.
int age_on(date born, date on) {
    int age = on.year() - born.year();
    if (on.month() < born.month() || (on.month() == born.month() && on.day() < born.day())) --age;
    return age;
}

TEST_P(WorkStatsTest, CommitteeMembersOfTheTermEqualTheirReferences) {
    const code_list sexes = {{"1", "男"}, {"2", "女"}};
    const code_list duties = {{"11", "主任"}, {"12", "副主任"}, {"13", "委员"}};
    const date on = *date::parse("2025-12-31");
    // By community: how many members of term 05 fall in each age band.
    std::map<std::string, std::map<std::string, std::int64_t>> bands;
    {
        write_guard w(t());
        ASSERT_TRUE(w.began()) << t().sqlerrtext();
        for (const auto& [code, name] : k_communities)
            insert(t(), "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t(), "dddw_gb_sex", sexes);
        add_codes(t(), "dddw_ge_duty", duties);
        add_codes(t(), "dddw_ds_falldue", {{"04", "第四届"}, {"05", "第五届"}});
        generator g(83);
        for (std::int64_t no = 1; no <= 90; ++no) {
            const std::string person = "M" + std::to_string(no);
            // Birthdays around each band's bounds on the day, and some unknown.
            value born;
            if (!g.chance(8)) {
                const int years = std::vector<int>{34, 35, 49, 50, 59, 60, 72}[static_cast<std::size_t>(g.between(0, 6))];
                born = value(date::from_days(date::from_ymd(on.year() - years, on.month(), on.day())->days() +
                                             g.between(-2, 2)));
            }
            insert(t(), "tc_ge_personinfo", {"personno", "personname", "sex", "birthdate"},
                   {value(person), value("成员" + std::to_string(no)), g.some_code(codes_of(sexes)), born});
            const std::string commno = no % 2 ? "S01" : "S02";
            const bool in_term = no > 20;
            insert(t(), "tc_og_councilmemberinfo", {"commno", "orderno", "falldue", "personno", "duty", "ondutydate"},
                   {value(commno), value(no), value(in_term ? "05" : "04"), value(person),
                    g.some_code(codes_of(duties)),
                    value(*date::parse(in_term ? "2024-03-01" : "2021-03-01"))});
            if (!in_term) continue;
            std::string band = "出生日期未填";
            if (!born.is_null()) {
                const int age = age_on(born.day(), on);
                band = age < 35 ? "35岁以下" : age < 50 ? "35至49岁" : age < 60 ? "50至59岁" : "60岁及以上";
            }
            ++bands[band][commno];
        }
        ASSERT_EQ(w.commit(), sql_code::ok) << t().sqlerrtext();
    }
    auto r = compute_statistics(t(), stats_view::committee, year_period(2025), {{"S01", "S02", "S03"}});
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(r->term_name, "第五届");
    const std::vector<std::string> commnos = {"S01", "S02", "S03"};
    const std::string members = " FROM tc_og_councilmemberinfo m, tc_ge_personinfo p WHERE m.personno = p.personno "
                                "AND m.falldue = '05' ";
    const table_shape people{1, 0, -1, "", false};
    expect_table(t(), *find_table(*r, "成员：按职务"),
                 reference(t(), "SELECT m.commno, COALESCE(m.duty, ''), COUNT(*), 0" + members + "GROUP BY m.commno, 2",
                           {}, 1, false, named_by(duties)),
                 commnos, people);
    expect_table(t(), *find_table(*r, "成员：按性别"),
                 reference(t(), "SELECT m.commno, COALESCE(p.sex, ''), COUNT(*), 0" + members + "GROUP BY m.commno, 2",
                           {}, 1, false, named_by(sexes)),
                 commnos, people);
    const stats_table* ages = find_table(*r, "成员：按年龄段（2025-12-31）");
    ASSERT_TRUE(ages);
    std::vector<std::string> labels;
    for (const auto& row : ages->rows) labels.push_back(row[0].text);
    EXPECT_EQ(labels, (std::vector<std::string>{"35岁以下", "35至49岁", "50至59岁", "60岁及以上", "出生日期未填"}));
    for (const auto& row : ages->rows) {
        for (std::size_t c = 0; c < commnos.size(); ++c) {
            const std::int64_t want = bands[row[0].text][commnos[c]];
            EXPECT_EQ(row[1 + c].number->units(), want) << row[0].text << " in " << commnos[c];
            ASSERT_TRUE(row[1 + c].behind);
            EXPECT_EQ(retrieved(t(), *row[1 + c].behind, "", false).count, want) << row[0].text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, WorkStatsTest, ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

}  // namespace
}  // namespace officerecords
