// Importing a register from a file: every row through the register's own
// window, all rows in one write, and the register exactly as before when
// anything goes wrong.
#include "import/register_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iconv.h>

#include "catalog/window_catalog.h"
#include "foundation/register_page.h"
#include "storage/list_export.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::backend;
using testkit::dump;
using testkit::recording_host;
using testkit::scratch_database;

constexpr const char* k_commno = "420106001001";

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string to_gb18030(const std::string& utf8) {
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size(), out_left = out.size();
    char* to = out.data();
    iconv(cd, &in, &in_left, &to, &out_left);
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

class RegisterImportTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override { OFFICERECORDS_NEED_BACKEND(GetParam()); }

    transaction& sql() { return db.sqlca(); }
    void run(const std::string& statement) {
        ASSERT_EQ(sql().execute(statement), sql_code::ok) << sql().sqlerrtext();
        ASSERT_EQ(sql().commit(), sql_code::ok);
    }
    std::string csv(const std::string& name, const std::string& text) {
        const std::string path = db.dir.file(name);
        write_file(path, text);
        return path;
    }
    result<import_report> import(const std::string& window, const std::string& path,
                                 import_mode mode = import_mode::write_all, bool skip_duplicates = false,
                                 std::vector<std::pair<std::string, std::string>> mapping = {}) {
        register_import job(s, {window, path, "", std::move(mapping), skip_duplicates});
        if (status st = job.open(); !st) return st;
        return job.run(mode);
    }
    std::string assets() {
        return dump(sql(),
                    "SELECT assetsort, goodsname, goodscount, originvalue, purchasedate, keepperson, note FROM "
                    "tc_og_assetregister WHERE commno = '420106001001' AND orderno > 900 ORDER BY orderno");
    }
    // Every register's list as the program exports it, as an XLSX.
    status export_list(const window_entry& entry, const std::string& path) {
        uo_tabpg_datawindow page;
        if (status st = list_register(page, std::string(entry.window), entry.list(), s); !st) return st;
        const list_export out(page.dw_1, list_export::all_rows(page.dw_1), {std::string(entry.caption), "东湖社区"},
                              host);
        return out.write(export_format::xlsx, path, true);
    }
    // The cells of a file's rows as one text, for comparing two files.
    std::string cells_of(const std::string& path) {
        auto source = open_sheet(path, "");
        if (!source) return "error: " + source.message();
        std::string out;
        sheet_row row;
        for (;;) {
            auto more = (*source)->next(row);
            if (!more) return out + "error: " + more.message();
            if (!*more) break;
            for (const sheet_cell& c : row.cells) out += c.text + "|";
            out += "\n";
        }
        return out;
    }

    scratch_database db{true, GetParam()};
    recording_host host;
    session s{host, host, db.sqlca(), *db.db.photosqlca, k_commno, {}, nullptr};
};

// Every register exported by the program comes back unchanged: its records
// removed, the export imported, and exported again.
TEST_P(RegisterImportTest, EveryRegistersExportImportsBackUnchanged) {
    // Last first: the bodies imported again are numbered afresh, which
    // their members' list, looked at before, would no longer find.
    const std::vector<window_entry>& registers = window_catalog();
    for (auto it = registers.rbegin(); it != registers.rend(); ++it) {
        const window_entry& entry = *it;
        SCOPED_TRACE(std::string(entry.window));
        const std::string before = db.dir.file(std::string(entry.window) + "_before.xlsx");
        const std::string after = db.dir.file(std::string(entry.window) + "_after.xlsx");
        ASSERT_TRUE(export_list(entry, before).is_ok());
        const std::string table = entry.form().update_table;
        const auto count = [&] {
            return dump(sql(), "SELECT COUNT(*) FROM " + table + " WHERE commno = '420106001001'");
        };
        const std::string stored = count();
        ASSERT_NE(stored, "0\n") << "the demo office has records of every register";
        run("DELETE FROM " + table + " WHERE commno = '420106001001'");

        // A side register lists a record once for each term of its member:
        // the repeats are the possible duplicates the clerk skips.
        auto report = import(std::string(entry.window), before, import_mode::write_all, true);
        ASSERT_TRUE(report.is_ok()) << report.message();
        for (const import_row& r : report->failures) ADD_FAILURE() << "row " << r.sheet_row << ": " << r.message;
        EXPECT_EQ(report->checked, report->passed) << report->duplicates.size() << " duplicates";
        EXPECT_EQ(count(), stored) << report->checked << " checked, " << report->duplicates.size() << " duplicates, "
                                   << report->imported << " imported";
        ASSERT_TRUE(export_list(entry, after).is_ok());
        EXPECT_EQ(cells_of(after), cells_of(before));
    }
}

// Values as clerks type them in their own sheets, each read into the
// column's value; codes by their name or their code.
TEST_P(RegisterImportTest, DatesAmountsAndCodesAsClerksTypeThem) {
    const std::string path = csv("assets.csv",
                                 "资产分类,资产名称,数量,价值（元）,添置日期,保管人,备注\n"
                                 "电子设备,甲,1,\"19,960.00\",2020-01-01,王,横线\n"
                                 "02,乙,2,¥1234.5,2020/1/2,王,斜线\n"
                                 "电子设备,丙,3,￥ 12,2020.1.3,王,点\n"
                                 "电子设备,丁,1,0.10,2020年1月4日,王,年月日\n"
                                 "电子设备,戊,1,3,20200105,王,八位\n"
                                 "电子设备,己,1,3,2020-01-06 00:00:00,王,带时间\n");
    // New records are numbered above what the demo office has.
    run("INSERT INTO tc_og_assetregister (commno, orderno, goodsname) VALUES ('420106001002', 900, '占位')");
    auto report = import("w_m_og_assetregister", path);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->failures.size(), 0u) << report->failures[0].message;
    EXPECT_EQ(report->imported, 6);
    const std::string c = "02";  // 电子设备
    EXPECT_EQ(assets(), c + "|甲|1|19960.00|2020-01-01|王|横线\n" + c + "|乙|2|1234.50|2020-01-02|王|斜线\n" + c +
                            "|丙|3|12.00|2020-01-03|王|点\n" + c + "|丁|1|0.10|2020-01-04|王|年月日\n" + c +
                            "|戊|1|3.00|2020-01-05|王|八位\n" + c + "|己|1|3.00|2020-01-06|王|带时间\n");
}

// A value that cannot be read is its row's error, with the column named;
// the window's own checks refuse with the window's words; nothing is
// written while a row fails.
TEST_P(RegisterImportTest, RowsThatFailAreListedAndNothingIsWritten) {
    const std::string path = csv("assets.csv",
                                 "资产名称,价值（元）,添置日期,资产分类\n"
                                 "好的,1.00,2020-01-01,电子设备\n"
                                 "坏日期,1.00,2020-13-01,电子设备\n"
                                 "坏金额,1.0.0,2020-01-01,电子设备\n"
                                 "坏代码,1.00,2020-01-01,飞船\n"
                                 "负数,-5,2020-01-01,电子设备\n"
                                 "将来,1.00,2027-01-01,电子设备\n");
    const std::string before = dump(sql(), "SELECT COUNT(*) FROM tc_og_assetregister");
    auto report = import("w_m_og_assetregister", path);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->checked, 6);
    EXPECT_EQ(report->passed, 1);
    ASSERT_EQ(report->failures.size(), 5u);
    EXPECT_EQ(report->failures[0].sheet_row, 3);
    EXPECT_EQ(report->failures[0].message, "“添置日期”的“2020-13-01”不是能认出的日期");
    EXPECT_EQ(report->failures[1].message, "“价值（元）”的“1.0.0”不是能认出的数值");
    EXPECT_EQ(report->failures[2].message, "“资产分类”的“飞船”不是可以选择的名称或代码");
    EXPECT_NE(report->failures[3].message.find("不能为负值"), std::string::npos) << report->failures[3].message;
    EXPECT_NE(report->failures[4].message.find("不能大于"), std::string::npos) << report->failures[4].message;
    EXPECT_EQ(report->imported, 0);
    EXPECT_EQ(dump(sql(), "SELECT COUNT(*) FROM tc_og_assetregister"), before);

    // The clerk may take the rows that pass.
    report = import("w_m_og_assetregister", path, import_mode::write_passing);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->imported, 1);
    EXPECT_EQ(dump(sql(), "SELECT goodsname FROM tc_og_assetregister WHERE goodsname = '好的'"), "好的\n");
}

// An Excel 97-2003 workbook: a date cell, an amount cell, a code by name.
TEST_P(RegisterImportTest, AnOldXlsWorkbookImports) {
    const std::string make_xls = (std::filesystem::path(__FILE__).parent_path() / "make_xls.py").string();
    const testkit::outcome made = testkit::run_command(std::string(OFFICERECORDS_PYTHON) + " '" + make_xls +
                                                       "' '" + db.dir.path() + "'");
    ASSERT_EQ(made.status, 0) << made.output;
    auto report = import("w_m_og_assetregister", db.dir.file("固定资产.xls"));
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->imported, 1);
    EXPECT_EQ(report->description, "XLS");
    EXPECT_EQ(dump(sql(), "SELECT assetsort, goodscount, originvalue, purchasedate, keepperson FROM "
                          "tc_og_assetregister WHERE goodsname = '复印机' AND commno = '420106001001'"),
              "02|1|12800.50|2018-07-09|刘敏\n");
}

TEST_P(RegisterImportTest, CsvInGbkAndUtf8WithOrWithoutBomReadAlike) {
    const std::string text = "资产名称,价值（元）,备注\n中文名称,8.00,“引号”与顿号、\n";
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"gbk.csv", to_gb18030(text)}, {"utf8.csv", text}, {"bom.csv", "\xEF\xBB\xBF" + text}}) {
        SCOPED_TRACE(name);
        const std::string path = csv(name, bytes);
        register_import job(s, {"w_m_og_assetregister", path, "", {}, false});
        ASSERT_TRUE(job.open().is_ok());
        auto report = job.run(import_mode::check);
        ASSERT_TRUE(report.is_ok()) << report.message();
        ASSERT_EQ(report->first_rows.size(), 1u);
        EXPECT_EQ(report->first_rows[0].shown[0], "中文名称");
        EXPECT_EQ(report->first_rows[0].shown[2], "“引号”与顿号、");
    }
}

// The header is matched by captions; what matches nothing is listed and
// ignored; the clerk's mapping corrects the rest; a column the register
// cannot do without stops the import before any row.
TEST_P(RegisterImportTest, TheHeaderIsMatchedAndCorrectedByTheClerk) {
    const std::string path = csv("m.csv", "物品,价值 (元),颜色\n椅子,5,红\n");
    register_import plain(s, {"w_m_og_assetregister", path, "", {}, false});
    ASSERT_TRUE(plain.open().is_ok());
    EXPECT_EQ(plain.header().ignored, (std::vector<std::string>{"物品", "颜色"}));
    register_import mapped(s, {"w_m_og_assetregister", path, "", {{"物品", "goodsname"}}, false});
    ASSERT_TRUE(mapped.open().is_ok());
    EXPECT_EQ(mapped.header().columns, (std::vector<std::string>{"goodsname", "originvalue", ""}));
    auto report = mapped.run(import_mode::write_all);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->imported, 1);
    EXPECT_EQ(dump(sql(), "SELECT originvalue FROM tc_og_assetregister WHERE goodsname = '椅子'"), "5.00\n");

    const std::string no_topic = csv("a.csv", "活动时间,活动地点\n2020-01-01,会议室\n");
    register_import activity(s, {"w_m_og_commactivityrecord", no_topic, "", {}, false});
    const status st = activity.open();
    ASSERT_FALSE(st.is_ok());
    EXPECT_EQ(st.message(), "a.csv 缺少必需的列：“活动主题”，没有导入任何记录");
}

// A row like a record already there (same date, name and amount) is
// reported; the clerk skips such rows or takes them.
TEST_P(RegisterImportTest, PossibleDuplicatesAreReportedAndMayBeSkipped) {
    const std::string path = csv("d.csv", "资产名称,价值（元）,添置日期\n测试投影仪,3000,2021-05-06\n测试投影仪,3000,2021-05-06\n");
    auto first = import("w_m_og_assetregister", path);
    ASSERT_TRUE(first.is_ok()) << first.message();
    EXPECT_EQ(first->imported, 2);
    ASSERT_EQ(first->duplicates.size(), 1u) << "the second row is like the first";
    EXPECT_EQ(first->duplicates[0].sheet_row, 3);
    auto skipped = import("w_m_og_assetregister", path, import_mode::write_all, true);
    ASSERT_TRUE(skipped.is_ok()) << skipped.message();
    EXPECT_EQ(skipped->duplicates.size(), 2u);
    EXPECT_EQ(skipped->imported, 0);
    EXPECT_NE(skipped->duplicates[0].message.find("已跳过"), std::string::npos);
    EXPECT_EQ(dump(sql(), "SELECT COUNT(*) FROM tc_og_assetregister WHERE goodsname = '测试投影仪'"), "2\n");
}

// Each imported record is in the history as 导入, naming the file.
TEST_P(RegisterImportTest, ImportedRecordsAreInTheHistoryWithTheFile) {
    const std::string path = csv("历史.csv", "资产名称\n书柜\n");
    auto report = import("w_m_og_assetregister", path);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(dump(sql(),
                   "SELECT c.changekind, i.columnname, i.newvalue FROM tc_og_changelog c JOIN tc_og_changelog_item i "
                   "ON i.logno = c.logno WHERE c.tablename = 'tc_og_assetregister' AND c.logno = (SELECT MAX(logno) "
                   "FROM tc_og_changelog) AND i.columnname IN ('导入文件', 'goodsname') ORDER BY i.itemno"),
              "导入|导入文件|历史.csv\n导入|goodsname|书柜\n");
}

// The person a row names is found by identity number; an unknown one and
// a name two persons share are the row's error with the reason.
TEST_P(RegisterImportTest, PersonsAreFoundByKeyAndAnAmbiguousNameIsAnError) {
    run("INSERT INTO tc_ge_personinfo (personno, personname, idcard, birthdate, isdeath) VALUES "
        "('P901', '同名', '420106198001010011', '1980-01-01', 0), "
        "('P902', '同名', '420106198001010022', '1980-01-01', 0)");
    const std::string path = csv("seal.csv",
                                 "申请时间,申请人姓名,身份证号码,具体说明\n"
                                 "2021-01-01,同名,420106198001010022,按号码\n"
                                 "2021-01-02,同名,,只有姓名\n"
                                 "2021-01-03,,420106000000000000,没有这人\n"
                                 "2021-01-04,别人,420106198001010011,号码与姓名不符\n");
    auto report = import("w_m_og_sealuserecord", path, import_mode::write_passing);
    ASSERT_TRUE(report.is_ok()) << report.message();
    ASSERT_EQ(report->failures.size(), 3u);
    EXPECT_EQ(report->failures[0].message,
              "人员信息中有 2 人的姓名是“同名”，请在表中给出身份证号码或人员编号以区分");
    EXPECT_EQ(report->failures[1].message, "人员信息中没有身份证号码为“420106000000000000”的人");
    EXPECT_EQ(report->failures[2].message, "身份证号码“420106198001010011”是“同名”的，不是“别人”的");
    EXPECT_EQ(dump(sql(), "SELECT personno, detailuse FROM tc_og_sealuserecord WHERE detailuse = '按号码'"),
              "P902|按号码\n");
}

// A failure anywhere during the write leaves the register exactly as it
// was: every step of the import failed in turn.
TEST_P(RegisterImportTest, AFailureDuringTheWriteLeavesTheRegisterAsItWas) {
    const std::string path = csv("f.csv", "资产名称,价值（元）\n桌子,1\n椅子,2\n");
    testkit::faulty_transaction faulty(sql());
    session f{host, host, faulty, *db.db.photosqlca, k_commno, {}, nullptr};
    const std::string table = "SELECT goodsname, originvalue FROM tc_og_assetregister ORDER BY commno, orderno";
    const std::string history = "SELECT COUNT(*) FROM tc_og_changelog";
    const std::string before = dump(sql(), table) + dump(sql(), history);
    int steps = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE("step " + std::to_string(n));
        register_import job(f, {"w_m_og_assetregister", path, "", {}, false});
        ASSERT_TRUE(job.open().is_ok());
        faulty.fail_at(n);
        auto report = job.run(import_mode::write_all);
        steps = faulty.steps();
        faulty.fail_at(0);
        if (steps < n) {
            // Past the last step: nothing failed, and all went in.
            ASSERT_TRUE(report.is_ok()) << report.message();
            EXPECT_EQ(report->imported, 2);
            break;
        }
        if (report) {
            EXPECT_EQ(report->imported, 0);
        }
        EXPECT_EQ(dump(sql(), table) + dump(sql(), history), before);
    }
    EXPECT_GT(steps, 10);
}

TEST_P(RegisterImportTest, TheRejectedRowsComeBackAsAWorkbookToCorrect) {
    const std::string path = csv("r.csv", "资产名称,价值（元）,添置日期,备注\n好,1,2020-01-01,x\n坏,abc,2020-01-01,420106198001010022\n");
    auto report = import("w_m_og_assetregister", path, import_mode::check);
    ASSERT_TRUE(report.is_ok()) << report.message();
    const std::string rejects = db.dir.file("rejects.xlsx");
    ASSERT_TRUE(register_import::write_rejects(*report, rejects).is_ok());
    const testkit::outcome read = testkit::read_xlsx(rejects);
    ASSERT_EQ(read.status, 0) << read.output;
    for (const char* line : {"A1 text \"资产名称\" bold", "E1 text \"未通过的原因\" bold", "A2 text \"坏\"",
                             "C2 text \"2020-01-01\"", "D2 text \"420106198001010022\"",
                             "E2 text \"“价值（元）”的“abc”不是能认出的数值\""})
        EXPECT_NE(read.output.find(line), std::string::npos) << line << "\n" << read.output;
    EXPECT_EQ(read.output.find("好"), std::string::npos) << "only the rejected rows";

    // Corrected in the workbook, it imports.
    auto corrected = import("w_m_og_assetregister", rejects, import_mode::check);
    ASSERT_TRUE(corrected.is_ok()) << corrected.message();
    EXPECT_EQ(corrected->header.back(), k_reject_reason);
    EXPECT_EQ(corrected->ignored, (std::vector<std::string>{k_reject_reason}));
    EXPECT_EQ(corrected->failures.size(), 1u) << "still abc";
}

INSTANTIATE_TEST_SUITE_P(Backends, RegisterImportTest,
                         ::testing::Values(backend::sqlite, backend::postgresql), testkit::backend_name);

}  // namespace
}  // namespace officerecords
