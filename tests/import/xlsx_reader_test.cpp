// XLSX sheets as Excel, WPS and generators write them: each kind of cell,
// cells placed by their references, date formats told from others, and
// each broken file refused with its name, never read as a shorter sheet.
#include "import/xlsx_reader.h"

#include <gtest/gtest.h>

#include "tests/import/sheet_fixture.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::fixture_book;
using testkit::rows_of;
using testkit::scratch_dir;
using testkit::write_zip;

// Cell formats 0..6: General, built-in date 14, 年月日, a red negative,
// elapsed hours, Chinese numerals, built-in #,##0.00.
const char* const k_number_formats =
    R"(<numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>)"
    R"x(<numFmt numFmtId="165" formatCode="0.00_);[Red]\(0.00\)"/>)x"
    R"(<numFmt numFmtId="166" formatCode="[h]:mm:ss"/>)"
    R"(<numFmt numFmtId="167" formatCode="[DBNum1][$-804]General"/>)";
const char* const k_cell_formats =
    R"(<xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/>)"
    R"(<xf numFmtId="166"/><xf numFmtId="167"/><xf numFmtId="4"/>)";

std::string written(const scratch_dir& dir, const std::string& name, const fixture_book& book) {
    const std::string path = dir.file(name);
    const auto parts = testkit::workbook_parts(book);
    EXPECT_EQ(write_zip(path, parts), "");
    return path;
}

fixture_book one_sheet(const std::string& rows) {
    fixture_book book;
    book.sheets = {{"Sheet1", rows}};
    return book;
}

TEST(XlsxReaderTest, EachKindOfCellIsReadAsItIsStored) {
    const std::vector<std::string> shared = {
        "<t>名称</t>",
        R"(<r><t>台式</t></r><r><rPr><b/></rPr><t>计算机</t></r><rPh sb="0" eb="2"><t>タイシキ</t></rPh>)",
        R"(<t xml:space="preserve"> 带空格 </t>)",
        "<t/>",
    };
    struct {
        const char* cell;  // attributes and content of column B's <c>
        const char* read;
    } cases[] = {
        {R"( t="s"><v>0</v>)", "t:名称"},
        {R"( t="s"><v>1</v>)", "t:台式计算机"},
        {R"( t="s"><v>2</v>)", "t: 带空格 "},
        {R"( t="s"><v>3</v>)", ""},
        {R"( t="inlineStr"><is><t>内联</t></is>)", "t:内联"},
        {R"( t="inlineStr"><is><r><t>富</t></r><r><t>文本</t></r><rPh><t>フ</t></rPh></is>)",
         "t:富文本"},
        {R"( t="str"><f>A1&amp;"号"</f><v>1号</v>)", "t:1号"},
        {R"(><f>SUM(A1:A3)</f>)", "f:SUM(A1:A3)"},
        {R"(><f>1+2</f><v>3</v>)", "n:3"},
        {R"( t="b"><v>1</v>)", "b:1"},
        {R"( t="b"><v>0</v>)", "b:0"},
        {R"( t="e"><f>1/0</f><v>#DIV/0!</v>)", "e:#DIV/0!"},
        {R"(><v>4.2E+17</v>)", "n:4.2E+17"},
        {R"( t="n"><v>0.1</v>)", "n:0.1"},
        {R"( s="6"><v>19960.5</v>)", "n:19960.5"},
        {R"( s="1"><v>43831</v>)", "d:43831"},
        {R"( s="2"><v>43831</v>)", "d:43831"},
        {R"( s="3"><v>-12.5</v>)", "n:-12.5"},
        {R"( s="4"><v>1.5</v>)", "d:1.5"},
        {R"( s="5"><v>12</v>)", "n:12"},
        {R"( s="1">)", ""},
        {R"( t="str"><f>""</f><v></v>)", ""},
    };
    std::string rows, expected;
    int n = 0;
    for (const auto& c : cases) {
        const std::string r = std::to_string(++n);
        rows += "<row r=\"" + r + "\"><c r=\"A" + r + "\"><v>" + r + "</v></c><c r=\"B" + r + "\"" +
                c.cell + "</c></row>";
        expected += r + "|n:" + r + (*c.read ? std::string("|") + c.read : "") + "\n";
    }
    fixture_book book = one_sheet(rows);
    book.shared = shared;
    book.number_formats = k_number_formats;
    book.cell_formats = k_cell_formats;
    scratch_dir dir;
    EXPECT_EQ(rows_of(written(dir, "cells.xlsx", book)), expected);
}

TEST(XlsxReaderTest, DateFormatsAreToldFromOtherNumberFormats) {
    struct {
        int id;
        const char* code;
        bool date;
    } cases[] = {
        {0, "", false},
        {2, "", false},
        {14, "", true},
        {22, "", true},
        {27, "", true},
        {36, "", true},
        {37, "", false},
        {45, "", true},
        {49, "", false},
        {58, "", true},
        {164, "yyyy\"年\"m\"月\"d\"日\"", true},
        {164, "[$-804]yyyy\"年\"m\"月\"", true},
        {164, "hh:mm", true},
        {164, "[h]:mm:ss", true},
        {164, "[mm]", true},
        {164, "0.00_);[Red]\\(0.00\\)", false},
        {164, "[DBNum1][$-804]General", false},
        {164, "#,##0\" 元\"", false},
        {164, "0\\d", false},
        {164, "0_m", false},
        {164, "0*s", false},
        {164, "[>=100]0;0.00", false},
        {164, "General", false},
        {164, "@", false},
        {14, "0.00", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_date_number_format(c.id, c.code), c.date) << c.id << " " << c.code;
}

TEST(XlsxReaderTest, CellsArePlacedByTheirReferencesAndEmptyRowsSkipped) {
    const std::string rows =
        R"(<row r="2"><c r="A2" t="inlineStr"><is><t>a</t></is></c><c r="D2"><v>4</v></c></row>)"
        R"(<row><c><v>1</v></c><c><v>2</v></c><c r="E3"><v>5</v></c><c><v>6</v></c></row>)"
        R"(<row r="5"><c r="A5" s="0"/><c r="B5" t="inlineStr"><is><t></t></is></c></row>)"
        R"(<row r="7"/>)"
        R"(<row><c r="B8"><v>8</v></c></row>)"
        R"(<row r="10" spans="27:27"><c r="AA10"><v>27</v></c></row>)";
    scratch_dir dir;
    EXPECT_EQ(rows_of(written(dir, "gaps.xlsx", one_sheet(rows))),
              "2|t:a|||n:4\n"
              "3|n:1|n:2|||n:5|n:6\n"
              "8||n:8\n"
              "10" +
                  std::string(26, '|') + "|n:27\n");
}

TEST(XlsxReaderTest, SheetsAreListedInWorkbookOrderAndChosenByName) {
    // Relationship targets relative and absolute, sheet files numbered
    // against the workbook's order, and a chart sheet that has no rows.
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    fixture_book book;
    book.sheets = {{"明细", R"(<row r="1"><c r="A1"><v>1</v></c></row>)"},
                   {"汇总", R"(<row r="1"><c r="A1"><v>2</v></c></row>)"}};
    auto parts = testkit::workbook_parts(book);
    for (auto& part : parts) {
        if (part.name == "xl/workbook.xml")
            part.bytes = std::string("<workbook xmlns=\"") + testkit::k_main_ns + "\" xmlns:r=\"" +
                         testkit::k_rel_ns +
                         "\"><sheets><sheet name=\"汇总\" sheetId=\"2\" r:id=\"rId2\"/>"
                         "<sheet name=\"图表\" sheetId=\"3\" r:id=\"rId3\"/>"
                         "<sheet name=\"明细\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
        if (part.name == "xl/_rels/workbook.xml.rels")
            part.bytes =
                "<Relationships "
                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" Type=\"" +
                rel +
                "worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
                "<Relationship Id=\"rId2\" Type=\"" +
                rel +
                "worksheet\" Target=\"worksheets/sheet2.xml\"/>"
                "<Relationship Id=\"rId3\" Type=\"" +
                rel +
                "chartsheet\" Target=\"chartsheets/sheet1.xml\"/>"
                "</Relationships>";
    }
    scratch_dir dir;
    const std::string path = dir.file("账册.xlsx");
    ASSERT_EQ(write_zip(path, parts), "");
    auto names = sheet_names(path);
    ASSERT_TRUE(names.is_ok()) << names.message();
    EXPECT_EQ(*names, (std::vector<std::string>{"汇总", "明细"}));
    EXPECT_EQ(rows_of(path), "1|n:2\n");
    EXPECT_EQ(rows_of(path, "汇总"), "1|n:2\n");
    EXPECT_EQ(rows_of(path, "明细"), "1|n:1\n");
    EXPECT_EQ(rows_of(path, "图表"),
              "open: 账册.xlsx 中没有名为“图表”的工作表（有：汇总、明细）\n");
    auto source = open_sheet(path, "");
    ASSERT_TRUE(source.is_ok()) << source.message();
    EXPECT_EQ((*source)->description(), "XLSX");
}

TEST(XlsxReaderTest, SerialsOfThe1904DateSystemAreShiftedToThe1900One) {
    const std::string rows =
        R"(<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1" s="1"><v>42369.5</v></c><c r="C1"><v>100</v></c></row>)";
    for (const bool date1904 : {false, true}) {
        fixture_book book = one_sheet(rows);
        book.cell_formats = k_cell_formats;
        book.date1904 = date1904;
        scratch_dir dir;
        // 1904-01-01 is the 1900 system's day 1462; 2020-01-01 is 43831 there.
        EXPECT_EQ(rows_of(written(dir, "dates.xlsx", book)),
                  date1904 ? "1|d:1462|d:43831.5|n:100\n" : "1|d:0|d:42369.5|n:100\n");
    }
}

TEST(XlsxReaderTest, ACellOverTheLimitIsRefusedWithItsRowColumnAndLength) {
    std::string longest, over;
    for (std::size_t i = 0; i < k_max_cell_characters; ++i) longest += "字";
    for (int i = 0; i < 40000; ++i) over += i % 2 ? "字" : "a";
    const std::string first = R"(<row r="1"><c r="A1"><v>1</v></c></row>)";
    const std::string refused =
        "long.xlsx 第 2 行 C 列有 40000 个字，超过了一格最多 32767 个字的限制";
    struct {
        std::string rows;
        std::string read;
    } cases[] = {
        {first + R"(<row r="2"><c r="C2" t="inlineStr"><is><t>)" + longest + "</t></is></c></row>",
         "1|n:1\n2|||t:" + longest + "\n"},
        {first + R"(<row r="2"><c r="C2" t="inlineStr"><is><t>)" + over + "</t></is></c></row>" +
             R"(<row r="3"><c r="A3"><v>3</v></c></row>)",
         "1|n:1\nfault: " + refused + "\n"},
        {first + R"(<row r="2"><c r="C2" t="s"><v>0</v></c></row>)",
         "1|n:1\nfault: " + refused + "\n"},
        {first + R"(<row r="2"><c r="C2" t="str"><f>REPT("a",40000)</f><v>)" + over +
             "</v></c></row>",
         "1|n:1\nfault: " + refused + "\n"},
    };
    for (const auto& c : cases) {
        fixture_book book = one_sheet(c.rows);
        book.shared = {"<t>" + over + "</t>"};
        scratch_dir dir;
        EXPECT_EQ(rows_of(written(dir, "long.xlsx", book)), c.read);
    }
}

TEST(XlsxReaderTest, ATruncatedFileIsRefusedWhereverItWasCut) {
    std::string rows;
    for (int r = 1; r <= 2000; ++r)
        rows += "<row r=\"" + std::to_string(r) + "\"><c t=\"inlineStr\"><is><t>第" +
                std::to_string(r) + "行</t></is></c><c><v>" + std::to_string(r * 7) +
                "</v></c></row>";
    scratch_dir dir;
    const std::string whole = testkit::file_bytes(written(dir, "good.xlsx", one_sheet(rows)));
    ASSERT_GT(whole.size(), 1000u);
    ASSERT_TRUE(rows_of(dir.file("good.xlsx")).ends_with("2000|t:第2000行|n:14000\n"));
    for (const std::size_t cut :
         {std::size_t{4}, std::size_t{30}, std::size_t{200}, whole.size() / 2, whole.size() - 100,
          whole.size() - 22, whole.size() - 1}) {
        const std::string path = dir.file("cut.xlsx");
        testkit::write_bytes(path, whole.substr(0, cut));
        const std::string read = rows_of(path);
        // Whatever the cut, the read ends in a refusal that names the file.
        const auto last = read.rfind("cut.xlsx");
        EXPECT_NE(last, std::string::npos) << cut << ": " << read;
        EXPECT_TRUE(read.starts_with("open: ") || read.find("fault: ") != std::string::npos)
            << cut << ": " << read;
        EXPECT_EQ(read.back(), '\n');
        EXPECT_FALSE(sheet_names(path).is_ok()) << cut;
    }
}

TEST(XlsxReaderTest, ACorruptEntryIsAFaultNotTheEndOfTheSheet) {
    fixture_book book = one_sheet(R"(<row r="1"><c r="A1"><v>12345</v></c></row>)");
    auto parts = testkit::workbook_parts(book);
    parts.back().stored = true;  // the sheet's bytes stand as they are in the file
    scratch_dir dir;
    const std::string path = dir.file("crc.xlsx");
    ASSERT_EQ(write_zip(path, parts), "");
    std::string bytes = testkit::file_bytes(path);
    const auto at = bytes.find("<v>12345</v>");
    ASSERT_NE(at, std::string::npos);
    // Still well-formed XML: only the entry's checksum tells.
    bytes[at + 3] = '9';
    testkit::write_bytes(path, bytes);
    auto source = open_sheet(path, "");
    ASSERT_TRUE(source.is_ok()) << source.message();
    const std::string read = testkit::all_rows(**source);
    EXPECT_NE(read.find("fault: crc.xlsx 已损坏，不是完好的 XLSX 文件：读 xl/worksheets/sheet1.xml "
                        "时出错（CRC error）"),
              std::string::npos)
        << read;
    // No more rows after a fault: the same refusal again.
    sheet_row row;
    auto again = (*source)->next(row);
    ASSERT_FALSE(again.is_ok());
    EXPECT_NE(again.message().find("CRC"), std::string::npos);

    // A compressed entry with bytes overwritten in its middle.
    std::string rows;
    for (int r = 1; r <= 3000; ++r) rows += "<row><c><v>" + std::to_string(r) + "</v></c></row>";
    const std::string deflated = written(dir, "broken.xlsx", one_sheet(rows));
    bytes = testkit::file_bytes(deflated);
    const auto sheet = bytes.find("xl/worksheets/sheet1.xml");
    ASSERT_NE(sheet, std::string::npos);
    for (std::size_t i = sheet + 400; i < sheet + 440; ++i) bytes[i] = static_cast<char>(0xA5);
    testkit::write_bytes(deflated, bytes);
    const std::string broken = rows_of(deflated);
    EXPECT_NE(broken.find("broken.xlsx 已损坏"), std::string::npos) << broken;
    EXPECT_EQ(broken.find("3000|n:3000"), std::string::npos) << broken;
}

TEST(XlsxReaderTest, MalformedSheetXmlIsRefusedWithItsLine) {
    // The rows begin on the part's third line.
    const std::string rows =
        "\n<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
        "\n<row r=\"2\"><c r=\"A2\"><v>2</v></row>"
        "\n<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>";
    scratch_dir dir;
    EXPECT_EQ(rows_of(written(dir, "bad.xlsx", one_sheet(rows))),
              "1|n:1\nfault: bad.xlsx 已损坏，不是完好的 XLSX 文件：xl/worksheets/sheet1.xml 第 4 "
              "行的 XML 有误（mismatched tag）\n");
}

TEST(XlsxReaderTest, MissingOrWrongPartsAreNamed) {
    struct {
        const char* part;      // taken out, or given other bytes
        std::string replaced;  // "" takes it out
        std::string read;
    } cases[] = {
        {"xl/workbook.xml", "", "open: parts.xlsx 缺少 xl/workbook.xml，不是完好的 XLSX 文件\n"},
        {"xl/_rels/workbook.xml.rels", "",
         "open: parts.xlsx 缺少 xl/_rels/workbook.xml.rels，不是完好的 XLSX 文件\n"},
        {"xl/worksheets/sheet1.xml", "",
         "open: parts.xlsx 缺少 xl/worksheets/sheet1.xml，不是完好的 XLSX 文件\n"},
        {"xl/sharedStrings.xml", "",
         "open: parts.xlsx 缺少 xl/sharedStrings.xml，不是完好的 XLSX 文件\n"},
        {"xl/workbook.xml", "<workbook><sheets></sheets></workbook>",
         "open: parts.xlsx 中没有工作表\n"},
        {"xl/workbook.xml", "<workbook><sheets><sheet name=\"甲\" r:id=\"rId1\"/>",
         "open: parts.xlsx 已损坏，不是完好的 XLSX 文件：xl/workbook.xml 第 1 行的 XML "
         "有误（unbound prefix）\n"},
        {"xl/styles.xml", "<styleSheet>",
         "open: parts.xlsx 已损坏，不是完好的 XLSX 文件：xl/styles.xml 第 1 行的 XML 有误（no "
         "element found）\n"},
        {"xl/worksheets/sheet1.xml",
         testkit::worksheet_xml(R"(<row r="1"><c r="A1" t="s"><v>7</v></c></row>)"),
         "fault: parts.xlsx 已损坏，不是完好的 XLSX 文件：第 1 行 A 列引用了不存在的共享文字“7”\n"},
        {"xl/worksheets/sheet1.xml",
         testkit::worksheet_xml(R"(<row r="1"><c r="1A"><v>1</v></c></row>)"),
         "fault: parts.xlsx 已损坏，不是完好的 XLSX 文件：第 1 行的单元格位置“1A”无效\n"},
        {"xl/worksheets/sheet1.xml",
         testkit::worksheet_xml(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"),
         "fault: parts.xlsx 已损坏，不是完好的 XLSX 文件：第 1 行的单元格位置“XFE1”无效\n"},
        {"xl/worksheets/sheet1.xml",
         testkit::worksheet_xml(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="x"/>)"),
         "1|n:1\nfault: parts.xlsx 已损坏，不是完好的 XLSX 文件：第 1 行之后的行号“x”无效\n"},
    };
    for (const auto& c : cases) {
        auto parts =
            testkit::workbook_parts(one_sheet(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"));
        std::erase_if(parts, [&](const testkit::zip_part& p) {
            return p.name == c.part && c.replaced.empty();
        });
        for (auto& p : parts)
            if (p.name == c.part) p.bytes = c.replaced;
        scratch_dir dir;
        ASSERT_EQ(write_zip(dir.file("parts.xlsx"), parts), "");
        EXPECT_EQ(rows_of(dir.file("parts.xlsx")), c.read) << c.part;
    }
}

TEST(XlsxReaderTest, AnEmptySheetHasNoRows) {
    for (const char* rows : {"", R"(<row r="1"/><row r="2"><c r="A2" s="0"/></row>)"}) {
        scratch_dir dir;
        auto source = open_sheet(written(dir, "empty.xlsx", one_sheet(rows)), "");
        ASSERT_TRUE(source.is_ok()) << source.message();
        sheet_row row;
        auto more = (*source)->next(row);
        ASSERT_TRUE(more.is_ok()) << more.message();
        EXPECT_FALSE(*more) << rows;
    }
}

TEST(XlsxReaderTest, RowsAreHandedOutBeforeTheRestOfTheSheetIsRead) {
    // Far more XML than one chunk, broken only at its very end.
    std::string rows;
    for (int r = 1; r <= 20000; ++r)
        rows +=
            "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r) + "</v></c></row>";
    rows += "<row>";
    scratch_dir dir;
    auto source = open_sheet(written(dir, "tail.xlsx", one_sheet(rows)), "");
    ASSERT_TRUE(source.is_ok()) << source.message();
    sheet_row row;
    auto first = (*source)->next(row);
    ASSERT_TRUE(first.is_ok()) << first.message();
    EXPECT_EQ(testkit::row_text(row), "1|n:1");
    const std::string rest = testkit::all_rows(**source);
    EXPECT_TRUE(rest.starts_with("2|n:2\n")) << rest.substr(0, 100);
    EXPECT_NE(rest.find("19999|n:19999\n20000|n:20000\nfault: tail.xlsx 已损坏"),
              std::string::npos);
}

TEST(XlsxReaderTest, ALongSheetIsReadThroughToItsLastRow) {
    constexpr long k_rows = 100000;
    std::string rows;
    rows.reserve(static_cast<std::size_t>(k_rows) * 90);
    for (long r = 1; r <= k_rows; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>住户" + n +
                "</t></is></c><c r=\"C" + n + "\"><v>" + std::to_string(r * 3) + "</v></c></row>";
    }
    scratch_dir dir;
    auto source = open_sheet(written(dir, "long.xlsx", one_sheet(rows)), "");
    ASSERT_TRUE(source.is_ok()) << source.message();
    long count = 0;
    long previous = 0;
    sheet_row row, last;
    for (;;) {
        auto more = (*source)->next(row);
        ASSERT_TRUE(more.is_ok()) << more.message();
        if (!*more) break;
        ++count;
        ASSERT_EQ(row.number, previous + 1);
        previous = row.number;
        last = row;
    }
    EXPECT_EQ(count, k_rows);
    EXPECT_EQ(testkit::row_text(last), "100000|t:住户100000||n:300000");
}

}  // namespace
}  // namespace officerecords
