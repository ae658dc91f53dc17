// A file goes to its reader by what its bytes are, whatever it is named;
// files too large, empty or locked with a password are refused before
// they are read, and a CSV file is a sheet of one.
#include <gtest/gtest.h>

#include <filesystem>

#include "import/sheet_source.h"
#include "tests/import/sheet_fixture.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::rows_of;
using testkit::scratch_dir;
using testkit::compound_file;
using testkit::write_bytes;

TEST(SheetFileTest, TheKindOfFileIsToldByItsBytesNotItsName) {
    scratch_dir dir;
    testkit::fixture_book book;
    book.sheets = {
        {"名册", R"(<row r="1"><c r="A1" t="inlineStr"><is><t>张三</t></is></c></row>)"}};
    const std::string xlsx_named_csv = dir.file("名册.csv");
    ASSERT_EQ(testkit::write_zip(xlsx_named_csv, testkit::workbook_parts(book)), "");
    const std::string csv_named_xlsx = dir.file("名册.xlsx");
    write_bytes(csv_named_xlsx, "姓名\n李四\n");
    struct {
        std::string path;
        const char* description;
        const char* rows;
        std::vector<std::string> sheets;
    } cases[] = {
        {xlsx_named_csv, "XLSX", "1|t:张三\n", {"名册"}},
        {csv_named_xlsx, "CSV（UTF-8）", "1|t:姓名\n2|t:李四\n", {"名册"}},
    };
    for (const auto& c : cases) {
        auto source = open_sheet(c.path, "");
        ASSERT_TRUE(source.is_ok()) << source.message();
        EXPECT_EQ((*source)->description(), c.description);
        EXPECT_EQ(testkit::all_rows(**source), c.rows);
        auto names = sheet_names(c.path);
        ASSERT_TRUE(names.is_ok()) << names.message();
        EXPECT_EQ(*names, c.sheets);
    }
}

TEST(SheetFileTest, FilesThatCannotBeImportedAreRefusedBeforeTheyAreRead) {
    scratch_dir dir;
    write_bytes(dir.file("空.xlsx"), "");
    write_bytes(dir.file("big.xlsx"), "PK\x03\x04");
    // Sparse: the size is there without the bytes.
    std::filesystem::resize_file(dir.file("big.xlsx"), k_max_import_file_bytes + 1);
    write_bytes(dir.file("at.csv"), "a\n");
    std::filesystem::resize_file(dir.file("at.csv"), k_max_import_file_bytes * 3 / 2);
    std::filesystem::create_directory(dir.file("文件夹.xlsx"));
    struct {
        std::string name;
        std::string message;
    } cases[] = {
        {"空.xlsx", "空.xlsx 是空文件，没有可以导入的内容"},
        {"big.xlsx", "big.xlsx 有 100.1 MB，超过了导入文件最大 100 MB 的限制"},
        {"at.csv", "at.csv 有 150.0 MB，超过了导入文件最大 100 MB 的限制"},
        {"没有.xlsx", "找不到文件 没有.xlsx"},
        {"文件夹.xlsx", "文件夹.xlsx 不是一个文件"},
    };
    for (const auto& c : cases) {
        auto source = open_sheet(dir.file(c.name), "");
        ASSERT_FALSE(source.is_ok()) << c.name;
        EXPECT_EQ(source.message(), c.message);
        auto names = sheet_names(dir.file(c.name));
        ASSERT_FALSE(names.is_ok()) << c.name;
        EXPECT_EQ(names.message(), c.message);
    }
}

TEST(SheetFileTest, AWorkbookWithAPasswordIsToldApartFromAnXls) {
    const std::string password =
        "工资.xlsx 设置了打开密码，不能直接导入：请在 Excel 或 WPS 中打开它，去掉密码另存后再导入";
    // The name written as text inside a stream, not as a directory entry.
    std::string mentioned = compound_file({"Workbook"});
    const std::string utf16 =
        std::string("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0\0\0", 34);
    mentioned.replace(512 + 128 + 10, utf16.size(), utf16);
    struct {
        std::string bytes;
        bool asks_for_password;
    } cases[] = {
        {compound_file({"Root Entry", "EncryptionInfo", "EncryptedPackage"}), true},
        {compound_file({"Root Entry",
                        "\x06"
                        "DataSpaces",
                        "EncryptedPackage"}),
         true},
        {compound_file({"Root Entry", "Workbook"}), false},
        {mentioned, false},
    };
    for (const auto& c : cases) {
        scratch_dir dir;
        const std::string path = dir.file("工资.xlsx");
        write_bytes(path, c.bytes);
        auto source = open_sheet(path, "");
        ASSERT_FALSE(source.is_ok());
        auto names = sheet_names(path);
        ASSERT_FALSE(names.is_ok());
        if (c.asks_for_password) {
            EXPECT_EQ(source.message(), password);
            EXPECT_EQ(names.message(), password);
        } else {
            // Read as an XLS, which this is not either.
            EXPECT_TRUE(source.message().starts_with("工资.xlsx ")) << source.message();
            EXPECT_EQ(source.message().find("密码"), std::string::npos) << source.message();
        }
    }
}

TEST(SheetFileTest, ACsvFileIsOneSheetNumberedByItsLines) {
    scratch_dir dir;
    const std::string path = dir.file("资产.csv");
    // 名称,价值 / 台式计算机,19960 / 打印机, in GB18030, with a blank line and one of empty fields.
    write_bytes(path,
                "\xC3\xFB\xB3\xC6,\xBC\xDB\xD6\xB5\r\n"
                "\r\n"
                "\xCC\xA8\xCA\xBD\xBC\xC6\xCB\xE3\xBB\xFA,19960\r\n"
                ",,\r\n"
                "\xB4\xF2\xD3\xA1\xBB\xFA,\r\n");
    auto names = sheet_names(path);
    ASSERT_TRUE(names.is_ok()) << names.message();
    EXPECT_EQ(*names, std::vector<std::string>{"资产"});
    for (const char* sheet : {"", "资产"}) {
        auto source = open_sheet(path, sheet);
        ASSERT_TRUE(source.is_ok()) << source.message();
        EXPECT_EQ((*source)->description(), "CSV（GB18030）");
        EXPECT_EQ(testkit::all_rows(**source),
                  "1|t:名称|t:价值\n3|t:台式计算机|t:19960\n5|t:打印机\n");
    }
    EXPECT_EQ(rows_of(path, "Sheet1"), "open: 资产.csv 中没有名为“Sheet1”的工作表（有：资产）\n");

    write_bytes(dir.file("引号.csv"), "名称\n\"台式计算机\n");
    EXPECT_EQ(rows_of(dir.file("引号.csv")),
              "open: 引号.csv 第 2 行：引号的位置不对（引号要成对，并且包住整个字段）\n");
    write_bytes(dir.file("长.csv"), "名称,备注\n甲," + std::string(40000, 'x') + "\n");
    EXPECT_EQ(rows_of(dir.file("长.csv")),
              "1|t:名称|t:备注\nfault: 长.csv 第 2 行 B 列有 40000 个字，超过了一格最多 32767 "
              "个字的限制\n");
}

TEST(SheetFileTest, ColumnsAndCellLengthsAreCountedAsExcelShowsThem) {
    const std::pair<int, const char*> columns[] = {{0, "A"},     {25, "Z"},     {26, "AA"},
                                                   {51, "AZ"},   {52, "BA"},    {701, "ZZ"},
                                                   {702, "AAA"}, {16383, "XFD"}};
    for (const auto& [column, letters] : columns)
        EXPECT_EQ(column_letters(column), letters) << column;
    const std::pair<const char*, std::size_t> lengths[] = {
        {"", 0}, {"abc", 3}, {"名称", 2}, {"a名😀", 3}};
    for (const auto& [text, n] : lengths) EXPECT_EQ(cell_characters(text), n) << text;
}

}  // namespace
}  // namespace officerecords
