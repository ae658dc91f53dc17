// What only the embedded backend has: the file it opens or refuses, WAL
// and its pragmas, read-only files and folders, UTF-8 paths and which
// functions SQLite may fold into an index. What every backend must do alike
// is in transaction_test.cpp.
#include "storage/sqlite_transaction.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace officerecords {

namespace {

using testkit::dump;

namespace fs = std::filesystem;



class sqlite_transaction_test : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() /
               ("officerecords_sqlite_" + std::to_string(std::random_device{}()) + "_" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "office.db").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<sqlite_transaction> open(open_mode mode = open_mode::existing) {
        auto opened = sqlite_transaction::open(path_, mode, clock_);
        EXPECT_TRUE(opened.is_ok()) << opened.message();
        return opened.is_ok() ? opened.take() : nullptr;
    }

    // A fresh database with the tables most tests use, on its own connection.
    std::unique_ptr<sqlite_transaction> create_with_schema() {
        auto db = open(open_mode::create);
        if (db) {
            EXPECT_EQ(db->execute_script("CREATE TABLE person (id INTEGER PRIMARY KEY, name TEXT);"
                                         "CREATE TABLE loose (v);"
                                         "INSERT INTO person VALUES (1, 'Li'), (2, 'Wang');"),
                      sql_code::ok)
                << db->sqlerrtext();
        }
        return db;
    }

    fs::path dir_;
    std::string path_;
    testkit::fixed_clock clock_{"2026-03-15"};
};

// ---- opening ----------------------------------------------------------------

TEST_F(sqlite_transaction_test, open_of_a_missing_file_fails_and_creates_nothing) {
    auto opened = sqlite_transaction::open(path_, open_mode::existing, clock_);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), "找不到数据库文件：" + path_);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(sqlite_transaction_test, open_of_a_file_that_is_not_a_database_says_so) {
    {
        std::ofstream out(path_, std::ios::binary);
        for (int i = 0; i < 200; ++i) out << "this is a letter, not a database\n";
    }
    auto opened = sqlite_transaction::open(path_, open_mode::existing, clock_);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), "这不是数据库文件（文件是空的，或者内容不是数据库）：" + path_);
}

// The bytes of a file and whether SQLite left companions beside it.
std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool has_companions(const std::string& path) {
    return fs::exists(path + "-wal") || fs::exists(path + "-shm") || fs::exists(path + "-journal");
}

// Opening something that is not the expected database must not change it:
// no switch to WAL (which rewrites the header), no empty file turned into a
// database, nothing left beside it.
TEST_F(sqlite_transaction_test, opening_what_is_not_ours_changes_nothing) {
    sqlite_options ours;
    ours.required_table = "tc_ge_community";
    ours.required_what = "本系统的数据库";
    struct {
        const char* name;
        std::function<void()> make;
        std::string message;
    } cases[] = {
        {"empty file", [&] { std::ofstream(path_, std::ios::binary); },
         "这不是数据库文件（文件是空的，或者内容不是数据库）：" + path_},
        {"another program's database",
         [&] {
             sqlite3* other = nullptr;
             sqlite3_open(path_.c_str(), &other);
             sqlite3_exec(other, "CREATE TABLE letters (x); INSERT INTO letters VALUES (1)", nullptr,
                          nullptr, nullptr);
             sqlite3_close(other);
         },
         "这不是本系统的数据库（其中没有表 tc_ge_community）：" + path_},
        {"a damaged database",
         [&] {
             sqlite3* other = nullptr;
             sqlite3_open(path_.c_str(), &other);
             sqlite3_exec(other, "CREATE TABLE letters (x)", nullptr, nullptr, nullptr);
             sqlite3_close(other);
             // Keep the header, spoil the first page's b-tree.
             std::string bytes = contents(path_);
             for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = '\x5a';
             std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
         },
         "数据库文件已损坏：" + path_ + "：database disk image is malformed"},
    };
    for (const auto& c : cases) {
        fs::remove(path_);
        c.make();
        const std::string before = contents(path_);
        auto opened = sqlite_transaction::open(path_, open_mode::existing, clock_, ours);
        ASSERT_FALSE(opened.is_ok()) << c.name;
        EXPECT_EQ(opened.message(), c.message) << c.name;
        EXPECT_EQ(contents(path_), before) << c.name << ": the file was changed";
        EXPECT_FALSE(has_companions(path_)) << c.name;
    }
}

// Each cause has its own first words; a child without root's privileges
// meets the read-only file and folder as a clerk would.
TEST_F(sqlite_transaction_test, read_only_file_and_folder_are_told_apart) {
    create_with_schema().reset();
    const std::string folder = dir_.string();
    struct {
        const char* name;
        mode_t file_mode;
        mode_t folder_mode;
        std::string message;
    } cases[] = {
        {"read-only file", 0444, 0777, "数据库文件是只读的，不能保存记录：" + path_},
        {"read-only folder", 0666, 0555, "数据库所在的文件夹不能写入，不能保存记录：" + folder},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::chmod(path_.c_str(), c.file_mode), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folder_mode), 0);
        const testkit::outcome child = testkit::said_in_child([&] {
            if (::getuid() == 0 && ::setuid(65534) != 0) _exit(3);
            auto opened = sqlite_transaction::open(path_, open_mode::existing, clock_);
            return opened ? std::string("opened") : opened.message();
        });
        ::chmod(folder.c_str(), 0777);
        ::chmod(path_.c_str(), 0666);
        EXPECT_EQ(child.status, 0) << c.name;
        EXPECT_EQ(child.output, c.message) << c.name;
        EXPECT_FALSE(has_companions(path_)) << c.name;
    }
}

TEST_F(sqlite_transaction_test, a_full_disk_and_a_lock_say_what_happened) {
    auto db = create_with_schema();
    auto other = open();
    ASSERT_TRUE(db && other);
    other->set_busy_timeout_ms(0);
    // The database may not grow: exactly what a full disk does to a write.
    ASSERT_EQ(db->execute_script("PRAGMA max_page_count = 2"), sql_code::ok);
    const value big[] = {value(std::string(100000, 'x'))};
    EXPECT_EQ(db->execute("INSERT INTO loose (v) VALUES (?)", big), sql_code::error);
    EXPECT_EQ(db->sqlerrtext().rfind("磁盘空间已满，数据没有写入，请清理磁盘后再试：", 0), 0u)
        << db->sqlerrtext();
    ASSERT_EQ(db->rollback(), sql_code::ok);

    ASSERT_EQ(db->begin_write(), sql_code::ok);
    EXPECT_EQ(other->begin_write(), sql_code::error);
    EXPECT_EQ(other->sqlerrtext(), "数据库正被其他工作站使用（已锁定），请稍后再试：database is locked");
    ASSERT_EQ(db->rollback(), sql_code::ok);
}

TEST_F(sqlite_transaction_test, create_refuses_an_existing_file_and_leaves_it_alone) {
    create_with_schema().reset();
    auto again = sqlite_transaction::open(path_, open_mode::create, clock_);
    ASSERT_FALSE(again.is_ok());
    EXPECT_EQ(again.message(), "文件已经存在，不会覆盖它：" + path_);
    auto db = open();
    ASSERT_TRUE(db);
    EXPECT_EQ(dump(*db, "SELECT * FROM person ORDER BY id"), "1|Li\n2|Wang\n");
}

TEST_F(sqlite_transaction_test, paths_are_utf8) {
    const fs::path folder = dir_ / fs::path(u8"居委会资料");
    fs::create_directories(folder);
    const std::u8string file = (folder / "office.db").u8string();
    const std::string path(file.begin(), file.end());
    auto created = sqlite_transaction::open(path, open_mode::create, clock_);
    ASSERT_TRUE(created.is_ok()) << created.message();
    ASSERT_EQ((*created)->execute_script("CREATE TABLE t (x)"), sql_code::ok);
    created->reset();
    EXPECT_TRUE(fs::exists(folder / "office.db"));
    auto again = sqlite_transaction::open(path, open_mode::create, clock_);
    EXPECT_FALSE(again.is_ok());
    EXPECT_TRUE(sqlite_transaction::open(path, open_mode::existing, clock_).is_ok());
}

TEST_F(sqlite_transaction_test, connection_runs_wal_with_foreign_keys) {
    create_with_schema().reset();
    auto db = open();
    ASSERT_TRUE(db);
    EXPECT_EQ(dump(*db, "PRAGMA journal_mode"), "wal\n");
    EXPECT_EQ(dump(*db, "PRAGMA foreign_keys"), "1\n");
    EXPECT_EQ(dump(*db, "PRAGMA synchronous"), "2\n");  // FULL: commits survive a power cut
    EXPECT_EQ(db->describe_target(), path_);
}

// ---- what only SQLite has ------------------------------------------------------

// A PRAGMA inside a transaction is ignored and VACUUM refused, so neither
// may open one.
TEST_F(sqlite_transaction_test, pragma_and_vacuum_run_outside_any_transaction) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->execute("PRAGMA foreign_keys = OFF"), sql_code::ok) << db->sqlerrtext();
    EXPECT_FALSE(db->in_transaction());
    EXPECT_EQ(dump(*db, "PRAGMA foreign_keys"), "0\n");
    EXPECT_EQ(db->execute("VACUUM"), sql_code::ok) << db->sqlerrtext();
}

// A restore copies a backup over the database under every open connection
// and moves the schema cookie on: each connection's first write after it is
// refused once, whichever way it begins. What else moves the cookie (another
// connection's CREATE, this connection's own schema changes) is no restore.
TEST_F(sqlite_transaction_test, the_first_write_after_a_restore_is_refused_once) {
    struct change {
        const char* name;
        std::function<void(sqlite_transaction& self)> make;
        bool restored;
    };
    auto raw = [&](const char* sql) {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(other, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(other);
        sqlite3_close(other);
    };
    const std::string copy = (dir_ / "copy.db").string();
    const change changes[] = {
        {"a restore from a backup",
         [&](sqlite_transaction&) {
             sqlite3* from = nullptr;
             sqlite3* to = nullptr;
             ASSERT_EQ(sqlite3_open(copy.c_str(), &from), SQLITE_OK);
             ASSERT_EQ(sqlite3_open(path_.c_str(), &to), SQLITE_OK);
             sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
             ASSERT_NE(b, nullptr);
             EXPECT_EQ(sqlite3_backup_step(b, -1), SQLITE_DONE);
             EXPECT_EQ(sqlite3_backup_finish(b), SQLITE_OK);
             sqlite3_close(to);
             sqlite3_close(from);
         },
         true},
        {"another workstation's save", [&](sqlite_transaction&) { raw("INSERT INTO person VALUES (7, 'Zhao')"); },
         false},
        {"another workstation's new table", [&](sqlite_transaction&) { raw("CREATE TABLE notes (x)"); }, false},
        {"its own table made and dropped in one save",
         [&](sqlite_transaction& self) {
             ASSERT_EQ(self.execute("CREATE TABLE scratch (x)"), sql_code::ok);
             ASSERT_EQ(self.execute("DROP TABLE scratch"), sql_code::ok);
             ASSERT_EQ(self.commit(), sql_code::ok);
         },
         false},
        {"its own schema script",
         [&](sqlite_transaction& self) {
             ASSERT_EQ(self.execute_script("CREATE TABLE scratch (x); DROP TABLE scratch;"), sql_code::ok);
         },
         false},
        {"its own VACUUM", [&](sqlite_transaction& self) { ASSERT_EQ(self.execute("VACUUM"), sql_code::ok); },
         false},
    };
    const struct {
        const char* name;
        std::function<sql_code(sqlite_transaction&)> write;
    } ways[] = {
        {"begin_write", [](sqlite_transaction& t) { return t.begin_write(); }},
        {"a first INSERT", [](sqlite_transaction& t) { return t.execute("INSERT INTO loose (v) VALUES ('w')"); }},
    };
    for (const change& c : changes) {
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(c.name) + ", " + way.name);
            fs::remove_all(dir_);
            fs::create_directories(dir_);
            create_with_schema().reset();
            {
                // The backup: the same schema, other rows.
                sqlite3* from = nullptr;
                sqlite3* to = nullptr;
                ASSERT_EQ(sqlite3_open(path_.c_str(), &from), SQLITE_OK);
                ASSERT_EQ(sqlite3_open(copy.c_str(), &to), SQLITE_OK);
                sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
                ASSERT_NE(b, nullptr);
                EXPECT_EQ(sqlite3_backup_step(b, -1), SQLITE_DONE);
                EXPECT_EQ(sqlite3_backup_finish(b), SQLITE_OK);
                EXPECT_EQ(sqlite3_exec(to, "DELETE FROM person WHERE id = 2", nullptr, nullptr, nullptr), SQLITE_OK);
                sqlite3_close(to);
                sqlite3_close(from);
            }
            auto db = open();
            ASSERT_TRUE(db);
            EXPECT_EQ(dump(*db, "SELECT count(*) FROM person"), "2\n");
            c.make(*db);
            if (c.restored) {
                EXPECT_EQ(way.write(*db), sql_code::error);
                EXPECT_EQ(db->sqlerrtext(), k_restored_under_save);
                EXPECT_FALSE(db->in_transaction());
                EXPECT_EQ(dump(*db, "SELECT count(*) FROM loose"), "0\n") << "the refused write wrote nothing";
                EXPECT_EQ(dump(*db, "SELECT count(*) FROM person"), "1\n") << "it reads the restored rows";
            }
            EXPECT_EQ(way.write(*db), sql_code::ok) << db->sqlerrtext();
            EXPECT_EQ(db->execute("INSERT INTO loose (v) VALUES ('x')"), sql_code::ok) << db->sqlerrtext();
            EXPECT_EQ(db->commit(), sql_code::ok) << db->sqlerrtext();
            EXPECT_EQ(dump(*db, "SELECT count(*) FROM loose WHERE v = 'x'"), "1\n");
        }
    }
}

// today() must never be folded into an index: its answer changes.
TEST_F(sqlite_transaction_test, only_today_is_not_deterministic) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->execute_script("CREATE INDEX by_year ON person(year(name));"
                                 "CREATE INDEX by_age ON person(f_getpersonage(name, name))"),
              sql_code::ok)
        << db->sqlerrtext();
    EXPECT_EQ(db->execute_script("CREATE INDEX by_today ON person(f_getpersonage(today(), name))"),
              sql_code::error);
    EXPECT_EQ(db->sqlerrtext(), "数据库操作失败：non-deterministic functions prohibited in index expressions");
}

}  // namespace
}  // namespace officerecords
