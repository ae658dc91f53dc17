// The command-line program as a user meets it: databases that are missing,
// damaged, locked or already there, and scripts that cannot be played.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/script_session.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::scratch_dir;

struct outcome {
    int status;
    std::string output;  // stdout and stderr together
};

outcome run_cli(const std::string& arguments) {
    std::string command = std::string(OFFICERECORDS_CLI) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) out.append(buf.data(), n);
    int rc = pclose(pipe);
    return {WEXITSTATUS(rc), out};
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CliTest, InitRefusesToOverwriteAndRunRefusesWhatIsNotADatabase) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    EXPECT_EQ(run_cli("init " + db).status, 0);
    auto again = run_cli("init " + db + " --demo");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.output, "error: 文件已经存在，不会覆盖它：" + db + "\n");

    std::string script = dir.file("s.script");
    write(script, "print window\n");
    struct {
        std::string db;
        std::string expected;
    } cases[] = {
        {dir.file("missing.db"), "error: 找不到数据库文件："},
        {dir.file("garbage.db"), "error: 这不是数据库文件（文件是空的，或者内容不是数据库）："},
        {dir.file("plain.db"), "error: 这不是本系统的数据库（其中没有表 tc_ge_community）："},
    };
    write(dir.file("garbage.db"), std::string(8192, 'x'));
    sqlite3* plain = nullptr;
    sqlite3_open(dir.file("plain.db").c_str(), &plain);
    sqlite3_exec(plain, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(plain);
    for (const auto& c : cases) {
        auto r = run_cli("run " + script + " --db " + c.db);
        EXPECT_EQ(r.status, 1) << c.db;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
    EXPECT_FALSE(std::ifstream(dir.file("missing.db")).good()) << "a missing database was created";
    EXPECT_EQ(read(dir.file("garbage.db")), std::string(8192, 'x'));
}

TEST(CliTest, ALockedDatabaseFailsTheSaveWithAMessageAndWritesNothing) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    std::string script = dir.file("s.script");
    write(script,
          "today 2026-12-08\n"
          "open w_m_og_assetregister 修改 1\n"
          "type goodsname 锁定测试\n"
          "click cb_save\n"
          "print window\n");

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    // Without a timeout to wait out, the refusal comes at once.
    auto r = run_cli("run " + script + " --db " + db + " --busy-timeout 0");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);

    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("message 警告信息 | 数据保存失败！数据库正被其他工作站使用（已锁定），请稍后再试："),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("modified=1"), std::string::npos) << r.output;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(other, "SELECT goodsname FROM tc_og_assetregister WHERE orderno = 1", -1,
                       &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STRNE(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "锁定测试");
    sqlite3_finalize(stmt);
    sqlite3_close(other);
}

TEST(ScriptWordsTest, SplitsQuotedWordsWithEscapes) {
    struct {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"type goodsname 投影仪", {"type", "goodsname", "投影仪"}},
        {"type note \"a b\"  \"\"", {"type", "note", "a b", ""}},
        {R"(sql "SELECT 'x\"y'" )", {"sql", "SELECT 'x\"y'"}},
        {R"(type note "1\n2\r3\t4\\5")", {"type", "note", "1\n2\r3\t4\\5"}},
        {"\t  print   row  ", {"print", "row"}},
    };
    for (const auto& c : cases) {
        std::string why;
        auto words = split_words(c.line, why);
        ASSERT_TRUE(words) << c.line << ": " << why;
        EXPECT_EQ(*words, c.words) << c.line;
    }
    std::string why;
    EXPECT_FALSE(split_words("type note \"open", why));
    EXPECT_FALSE(split_words(R"(type note "\q")", why));
    EXPECT_EQ(escape_text("a\\b\r\nc"), "a\\\\b\\r\\nc");
}

}  // namespace
}  // namespace officerecords
