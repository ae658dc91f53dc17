// The money view on generated income and expenditure of several
// communities, on both backends: every figure against a plain reference
// query, every figure's records through the register's list, the balance
// carried from before the period, empty dates, the period's first and last
// day, and a community without records.
#include <gtest/gtest.h>

#include "tests/statistics/stats_test_support.h"

namespace officerecords {
namespace {

using namespace stats_testing;
using testkit::backend;

const std::vector<std::pair<std::string, std::string>> k_sorts = {{"10", "行政经费"}, {"20", "专项经费"}, {"30", "其他经费"}};
const std::vector<std::pair<std::string, std::string>> k_bounds = {{"11", "办公用品"}, {"12", "水电"}, {"21", "活动"}};


class MoneyStatsTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        db_ = std::make_unique<testkit::scratch_database>(false, GetParam());
        ASSERT_TRUE(db_->db.sqlca);
    }
    transaction& t() { return db_->sqlca(); }
    bool pg() const { return GetParam() == backend::postgresql; }
    std::string month_of(const std::string& column) const {
        return pg() ? "COALESCE(to_char(" + column + ", 'YYYY-MM'), '')"
                    : "COALESCE(strftime('%Y-%m', " + column + "), '')";
    }

    void fill(int records_each) {
        write_guard w(t());
        ASSERT_TRUE(w.began()) << t().sqlerrtext();
        for (const auto& [code, name] : k_communities)
            insert(t(), "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t(), "dddw_og_outlaysort", k_sorts);
        add_codes(t(), "dddw_og_usebound", k_bounds);
        generator g;
        const date from = *date::parse("2024-11-15"), to = *date::parse("2026-02-10");
        std::int64_t no = 0;
        for (int i = 0; i < records_each; ++i) {
            for (const char* commno : {"S01", "S02"}) {
                insert(t(), "tc_og_incomemoneyrecord", {"commno", "orderno", "recorddate", "outlaysort", "moneysum"},
                       {value(commno), value(++no), g.some_date(from, to), g.some_code(codes_of(k_sorts)),
                        g.chance(3) ? value() : g.some_amount(50000)});
                insert(t(), "tc_og_moneyoutgorecord", {"commno", "orderno", "recorddate", "outlaysort", "usebound", "moneysum"},
                       {value(commno), value(++no), g.some_date(from, to), g.some_code(codes_of(k_sorts)),
                        g.some_code(codes_of(k_bounds)), g.some_amount(30000)});
            }
        }
        ASSERT_EQ(w.commit(), sql_code::ok) << t().sqlerrtext();
    }

    // The records of a register in the period, undated ones included.
    std::string in_period(const std::string& table) const {
        return " FROM " + table + " WHERE (recorddate IS NULL OR (recorddate >= ? AND recorddate <= ?)) ";
    }

    std::unique_ptr<testkit::scratch_database> db_;
};

TEST_P(MoneyStatsTest, EveryFigureEqualsItsReferenceAndItsRecords) {
    fill(150);
    const stats_period period = {*date::parse("2025-01-05"), *date::parse("2025-12-20")};
    auto r = compute_statistics(t(), stats_view::money, period, {});
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(r->community_names, (std::vector<std::string>{"东湖社区", "西湖社区", "南湖社区"}));
    const std::vector<std::string> commnos = {"S01", "S02", "S03"};
    const std::vector<value> p = {value(period.from), value(period.to)};
    auto sort_name = [](int, const std::string& c) { return name_in(k_sorts, c); };
    auto month_name = [](int, const std::string& m) { return month_label_of(m); };
    const table_shape money{2, 0, 1, "moneysum", true};

    expect_table(t(), *find_table(*r, "收入：按类别"),
                 reference(t(), "SELECT commno, COALESCE(outlaysort, ''), COUNT(*), SUM(moneysum)" +
                                    in_period("tc_og_incomemoneyrecord") + "GROUP BY commno, COALESCE(outlaysort, '')",
                           p, 1, true, sort_name),
                 commnos, money);
    expect_table(t(), *find_table(*r, "收入：按月份"),
                 reference(t(), "SELECT commno, " + month_of("recorddate") + ", COUNT(*), SUM(moneysum)" +
                                    in_period("tc_og_incomemoneyrecord") + "GROUP BY commno, 2",
                           p, 1, true, month_name),
                 commnos, money);
    expect_table(t(), *find_table(*r, "支出：按经费类别和使用范围"),
                 reference(t(), "SELECT commno, COALESCE(outlaysort, ''), COALESCE(usebound, ''), COUNT(*), SUM(moneysum)" +
                                    in_period("tc_og_moneyoutgorecord") + "GROUP BY commno, 2, 3",
                           p, 2, true,
                           [](int i, const std::string& c) { return i == 0 ? name_in(k_sorts, c) : name_in(k_bounds, c); }),
                 commnos, money);
    expect_table(t(), *find_table(*r, "支出：按月份"),
                 reference(t(), "SELECT commno, " + month_of("recorddate") + ", COUNT(*), SUM(moneysum)" +
                                    in_period("tc_og_moneyoutgorecord") + "GROUP BY commno, 2",
                           p, 1, true, month_name),
                 commnos, money);

    // The balance: what came in and went out before the period, then each
    // month's closing balance, 日期未填 last, the period's closing balance.
    const stats_table* b = find_table(*r, "收支结余：按月份");
    ASSERT_TRUE(b);
    ASSERT_EQ(b->header.size(), 1u + 4 * 3);
    auto before = [&](const std::string& table, const std::string& commno) {
        const std::vector<value> q = {value(commno), value(period.from)};
        auto v = t().select_value("SELECT SUM(moneysum) FROM " + table + " WHERE commno = ? AND recorddate < ?", q);
        EXPECT_TRUE(v) << t().sqlerrtext();
        return v ? fen_of(*v) : 0;
    };
    auto within = [&](const std::string& table, const std::string& commno) {
        const std::vector<value> q = {value(commno), value(period.from), value(period.to)};
        auto v = t().select_value("SELECT SUM(moneysum) FROM " + table +
                                  " WHERE commno = ? AND (recorddate IS NULL OR (recorddate >= ? AND recorddate <= ?))", q);
        EXPECT_TRUE(v) << t().sqlerrtext();
        return v ? fen_of(*v) : 0;
    };
    std::int64_t all_before = 0, all_closing = 0;
    for (std::size_t c = 0; c < commnos.size(); ++c) {
        const std::int64_t in = before("tc_og_incomemoneyrecord", commnos[c]);
        const std::int64_t out = before("tc_og_moneyoutgorecord", commnos[c]);
        EXPECT_EQ(b->rows.front()[1 + 3 * c].number->units(), in);
        EXPECT_EQ(b->rows.front()[2 + 3 * c].number->units(), out);
        EXPECT_EQ(b->rows.front()[3 + 3 * c].number->units(), in - out);
        EXPECT_EQ(retrieved(t(), *b->rows.front()[1 + 3 * c].behind, "moneysum", true).fen, in);
        const std::int64_t closing =
            in - out + within("tc_og_incomemoneyrecord", commnos[c]) - within("tc_og_moneyoutgorecord", commnos[c]);
        EXPECT_EQ(b->rows.back()[3 + 3 * c].number->units(), closing) << commnos[c];
        all_before += in - out;
        all_closing += closing;
    }
    EXPECT_EQ(b->rows.front()[3 + 9].number->units(), all_before);
    EXPECT_EQ(b->rows.back()[3 + 9].number->units(), all_closing);
    EXPECT_EQ(b->rows[b->rows.size() - 2][0].text, k_no_date_label);
    // 12 months (January to December) between the first row and 日期未填.
    EXPECT_EQ(b->rows.size(), 1u + 12 + 1 + 1);
    EXPECT_NE(all_before, 0);
}

// Records on the first and the last day are in; the day before and the day
// after are out; an empty date is counted under 日期未填; a community
// without records has its column of zeros.
TEST_P(MoneyStatsTest, PeriodBoundsEmptyDatesAndACommunityWithoutRecords) {
    {
        write_guard w(t());
        ASSERT_TRUE(w.began());
        for (const auto& [code, name] : k_communities)
            insert(t(), "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t(), "dddw_og_outlaysort", k_sorts);
        std::int64_t no = 0;
        for (const char* day : {"2025-02-28", "2025-03-01", "2025-03-31", "2025-04-01", ""})
            insert(t(), "tc_og_incomemoneyrecord", {"commno", "orderno", "recorddate", "outlaysort", "moneysum"},
                   {value("S01"), value(++no), *day ? value(*date::parse(day)) : value(), value("10"),
                    value(decimal(100 + no, 2))});
        ASSERT_EQ(w.commit(), sql_code::ok);
    }
    auto r = compute_statistics(t(), stats_view::money, month_period(2025, 3), {{"S01", "S03"}});
    ASSERT_TRUE(r) << r.message();
    const stats_table* months = find_table(*r, "收入：按月份");
    ASSERT_TRUE(months);
    std::string seen;
    for (const auto& row : months->rows) {
        for (const auto& cell : row) seen += cell.text + "|";
        seen += "\n";
    }
    // Records 2 and 3 (1.02 and 1.03) in March, record 5 (1.05) undated.
    EXPECT_EQ(seen,
              "2025年3月|2|2.05|0|0.00|2|2.05|\n"
              "日期未填|1|1.05|0|0.00|1|1.05|\n"
              "合计|3|3.10|0|0.00|3|3.10|\n");
    EXPECT_EQ(months->header, (std::vector<std::string>{"月份", "东湖社区·笔数", "东湖社区·金额（元）", "南湖社区·笔数",
                                                        "南湖社区·金额（元）", "合计·笔数", "合计·金额（元）"}));
    EXPECT_EQ(retrieved(t(), *months->rows[0][1].behind, "moneysum", true), (figure{2, 205}));
    EXPECT_EQ(retrieved(t(), *months->rows[1][1].behind, "moneysum", true), (figure{1, 105}));
    // The balance carried forward counts 2025-02-28 only.
    const stats_table* b = find_table(*r, "收支结余：按月份");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->rows.front()[0].text, "上期结转");
    EXPECT_EQ(b->rows.front()[3].text, "1.01");
    EXPECT_EQ(b->rows.back()[3].text, "4.11");
    // Every category of the code table has its row, counted or not.
    const stats_table* sorts = find_table(*r, "收入：按类别");
    ASSERT_TRUE(sorts);
    ASSERT_EQ(sorts->rows.size(), 4u);
    EXPECT_EQ(sorts->rows[1][0].text, "专项经费");
    EXPECT_EQ(sorts->rows[1][1].text, "0");
}

TEST_P(MoneyStatsTest, RefusesACommunityItCannotSeeAndAnInvertedPeriod) {
    {
        write_guard w(t());
        ASSERT_TRUE(w.began());
        insert(t(), "tc_ge_community", {"commno", "commname"}, {value("S01"), value("东湖社区")});
        ASSERT_EQ(w.commit(), sql_code::ok);
    }
    auto r = compute_statistics(t(), stats_view::money, year_period(2025), {{"S09"}});
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "没有这个社区，或者不能查看它的数据：S09");
    auto inverted = compute_statistics(t(), stats_view::money, {*date::parse("2025-03-02"), *date::parse("2025-03-01")}, {});
    ASSERT_FALSE(inverted);
    EXPECT_EQ(inverted.message(), "统计期间的结束日期 2025-03-01 早于开始日期 2025-03-02。");
}

INSTANTIATE_TEST_SUITE_P(Backends, MoneyStatsTest, ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

TEST(StatsPeriod, NamesAndBounds) {
    EXPECT_EQ(period_text(year_period(2025)), "2025年");
    EXPECT_EQ(period_text(quarter_period(2025, 2)), "2025年第2季度");
    EXPECT_EQ(period_text(month_period(2025, 3)), "2025年3月");
    EXPECT_EQ(period_text({*date::parse("2025-01-05"), *date::parse("2025-02-10")}), "2025-01-05 至 2025-02-10");
    EXPECT_EQ(quarter_period(2024, 1).to.iso(), "2024-03-31");
    EXPECT_EQ(month_period(2024, 2).to.iso(), "2024-02-29");
    EXPECT_EQ(month_period(2025, 12).to.iso(), "2025-12-31");
    for (stats_view v : {stats_view::money, stats_view::assets, stats_view::work, stats_view::activities, stats_view::committee})
        EXPECT_EQ(stats_view_named(stats_view_name(v)), v);
    EXPECT_FALSE(stats_view_named("Money"));
    EXPECT_EQ(stats_view_caption(stats_view::assets), "固定资产");
}

}  // namespace
}  // namespace officerecords

namespace officerecords {
namespace {

using namespace stats_testing;
using testkit::backend;

// The activities view on generated activities: by month and by topic,
// the count and the cost against reference queries, the units and
// persons summed, and the records of each figure through the list.
class ActivityStatsTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        db_ = std::make_unique<testkit::scratch_database>(false, GetParam());
        ASSERT_TRUE(db_->db.sqlca);
    }
    std::unique_ptr<testkit::scratch_database> db_;
};

TEST_P(ActivityStatsTest, FiguresEqualTheirReferences) {
    transaction& t = db_->sqlca();
    const std::vector<std::pair<std::string, std::string>> topics = {{"01", "文体"}, {"02", "宣传"}};
    {
        write_guard w(t);
        ASSERT_TRUE(w.began());
        for (const auto& [code, name] : k_communities)
            insert(t, "tc_ge_community", {"commno", "commname"}, {value(code), value(name)});
        add_codes(t, "dddw_og_activitytopic", topics);
        generator g(99);
        std::int64_t no = 0;
        for (int i = 0; i < 200; ++i)
            insert(t, "tc_og_commactivityrecord",
                   {"commno", "orderno", "activitydate", "activitytopic", "attendcompnum", "attendpersonnum",
                    "activitycost", "isbigaffair"},
                   {value(i % 2 ? "S01" : "S02"), value(++no),
                    g.some_date(*date::parse("2025-11-20"), *date::parse("2026-03-10")), g.some_code({"01", "02"}),
                    value(g.between(0, 9)), value(g.between(0, 300)), g.chance(5) ? value() : g.some_amount(2000),
                    value(g.chance(30) ? "1" : "0")});
        ASSERT_EQ(w.commit(), sql_code::ok) << t.sqlerrtext();
    }
    const stats_period period{*date::parse("2025-12-01"), *date::parse("2026-02-28")};
    auto r = compute_statistics(t, stats_view::activities, period, {{"S01", "S02", "S03"}});
    ASSERT_TRUE(r) << r.message();
    const std::vector<std::string> commnos = {"S01", "S02", "S03"};
    const std::vector<value> p = {value(period.from), value(period.to)};
    const std::string where = " FROM tc_og_commactivityrecord WHERE (activitydate IS NULL OR (activitydate >= ? AND "
                              "activitydate <= ?)) ";
    const bool pg = GetParam() == backend::postgresql;
    const std::string month = pg ? "COALESCE(to_char(activitydate, 'YYYY-MM'), '')"
                                 : "COALESCE(strftime('%Y-%m', activitydate), '')";
    auto topic = [&](int, const std::string& c) {
        if (c.empty()) return std::string("未填");
        for (const auto& [code, name] : topics)
            if (code == c) return name;
        return c;
    };
    const stats_table* by_month = find_table(*r, "活动：按月份");
    const stats_table* by_topic = find_table(*r, "活动：按主题");
    ASSERT_TRUE(by_month && by_topic);
    expect_table(t, *by_month,
                 reference(t, "SELECT commno, " + month + ", COUNT(*), SUM(activitycost)" + where + "GROUP BY commno, 2", p, 1,
                           true, [](int, const std::string& m) { return month_label_of(m); }),
                 commnos, {4, 0, 3, "activitycost", true});
    expect_table(t, *by_topic,
                 reference(t, "SELECT commno, COALESCE(activitytopic, ''), COUNT(*), SUM(activitycost)" + where +
                                  "GROUP BY commno, 2",
                           p, 1, true, topic),
                 commnos, {4, 0, 3, "activitycost", true});
    // The persons taking part, summed as whole numbers.
    expect_table(t, *by_topic,
                 reference(t, "SELECT commno, COALESCE(activitytopic, ''), COUNT(*), SUM(attendpersonnum)" + where +
                                  "GROUP BY commno, 2",
                           p, 1, false, topic),
                 commnos, {4, 0, 2, "attendpersonnum", false});
    // 转存社区大事记: the records marked 1, through the list as well.
    const stats_table* marks = find_table(*r, "照片与大事记");
    ASSERT_TRUE(marks);
    ASSERT_EQ(marks->rows.size(), 2u);
    auto chronicle = t.select_value("SELECT COUNT(*)" + where + "AND isbigaffair = '1' AND commno = 'S01'", p);
    ASSERT_TRUE(chronicle) << t.sqlerrtext();
    EXPECT_EQ(marks->rows[1][1].number->units(), chronicle->integer());
    EXPECT_EQ(retrieved(t, *marks->rows[1][1].behind, "", false).count, chronicle->integer());
    EXPECT_EQ(marks->rows[0][1].text, "0");
}

INSTANTIATE_TEST_SUITE_P(Backends, ActivityStatsTest, ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

}  // namespace
}  // namespace officerecords
