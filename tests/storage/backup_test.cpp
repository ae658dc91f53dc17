// Backups of a live database and their restore: the copy is of one moment
// while another workstation goes on saving, it is checked before it is
// kept, and a restore keeps what it replaces (more in restore_test.cpp).
#include "storage/backup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/server_backend.h"
#include "storage/server_accounts.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using testkit::fixed_clock;
using testkit::scratch_dir;

const fixed_clock k_clock{*date::parse("2026-12-08")};

long long count_of(const std::string& path, const std::string& sql) {
    auto db = open_connection(path, k_clock);
    if (!db) return -1;
    auto v = (*db)->select_value(sql);
    return v ? static_cast<long long>(v->as_double().value_or(-1)) : -1;
}

// Another workstation, in a process of its own, committing one record after
// another until killed; returns once it has saved twenty (-1 if it failed).
pid_t start_writer(const std::string& db) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    std::fflush(nullptr);
    const pid_t writer = fork();
    if (writer == 0) {
        auto conn = open_connection(db, k_clock);
        if (!conn) _exit(3);
        transaction& t = **conn;
        for (long n = 1;; ++n) {
            const value p[] = {value(n + 100000)};
            if (t.execute("INSERT INTO tc_og_assetregister (commno, orderno, goodsname) VALUES "
                          "('420106001001', ?, '循环写入')",
                          p) != sql_code::ok ||
                t.commit() != sql_code::ok)
                _exit(4);
            if (n == 20) (void)!write(ready[1], "x", 1);
        }
    }
    close(ready[1]);
    char c;
    const bool started = read(ready[0], &c, 1) == 1;
    close(ready[0]);
    return started ? writer : -1;
}

TEST(BackupTest, ALiveDatabaseIsCopiedAsOfOneMomentAndChecked) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());

    // Another workstation saves records, one commit each, until stopped.
    const pid_t writer = start_writer(db);
    ASSERT_GT(writer, 0) << "the writer did not start";
    // What was committed before the backup began must be in it.
    const long long before = count_of(db, "SELECT count(*) FROM tc_og_assetregister");
    const std::string copy = dir.file("backup.db");
    auto report = backup_database(db, copy, k_clock);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->tables, 23);
    EXPECT_GE(count_of(copy, "SELECT count(*) FROM tc_og_assetregister"), before);
    EXPECT_EQ(count_of(copy, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
    EXPECT_FALSE(std::filesystem::exists(copy + ".part"));

    // A backup never replaces a file.
    auto again = backup_database(db, copy, k_clock);
    ASSERT_FALSE(again.is_ok());
    EXPECT_EQ(again.message(), "备份文件已经存在，不会覆盖它：" + copy);
    // Nor copies what is not ours.
    const std::string foreign = dir.file("letter.txt");
    ASSERT_EQ(write_file(foreign, blob{'h', 'i'}), 1);
    EXPECT_FALSE(backup_database(foreign, dir.file("x.db"), k_clock).is_ok());
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.db")));
}

// 备份数据… may write over an older backup: only once the new one is whole
// and checked, and never over the database itself.
TEST(BackupTest, AChosenFileIsReplacedByAWholeBackupButNeverTheDatabase) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());
    const std::string older = dir.file("older.db");
    ASSERT_EQ(write_file(older, blob{'o', 'l', 'd'}), 1);
    backup_options replace;
    replace.replace = true;
    auto made = backup_database(db, older, k_clock, replace);
    ASSERT_TRUE(made.is_ok()) << made.message();
    EXPECT_GT(count_of(older, "SELECT count(*) FROM tc_og_assetregister"), 0);

    const long long rows = count_of(db, "SELECT count(*) FROM tc_og_assetregister");
    auto itself = backup_database(db, dir.file("./office.db"), k_clock, replace);
    ASSERT_FALSE(itself.is_ok());
    EXPECT_EQ(itself.message(), "备份文件不能是正在使用的数据库本身：" + dir.file("./office.db"));
    EXPECT_EQ(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), rows);
    for (const auto& e : std::filesystem::directory_iterator(dir.file("")))
        EXPECT_FALSE(e.path().filename().string().starts_with(".")) << e.path() << " was left behind";
}

TEST(BackupTest, ARestoreKeepsWhatItReplacesAndRefusesADamagedBackup) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());
    const std::string copy = dir.file("backup.db");
    ASSERT_TRUE(backup_database(db, copy, k_clock).is_ok());
    {
        auto conn = open_connection(db, k_clock);
        ASSERT_TRUE(conn.is_ok());
        ASSERT_EQ((*conn)->execute("DELETE FROM tc_og_assetregister"), sql_code::ok);
        ASSERT_EQ((*conn)->commit(), sql_code::ok);
    }
    EXPECT_EQ(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), 0);
    const status st = restore_database(db, copy, dir.file("kept.db"), k_clock);
    ASSERT_TRUE(st.is_ok()) << st.message();
    EXPECT_GT(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), 0);
    EXPECT_EQ(count_of(dir.file("kept.db"), "SELECT count(*) FROM tc_og_assetregister"), 0);
    // The kept file is never replaced.
    const status again = restore_database(db, copy, dir.file("kept.db"), k_clock);
    ASSERT_FALSE(again.is_ok());
    EXPECT_EQ(again.message(), "文件已经存在，不会覆盖它：" + dir.file("kept.db"));
    // A damaged backup is refused before anything is touched.
    const std::string broken = dir.file("broken.db");
    ASSERT_EQ(write_file(broken, blob(4096, 'x')), 1);
    EXPECT_FALSE(restore_database(db, broken, dir.file("kept2.db"), k_clock).is_ok());
    EXPECT_FALSE(std::filesystem::exists(dir.file("kept2.db")));
    EXPECT_GT(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), 0);
}

// On a server: an archive of one moment while another workstation saves,
// checked row by row, and put back only when nobody else is connected.
TEST(BackupTest, AServerDatabaseIsArchivedAsOfOneMomentAndPutBack) {
    OFFICERECORDS_NEED_BACKEND(testkit::backend::postgresql);
    testkit::server_database server;
    const std::string db = server.target();
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());
    scratch_dir dir;
    const std::string archive = dir.file("office.dump");

    const pid_t writer = start_writer(db);
    ASSERT_GT(writer, 0) << "the writer did not start";
    const long long before = count_of(db, "SELECT count(*) FROM tc_og_assetregister");
    auto report = backup_database(db, archive, k_clock);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->tables, 23);
    EXPECT_FALSE(std::filesystem::exists(archive + ".part"));
    EXPECT_FALSE(backup_database(db, archive, k_clock).is_ok()) << "an archive is never replaced";

    const std::string kept = dir.file("kept.dump");
    {
        auto conn = open_connection(db, k_clock);
        ASSERT_TRUE(conn.is_ok());
        ASSERT_EQ((*conn)->execute("DELETE FROM tc_og_assetregister"), sql_code::ok);
        ASSERT_EQ((*conn)->commit(), sql_code::ok);
        const status busy = restore_database(db, archive, kept, k_clock);
        ASSERT_FALSE(busy.is_ok());
        EXPECT_EQ(busy.message(), "还有工作站打开着这个数据库，请所有工作站退出后再恢复：" +
                                      server_database_name(db));
        EXPECT_FALSE(std::filesystem::exists(kept));
    }
    const std::string broken = dir.file("broken.dump");
    ASSERT_EQ(write_file(broken, blob(4096, 'x')), 1);
    EXPECT_FALSE(restore_database(db, broken, kept, k_clock).is_ok());
    EXPECT_EQ(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), 0);

    const status st = restore_database(db, archive, kept, k_clock);
    ASSERT_TRUE(st.is_ok()) << st.message();
    EXPECT_GE(count_of(db, "SELECT count(*) FROM tc_og_assetregister"), before);
    EXPECT_TRUE(std::filesystem::exists(kept)) << "the replaced database is kept";
    // Published like every file: nothing of it is left under another name,
    // and a second restore never writes over it.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file(""))) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"broken.dump", "kept.dump", "office.dump"}));
    EXPECT_EQ(restore_database(db, archive, kept, k_clock).message(), "文件已经存在，不会覆盖它：" + kept);

    // The archive holds no rights: the restore grants the clerks' again,
    // and a clerk's login works on the restored database as before.
    const std::string clerk = server.name() + "_clerk";
    (void)testkit::server_database::psql({"DROP ROLE IF EXISTS " + clerk});
    {
        auto admin = connect_server(db, k_clock);
        ASSERT_TRUE(admin.is_ok()) << admin.message();
        ASSERT_TRUE(add_account(**admin, clerk, "pw", account_kind::clerk, {"420106001001"}).is_ok());
    }
    ASSERT_TRUE(restore_database(db, archive, dir.file("kept-again.dump"), k_clock).is_ok());
    pg_options login;
    login.password = "pw";
    auto as_clerk = connect_server(server.target_as(clerk), k_clock, login);
    ASSERT_TRUE(as_clerk.is_ok()) << as_clerk.message();
    const auto seen = (*as_clerk)->select_value("SELECT count(*) FROM tc_og_assetregister WHERE commno = '420106001001'");
    EXPECT_TRUE(seen.has_value()) << (*as_clerk)->sqlerrtext();
    EXPECT_EQ(seen ? seen->to_text() : "", std::to_string(count_of(db, "SELECT count(*) FROM tc_og_assetregister "
                                                                         "WHERE commno = '420106001001'")));
    as_clerk = status::error("closed");
    (void)testkit::server_database::psql({"DROP ROLE IF EXISTS " + clerk});
}

}  // namespace
}  // namespace officerecords
