// The export of a list: the exact bytes of its CSV, its XLSX as another
// program reads it, and files that cannot be written, which leave nothing.
#include "storage/list_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "finance/assetregister.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::scratch_database;
using testkit::scratch_dir;

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names in a folder, sorted: a failed export leaves no temporary.
std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A small list over the asset register: a code column, texts that need
// quoting, a grouped whole number, an amount, a date and a multi-line note.
const dw_object& small_list() {
    static const dw_object list = make_list(d_og_assetregister_f(), "d_test_assets",
                                            {{"assetsort", "资产分类"},
                                             {"goodsname", "资产名称"},
                                             {"goodstype", "规格, 型号"},
                                             {"goodscount", "数量", "###,###"},
                                             {"originvalue", "价值（元）", "#,###,##0.00"},
                                             {"purchasedate", "添置日期"},
                                             {"note", "备注"}});
    return list;
}

class ListExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        transaction& t = db.sqlca();
        for (auto [code, name] : {std::pair{"01", "办公家具"}, {"02", "电子设备"}}) {
            std::vector<value> p{value("dddw_og_assetsort"), value(code), value(name)};
            ASSERT_EQ(
                t.execute("INSERT INTO tc_ge_code (codetable, tcode, tname) VALUES (?, ?, ?)", p),
                sql_code::ok);
        }
        const char* insert =
            "INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, goodstype, "
            "goodscount, originvalue, purchasedate, note) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
        const std::vector<std::vector<value>> rows = {
            {value("420106001001"), value(1), value("02"), value("打印机, 激光"), value("M405d"),
             value(1200), value(decimal(123456750, 2)), value(*date::parse("2020-06-18")),
             value("他说\"好\"")},
            {value("420106001001"), value(2), value("01"), value("办公桌"), value(), value(2),
             value(decimal(10, 2)), value(*date::parse("2015-03-16")), value("第一行\r\n第二行")},
            {value("420106001001"), value(3), value(), value("Laptop"), value(), value(), value(),
             value(*date::parse("1899-05-01")), value()},
        };
        for (const auto& r : rows) ASSERT_EQ(t.execute(insert, r), sql_code::ok) << t.sqlerrtext();
        ASSERT_EQ(t.commit(), sql_code::ok);
        ASSERT_TRUE(dw.set_dataobject(small_list(), t).is_ok());
        value commno("420106001001");
        ASSERT_EQ(dw.retrieve("commno = ?", {&commno, 1}, "orderno"), 3);
    }

    list_export exported(std::vector<long> rows) const {
        return list_export(dw, std::move(rows), {"固定资产登记", "水果湖社区"}, clock);
    }

    scratch_database db;
    testkit::fixed_clock clock{*date::parse("2026-12-08")};
    data_window dw;
    scratch_dir out;
};

TEST_F(ListExportTest, TheCsvIsTheListAsShownInTheRowsGiven) {
    const std::string header =
        "\xEF\xBB\xBF"
        "序号,资产分类,资产名称,\"规格, 型号\",数量,价值（元）,添置日期,备注\r\n";
    // The records' cells after the counter, by data-window row.
    const std::string cells[] = {
        "",
        ",电子设备,\"打印机, "
        "激光\",M405d,\"1,200\",\"1,234,567.50\",2020-06-18,\"他说\"\"好\"\"\"\r\n",
        ",办公家具,办公桌,,2,0.10,2015-03-16,\"第一行\r\n第二行\"\r\n",
        ",,Laptop,,,,1899-05-01,\r\n",
    };
    const std::string expected = header + "1" + cells[3] + "2" + cells[1] + "3" + cells[2];
    const list_export e = exported({3, 1, 2});
    EXPECT_EQ(e.csv(), expected);
    const std::string file = out.file("资产.csv");
    ASSERT_TRUE(e.write(export_format::csv, file).is_ok());
    EXPECT_EQ(read(file), expected);
    EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产.csv"});

    // Every row in list order, as the command-line program exports.
    EXPECT_EQ(list_export::all_rows(dw), (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(exported(list_export::all_rows(dw)).csv(),
              header + "1" + cells[1] + "2" + cells[2] + "3" + cells[3]);
    // A narrowed view: only the rows given, numbered from 1.
    EXPECT_EQ(exported({2}).csv(), header + "1" + cells[2]);
    EXPECT_EQ(exported({}).csv(), header);
}

// A text a spreadsheet would take for a formula stays a text; a negative
// number stays a number.
TEST_F(ListExportTest, TheCsvNeverHandsASpreadsheetAFormula) {
    ASSERT_EQ(dw.setitem(3, "goodsname", value("=HYPERLINK(\"http://x\")")), 1);
    ASSERT_EQ(dw.setitem(3, "goodstype", value("+86")), 1);
    ASSERT_EQ(dw.setitem(3, "note", value("@所有人")), 1);
    ASSERT_EQ(dw.setitem(3, "goodscount", value(-3)), 1);
    const std::string csv = exported({3}).csv();
    EXPECT_NE(csv.find(",\"'=HYPERLINK(\"\"http://x\"\")\",'+86,-3,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",'@所有人\r\n"), std::string::npos) << csv;

    // Only what a spreadsheet would run is guarded: a negative number typed
    // as text stays as it is; a text led by a minus sign, a tab or a
    // carriage return does not.
    const struct {
        const char* typed;
        const char* written;
    } cases[] = {{"-5.00", ",-5.00\r\n"},    {"-5", ",-5\r\n"},       {"-5.", ",'-5.\r\n"},
                 {"-5-3", ",'-5-3\r\n"},     {"-A1", ",'-A1\r\n"},    {"-", ",'-\r\n"},
                 {"\t=1", ",'\t=1\r\n"},    {"\r=1", ",\"'\r=1\"\r\n"}, {"5-3", ",5-3\r\n"}};
    for (const auto& c : cases) {
        ASSERT_EQ(dw.setitem(3, "note", value(c.typed)), 1);
        const std::string row = exported({3}).csv();
        EXPECT_NE(row.find(c.written), std::string::npos) << c.typed << ": " << row;
    }
}

TEST_F(ListExportTest, TheXlsxHasTitleFrozenHeaderRealNumbersAndDatesAndAFooter) {
    const std::string file = out.file("资产.xlsx");
    status st = exported({3, 1, 2}).write(export_format::xlsx, file);
    ASSERT_TRUE(st.is_ok()) << st.message();
    EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产.xlsx"});
    const testkit::outcome sheet = testkit::read_xlsx(file);
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    // Widths: the widest cell plus two, a CJK character counting two; the
    // title and the footer run over the empty cells beside them.
    EXPECT_EQ(sheet.output,
              "sheet 固定资产登记\n"
              "freeze A3\n"
              "page portrait paper 9\n"
              "width A 6\n"
              "width B 10\n"
              "width C 14\n"
              "width D 12\n"
              "width E 7\n"
              "width F 14\n"
              "width G 12\n"
              "width H 10\n"
              "A1 text \"固定资产登记 — 水果湖社区\" bold\n"
              "A2 text \"序号\" bold\n"
              "B2 text \"资产分类\" bold\n"
              "C2 text \"资产名称\" bold\n"
              "D2 text \"规格, 型号\" bold\n"
              "E2 text \"数量\" bold\n"
              "F2 text \"价值（元）\" bold\n"
              "G2 text \"添置日期\" bold\n"
              "H2 text \"备注\" bold\n"
              "A3 number 1.0\n"
              "C3 text \"Laptop\"\n"
              "G3 text \"1899-05-01\"\n"
              "A4 number 2.0\n"
              "B4 text \"电子设备\"\n"
              "C4 text \"打印机, 激光\"\n"
              "D4 text \"M405d\"\n"
              "E4 number 1200.0 [#,##0]\n"
              "F4 number 1234567.5 [#,##0.00]\n"
              "G4 date 2020-06-18 [yyyy-mm-dd]\n"
              "H4 text \"他说\\\"好\\\"\"\n"
              "A5 number 3.0\n"
              "B5 text \"办公家具\"\n"
              "C5 text \"办公桌\"\n"
              "E5 number 2.0 [#,##0]\n"
              "F5 number 0.1 [#,##0.00]\n"
              "G5 date 2015-03-16 [yyyy-mm-dd]\n"
              "H5 text \"第一行\\n第二行\" wrap\n"
              "A7 text \"制表时间：2026-12-08\"\n");
}

// Columns as wide as a long note take more than a portrait page: the
// sheet prints landscape, scaled to one page wide.
TEST_F(ListExportTest, AWideSheetPrintsLandscapeOnePageWide) {
    ASSERT_EQ(dw.setitem(1, "note", value(std::string(70, 'n'))), 1);
    const std::string file = out.file("宽.xlsx");
    status st = exported({1, 2, 3}).write(export_format::xlsx, file);
    ASSERT_TRUE(st.is_ok()) << st.message();
    const testkit::outcome sheet = testkit::read_xlsx(file);
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    EXPECT_NE(sheet.output.find("\nwidth H 60\n"), std::string::npos) << sheet.output;
    EXPECT_NE(sheet.output.find("\npage landscape fitToWidth 1 fitToHeight 0 paper 9\n"),
              std::string::npos)
        << sheet.output;
}

TEST(SpreadsheetDigitsTest, TellsTheNumbersASpreadsheetWouldChange) {
    const struct {
        const char* text;
        bool changed;
    } cases[] = {
        {"420106197704128584", true},
        {"42010619770412858X", true},
        {"42010619770412858x", true},
        {"027888866661", true},
        {"0012", true},
        {"00", true},
        {" 0012 ", true},
        {"18681141633", false},
        {"4201061977041285X", false},
        {"42010619770412858Y", false},
        {"0", false},
        {"012a", false},
        {"027-88886666", false},
        {"0.5", false},
        {"-0012", false},
        {"1200", false},
        {"M405d", false},
        {"", false},
        {"X", false},
        {"   ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(spreadsheet_changes_digits(c.text), c.changed) << c.text;
}

// A code column's stored code "02" is shown by its name and a number
// column is a number: only texts count, and only the rows exported.
TEST_F(ListExportTest, TheColumnsWhoseDigitsASpreadsheetWouldChangeAreNamed) {
    EXPECT_TRUE(exported({1, 2, 3}).columns_a_spreadsheet_changes().empty());
    EXPECT_EQ(exported({1, 2, 3}).csv_digits_warning(), "");
    ASSERT_EQ(dw.setitem(1, "goodstype", value("0012")), 1);
    ASSERT_EQ(dw.setitem(3, "note", value("420106197704128584")), 1);
    EXPECT_EQ(exported({1, 2, 3}).columns_a_spreadsheet_changes(),
              (std::vector<std::string>{"规格, 型号", "备注"}));
    EXPECT_EQ(exported({3}).columns_a_spreadsheet_changes(), std::vector<std::string>{"备注"});
    EXPECT_TRUE(exported({2}).columns_a_spreadsheet_changes().empty());
    EXPECT_EQ(exported({1, 3}).csv_digits_warning(),
              "该列表含有身份证号、电话号码或以0开头的编号（【规格, 型号】、【备注】），"
              "用电子表格打开CSV文件会丢失它们的数字；要在Excel或WPS中查看，请导出为Excel文件。");
    // The CSV itself stays plain data.
    EXPECT_NE(exported({1}).csv().find(",0012,"), std::string::npos);
}

TEST_F(ListExportTest, AnExistingFileIsReplacedOnlyWhenAsked) {
    const std::string file = out.file("资产.csv");
    std::ofstream(file) << "keep me";
    for (export_format f : {export_format::csv, export_format::xlsx}) {
        status st = exported({1}).write(f, file);
        ASSERT_FALSE(st.is_ok());
        EXPECT_EQ(st.message(), "文件已经存在，不会覆盖它：" + file);
        EXPECT_EQ(read(file), "keep me");
    }
    ASSERT_TRUE(exported({1}).write(export_format::csv, file, true).is_ok());
    EXPECT_EQ(read(file), exported({1}).csv());
    EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产.csv"});
}

TEST_F(ListExportTest, WhatCannotBeWrittenIsRefusedWithItsReasonAndLeavesNothing) {
    const std::string missing = out.file("没有的文件夹/资产.csv");
    struct {
        std::string path;
        std::vector<long> rows;
        std::string message;
    } cases[] = {
        {missing, {1}, "不能写入文件 " + missing + "：文件夹不存在"},
        {out.file(""), {1}, "这是一个文件夹，不能作为导出的文件：" + out.file("")},
        {out.file("a.csv"), {1, 4}, "要导出的第 4 行不在列表中（列表有 3 行）"},
        {out.file("a.csv"), {0}, "要导出的第 0 行不在列表中（列表有 3 行）"},
    };
    for (const auto& c : cases) {
        for (export_format f : {export_format::csv, export_format::xlsx}) {
            status st = exported(c.rows).write(f, c.path, true);
            EXPECT_FALSE(st.is_ok()) << c.path;
            EXPECT_EQ(st.message(), c.message);
        }
    }
    EXPECT_TRUE(names_in(out.file("")).empty());

    // A form object is not a list: it has no shown columns to export.
    data_window form;
    ASSERT_TRUE(form.set_dataobject(d_og_assetregister_f(), db.sqlca()).is_ok());
    status st = list_export(form, {}, {"固定资产登记", ""}, clock)
                    .write(export_format::csv, out.file("f.csv"));
    EXPECT_EQ(st.message(), "只能导出列表：d_og_assetregister_f 不是列表");
    EXPECT_TRUE(names_in(out.file("")).empty());
}

// A text a spreadsheet cell cannot hold fails the export and leaves no
// file, so no sheet ever holds a note cut short; the CSV takes it.
TEST_F(ListExportTest, ATextTooLongForACellRefusesTheXlsxButNotTheCsv) {
    std::vector<value> p{value(std::string(40000, 'x'))};
    ASSERT_EQ(db.sqlca().execute("UPDATE tc_og_assetregister SET note = ? WHERE orderno = 2", p),
              sql_code::ok);
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    value commno("420106001001");
    ASSERT_EQ(dw.retrieve("commno = ?", {&commno, 1}, "orderno"), 3);
    status st = exported({1, 2}).write(export_format::xlsx, out.file("a.xlsx"));
    EXPECT_EQ(
        st.message(),
        "第 2 行的“备注”有 40000 个字，超过了表格单元格能容纳的 32767 个，请改为导出 CSV 文件");
    EXPECT_TRUE(names_in(out.file("")).empty());
    ASSERT_TRUE(exported({1, 2}).write(export_format::csv, out.file("a.csv")).is_ok());
    EXPECT_NE(read(out.file("a.csv")).find(std::string(40000, 'x')), std::string::npos);
}

TEST_F(ListExportTest, MoreRecordsThanASheetHoldsRefuseTheXlsx) {
    const std::vector<long> too_many(1048573, 1);
    status st = exported(too_many).write(export_format::xlsx, out.file("a.xlsx"));
    EXPECT_EQ(st.message(),
              "要导出 1048573 条记录，超过了一张表格能容纳的 1048572 条，请改为导出 CSV 文件");
    EXPECT_TRUE(names_in(out.file("")).empty());
}

// The disk takes at most a few bytes per file (a child process's file size
// limit): both formats fail with the reason, and the old file stays whole.
TEST_F(ListExportTest, AFullDiskFailsTheExportAndKeepsTheOldFile) {
    for (export_format f : {export_format::csv, export_format::xlsx}) {
        const std::string file = out.file("资产");
        std::ofstream(file) << "old";
        const testkit::outcome child = testkit::said_in_child([&] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{100, 100};
            setrlimit(RLIMIT_FSIZE, &limit);
            status st = exported({1, 2, 3}).write(f, file, true);
            return st.is_ok() ? std::string("written") : st.message();
        });
        EXPECT_EQ(child.status, 0);
        const std::string& said = child.output;
        EXPECT_TRUE(said.starts_with("不能写入文件 " + file + "：文件超出了允许的大小")) << said;
        EXPECT_EQ(read(file), "old");
        EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产"});
    }
}

// A list long enough that its CSV goes out in several pieces: every text
// needs quoting or is Chinese, every fifth note has two lines.
class LongListExportTest : public ListExportTest {
protected:
    static constexpr int k_records = 6000;

    void SetUp() override {
        ListExportTest::SetUp();
        transaction& t = db.sqlca();
        const char* insert =
            "INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, goodstype, "
            "goodscount, originvalue, purchasedate, note) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
        for (int i = 0; i < k_records; ++i) {
            std::vector<value> p{value("420106001002"),
                                 value(100 + i),
                                 value(i % 2 ? "01" : "02"),
                                 value(name(i)),
                                 value(type(i)),
                                 value(i + 1),
                                 value(decimal(i * 100LL + 50, 2)),
                                 value(day(i)),
                                 value(note(i))};
            ASSERT_EQ(t.execute(insert, p), sql_code::ok) << t.sqlerrtext();
        }
        ASSERT_EQ(t.commit(), sql_code::ok);
        value commno("420106001002");
        ASSERT_EQ(dw.retrieve("commno = ?", {&commno, 1}, "orderno"), k_records);
    }

    static std::string name(int i) { return "资产" + std::to_string(i) + "号, 第" + std::to_string(i % 7) + "类"; }
    static std::string type(int i) { return "型号\"" + std::to_string(i) + "\""; }
    static std::string note(int i) {
        return i % 5 == 0 ? "第一行" + std::to_string(i) + "\r\n第二行" : "备注" + std::string(40, 'x');
    }
    static date day(int i) { return date::from_days(date::parse("2020-01-01")->days() + i % 365); }
    static std::string grouped(int n) {
        std::string whole = std::to_string(n), out;
        for (std::size_t k = 0; k < whole.size(); ++k) {
            if (k > 0 && (whole.size() - k) % 3 == 0) out += ',';
            out += whole[k];
        }
        return out;
    }
};

// RFC 4180 read back: quoted fields with doubled quotes and line breaks.
std::vector<std::vector<std::string>> parse_csv(std::string_view text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::exchange(field, {}));
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(std::exchange(field, {}));
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

TEST_F(LongListExportTest, TheCsvGoesOutInPiecesAndReadsBackWhole) {
    const list_export e = exported(list_export::all_rows(dw));
    std::vector<std::size_t> pieces;
    std::string joined;
    ASSERT_TRUE(e.write_csv([&](std::string_view piece) {
                     pieces.push_back(piece.size());
                     joined += piece;
                     return status::ok();
                 }).is_ok());
    ASSERT_GE(pieces.size(), 3u);
    for (std::size_t n : pieces) EXPECT_LT(n, list_export::k_csv_piece + 4096);
    EXPECT_EQ(joined, e.csv());

    const std::string file = out.file("资产.csv");
    ASSERT_TRUE(e.write(export_format::csv, file).is_ok());
    const std::string bytes = read(file);
    EXPECT_EQ(bytes, joined);
    ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));
    const auto rows = parse_csv(std::string_view(bytes).substr(3));
    ASSERT_EQ(rows.size(), std::size_t{k_records} + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"序号", "资产分类", "资产名称", "规格, 型号", "数量",
                                                 "价值（元）", "添置日期", "备注"}));
    for (int i = 0; i < k_records; ++i) {
        const std::vector<std::string> want{std::to_string(i + 1), i % 2 ? "办公家具" : "电子设备",
                                            name(i), type(i), grouped(i + 1),
                                            grouped(i) + ".50", day(i).iso(), note(i)};
        ASSERT_EQ(rows[static_cast<std::size_t>(i) + 1], want) << "record " << i + 1;
    }
}

TEST_F(LongListExportTest, TheXlsxReadsBackWhole) {
    const std::string file = out.file("资产.xlsx");
    status st = exported(list_export::all_rows(dw)).write(export_format::xlsx, file);
    ASSERT_TRUE(st.is_ok()) << st.message();
    EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产.xlsx"});
    const testkit::outcome sheet = testkit::read_xlsx(file);
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    std::string want;
    const auto json = [](std::string_view text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') out += '\\';
            if (c == '\n') {
                out += "\\n";
                continue;
            }
            out += c;
        }
        return out + "\"";
    };
    for (int i = 0; i < k_records; ++i) {
        const std::string n = std::to_string(i + 3);
        std::string lines = note(i);
        if (const auto cr = lines.find('\r'); cr != std::string::npos) lines.erase(cr, 1);
        want += "A" + n + " number " + std::to_string(i + 1) + ".0\n";
        want += "B" + n + " text " + json(i % 2 ? "办公家具" : "电子设备") + "\n";
        want += "C" + n + " text " + json(name(i)) + "\n";
        want += "D" + n + " text " + json(type(i)) + "\n";
        want += "E" + n + " number " + std::to_string(i + 1) + ".0 [#,##0]\n";
        want += "F" + n + " number " + std::to_string(i) + ".5 [#,##0.00]\n";
        want += "G" + n + " date " + day(i).iso() + " [yyyy-mm-dd]\n";
        want += "H" + n + " text " + json(lines) + (i % 5 == 0 ? " wrap\n" : "\n");
    }
    const std::size_t first = sheet.output.find("\nA3 ");
    const std::size_t footer = sheet.output.find("A" + std::to_string(k_records + 4) + " text \"制表时间");
    ASSERT_NE(first, std::string::npos) << sheet.output.substr(0, 2000);
    ASSERT_NE(footer, std::string::npos);
    EXPECT_TRUE(sheet.output.substr(first + 1, footer - first - 1) == want) << "the records differ";
    // The widths come from every record, the widest name and note included.
    EXPECT_NE(sheet.output.find("\nwidth C 19\n"), std::string::npos) << sheet.output.substr(0, 400);
    EXPECT_NE(sheet.output.find("\nwidth H 46\n"), std::string::npos) << sheet.output.substr(0, 400);
}

// The sink refuses a piece in the middle: nothing more is handed to it and
// its failure is the export's.
TEST_F(LongListExportTest, AFailingSinkEndsTheCsvWithItsFailure) {
    std::size_t taken = 0, calls_after = 0;
    bool failed = false;
    status st = exported(list_export::all_rows(dw)).write_csv([&](std::string_view piece) {
        if (failed) ++calls_after;
        if (taken + piece.size() > 600 * 1024) {
            failed = true;
            return status::error("磁盘已满");
        }
        taken += piece.size();
        return status::ok();
    });
    EXPECT_FALSE(st.is_ok());
    EXPECT_EQ(st.message(), "磁盘已满");
    EXPECT_GT(taken, list_export::k_csv_piece);
    EXPECT_EQ(calls_after, 0u);
}

// The disk fills in the middle of the file (a child's file size limit,
// below the file's size and above its first pieces): no file is left and
// the old one is kept whole.
TEST_F(LongListExportTest, ADiskFillingMidwayLeavesTheOldFile) {
    for (export_format f : {export_format::csv, export_format::xlsx}) {
        const std::string file = out.file("资产");
        std::ofstream(file) << "old";
        const testkit::outcome child = testkit::said_in_child([&] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{600 * 1024, 600 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            status st = exported(list_export::all_rows(dw)).write(f, file, true);
            return st.is_ok() ? std::string("written") : st.message();
        });
        EXPECT_EQ(child.status, 0);
        // The sheet's writer finds its temporary cut short only at the end.
        const std::string why = f == export_format::csv ? "文件超出了允许的大小" : "表格没有完整地写入文件，磁盘空间可能不足";
        EXPECT_TRUE(child.output.starts_with("不能写入文件 " + file + "：" + why)) << child.output;
        EXPECT_EQ(read(file), "old");
        EXPECT_EQ(names_in(out.file("")), std::vector<std::string>{"资产"});
        // Without the limit the same export is written (the CSV larger than
        // the limit, the sheet's rows before they are packed).
        ASSERT_TRUE(exported(list_export::all_rows(dw)).write(f, file, true).is_ok());
        if (f == export_format::csv) {
            EXPECT_GT(std::filesystem::file_size(file), 600u * 1024);
        }
        std::filesystem::remove(file);
    }
}

TEST(ExportFormatTest, IsNamedByItsExtension) {
    EXPECT_EQ(export_format_named("csv"), export_format::csv);
    EXPECT_EQ(export_format_named("XLSX"), export_format::xlsx);
    EXPECT_EQ(export_format_named("xls"), std::nullopt);
    EXPECT_EQ(export_format_named(""), std::nullopt);
}

}  // namespace
}  // namespace officerecords
