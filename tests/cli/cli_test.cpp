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

// How a script file is read: its first bytes, its line ends, its comments.
TEST(CliTest, ScriptsAreReadWhateverTheirLineEndsAndComments) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    const std::string body =
        "# a \"quote, a \\d and a # in a comment\n"
        "  # an indented comment\n"
        "today 2026-12-08\n"
        "open w_m_og_assetregister 修改 1\n"
        "print item goodsname\n";
    auto with_ends = [&](const char* end) {
        std::string out;
        for (char c : body) {
            if (c == '\n')
                out += end;
            else
                out += c;
        }
        return out;
    };
    const std::string expected = "open w_m_og_assetregister\ngoodsname = 台式计算机\n";
    struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"LF", body},
        {"CR LF", with_ends("\r\n")},
        {"CR", with_ends("\r")},
        {"BOM", "\xEF\xBB\xBF" + body},
        {"BOM and CR LF, no final line end", "\xEF\xBB\xBF" + with_ends("\r\n").substr(0, with_ends("\r\n").size() - 2)},
    };
    for (const auto& c : cases) {
        const std::string script = dir.file("s.script");
        write(script, c.text);
        auto r = run_cli("run " + script + " --db " + db);
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.output;
        EXPECT_EQ(r.output, expected) << c.name;
    }
}

TEST(CliTest, AScriptThatSaysTooMuchOrNamesNoModeIsAnError) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"type keepperson 王 芳", "error: line 2: type takes at most 2 argument(s), 3 given: 芳\n"},
        {"close now", "error: line 2: close takes at most 0 argument(s), 1 given: now\n"},
        {"print window now", "error: line 2: print window takes no argument\n"},
        {"print item", "error: line 2: print item needs argument\n"},
        {"open w_m_og_assetregister 删除", "error: line 2: the mode is 添加 or 修改, not 删除\n"},
        {"answer maybe", "error: line 2: answer yes, no or cancel\n"},
    };
    for (const auto& c : cases) {
        const std::string script = dir.file("s.script");
        write(script, std::string("open w_m_og_assetregister 修改 1\n") + c.line + "\n");
        auto r = run_cli("run " + script + " --db " + db);
        EXPECT_EQ(r.status, 2) << c.line;
        EXPECT_EQ(r.output, std::string("open w_m_og_assetregister\n") + c.error) << c.line;
    }
    auto folder = run_cli("run " + dir.file("") + " --db " + db);
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.output.find("is a folder"), std::string::npos) << folder.output;
}

// Leaving a changed record asks the frame's question; a queued answer
// decides it, and without one the changes are dropped, the question shown.
TEST(CliTest, TheUnsavedChangesQuestionTakesAQueuedAnswer) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    const std::string script = dir.file("s.script");
    write(script,
          "today 2026-12-08\n"
          "open w_m_og_assetregister 修改 1\n"
          "type goodsname 留下\n"
          "answer cancel\n"
          "click cb_next\n"
          "print item goodsname\n"
          "answer yes\n"
          "close\n"
          "open w_m_og_assetregister 修改 1\n"
          "print item goodsname\n"
          "type goodsname 不要\n"
          "close\n"
          "open w_m_og_assetregister 修改 1\n"
          "print item goodsname\n");
    auto r = run_cli("run " + script + " --db " + db);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output,
              "open w_m_og_assetregister\n"
              "question 提示信息 | 当前记录已经修改，是否保存？ -> cancel\n"
              "goodsname = 留下\n"
              "question 提示信息 | 当前记录已经修改，是否保存？ -> yes\n"
              "close w_m_og_assetregister\n"
              "open w_m_og_assetregister\n"
              "goodsname = 留下\n"
              "question 提示信息 | 当前记录已经修改，是否保存？ -> no\n"
              "close w_m_og_assetregister\n"
              "open w_m_og_assetregister\n"
              "goodsname = 留下\n");
}

TEST(CliTest, ADatabaseWithoutACommunityOpensNoRecordWindow) {
    scratch_dir dir;
    std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db).status, 0);
    const std::string script = dir.file("s.script");
    write(script, "open w_m_og_assetregister 添加\nprint window\n");
    auto r = run_cli("run " + script + " --db " + db);
    EXPECT_EQ(r.output,
              "open w_m_og_assetregister\n"
              "message 提示信息 | 数据库中还没有登记社区，不能打开登记窗口。请先登记社区后再录入记录。\n"
              "close w_m_og_assetregister\n"
              "error: line 2: no window is open\n");
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
