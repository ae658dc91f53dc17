// A record's history read back as a clerk reads it: newest change first,
// captions instead of column names, codes by their names and amounts and
// dates in the form's formats; the register's history by date; both
// exported like a list.
#include "storage/record_history.h"

#include <gtest/gtest.h>

#include "activities/commactivityrecord.h"
#include "finance/assetregister.h"
#include "foundation/record_name.h"
#include "foundation/register_page.h"
#include "storage/file_access.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;
using testkit::scratch_dir;

class RecordHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.workstation = "前台";
        s.os_user = "clerk";
        ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
    }
    // Opens list record `orderno`, sets the items and saves on `day`.
    void edit(int orderno, const std::string& day, std::vector<std::pair<std::string, value>> items) {
        host.day = *date::parse(day);
        for (long r = 1; r <= page.dw_1.rowcount(); ++r)
            if (page.dw_1.getitemnumber(r, "orderno") == orderno) page.dw_1.setrow(r);
        w_m_og_assetregister w(s);
        w.open_with(k_mode_modify);
        for (const auto& [column, v] : items) ASSERT_EQ(w.dw_1.setitem(1, column, v), 1) << column;
        w.cb_save_clicked();
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    }
    std::string key(int orderno) {
        return history_key(d_og_assetregister(), {value("420106001001"), value(orderno)});
    }
    static std::string lines_of(const std::vector<history_line>& lines) {
        std::string out;
        for (const history_line& h : lines)
            out += std::to_string(h.changeno) + " " + h.when + " " + h.kind + " " + h.record + " " +
                   h.caption + ": " + h.old_shown + " -> " + h.new_shown + "\n";
        return out;
    }

    scratch_database db{true};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, db.sqlca(), *db.db.photosqlca, "420106001001", ".", &page};
};

TEST_F(RecordHistoryTest, ARecordsChangesReadNewestFirstInTheFormsTexts) {
    edit(2, "2026-12-01", {{"assetsort", value("01")}, {"originvalue", value(decimal(1234567'50, 2))}});
    edit(2, "2026-12-05", {{"assetsort", value("09")}, {"purchasedate", value(*date::parse("2020-01-02"))},
                           {"goodscount", value(12000)}});
    edit(3, "2026-12-06", {{"note", value("另一条")}});

    auto lines = record_history(db.sqlca(), d_og_assetregister(), key(2));
    ASSERT_TRUE(lines) << lines.message();
    const std::string k = "commno=420106001001;orderno=2";
    const std::string text = lines_of(*lines);
    // The second save first, its columns in the form's order.
    ASSERT_EQ(lines->size(), 5u) << text;
    EXPECT_EQ((*lines)[0].changeno, 2);
    EXPECT_EQ((*lines)[0].caption, "资产分类");
    EXPECT_EQ((*lines)[0].old_shown, "办公设备");
    EXPECT_EQ((*lines)[0].new_shown, "其他资产");
    EXPECT_EQ((*lines)[0].old_value.to_text(), "01");
    EXPECT_EQ((*lines)[1].caption, "数量");
    EXPECT_EQ((*lines)[1].new_shown, "12,000");
    EXPECT_EQ((*lines)[2].caption, "添置日期");
    EXPECT_EQ((*lines)[2].new_shown, "2020-01-02");
    EXPECT_EQ((*lines)[3].changeno, 1);
    EXPECT_EQ((*lines)[3].old_shown, "电子设备");
    EXPECT_EQ((*lines)[3].new_shown, "办公设备");
    EXPECT_EQ((*lines)[4].caption, "价值（元）");
    EXPECT_EQ((*lines)[4].new_shown, "1,234,567.50");
    EXPECT_EQ((*lines)[4].new_value.to_text(), "1234567.50");
    for (const history_line& h : *lines) {
        EXPECT_EQ(h.record, k);
        EXPECT_EQ(h.kind, "修改");
        EXPECT_EQ(h.workstation, "前台");
    }

    // The register between two days, both taken in whole.
    auto week = register_history(db.sqlca(), d_og_assetregister(), "420106001001", "2026-12-05", "2026-12-06");
    ASSERT_TRUE(week) << week.message();
    ASSERT_EQ(week->size(), 4u) << lines_of(*week);
    EXPECT_EQ((*week)[0].when, "2026-12-06 00:00:00");
    EXPECT_EQ((*week)[0].record, "commno=420106001001;orderno=3");
    EXPECT_EQ((*week)[0].record_shown, "3");
    EXPECT_EQ((*week)[0].caption, "备注");
    EXPECT_EQ((*week)[0].new_shown, "另一条");
    EXPECT_EQ(lines_of(std::vector<history_line>(week->begin() + 1, week->end())),
              lines_of(std::vector<history_line>(lines->begin(), lines->begin() + 3)));
    auto open = register_history(db.sqlca(), d_og_assetregister(), "420106001001", "", "2026-12-01");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->size(), 2u);
    auto other = register_history(db.sqlca(), d_og_assetregister(), "420106001002", "", "");
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->empty()) << "another community's history";
}

TEST_F(RecordHistoryTest, TheHistoryExportsLikeAList) {
    edit(2, "2026-12-01", {{"assetsort", value("01")}});
    auto lines = register_history(db.sqlca(), d_og_assetregister(), "420106001001", "", "");
    ASSERT_TRUE(lines && lines->size() == 1);
    (*lines)[0].checked = false;

    scratch_dir out;
    const std::string csv = out.file("记录.csv");
    ASSERT_TRUE(export_history(*lines, true, "固定资产登记", "水果湖社区", db.sqlca(), db.clock, "csv", csv)
                    .is_ok());
    blob bytes;
    ASSERT_EQ(read_file(csv, bytes), 1);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("序号,时间,工作站,用户,操作,记录号,记录,栏目,原值,新值\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(",修改（未校验）,2,\"激光打印机，2020-06-18，3,580.00\",资产分类,电子设备,"
                        "办公设备\r\n"),
              std::string::npos)
        << text;

    const std::string xlsx = out.file("记录.xlsx");
    ASSERT_TRUE(export_history(*lines, false, "固定资产登记", "水果湖社区", db.sqlca(), db.clock, "xlsx", xlsx)
                    .is_ok());
    const testkit::outcome sheet = testkit::read_xlsx(xlsx);
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    EXPECT_NE(sheet.output.find("A1 text \"固定资产登记 修改记录 — 水果湖社区\" bold"), std::string::npos)
        << sheet.output;
    for (const char* cell : {"F2 text \"栏目\" bold", "G2 text \"原值\" bold", "H2 text \"新值\" bold",
                             "F3 text \"资产分类\"", "G3 text \"电子设备\"", "H3 text \"办公设备\""})
        EXPECT_NE(sheet.output.find(cell), std::string::npos) << cell << "\n" << sheet.output;

    // An existing file stays as it was unless replacing is asked for.
    EXPECT_FALSE(export_history(*lines, false, "固定资产登记", "", db.sqlca(), db.clock, "xlsx", xlsx).is_ok());
    EXPECT_FALSE(export_history(*lines, false, "固定资产登记", "", db.sqlca(), db.clock, "pdf", out.file("x.pdf"))
                     .is_ok());
}

TEST(PrefixSuccessorTest, IsTheLeastTextAfterEveryTextWithThePrefix) {
    const struct {
        std::string prefix;
        std::optional<std::string> after;
    } cases[] = {
        {"OrderNo=1;", "OrderNo=1<"},
        {"a", "b"},
        {"中", "丮"},                      // U+4E2D, U+4E2E: the last byte on
        {"a\xC2\xBF", "a\xC3\x80"},        // U+00BF, U+00C0: the lead byte carries
        {"\xE0\xBF\xBF", "\xE1\x80\x80"},  // U+0FFF, U+1000
        {"x\xED\x9F\xBF", "x\xEE\x80\x80"},  // U+D7FF to U+E000, past the surrogates
        {"\xEF\xBF\xBF", "\xF0\x90\x80\x80"},  // U+FFFF, U+10000
        {"a\xF4\x8F\xBF\xBF", "b"},          // U+10FFFF has none: the one before carries
        {"\xF4\x8F\xBF\xBF", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prefix_successor(c.prefix), c.after) << c.prefix;
        if (!c.after) continue;
        // Byte order: the prefix, anything longer with it, then the successor.
        EXPECT_LT(c.prefix + "\xF4\x8F\xBF\xBF", *c.after);
        EXPECT_GT(*c.after, c.prefix);
    }
}

// Photo rows' changes under keys that a loose prefix match would take for
// another record's: "1" and "10", "1|2" and "1|20", Chinese numbers, the
// key's own separators. The history of each record holds exactly the rows
// whose key starts with "OrderNo=<number>;" in its community, as the
// earlier match by substr() found them, on both backends.
class RecordHistoryRangeTest : public ::testing::TestWithParam<testkit::backend> {};

TEST_P(RecordHistoryRangeTest, AnActivitysPhotosAreTheKeysStartingWithItsNumber) {
    OFFICERECORDS_NEED_BACKEND(GetParam());
    scratch_database db(false, GetParam());
    transaction& t = db.sqlca();
    // A server column in a language's collation, which orders ";" and "<"
    // by their letters around them, not by their bytes.
    if (GetParam() == testkit::backend::postgresql) {
        auto icu = t.select_value("SELECT count(*) FROM pg_collation WHERE collname = 'und-x-icu'");
        ASSERT_TRUE(icu) << t.sqlerrtext();
        if (icu->as_double().value_or(0) > 0) {
            ASSERT_EQ(t.execute("ALTER TABLE tc_og_changelog ALTER COLUMN recordkey TYPE VARCHAR(254) "
                                "COLLATE \"und-x-icu\""),
                      sql_code::ok)
                << t.sqlerrtext();
        }
        ASSERT_EQ(t.commit(), sql_code::ok) << t.sqlerrtext();
    }
    const std::vector<std::string> numbers = {"1", "10", "1|2", "1|20", "中", "中文", "文", "2"};
    const std::vector<std::string> keys = {
        "OrderNo=1;PhotoNo=1",   "OrderNo=1;PhotoNo=20", "OrderNo=10;PhotoNo=1", "OrderNo=1",
        "OrderNo=1;",            "OrderNo=1<x",          "OrderNo=1:x",          "OrderNo=1 ;PhotoNo=1",
        "OrderNo=1|2;PhotoNo=1", "OrderNo=1|20;PhotoNo=1", "OrderNo=1|2",        "OrderNo=中;PhotoNo=1",
        "OrderNo=中文;PhotoNo=1", "OrderNo=中;",           "OrderNo=中<",         "OrderNo=文;PhotoNo=3",
        "OrderNo=2;PhotoNo=1",   "orderno=1;PhotoNo=1",  "OrderNo=1;PhotoNo=中", "OrderNo=1-;PhotoNo=1"};
    struct logged {
        long logno;
        std::string commno, key;
    };
    std::vector<logged> all;
    long logno = 0;
    for (const std::string& commno : {std::string("420106001001"), std::string("420106001002")})
        for (const std::string& key : keys) all.push_back({++logno, commno, key});
    ASSERT_EQ(t.begin_write(), sql_code::ok);
    for (const logged& l : all) {
        const value change[] = {value(static_cast<std::int64_t>(l.logno)), value(l.commno), value(l.key)};
        ASSERT_EQ(t.execute("INSERT INTO tc_og_changelog (logno, changetime, workstation, osuser, commno, "
                            "windowname, tablename, recordkey, changekind, ischecked, dbuser) VALUES (?, "
                            "'2026-12-08 10:00:00', '前台', 'clerk', ?, 'w_m_og_commactivityrecord_pic', "
                            "'TS_CommActivePhoto', ?, '修改', '1', '')",
                            change),
                  sql_code::ok)
            << t.sqlerrtext();
        const value item[] = {value(static_cast<std::int64_t>(l.logno))};
        ASSERT_EQ(t.execute("INSERT INTO tc_og_changelog_item (logno, itemno, columnname, oldvalue, newvalue) "
                            "VALUES (?, 1, 'PhotoNote', '旧', '新')",
                            item),
                  sql_code::ok)
            << t.sqlerrtext();
    }
    ASSERT_EQ(t.commit(), sql_code::ok) << t.sqlerrtext();

    for (const std::string& commno : {std::string("420106001001"), std::string("420106001002")}) {
        for (const std::string& number : numbers) {
            const std::string prefix = "OrderNo=" + number + ";";
            std::vector<long> want;
            for (auto l = all.rbegin(); l != all.rend(); ++l)
                if (l->commno == commno && l->key.starts_with(prefix)) want.push_back(l->logno);
            // The earlier match, on the same rows.
            std::vector<long> earlier;
            const value p[] = {value(commno), value(prefix), value(prefix)};
            auto rows = t.open_cursor("SELECT logno FROM tc_og_changelog WHERE tablename = 'TS_CommActivePhoto' "
                                      "AND commno = ? AND substr(recordkey, 1, length(?)) = ? ORDER BY logno DESC",
                                      p);
            ASSERT_TRUE(rows) << t.sqlerrtext();
            while (rows->fetch()) earlier.push_back(static_cast<long>(rows->column_integer(0)));
            rows.reset();
            EXPECT_EQ(earlier, want) << prefix;

            // The server's activity numbers are numbers: it names no record
            // "1|2" (the keys of such photos are there all the same).
            if (GetParam() == testkit::backend::postgresql &&
                number.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::string key = "commno=" + commno + ";orderno=" + number;
            auto lines = record_history(t, d_og_commactivityrecord(), key);
            ASSERT_TRUE(lines) << lines.message();
            std::vector<long> got;
            for (const history_line& h : *lines) got.push_back(h.changeno);
            EXPECT_EQ(got, want) << commno << " " << prefix;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordHistoryRangeTest,
                         ::testing::Values(testkit::backend::sqlite, testkit::backend::postgresql),
                         testkit::backend_name);

}  // namespace
// The history speaks the clerk's words: only the form's captions, whether
// the record was checked in words, and every record named by its number
// and its register's naming columns, a deleted one by what it last held.
TEST_F(RecordHistoryTest, RecordsAreNamedAndOnlyTheFormsCaptionsShown) {
    w_m_og_assetregister added(s);
    added.open_with(k_mode_add);
    host.day = *date::parse("2026-12-02");
    ASSERT_EQ(added.dw_1.setitem(1, "goodsname", value("饮水机")), 1);
    ASSERT_EQ(added.dw_1.setitem(1, "originvalue", value(decimal(1280'00, 2))), 1);
    added.cb_tempsave_clicked();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    const value number = added.dw_1.getitem(1, "orderno");
    ASSERT_EQ(added.dw_1.setitem(1, "purchasedate", value(*date::parse("2026-11-30"))), 1);
    added.cb_save_clicked();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();

    auto lines = record_history(db.sqlca(), d_og_assetregister(),
                                key(static_cast<int>(number.as_double().value())));
    ASSERT_TRUE(lines) << lines.message();
    std::string shown;
    for (const history_line& h : *lines)
        shown += h.kind + " " + h.caption + ": " + h.old_shown + " -> " + h.new_shown + " | " +
                 h.record_name + "\n";
    EXPECT_EQ(shown,
              "修改 添置日期:  -> 2026-11-30 | 饮水机，2026-11-30，1,280.00\n"
              "修改 数据校验: 未校验 -> 已校验 | 饮水机，2026-11-30，1,280.00\n"
              "新增 资产名称:  -> 饮水机 | 饮水机，2026-11-30，1,280.00\n"
              "新增 价值（元）:  -> 1,280.00 | 饮水机，2026-11-30，1,280.00\n"
              "新增 数据校验:  -> 未校验 | 饮水机，2026-11-30，1,280.00\n");

    // A deleted record keeps the name it had.
    edit(3, "2026-12-03", {{"note", value("待报废")}});
    page.dw_1.setrow(3);
    const std::string third = page.dw_1.history_key(3);
    const std::string third_name = record_name(page.dw_1, 3);
    ASSERT_FALSE(third_name.empty());
    host.answers.push_back(true);
    ASSERT_TRUE(delete_current_record(page, s));
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions.back(),
              "确认信息 | 您确定要删除当前这条记录吗？\n记录号 3（" + third_name + "）");
    auto week =
        register_history(db.sqlca(), d_og_assetregister(), "420106001001", "2026-12-03", "");
    ASSERT_TRUE(week) << week.message();
    ASSERT_FALSE(week->empty());
    for (const history_line& h : *week) {
        EXPECT_EQ(h.record, third);
        EXPECT_EQ(h.record_name, third_name) << h.kind << " " << h.caption;
        EXPECT_NE(h.caption, "orderno");
        EXPECT_NE(h.caption, "commno");
    }
    EXPECT_EQ(week->front().kind, "删除");
}

}  // namespace officerecords
