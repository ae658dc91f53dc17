// officerecords-cli import: what it prints, its exit status, and files it
// cannot read, each refused with a message naming the file while the
// database stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/import/sheet_fixture.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::outcome;
using testkit::scratch_dir;

outcome run_cli(const std::string& arguments) {
    return testkit::run_command(std::string(OFFICERECORDS_CLI) + " " + arguments + " 2>&1");
}

class ImportCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(run_cli("init " + db + " --demo").status, 0); }
    // What the import may not change: the register and the history.
    std::string stored() {
        const std::string script = dir.file("count.script");
        std::ofstream(script) << "sql \"SELECT COUNT(*), MAX(orderno) FROM tc_og_assetregister\"\n"
                                 "sql \"SELECT COUNT(*) FROM tc_og_changelog\"\n";
        return run_cli("run " + script + " --db " + db).output;
    }
    outcome import(const std::string& file, const std::string& more = "") {
        return run_cli("import w_m_og_assetregister --db " + db + " --from '" + file + "' " + more);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        testkit::write_bytes(path, bytes);
        return path;
    }

    scratch_dir dir;
    std::string db = dir.file("office.db");
};

TEST_F(ImportCliTest, PrintsEachFailingRowAndImportsNothingWhileOneFails) {
    const std::string csv = file("资产.csv",
                                 "资产名称,价值（元）,添置日期\n"
                                 "椅子,120,2020-01-01\n"
                                 "桌子,abc,2020-01-01\n"
                                 "柜子,300,2020/2/30\n");
    const std::string before = stored();
    const outcome dry = import(csv, "--dry-run");
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(dry.output,
              "checked 3 rows: 1 pass, 2 fail\n"
              "row 3: “价值（元）”的“abc”不是能认出的数值\n"
              "row 4: “添置日期”的“2020/2/30”不是能认出的日期\n"
              "nothing imported\n");
    const std::string rejects = dir.file("未通过.xlsx");
    const outcome failed = import(csv, "--rejects '" + rejects + "'");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.output.find("nothing imported\n"), std::string::npos) << failed.output;
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(std::filesystem::exists(rejects));

    const std::string good = file("好.csv", "资产名称,价值（元）\n椅子,120\n凳子,15\n");
    const outcome done = import(good);
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.output, "checked 2 rows: 2 pass, 0 fail\nimported 2 records\n");
    EXPECT_NE(stored(), before);
}

TEST_F(ImportCliTest, WrongArgumentsExitTwoAndAnUnknownRegisterOne) {
    EXPECT_EQ(run_cli("import w_m_og_assetregister --db " + db).status, 2) << "no file";
    EXPECT_EQ(run_cli("import --db " + db + " --from x.csv").status, 2) << "no register";
    EXPECT_EQ(run_cli("import w_m_og_assetregister --db " + db + " --from x.csv --map 资产名称").status, 2);
    const outcome unknown = run_cli("import w_m_og_nothing --db " + db + " --from x.csv");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.output, "error: 没有这个登记：w_m_og_nothing\n");
}

// Files no clerk's sheet should be: each refused before anything is
// written, with a message that names the file.
TEST_F(ImportCliTest, FilesThatCannotBeReadAreRefusedNamingTheFile) {
    testkit::fixture_book good;
    good.shared = {"<t>资产名称</t>", "<t>价值（元）</t>", "<t>椅子</t>"};
    good.sheets = {{"资产", R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)"
                            R"(<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>5</v></c></row>)"}};
    const std::string whole = dir.file("whole.xlsx");
    ASSERT_EQ(testkit::write_zip(whole, testkit::workbook_parts(good)), "");
    const std::string bytes = testkit::file_bytes(whole);

    const std::string big = dir.file("big.csv");
    {
        std::ofstream(big) << "资产名称\n椅子\n";
        std::filesystem::resize_file(big, 200LL * 1024 * 1024);  // sparse: costs no disk
    }
    const struct {
        std::string path;
        std::string says;
    } cases[] = {
        {file("empty.csv", ""), "empty.csv"},
        {file("noheader.csv", "1,2,3\n4,5,6\n"), "noheader.csv"},
        {file("locked.xlsx", testkit::compound_file({"Root Entry", "EncryptionInfo", "EncryptedPackage"})),
         "设置了打开密码"},
        {file("cut.xlsx", bytes.substr(0, bytes.size() / 2)), "cut.xlsx"},
        {file("quote.csv", "资产名称,备注\n椅子,\"没有收尾的引号\n"), "quote.csv"},
        {big, "big.csv"},
        {file("long.csv", "资产名称,备注\n椅子," + std::string(40000, 'x') + "\n"), "long.csv"},
    };
    const std::string before = stored();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const outcome r = import(c.path);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_TRUE(r.output.starts_with("error: ")) << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        const std::string name = std::filesystem::path(c.path).filename().string();
        EXPECT_NE(r.output.find(name), std::string::npos) << "names the file: " << r.output;
    }
    EXPECT_EQ(stored(), before);
}

// A formula's cached value is what is imported; a formula the file holds
// no value for is its row's error.
TEST_F(ImportCliTest, FormulasGiveTheirCachedValueOrTheirRowFails) {
    testkit::fixture_book book;
    book.shared = {"<t>资产名称</t>", "<t>价值（元）</t>", "<t>算好的</t>", "<t>没算的</t>"};
    book.sheets = {{"资产", R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)"
                            R"(<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><f>SUM(40,2)</f><v>42</v></c></row>)"
                            R"(<row r="3"><c r="A3" t="s"><v>3</v></c><c r="B3"><f>SUM(1,2)</f></c></row>)"}};
    const std::string path = dir.file("公式.xlsx");
    ASSERT_EQ(testkit::write_zip(path, testkit::workbook_parts(book)), "");
    const outcome r = import(path, "--dry-run");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output,
              "checked 2 rows: 1 pass, 1 fail\n"
              "row 3: “价值（元）”是公式（SUM(1,2)），文件中没有它的计算结果；请在Excel中打开并保存该文件后再导入\n"
              "nothing imported\n");
}

}  // namespace
}  // namespace officerecords
