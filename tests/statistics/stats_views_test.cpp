// Every view on the demo office, on both backends (on the server as the
// clerk of its communities): each counted figure's records, retrieved
// through its register's list, are exactly as many as it counts; the
// server shows a clerk his communities' figures only and the supervisor
// every community's; the CLI's transcript and workbook.
#include <gtest/gtest.h>

#include <fstream>

#include "storage/server_accounts.h"
#include "storage/server_backend.h"
#include "tests/statistics/stats_test_support.h"

namespace officerecords {
namespace {

using namespace stats_testing;
using testkit::backend;

// A figure at scale 0 counts records, but for the sums of whole numbers
// (an asset's 数量, an activity's 参加单位 and 参加人数).
bool counts_records(const std::string& header, const stats_cell& cell) {
    if (!cell.number || cell.number->scale() != 0) return false;
    return header.find("数量") == std::string::npos && header.find("参加") == std::string::npos;
}

class StatsViewsTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        db_ = std::make_unique<testkit::scratch_database>(true, GetParam());
        ASSERT_TRUE(db_->db.sqlca);
    }
    std::unique_ptr<testkit::scratch_database> db_;
};

TEST_P(StatsViewsTest, EveryCountedFigureIsItsRecordsThroughTheList) {
    transaction& t = db_->sqlca();
    for (stats_view v : {stats_view::money, stats_view::assets, stats_view::work, stats_view::activities,
                         stats_view::committee}) {
        SCOPED_TRACE(std::string(stats_view_name(v)));
        auto r = compute_statistics(t, v, {*date::parse("2020-01-01"), *date::parse("2026-12-31")}, {});
        ASSERT_TRUE(r) << r.message();
        ASSERT_FALSE(r->tables.empty());
        int checked = 0;
        std::int64_t counted = 0;
        for (const stats_table& table : r->tables) {
            for (const auto& row : table.rows) {
                ASSERT_EQ(row.size(), table.header.size()) << table.title;
                for (std::size_t c = static_cast<std::size_t>(table.label_columns); c < row.size(); ++c) {
                    if (!counts_records(table.header[c], row[c]) || !row[c].behind) continue;
                    const figure got = retrieved(t, *row[c].behind, "", false);
                    EXPECT_EQ(got.count, row[c].number->units())
                        << table.title << " / " << row[0].text << " / " << table.header[c] << ": "
                        << row[c].behind->condition;
                    ++checked;
                    counted += got.count;
                }
            }
        }
        EXPECT_GT(checked, 10);
        // The demo office keeps records in every register.
        EXPECT_GT(counted, 0);
    }
}

TEST_P(StatsViewsTest, TheCommitteeViewShowsTheTermInForce) {
    auto r = compute_statistics(db_->sqlca(), stats_view::committee, year_period(2026), {});
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(r->term_name, "第六届");
    stats_scope other;
    other.term = "05";
    auto older = compute_statistics(db_->sqlca(), stats_view::committee, year_period(2026), other);
    ASSERT_TRUE(older) << older.message();
    EXPECT_EQ(older->term_name, "第五届");
    auto before_any = compute_statistics(db_->sqlca(), stats_view::committee, year_period(1950), {});
    // Terms whose members name no start date count as begun; the demo's name theirs.
    ASSERT_FALSE(before_any);
    EXPECT_EQ(before_any.message(), "到 1950-12-31 为止还没有居委会成员的届次。");
}

INSTANTIATE_TEST_SUITE_P(Backends, StatsViewsTest, ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

// On the server a clerk's connection computes his communities' figures
// only, whatever he asks; the supervisor's computes every community's.
TEST(StatsOnServer, AClerkSeesHisCommunitiesAndTheSupervisorAll) {
    if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
    testkit::server_database server;
    testkit::fixed_clock clock("2026-12-08");
    ASSERT_TRUE(create_demo_database(server.target(), clock).is_ok());
    const std::string tag = "st" + std::to_string(::getpid());
    const std::string clerk = "clerk_" + tag, supervisor = "super_" + tag;
    {
        auto admin = connect_server(server.target(), clock);
        ASSERT_TRUE(admin) << admin.message();
        ASSERT_TRUE(add_account(**admin, clerk, "pw-c", account_kind::clerk, {std::string(k_demo_commno_2)}).is_ok());
        ASSERT_TRUE(add_account(**admin, supervisor, "pw-s", account_kind::supervisor, {}).is_ok());
    }
    auto login = [&](const std::string& user, const std::string& password) {
        pg_options o;
        o.password = password;
        auto t = connect_server(server.target_as(user), clock, o);
        EXPECT_TRUE(t) << t.message();
        return t ? t.take() : nullptr;
    };
    auto as_clerk = login(clerk, "pw-c");
    auto as_supervisor = login(supervisor, "pw-s");
    ASSERT_TRUE(as_clerk && as_supervisor);
    const stats_period all_years{*date::parse("2000-01-01"), *date::parse("2026-12-31")};

    auto everything = compute_statistics(*as_supervisor, stats_view::money, all_years, {});
    ASSERT_TRUE(everything) << everything.message();
    EXPECT_EQ(everything->community_names.size(), 2u);
    auto only_his = compute_statistics(*as_clerk, stats_view::money, all_years, {});
    ASSERT_TRUE(only_his) << only_his.message();
    ASSERT_EQ(only_his->community_names.size(), 1u);
    // His one column equals the supervisor's column of that community.
    const stats_table* mine = find_table(*only_his, "收入：按月份");
    const stats_table* all = find_table(*everything, "收入：按月份");
    ASSERT_TRUE(mine && all);
    EXPECT_EQ(mine->rows.back()[2].text, all->rows.back()[4].text);
    EXPECT_NE(all->rows.back()[2].text, all->rows.back()[6].text);
    // Another community is not his to see.
    auto refused = compute_statistics(*as_clerk, stats_view::money, all_years, {{std::string(k_demo_commno_1)}});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message(), "没有这个社区，或者不能查看它的数据：" + std::string(k_demo_commno_1));
    as_clerk.reset();
    as_supervisor.reset();
    for (const std::string& r : {clerk, supervisor})
        (void)testkit::server_database::psql({"DROP ROLE IF EXISTS " + r});
}

class StatsCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("office.db");
        ASSERT_TRUE(create_database(path_, clock_).is_ok());
        auto db = open_database(path_, clock_);
        ASSERT_TRUE(db) << db.message();
        transaction& t = *db->sqlca;
        write_guard w(t);
        ASSERT_TRUE(w.began());
        insert(t, "tc_ge_community", {"commno", "commname"}, {value("S01"), value("东湖社区")});
        add_codes(t, "dddw_og_outlaysort", {{"10", "行政经费"}, {"20", "专项经费"}});
        add_codes(t, "dddw_og_usebound", {{"11", "办公用品"}});
        std::int64_t no = 0;
        for (const auto& [day, sort, fen] : std::vector<std::tuple<const char*, const char*, int>>{
                 {"2025-12-31", "10", 50000}, {"2026-01-01", "10", 123456}, {"2026-02-15", "20", 7005}, {"", "20", 99}})
            insert(t, "tc_og_incomemoneyrecord", {"commno", "orderno", "recorddate", "outlaysort", "moneysum"},
                   {value("S01"), value(++no), *day ? value(*date::parse(day)) : value(), value(sort), value(decimal(fen, 2))});
        insert(t, "tc_og_moneyoutgorecord", {"commno", "orderno", "recorddate", "outlaysort", "usebound", "moneysum"},
               {value("S01"), value(++no), value(*date::parse("2026-03-31")), value("10"), value("11"), value(decimal(2050, 2))});
        ASSERT_EQ(w.commit(), sql_code::ok);
    }
    testkit::outcome cli(const std::string& args) { return testkit::run_command(std::string(OFFICERECORDS_CLI) + " " + args); }
    testkit::scratch_dir dir_;
    testkit::fixed_clock clock_{"2026-12-08"};
    std::string path_;
};

TEST_F(StatsCliTest, MoneyAsTextIsItsTranscript) {
    const auto o = cli("stats money --db '" + path_ + "' --from 2026-01-01 --to 2026-03-31");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.output,
              "收支统计  2026年第1季度\n"
              "社区：东湖社区\n"
              "\n"
              "收入：按类别\n"
              "经费类别  笔数  金额（元）\n"
              "行政经费     1    1,234.56\n"
              "专项经费     2       71.04\n"
              "合计         3    1,305.60\n"
              "\n"
              "收入：按月份\n"
              "月份       笔数  金额（元）\n"
              "2026年1月     1    1,234.56\n"
              "2026年2月     1       70.05\n"
              "2026年3月     0        0.00\n"
              "日期未填      1        0.99\n"
              "合计          3    1,305.60\n"
              "\n"
              "支出：按经费类别和使用范围\n"
              "经费类别  经费使用范围  笔数  金额（元）\n"
              "行政经费  办公用品         1       20.50\n"
              "合计                       1       20.50\n"
              "\n"
              "支出：按月份\n"
              "月份       笔数  金额（元）\n"
              "2026年1月     0        0.00\n"
              "2026年2月     0        0.00\n"
              "2026年3月     1       20.50\n"
              "合计          1       20.50\n"
              "\n"
              "收支结余：按月份\n"
              "月份           收入   支出      结余\n"
              "上期结转     500.00   0.00    500.00\n"
              "2026年1月  1,234.56   0.00  1,734.56\n"
              "2026年2月     70.05   0.00  1,804.61\n"
              "2026年3月      0.00  20.50  1,784.11\n"
              "日期未填       0.99   0.00  1,785.10\n"
              "合计       1,305.60  20.50  1,785.10\n");
}

// CSV: a byte order mark, CR LF, plain numbers a spreadsheet sums, the
// tables one after another with a blank line between.
TEST_F(StatsCliTest, MoneyAsCsv) {
    const auto o = cli("stats money --db '" + path_ + "' --community S01 --from 2026-01-01 --to 2026-03-31 --format csv");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.output.starts_with("\xEF\xBB\xBF收入：按类别\r\n经费类别,笔数,金额（元）\r\n行政经费,1,1234.56\r\n"
                                     "专项经费,2,71.04\r\n合计,3,1305.60\r\n\r\n收入：按月份\r\n"))
        << o.output;
    EXPECT_TRUE(o.output.ends_with("日期未填,0.99,0.00,1785.10\r\n合计,1305.60,20.50,1785.10\r\n")) << o.output;
}

TEST_F(StatsCliTest, BadArgumentsAreRefusedWithStatusTwo) {
    for (const std::string& args : {
             "stats money --db '" + path_ + "' --from 2026-01-01",
             "stats wealth --db '" + path_ + "' --from 2026-01-01 --to 2026-03-31",
             "stats money --db '" + path_ + "' --from 2026-13-01 --to 2026-03-31",
             "stats money --db '" + path_ + "' --from 2026-04-01 --to 2026-03-31",
             "stats money --db '" + path_ + "' --from 2026-01-01 --to 2026-03-31 --format pdf",
             "stats money --db '" + path_ + "' --from 2026-01-01 --to 2026-03-31 --format xlsx",
             "stats money --db '" + path_ + "' --all --community S01 --from 2026-01-01 --to 2026-03-31",
         }) {
        const auto o = cli(args);
        EXPECT_EQ(o.status, 2) << args << "\n" << o.output;
        EXPECT_NE(o.output.find("error: "), std::string::npos) << o.output;
    }
    const auto unknown = cli("stats money --db '" + path_ + "' --community S09 --from 2026-01-01 --to 2026-03-31");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.output, "error: 没有这个社区，或者不能查看它的数据：S09\n");
}

// The workbook as openpyxl reads it: figures are numbers, amounts with
// two decimals, and each charted table has a native chart whose series
// refer to its cells.
TEST_F(StatsCliTest, TheWorkbookHoldsNumbersAndNativeCharts) {
    const std::string out = dir_.file("money.xlsx");
    const auto o = cli("stats money --db '" + path_ + "' --from 2026-01-01 --to 2026-03-31 --format xlsx --out '" + out + "'");
    ASSERT_EQ(o.status, 0) << o.output;
    const std::string script = dir_.file("read.py");
    std::ofstream(script) << "import sys, openpyxl\n"
                             "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                             "for row in ws.iter_rows():\n"
                             "    for c in row:\n"
                             "        if isinstance(c.value, (int, float)):\n"
                             "            print('%s %r %s' % (c.coordinate, c.value, c.number_format))\n"
                             "print('charts', len(ws._charts))\n"
                             "for ch in ws._charts:\n"
                             "    for s in ch.series:\n"
                             "        print('series', s.val.numRef.f, s.cat.strRef.f if s.cat.strRef else s.cat.numRef.f)\n";
    const auto read = testkit::run_command(std::string(OFFICERECORDS_PYTHON) + " '" + script + "' '" + out + "'");
    ASSERT_EQ(read.status, 0) << read.output;
    // 收入：按类别: title in row 3, header in row 4, 行政经费 in row 5.
    EXPECT_NE(read.output.find("B5 1 0\n"), std::string::npos) << read.output;
    EXPECT_NE(read.output.find("C5 1234.56 #,##0.00\n"), std::string::npos) << read.output;
    EXPECT_NE(read.output.find("charts 5\n"), std::string::npos) << read.output;
    // The chart leaves out the 合计 row: 行政经费 and 专项经费 only.
    EXPECT_NE(read.output.find("series '收支'!$C$5:$C$6 '收支'!$A$5:$A$6\n"), std::string::npos) << read.output;
}

}  // namespace
}  // namespace officerecords
