// Old-style XLS workbooks, written at test time by make_xls.py (xlwt):
// texts, numbers and dates read as an XLSX gives them, the sheets by name,
// and a broken or password-protected file refused.
#include "import/xls_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/import/sheet_fixture.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::rows_of;
using testkit::scratch_dir;

// The script beside this file; the tests' python (OFFICERECORDS_PYTHON)
// is Debian's, which has python3-xlwt.
const std::string k_make_xls =
    (std::filesystem::path(__FILE__).parent_path() / "make_xls.py").string();

class XlsReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto made = testkit::run_command(std::string(OFFICERECORDS_PYTHON) + " '" +
                                               k_make_xls + "' '" + dir.path() + "'");
        ASSERT_EQ(made.status, 0) << made.output << "(python3-xlwt installed?)";
        path = dir.file("资产.xls");
    }
    scratch_dir dir;
    std::string path;
};

TEST_F(XlsReaderTest, CellsAreReadAsAWorkbookStoresThem) {
    auto source = open_sheet(path, "");
    ASSERT_TRUE(source.is_ok()) << source.message();
    EXPECT_EQ((*source)->description(), "XLS");
    EXPECT_EQ(testkit::all_rows(**source),
              "1|t:名称|t:价值|t:购置日期|t:身份证号|t:数量\n"
              "2|t:台式计算机|n:19960.5|d:43831|t:110101199001011234|n:3\n"
              "4|t:Printer|n:0.1|d:44259.5||n:1234567890123\n"
              "5|||d:59\n");
}

TEST_F(XlsReaderTest, SheetsAreListedInOrderAndChosenByName) {
    auto names = sheet_names(path);
    ASSERT_TRUE(names.is_ok()) << names.message();
    EXPECT_EQ(*names, (std::vector<std::string>{"资产", "人员"}));
    EXPECT_EQ(rows_of(path, "人员"), "1|t:姓名\n2|t:张三\n");
    EXPECT_EQ(rows_of(path, "住户"), "open: 资产.xls 中没有名为“住户”的工作表（有：资产、人员）\n");
}

TEST_F(XlsReaderTest, AnXlsIsKnownByItsBytesAndABrokenOneRefused) {
    const std::string whole = testkit::file_bytes(path);
    ASSERT_GT(whole.size(), 2048u);
    const std::string renamed = dir.file("资产.csv");
    testkit::write_bytes(renamed, whole);
    EXPECT_EQ(rows_of(renamed, "人员"), "1|t:姓名\n2|t:张三\n");
    for (const std::size_t cut : {std::size_t{600}, whole.size() / 2, whole.size() - 1}) {
        const std::string broken = dir.file("cut.xls");
        testkit::write_bytes(broken, whole.substr(0, cut));
        const std::string read = rows_of(broken);
        EXPECT_TRUE(read.starts_with("open: cut.xls ")) << cut << ": " << read;
    }
}

TEST_F(XlsReaderTest, AWorkbookWithAPasswordIsNotRead) {
    const std::string message =
        "工资.xls 设置了打开密码，不能直接导入：请在 Excel 或 WPS 中打开它，去掉密码另存后再导入";
    auto names = sheet_names(dir.file("工资.xls"));
    ASSERT_FALSE(names.is_ok());
    EXPECT_EQ(names.message(), message);
    EXPECT_EQ(rows_of(dir.file("工资.xls")), "open: " + message + "\n");
}

TEST(XlsReaderDateTest, DateTextsBecomeSerialDaysOfThe1900System) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"2020-01-01", "43831"},
        {"1900-01-01", "1"},
        {"1900-02-28", "59"},
        {"1900-03-01", "61"},
        {"2020-02-29", "43890"},
        {"9999-12-31", "2958465"},
        {"2020-01-01 12:00:00", "43831.5"},
        {"1900-03-01 06:00:00", "61.25"},
        {"06:00:00", "0.25"},
        {"00:00:00", "0"},
        {"2021-02-29", std::nullopt},
        {"2020-13-01", std::nullopt},
        {"2020-04-31", std::nullopt},
        {"2020-1-1", std::nullopt},
        {"2020-01-01 24:00:00", std::nullopt},
        {"2020-01-01T12:00:00", std::nullopt},
        {"12:60:00", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, serial] : cases) EXPECT_EQ(excel_serial_text(text), serial) << text;
}

}  // namespace
}  // namespace officerecords
