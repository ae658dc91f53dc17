// The command-line program as a user meets it: databases that are missing,
// damaged, locked or already there, and scripts that cannot be played.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/script_session.h"
#include "foundation/register_page.h"
#include "catalog/window_catalog.h"
#include "tests/csv_records.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::scratch_dir;

using testkit::outcome;

outcome run_cli(const std::string& arguments) {
    return testkit::run_command(std::string(OFFICERECORDS_CLI) + " " + arguments);
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

// A server that takes the connection and never answers, and one where
// nobody listens: the program says so and ends with status 1, after the
// connect timeout rather than never.
TEST(CliTest, AnUnreachableServerIsAMessageAndStatusOne) {
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    socklen_t size = sizeof at;
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&at), &size), 0);
    const std::string port = std::to_string(ntohs(at.sin_port));
    scratch_dir dir;
    write(dir.file("s.script"), "print window\n");
    for (const std::string& uri : {"postgresql://office@127.0.0.1:" + port + "/office",
                                  std::string("host=127.0.0.1 port=1 dbname=office")}) {
        const outcome r = run_cli("run " + dir.file("s.script") + " --db '" + uri + "'");
        EXPECT_EQ(r.status, 1) << uri;
        EXPECT_THAT(r.output, ::testing::StartsWith("error: 不能连接数据库服务器 postgresql://"))
            << r.output;
    }
    ::close(silent);
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

// The history of a record, newest change first, with captions and the
// codes by their names; a backup and its restore from the command line.
TEST(CliTest, HistoryBackupAndRestore) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    const std::string script = dir.file("s.script");
    write(script,
          "today 2026-12-08\n"
          "open w_m_og_assetregister 修改 2\n"
          "type assetsort 03\n"
          "click cb_save\n"
          "type note 待盘点\n"
          "click cb_tempsave\n"
          "close\n");
    ASSERT_EQ(run_cli("run " + script + " --db " + db).status, 0);
    auto h = run_cli("history w_m_og_assetregister 2 --db " + db);
    EXPECT_EQ(h.status, 0) << h.output;
    // Newest first: the save without checks, then the checked one.
    const std::size_t temp = h.output.find("修改（未校验） 备注: （空） -> 待盘点");
    const std::size_t checked = h.output.find("修改 资产分类: 电子设备 -> 家具用具");
    EXPECT_NE(temp, std::string::npos) << h.output;
    EXPECT_NE(checked, std::string::npos) << h.output;
    EXPECT_LT(temp, checked);
    // The record is named first, as the list knows it now.
    EXPECT_EQ(h.output.substr(0, h.output.find('\n')), "固定资产登记 记录号 2（激光打印机，2020-06-18，3,580.00）")
        << h.output;
    EXPECT_EQ(run_cli("history w_m_og_nosuch 2 --db " + db).status, 1);

    const std::string copy = dir.file("backup.db");
    auto b = run_cli("backup --db " + db + " --out " + copy);
    EXPECT_EQ(b.status, 0) << b.output;
    EXPECT_NE(b.output.find("backed up "), std::string::npos);
    EXPECT_EQ(run_cli("backup --db " + db + " --out " + copy).status, 1) << "never overwrites";
    write(script, "sql \"DELETE FROM tc_og_assetregister\"\n");
    ASSERT_EQ(run_cli("run " + script + " --db " + db).status, 0);
    auto r = run_cli("restore --db " + db + " --from " + copy);
    EXPECT_EQ(r.status, 0) << r.output;
    write(script, "sql \"SELECT count(*) > 0 FROM tc_og_assetregister\"\n");
    EXPECT_EQ(run_cli("run " + script + " --db " + db).output, "row: 1\n");
}

// An activity's history shows the photos its own community changed:
// another community's activity of the same number is none of it.
TEST(CliTest, AnActivitysHistoryHoldsItsOwnCommunitysPhotosOnly) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_EQ(run_cli("init " + db + " --demo").status, 0);
    std::filesystem::copy_file(std::string(OFFICERECORDS_SESSIONS) + "/files/photo_a.bmp",
                               dir.file("photo_a.bmp"));
    const std::string script = dir.file("s.script");
    write(script,
          "today 2026-12-08\n"
          "community 420106001002\n"
          "open w_m_og_commactivityrecord 修改 7\n"
          "click cb_photo\n"
          "file " +
              dir.file("photo_a.bmp") +
              "\n"
              "click cb_new\n"
              "type sle_note 东亭社区的照片\n"
              "click cb_save\n"
              "close\n"
              "close\n");
    auto played = run_cli("run " + script + " --db " + db);
    ASSERT_EQ(played.status, 0) << played.output;
    ASSERT_NE(played.output.find("照片数据保存成功！"), std::string::npos) << played.output;
    auto theirs =
        run_cli("history w_m_og_commactivityrecord 7 --db " + db + " --community 420106001002");
    EXPECT_EQ(theirs.status, 0) << theirs.output;
    EXPECT_NE(theirs.output.find("新增 照片 2 的说明: （空） -> 东亭社区的照片"), std::string::npos)
        << theirs.output;
    auto ours =
        run_cli("history w_m_og_commactivityrecord 7 --db " + db + " --community 420106001001");
    EXPECT_EQ(ours.status, 0) << ours.output;
    EXPECT_EQ(ours.output,
              "no history of commno=420106001001;orderno=7 in w_m_og_commactivityrecord\n");
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

// Each register's list, as the desktop program and `run` list it for the
// community with the lowest number.
struct listed_register {
    std::string window;
    long rows;
    std::size_t columns;  // shown, after "序号"
};

std::vector<listed_register> listed_registers(const std::string& db) {
    testkit::recording_host host;
    auto opened = open_database(db, host);
    EXPECT_TRUE(opened.is_ok()) << opened.message();
    if (!opened) return {};
    session s{host, host, *opened->sqlca, *opened->photosqlca, "420106001001", {}, nullptr};
    std::vector<listed_register> listed;
    for (const auto& e : window_catalog()) {
        uo_tabpg_datawindow page;
        status st = list_register(page, std::string(e.window), e.list(), s);
        EXPECT_TRUE(st.is_ok()) << e.window << ": " << st.message();
        listed.push_back(
            {std::string(e.window), page.dw_1.rowcount(), e.list().shown_columns().size()});
    }
    return listed;
}

// A fresh demo database, and the export command over it.
class CliExportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(run_cli("init " + db + " --demo").status, 0); }
    outcome export_list(const std::string& window, const std::string& options) {
        return run_cli("export " + window + " --db " + db + " " + options);
    }
    std::vector<std::string> names_in_folder() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.file("")))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    scratch_dir dir;
    const std::string db = dir.file("office.db");
};

// Without its modules the program still works on its SQLite file and
// exports CSV; what needs a module says which one is missing.
TEST_F(CliExportTest, WithoutTheModulesOnlyWhatNeedsThemFailsAndNamesThem) {
    scratch_dir empty;
    const std::string without = "OFFICERECORDS_MODULE_DIR=" + empty.path() + " " + OFFICERECORDS_CLI + " ";
    write(dir.file("s.script"), "open w_m_og_assetregister 修改 1\nprint item goodsname\n");
    auto played = testkit::run_command(without + "run " + dir.file("s.script") + " --db " + db);
    EXPECT_EQ(played.status, 0) << played.output;
    auto csv = testkit::run_command(without + "export w_m_og_assetregister --db " + db + " --format csv --out " +
                                    dir.file("a.csv"));
    EXPECT_EQ(csv.status, 0) << csv.output;
    auto xlsx = testkit::run_command(without + "export w_m_og_assetregister --db " + db +
                                     " --format xlsx --out " + dir.file("a.xlsx"));
    EXPECT_EQ(xlsx.status, 1);
    EXPECT_THAT(xlsx.output, ::testing::HasSubstr("导出 Excel 文件需要本程序的模块 libofficerecords_xlsx.so"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.xlsx")));
    auto server = testkit::run_command(without + "run " + dir.file("s.script") +
                                       " --db postgresql://clerk@127.0.0.1:1/office");
    EXPECT_EQ(server.status, 1);
    EXPECT_THAT(server.output,
                ::testing::HasSubstr("连接数据库服务器需要本程序的模块 libofficerecords_postgres.so"));
    auto modules = testkit::run_command(without + "modules");
    EXPECT_EQ(modules.status, 1);
    EXPECT_EQ(modules.output, "postgres：连接数据库服务器需要本程序的模块 libofficerecords_postgres.so，但在 " +
                                  empty.path() + " 中没有找到它，请重新安装本程序\n"
                                  "xlsx：导出 Excel 文件需要本程序的模块 libofficerecords_xlsx.so，但在 " +
                                  empty.path() + " 中没有找到它，请重新安装本程序\n");
}

// Every register of the catalogue exports its listed records, in both
// formats, with a header and the counter running 1..N.
TEST_F(CliExportTest, EveryRegisterExportsEachListedRecord) {
    const auto listed = listed_registers(db);
    ASSERT_EQ(listed.size(), window_catalog().size());
    for (const auto& reg : listed) {
        ASSERT_GE(reg.rows, 1) << reg.window << " has no demo record to export";
        const std::string csv = dir.file(reg.window + ".csv");
        auto r = export_list(reg.window, "--format csv --out " + csv);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output, "exported " + std::to_string(reg.rows) + " records of " + reg.window +
                                " to " + csv + "\n");
        const auto read_back = testkit::csv_records(read(csv));
        ASSERT_TRUE(read_back) << reg.window << ": no byte order mark, or no CR LF at the end";
        const auto& records = *read_back;
        ASSERT_EQ(records.size(), static_cast<std::size_t>(reg.rows) + 1) << reg.window;
        EXPECT_EQ(records[0].front(), "序号") << reg.window;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].size(), reg.columns + 1) << reg.window << " record " << i;
            if (i > 0) {
                EXPECT_EQ(records[i].front(), std::to_string(i)) << reg.window;
            }
        }

        const std::string xlsx = dir.file(reg.window + ".xlsx");
        r = export_list(reg.window, "--format xlsx --out " + xlsx);
        EXPECT_EQ(r.status, 0) << r.output;
        const testkit::outcome sheet = testkit::read_xlsx(xlsx);
        ASSERT_EQ(sheet.status, 0) << sheet.output;
        const auto has = [&](const std::string& line) {
            return sheet.output.find("\n" + line + "\n") != std::string::npos;
        };
        EXPECT_TRUE(has("freeze A3")) << sheet.output;
        EXPECT_TRUE(has("A2 text \"序号\" bold")) << sheet.output;
        const std::string last = std::to_string(reg.rows);
        EXPECT_TRUE(has("A" + std::to_string(reg.rows + 2) + " number " + last + ".0"))
            << reg.window << "\n"
            << sheet.output;
        EXPECT_EQ(sheet.output.find("\nA" + std::to_string(reg.rows + 3) + " number "),
                  std::string::npos)
            << reg.window << "\n"
            << sheet.output;
    }
}

TEST_F(CliExportTest, TheCommunityChosenIsTheOneExported) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw,
                       "SELECT count(*) FROM tc_og_assetregister WHERE commno = '420106001002'", -1,
                       &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const int expected = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);

    const std::string csv = dir.file("assets.csv");
    auto r =
        export_list("w_m_og_assetregister", "--community 420106001002 --format csv --out " + csv);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "exported " + std::to_string(expected) +
                            " records of w_m_og_assetregister to " + csv + "\n");
    const auto records = testkit::csv_records(read(csv));
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), static_cast<std::size_t>(expected) + 1);

    // The window's name and the format ignore letter case.
    const std::string xlsx = dir.file("assets.xlsx");
    r = export_list("W_M_OG_ASSETREGISTER", "--community 420106001002 --format XLSX --out " + xlsx);
    EXPECT_EQ(r.status, 0) << r.output;
    const testkit::outcome sheet = testkit::read_xlsx(xlsx);
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    EXPECT_NE(sheet.output.find("\nA1 text \"固定资产登记 — 东亭社区\" bold\n"), std::string::npos)
        << sheet.output;
}

TEST_F(CliExportTest, AnExistingFileIsKeptUnlessOverwriteIsGiven) {
    const std::string out = dir.file("assets.csv");
    write(out, "the clerk's own file");
    auto r = export_list("w_m_og_assetregister", "--format csv --out " + out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "error: 文件已经存在，不会覆盖它：" + out + "\n");
    EXPECT_EQ(read(out), "the clerk's own file");
    r = export_list("w_m_og_assetregister", "--format csv --out " + out + " --overwrite");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(read(out).starts_with("\xEF\xBB\xBF序号,资产分类,")) << read(out);
}

TEST_F(CliExportTest, WhatCannotBeExportedIsAnErrorAndWritesNothing) {
    const std::string out = dir.file("x.csv");
    const std::string to_out = " --out " + out;
    const std::string missing_folder = dir.file("没有这个文件夹/x.csv");
    struct {
        std::string arguments;
        int status;
        std::string output;  // all of it, or its start when it does not end a line
    } cases[] = {
        {"export w_m_og_nothing --db " + db + " --format csv" + to_out, 1,
         "error: 没有这个登记：w_m_og_nothing\n"},
        {"export w_m_og_commactivityrecord_pic --db " + db + " --format csv" + to_out, 1,
         "error: w_m_og_commactivityrecord_pic 没有列表，不能导出\n"},
        {"export w_m_og_assetregister --db " + db + " --community 999 --format csv" + to_out, 1,
         "error: 数据库中没有编号为 999 的社区\n"},
        {"export w_m_og_assetregister --db " + dir.file("missing.db") + " --format csv" + to_out, 1,
         "error: 找不到数据库文件："},
        {"export w_m_og_assetregister --db " + db + " --format xlsx --out " + missing_folder, 1,
         "error: 不能写入文件 " + missing_folder + "：文件夹不存在\n"},
        {"export w_m_og_assetregister --db " + db + " --format csv --out " + dir.file(""), 1,
         "error: 这是一个文件夹，不能作为导出的文件：" + dir.file("") + "\n"},
        {"export w_m_og_assetregister --db " + db + " --format xls" + to_out, 2, "usage: "},
        {"export w_m_og_assetregister --db " + db + to_out, 2, "usage: "},
        {"export w_m_og_assetregister --db " + db + " --format csv", 2, "usage: "},
        {"export --db " + db + " --format csv" + to_out, 2, "usage: "},
        {"export w_m_og_assetregister w_m_og_sealuserecord --db " + db + " --format csv" + to_out,
         2, "usage: "},
        {"export w_m_og_assetregister --db " + db + " --format csv --all" + to_out, 2, "usage: "},
        {"export w_m_og_assetregister --format csv" + to_out, 2, "usage: "},
    };
    for (const auto& c : cases) {
        auto r = run_cli(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        if (c.output.ends_with("\n")) {
            EXPECT_EQ(r.output, c.output) << c.arguments;
        } else {
            EXPECT_TRUE(r.output.starts_with(c.output)) << c.arguments << "\n" << r.output;
        }
    }
    EXPECT_EQ(names_in_folder(), std::vector<std::string>{"office.db"})
        << "nothing was exported, not even a temporary";
}

TEST_F(CliExportTest, ADatabaseWithoutACommunityHasNothingToExport) {
    const std::string empty = dir.file("empty.db");
    ASSERT_EQ(run_cli("init " + empty).status, 0);
    auto r = run_cli("export w_m_og_assetregister --db " + empty + " --format csv --out " +
                     dir.file("x.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "error: 数据库中还没有登记社区，没有可导出的记录\n");
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"empty.db", "office.db"}));
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
