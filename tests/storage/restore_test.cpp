// A restore copies the backup into the live database in place, while
// other workstations stay connected: the backup is only read, what is
// replaced is kept whole, the other workstations see the old content or
// the new and are told once when their save would go into restored data,
// and a restore killed at any step leaves the old or the new database.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "finance/assetregister.h"
#include "foundation/checksum.h"
#include "foundation/register_page.h"
#include "foundation/w_modify.h"
#include "storage/backup.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/sqlite_transaction.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::fixed_clock;
using testkit::recording_host;
using testkit::scratch_dir;

const fixed_clock k_clock{*date::parse("2026-12-08")};
constexpr const char* k_commno = "420106001001";

// What a database file holds, read through SQLite alone: integrity_check,
// the count of each table named, and the asset register row by row.
std::string content_of(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open " + path;
    }
    std::string out;
    for (const char* sql :
         {"PRAGMA integrity_check", "SELECT count(*) FROM tc_og_changelog",
          "SELECT count(*) FROM tc_ge_personinfo",
          "SELECT group_concat(orderno || '=' || goodsname, ',') FROM "
          "(SELECT orderno, goodsname FROM tc_og_assetregister ORDER BY orderno)"}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            out += text ? reinterpret_cast<const char*>(text) : "~";
        } else {
            out += std::string("error: ") + sqlite3_errmsg(db);
        }
        sqlite3_finalize(stmt);
        out += '\n';
    }
    sqlite3_close(db);
    return out;
}

std::set<std::string> files_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

std::string checksum_of(const std::string& path) {
    blob bytes;
    if (read_file(path, bytes) != 1) return "unreadable";
    return checksum_hex(bytes);
}

// Saves an asset of its own number through `t`; whether it was committed.
bool save_asset(transaction& t, long orderno, const std::string& name) {
    const value p[] = {value(k_commno), value(orderno), value(name)};
    if (t.begin_write() != sql_code::ok) return false;
    if (t.execute("INSERT INTO tc_og_assetregister (commno, orderno, goodsname) VALUES (?, ?, ?)", p) !=
        sql_code::ok) {
        t.rollback_keeping_error();
        return false;
    }
    return t.commit() == sql_code::ok;
}

// A demo database at `db` and, made from it, a backup at `backup` that
// differs from what the database holds afterwards.
void make_database_and_backup(const std::string& db, const std::string& backup) {
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());
    ASSERT_TRUE(backup_database(db, backup, k_clock).is_ok());
    auto conn = open_connection(db, k_clock);
    ASSERT_TRUE(conn) << conn.message();
    ASSERT_TRUE(save_asset(**conn, 9001, "备份以后登记的")) << (*conn)->sqlerrtext();
}

TEST(RestoreTest, TheBackupIsOnlyReadAndMayLieOnAWriteProtectedStick) {
    scratch_dir dir;
    ASSERT_EQ(::chmod(dir.file("").c_str(), 0755), 0);
    fs::create_directories(dir.file("office"));
    fs::create_directories(dir.file("stick"));
    const std::string db = dir.file("office/office.db");
    const std::string backup = dir.file("stick/office-2026-12-08.db");
    make_database_and_backup(db, backup);
    const std::string restored = content_of(backup);
    const std::string sum = checksum_of(backup);

    // A clerk's account, not root, for whom the stick is really read-only.
    ASSERT_EQ(::chmod(backup.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.file("stick").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(db.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.file("office").c_str(), 0777), 0);
    const testkit::outcome child = testkit::said_in_child([&] {
        if (::getuid() == 0 && ::setuid(65534) != 0) return std::string("cannot drop root");
        const status st = restore_database(db, backup, db + ".kept", k_clock);
        return st ? std::string("restored") : st.message();
    });
    ::chmod(dir.file("stick").c_str(), 0755);
    EXPECT_EQ(child.output, "restored");
    EXPECT_EQ(checksum_of(backup), sum) << "the backup was changed";
    EXPECT_EQ(files_in(dir.file("stick")), std::set<std::string>{"office-2026-12-08.db"});
    EXPECT_EQ(content_of(db), restored);

    // The same from a writable folder: still nothing written to it or beside it.
    fs::copy_file(backup, dir.file("office/copy.db"));
    ASSERT_EQ(::chmod(dir.file("office/copy.db").c_str(), 0644), 0);
    const std::string copy_sum = checksum_of(dir.file("office/copy.db"));
    const status st = restore_database(db, dir.file("office/copy.db"), db + ".kept2", k_clock);
    ASSERT_TRUE(st) << st.message();
    EXPECT_EQ(checksum_of(dir.file("office/copy.db")), copy_sum);
    EXPECT_FALSE(fs::exists(dir.file("office/copy.db-wal")));
    EXPECT_FALSE(fs::exists(dir.file("office/copy.db-shm")));
}

// Workstation 2 stays connected through a restore: what it saved before is
// kept, it then reads the restored data, its next save is refused once
// with the reason, and the save after that is in the live file.
TEST(RestoreTest, AWorkstationOpenMeanwhileSeesTheRestoredDataAndIsToldOnce) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    const std::string backup = dir.file("backup.db");
    make_database_and_backup(db, backup);
    const std::string restored = content_of(backup);

    auto ws2 = open_database(db, k_clock);
    ASSERT_TRUE(ws2) << ws2.message();
    ASSERT_TRUE(save_asset(*ws2->sqlca, 9002, "恢复以前保存的"));
    const std::string replaced = content_of(db);
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, *ws2->sqlca, *ws2->photosqlca, k_commno, {}, &page};
    ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
    page.dw_1.setrow(1);
    w_m_og_assetregister window(s);
    window.open_with(k_mode_modify);
    const value first = window.dw_1.getitem(1, "orderno");

    const std::string kept = dir.file("office.db.before-restore");
    const status st = restore_database(db, backup, kept, k_clock);
    ASSERT_TRUE(st) << st.message();
    EXPECT_EQ(content_of(db), restored);
    EXPECT_EQ(content_of(kept), replaced) << "the keep file holds exactly what was replaced";

    auto seen = ws2->sqlca->select_value("SELECT count(*) FROM tc_og_assetregister WHERE orderno IN (9001, 9002)");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->to_text(), "0") << "workstation 2 reads the restored data";

    // The window still shows what it read before the restore.
    ASSERT_EQ(window.dw_1.setitem(1, "goodsname", value("恢复以后改的")), 1);
    window.cb_save_clicked();
    EXPECT_EQ(host.messages,
              std::vector<std::string>{std::string("警告信息 | 数据保存失败！") + k_restored_under_save});
    EXPECT_FALSE(ws2->sqlca->in_transaction());
    EXPECT_EQ(content_of(db), restored) << "the refused save wrote nothing";
    host.messages.clear();
    window.cb_save_clicked();
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    // The photo connection is told on its own first save too, once.
    EXPECT_EQ(ws2->photosqlca->begin_write(), sql_code::error);
    EXPECT_EQ(ws2->photosqlca->sqlerrtext(), k_restored_under_save);
    EXPECT_EQ(ws2->photosqlca->begin_write(), sql_code::ok);
    ASSERT_EQ(ws2->photosqlca->rollback(), sql_code::ok);
    ASSERT_TRUE(save_asset(*ws2->sqlca, 9003, "恢复以后保存的"));
    ws2 = status::error("closed");

    // Every save that was acknowledged is in the live file or the kept one.
    const value key[] = {first};
    auto live = open_connection(db, k_clock);
    ASSERT_TRUE(live);
    auto name = (*live)->select_value("SELECT goodsname FROM tc_og_assetregister WHERE orderno = ?", key);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->to_text(), "恢复以后改的");
    EXPECT_TRUE((*live)->select_value("SELECT 1 FROM tc_og_assetregister WHERE orderno = 9003"));
    EXPECT_NE(content_of(kept).find("9002=恢复以前保存的"), std::string::npos);
    EXPECT_NE(content_of(kept).find("9001=备份以后登记的"), std::string::npos);
}

// A workstation that starts while the restore holds the database reads
// the old records, and writes nothing into a file that goes away: its
// first save afterwards is refused, the next one is in the live file.
TEST(RestoreTest, AWorkstationStartingDuringTheRestoreWritesIntoTheLiveFile) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    const std::string backup = dir.file("backup.db");
    make_database_and_backup(db, backup);
    std::unique_ptr<transaction> late;
    std::string seen_meanwhile;
    const status st = restore_database(db, backup, dir.file("kept.db"), k_clock, [&](std::string_view step) {
        if (step != "live locked") return;
        auto opened = open_connection(db, k_clock);
        if (!opened) {
            seen_meanwhile = opened.message();
            return;
        }
        late = opened.take();
        auto v = late->select_value("SELECT count(*) FROM tc_og_assetregister WHERE orderno = 9001");
        seen_meanwhile = v ? v->to_text() : late->sqlerrtext();
    });
    ASSERT_TRUE(st) << st.message();
    ASSERT_TRUE(late) << seen_meanwhile;
    EXPECT_EQ(seen_meanwhile, "1") << "it reads what was committed before the restore";
    EXPECT_FALSE(save_asset(*late, 9004, "恢复时打开的工作站保存的"));
    EXPECT_EQ(late->sqlerrtext(), k_restored_under_save);
    ASSERT_TRUE(save_asset(*late, 9004, "恢复时打开的工作站保存的")) << late->sqlerrtext();
    late.reset();
    EXPECT_EQ(files_in(dir.file("")), (std::set<std::string>{"backup.db", "kept.db", "office.db"}));
    const std::string now = content_of(db);
    EXPECT_TRUE(now.starts_with("ok\n")) << now;
    EXPECT_NE(now.find("9004=恢复时打开的工作站保存的"), std::string::npos) << now;
    EXPECT_EQ(now.find("9001="), std::string::npos) << now;
}

// Another workstation is half-way through a save when the restore begins,
// and stays open after it: the restore waits for the save, which is in the
// keep file.
TEST(RestoreTest, ASaveUnderWayWhenTheRestoreBeginsIsKept) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    const std::string backup = dir.file("backup.db");
    make_database_and_backup(db, backup);

    int go[2];
    int told[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(told), 0);
    std::fflush(nullptr);
    const pid_t saver = ::fork();
    if (saver == 0) {
        char c;
        auto conn = open_connection(db, k_clock);
        if (!conn) _exit(3);
        const value p[] = {value(k_commno)};
        if ((*conn)->begin_write() != sql_code::ok ||
            (*conn)->execute("INSERT INTO tc_og_assetregister (commno, orderno, goodsname) "
                             "VALUES (?, 9100, '锁着的时候保存的')",
                             p) != sql_code::ok)
            _exit(4);
        (void)!::write(told[1], "h", 1);
        if (::read(go[0], &c, 1) != 1) _exit(5);
        (void)!::write(told[1], (*conn)->commit() == sql_code::ok ? "s" : "f", 1);
        // Connected until the test is done with it.
        _exit(::read(go[0], &c, 1) == 1 ? 0 : 6);
    }
    ::close(go[0]);
    ::close(told[1]);
    char c = 0;
    ASSERT_EQ(::read(told[0], &c, 1), 1);
    ASSERT_EQ(c, 'h') << "the other workstation did not begin its save";
    const std::string kept = dir.file("kept.db");
    bool waited = false;
    const status st = restore_database(db, backup, kept, k_clock, [&](std::string_view step) {
        // The restore waits for the lock the save holds: now it is committed.
        if (step != "waiting for the lock") return;
        waited = true;
        (void)!::write(go[1], "c", 1);
    });
    // A restore that never waited has not told it yet: it commits now, so
    // that the test fails rather than hangs.
    if (!waited) (void)!::write(go[1], "c", 1);
    const bool answered = ::read(told[0], &c, 1) == 1;
    (void)!::write(go[1], "q", 1);
    int ended = 0;
    ASSERT_EQ(::waitpid(saver, &ended, 0), saver);
    ::close(go[1]);
    ::close(told[0]);
    ASSERT_TRUE(waited) << "the restore did not wait for the save";
    ASSERT_TRUE(answered && c == 's') << "the save was not committed";
    ASSERT_TRUE(st) << st.message();
    EXPECT_NE(content_of(kept).find("9100=锁着的时候保存的"), std::string::npos) << content_of(kept);
    EXPECT_EQ(content_of(db), content_of(backup));
}

TEST(RestoreTest, WhatCannotBeRestoredIsRefusedBeforeAnythingChanges) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    const std::string backup = dir.file("backup.db");
    make_database_and_backup(db, backup);
    const std::string before = content_of(db);
    fs::create_hard_link(db, dir.file("link.db"));
    ASSERT_EQ(write_file(dir.file("letter.db"), blob(4096, 'x')), 1);
    {
        // A backup of another page size: pages go over as they are, and the
        // live database, in WAL mode, keeps its own.
        fs::copy_file(backup, dir.file("big-pages.db"));
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("big-pages.db").c_str(), &other), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(other, "PRAGMA page_size = 8192; VACUUM", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
    }
    struct refused {
        const char* what;
        std::string from;
        std::string message;
    } cases[] = {
        {"the database itself", db, "这个备份就是要恢复的数据库本身，不能用它恢复：" + db},
        {"the database by another name", dir.file("./office.db"),
         "这个备份就是要恢复的数据库本身，不能用它恢复：" + dir.file("./office.db")},
        {"a link to the database", dir.file("link.db"),
         "这个备份就是要恢复的数据库本身，不能用它恢复：" + dir.file("link.db")},
        {"a missing file", dir.file("missing.db"), "这个备份不能恢复：找不到备份文件：" + dir.file("missing.db")},
        {"not a database", dir.file("letter.db"),
         "这个备份不能恢复：这不是数据库文件（文件是空的，或者内容不是数据库）：" + dir.file("letter.db")},
        {"another page size", dir.file("big-pages.db"),
         "这个备份不能恢复：备份的页大小（8192 字节）与数据库的（4096 字节）不同：" + dir.file("big-pages.db")},
    };
    for (const refused& c : cases) {
        const status st = restore_database(db, c.from, dir.file("kept.db"), k_clock);
        ASSERT_FALSE(st) << c.what;
        EXPECT_EQ(st.message(), c.message) << c.what;
        EXPECT_FALSE(fs::exists(dir.file("kept.db"))) << c.what;
        EXPECT_EQ(content_of(db), before) << c.what;
    }
}

// The step names of a restore that runs through, and the content before
// and after it.
struct restore_run {
    std::vector<std::string> steps;
    std::string old_content;
    std::string new_content;
};

// Kills a restore in a child process at every one of its steps, and once
// after it returned: the live database is the old or the new one, sound,
// the keep file (when there) holds the old, and the next restore removes
// what the killed one left.
TEST(RestoreTest, KilledAtAnyStepItLeavesTheOldOrTheNewDatabase) {
    scratch_dir dir;
    const std::string old_db = dir.file("old.db");
    const std::string backup = dir.file("backup.db");
    ASSERT_TRUE(create_demo_database(old_db, k_clock).is_ok());
    {
        // A backup larger than SQLite's page cache, so that a copy killed
        // half-way has left uncommitted pages in the log.
        auto conn = open_connection(old_db, k_clock);
        ASSERT_TRUE(conn);
        ASSERT_EQ((*conn)->begin_write(), sql_code::ok);
        const value p[] = {value(k_commno), value(20000)};
        ASSERT_EQ((*conn)->execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?2) "
                                   "INSERT INTO tc_og_assetregister (commno, orderno, goodsname, note) "
                                   "SELECT ?1, 100000 + i, '批量', hex(randomblob(100)) FROM n",
                                   p),
                  sql_code::ok)
            << (*conn)->sqlerrtext();
        ASSERT_EQ((*conn)->commit(), sql_code::ok);
    }
    ASSERT_TRUE(backup_database(old_db, backup, k_clock).is_ok());
    {
        auto conn = open_connection(old_db, k_clock);
        ASSERT_TRUE(conn);
        ASSERT_EQ((*conn)->execute("DELETE FROM tc_og_assetregister WHERE orderno > 100000"), sql_code::ok);
        ASSERT_EQ((*conn)->commit(), sql_code::ok);
        ASSERT_TRUE(save_asset(**conn, 9001, "只在旧的数据库里"));
    }
    ASSERT_GT(fs::file_size(backup), 4u * 1024 * 1024);

    restore_run run;
    {
        const std::string trial = dir.file("trial.db");
        ASSERT_TRUE(backup_database(old_db, trial, k_clock).is_ok());
        run.old_content = content_of(trial);
        const status st = restore_database(trial, backup, trial + ".kept", k_clock,
                                           [&](std::string_view step) { run.steps.emplace_back(step); });
        ASSERT_TRUE(st) << st.message();
        run.new_content = content_of(trial);
    }
    ASSERT_NE(run.old_content, run.new_content);
    const auto committed = std::find(run.steps.begin(), run.steps.end(), "committed");
    ASSERT_NE(committed, run.steps.end());
    ASSERT_GE(std::count(run.steps.begin(), run.steps.end(), "copying"), 3);

    for (std::size_t at = 0; at <= run.steps.size(); ++at) {
        const std::string step = at < run.steps.size() ? run.steps[at] : "returned";
        SCOPED_TRACE("killed after step " + std::to_string(at + 1) + " (" + step + ")");
        const std::string folder = dir.file("run" + std::to_string(at));
        fs::create_directories(folder);
        const std::string live = folder + "/office.db";
        ASSERT_TRUE(backup_database(old_db, live, k_clock).is_ok());
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            std::size_t n = 0;
            (void)restore_database(live, backup, live + ".kept", k_clock, [&](std::string_view) {
                if (n++ == at) ::kill(::getpid(), SIGKILL);
            });
            ::kill(::getpid(), SIGKILL);
        }
        int st = 0;
        ASSERT_EQ(::waitpid(child, &st, 0), child);
        ASSERT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL) << "the restore was not stopped";

        const bool done = at >= static_cast<std::size_t>(committed - run.steps.begin());
        EXPECT_EQ(content_of(live), done ? run.new_content : run.old_content);
        if (fs::exists(live + ".kept")) {
            EXPECT_EQ(content_of(live + ".kept"), run.old_content);
        }
        // The next restore finishes the job and clears what the killed one left.
        const status again = restore_database(live, backup, live + ".kept-again", k_clock);
        ASSERT_TRUE(again) << again.message();
        EXPECT_EQ(content_of(live), run.new_content);
        for (const std::string& name : files_in(folder)) {
            EXPECT_TRUE(name == "office.db" || name.starts_with("office.db.kept")) << name << " was left behind";
            EXPECT_FALSE(name.ends_with("-journal") || name.ends_with("-wal") || name.ends_with("-shm")) << name;
        }
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace officerecords
