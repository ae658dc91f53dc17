#include "platform/sqlite_transaction.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace officerecords {

namespace {

namespace fs = std::filesystem;

class fixed_clock final : public clock_source {
public:
    explicit fixed_clock(const char* iso) : day_(*date::parse(iso)) {}
    date today() const override { return day_; }
    void set(const char* iso) { day_ = *date::parse(iso); }

private:
    date day_;
};

// All rows of a query as "a|b\n" lines, null as "~", so a whole table state
// is compared in one assertion.
std::string dump(transaction& db, std::string_view sql) {
    std::unique_ptr<cursor> rows = db.open_cursor(sql);
    if (!rows) return "error: " + db.sqlerrtext();
    std::string out;
    while (rows->fetch()) {
        for (int i = 0; i < rows->column_count(); ++i) {
            if (i > 0) out += '|';
            const value v = rows->column_value(i);
            out += v.is_null() ? "~" : v.to_text();
        }
        out += '\n';
    }
    if (db.sqlcode() != 100) out += "error: " + db.sqlerrtext();
    return out;
}

class sqlite_transaction_test : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised names
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
                                         "CREATE TABLE photo (id INTEGER PRIMARY KEY, img BLOB);"
                                         "CREATE TABLE loose (v);"
                                         "INSERT INTO person VALUES (1, 'Li'), (2, 'Wang');"),
                      sql_code::ok)
                << db->sqlerrtext();
        }
        return db;
    }

    fs::path dir_;
    std::string path_;
    fixed_clock clock_{"2026-03-15"};
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

// ---- statements and status ----------------------------------------------------

TEST_F(sqlite_transaction_test, bound_text_is_stored_literally) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    const std::string hostile = "O'Brien'; DROP TABLE person;--";
    const value params[] = {3, hostile};
    ASSERT_EQ(db->execute("INSERT INTO person (id, name) VALUES (?, ?)", params), sql_code::ok)
        << db->sqlerrtext();
    ASSERT_EQ(db->commit(), sql_code::ok);
    const value key[] = {3};
    EXPECT_EQ(db->select_value("SELECT name FROM person WHERE id = ?", key), value(hostile));
    EXPECT_EQ(db->select_value("SELECT count(*) FROM person"), value(3));
}

struct status_case {
    const char* name;
    const char* sql;
    std::vector<value> params;
    bool select;  // select_value rather than execute
    int code;
    const char* errtext;
};

class sqlite_status_test : public sqlite_transaction_test,
                           public testing::WithParamInterface<status_case> {};

TEST_P(sqlite_status_test, reports_code_and_text) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    const status_case& c = GetParam();
    if (c.select) {
        const std::optional<value> v = db->select_value(c.sql, c.params);
        EXPECT_EQ(v.has_value(), c.code == 0);
    } else {
        EXPECT_EQ(static_cast<int>(db->execute(c.sql, c.params)), c.code);
    }
    EXPECT_EQ(db->sqlcode(), c.code);
    EXPECT_EQ(db->sqlerrtext(), c.errtext);
}

INSTANTIATE_TEST_SUITE_P(
    cases, sqlite_status_test,
    testing::Values(
        status_case{"row", "SELECT name FROM person WHERE id = ?", {1}, true, 0, ""},
        status_case{"no_row", "SELECT name FROM person WHERE id = ?", {99}, true, 100, ""},
        status_case{
            "bad_column", "SELECT nosuch FROM person", {}, true, -1, "数据库操作失败：no such column: nosuch"},
        status_case{"syntax", "SELEC 1", {}, false, -1, "数据库操作失败：near \"SELEC\": syntax error"},
        status_case{"duplicate_key",
                    "INSERT INTO person (id, name) VALUES (?, ?)",
                    {1, "Zhao"},
                    false,
                    -1,
                    "数据不符合数据库的约束：UNIQUE constraint failed: person.id"},
        status_case{"too_few_values",
                    "SELECT name FROM person WHERE id = ?",
                    {},
                    true,
                    -1,
                    "the statement has 1 placeholders but 0 values were given"},
        status_case{"too_many_values",
                    "DELETE FROM person WHERE id = ?",
                    {1, 2},
                    false,
                    -1,
                    "the statement has 1 placeholders but 2 values were given"},
        status_case{"two_statements",
                    "DELETE FROM person; DELETE FROM photo",
                    {},
                    false,
                    -1,
                    "only one statement can run at a time; the text continues after it: "
                    "DELETE FROM photo"},
        status_case{
            "update_no_match", "UPDATE person SET name = 'x' WHERE id = 99", {}, false, 0, ""}),
    [](const testing::TestParamInfo<status_case>& param) { return param.param.name; });

TEST_F(sqlite_transaction_test, sqlnrows_counts_the_rows_the_last_write_changed) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->execute("UPDATE person SET name = name || '!'"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 2);
    ASSERT_EQ(db->execute("UPDATE person SET name = 'x' WHERE id = 99"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 0);
    ASSERT_EQ(db->execute("DELETE FROM person WHERE id = 1"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 1);
    // A statement that changes no rows must not repeat the previous count.
    ASSERT_EQ(db->execute("CREATE TABLE extra (x)"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 0);
}

// Each kind of value lands in the database as the type the data window reads
// back; decimals with a fraction go as their digits, never through a
// double, dates as ISO text.
TEST_F(sqlite_transaction_test, parameters_bind_by_kind) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    const value params[] = {value(),
                            value("资产"),
                            value(std::int64_t{9007199254740993}),
                            value(2.5),
                            value(decimal(1200, 0)),
                            value(decimal(1250, 2)),
                            value(*date::parse("2026-03-05")),
                            value(blob{0x00, 0x41}),
                            value(blob{})};
    for (const value& p : params) {
        const value one[] = {p};
        ASSERT_EQ(db->execute("INSERT INTO loose (v) VALUES (?)", one), sql_code::ok)
            << db->sqlerrtext();
    }
    EXPECT_EQ(dump(*db, "SELECT typeof(v), quote(v) FROM loose ORDER BY rowid"),
              "null|NULL\n"
              "text|'资产'\n"
              "integer|9007199254740993\n"
              "real|2.5\n"
              "integer|1200\n"
              "text|'12.50'\n"
              "text|'2026-03-05'\n"
              "blob|X'0041'\n"
              "blob|X''\n");
}

TEST_F(sqlite_transaction_test, cursor_reads_columns_by_stored_type) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    auto rows = db->open_cursor("SELECT 7 AS n, 1.5 AS r, 'abc' AS t, x'00ff' AS b, NULL AS z");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->column_count(), 5);
    EXPECT_EQ(rows->column_name(2), "t");
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(db->sqlcode(), 0);
    const db_type types[] = {db_type::integer, db_type::real, db_type::text, db_type::blob,
                             db_type::null};
    const value values[] = {value(7), value(1.5), value("abc"), value(blob{0x00, 0xff}), value()};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows->column_type(i), types[i]) << i;
        EXPECT_EQ(rows->column_value(i), values[i]) << i;
    }
    EXPECT_EQ(rows->column_integer(0), 7);
    EXPECT_EQ(rows->column_real(1), 1.5);
    EXPECT_EQ(rows->column_text(2), "abc");
    EXPECT_EQ(rows->column_text(4), "");
    EXPECT_FALSE(rows->fetch());
    EXPECT_EQ(db->sqlcode(), 100);
    EXPECT_FALSE(rows->fetch());  // stays at the end rather than starting over
    EXPECT_EQ(db->sqlcode(), 100);
}

// Two live cursors over the same text must not share one statement.
TEST_F(sqlite_transaction_test, cursors_over_the_same_sql_are_independent) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    const char* sql = "SELECT id FROM person ORDER BY id";
    auto first = db->open_cursor(sql);
    ASSERT_TRUE(first && first->fetch());
    EXPECT_EQ(first->column_integer(0), 1);
    auto second = db->open_cursor(sql);
    ASSERT_TRUE(second && second->fetch());
    EXPECT_EQ(second->column_integer(0), 1);
    EXPECT_EQ(db->select_value(sql), value(1));
    ASSERT_TRUE(first->fetch());
    EXPECT_EQ(first->column_integer(0), 2);
    ASSERT_TRUE(second->fetch());
    EXPECT_EQ(second->column_integer(0), 2);
    EXPECT_FALSE(first->fetch());
}

TEST_F(sqlite_transaction_test, many_distinct_statements_stay_correct) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 150; ++i) {
            const std::string sql = "SELECT " + std::to_string(i) + " + ?";
            const value p[] = {round};
            ASSERT_EQ(db->select_value(sql, p), value(i + round)) << sql;
        }
    }
}

TEST_F(sqlite_transaction_test, cursor_may_outlive_its_connection) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    auto rows = db->open_cursor("SELECT id FROM person");
    ASSERT_TRUE(rows && rows->fetch());
    db.reset();
    EXPECT_FALSE(rows->fetch());
    EXPECT_EQ(rows->column_count(), 0);
}

// ---- transactions -------------------------------------------------------------

TEST_F(sqlite_transaction_test, a_write_opens_a_transaction_and_a_read_does_not) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->commit(), sql_code::ok);  // nothing open: nothing to do
    EXPECT_EQ(db->rollback(), sql_code::ok);
    EXPECT_EQ(dump(*db, "SELECT count(*) FROM person"), "2\n");
    EXPECT_FALSE(db->in_transaction());
    ASSERT_EQ(db->execute("DELETE FROM person WHERE id = 2"), sql_code::ok);
    EXPECT_TRUE(db->in_transaction());
    ASSERT_EQ(db->commit(), sql_code::ok);
    EXPECT_FALSE(db->in_transaction());
    ASSERT_EQ(db->begin_write(), sql_code::ok);
    EXPECT_TRUE(db->in_transaction());
    // Joining would commit another unit's half-done work with this one.
    EXPECT_EQ(db->begin_write(), sql_code::error);
    EXPECT_EQ(db->sqlerrtext(), "上一次的数据库操作还没有结束，不能开始新的保存");
    EXPECT_TRUE(db->in_transaction());
    ASSERT_EQ(db->rollback(), sql_code::ok);
    EXPECT_FALSE(db->in_transaction());
}

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

TEST_F(sqlite_transaction_test, explicit_transaction_statements_pass_through) {
    auto db = create_with_schema();
    auto other = open();
    ASSERT_TRUE(db && other);
    ASSERT_EQ(db->execute("BEGIN"), sql_code::ok) << db->sqlerrtext();
    ASSERT_EQ(db->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok);
    ASSERT_EQ(db->execute("  commit"), sql_code::ok) << db->sqlerrtext();
    EXPECT_FALSE(db->in_transaction());
    EXPECT_EQ(dump(*other, "SELECT count(*) FROM person"), "3\n");
}

TEST_F(sqlite_transaction_test, a_write_is_invisible_elsewhere_until_commit) {
    auto writer = create_with_schema();
    auto reader = open();
    ASSERT_TRUE(writer && reader);
    ASSERT_EQ(writer->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok);
    EXPECT_EQ(dump(*writer, "SELECT id FROM person ORDER BY id"), "1\n2\n3\n");
    EXPECT_EQ(dump(*reader, "SELECT id FROM person ORDER BY id"), "1\n2\n");
    ASSERT_EQ(writer->commit(), sql_code::ok);
    EXPECT_EQ(dump(*reader, "SELECT id FROM person ORDER BY id"), "1\n2\n3\n");

    ASSERT_EQ(writer->execute("DELETE FROM person"), sql_code::ok);
    ASSERT_EQ(writer->rollback(), sql_code::ok);
    EXPECT_EQ(dump(*writer, "SELECT id FROM person ORDER BY id"), "1\n2\n3\n");
    EXPECT_EQ(dump(*reader, "SELECT id FROM person ORDER BY id"), "1\n2\n3\n");
}

TEST_F(sqlite_transaction_test, committing_one_connection_never_commits_another) {
    auto sqlca = create_with_schema();
    auto photosqlca = open();
    auto observer = open();
    ASSERT_TRUE(sqlca && photosqlca && observer);
    ASSERT_EQ(sqlca->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok);
    EXPECT_EQ(photosqlca->commit(), sql_code::ok);
    EXPECT_FALSE(photosqlca->in_transaction());
    EXPECT_TRUE(sqlca->in_transaction());
    EXPECT_EQ(dump(*observer, "SELECT count(*) FROM person"), "2\n");
    ASSERT_EQ(sqlca->rollback(), sql_code::ok);
    EXPECT_EQ(dump(*observer, "SELECT count(*) FROM person"), "2\n");
}

TEST_F(sqlite_transaction_test, second_writer_fails_after_the_busy_timeout) {
    auto first = create_with_schema();
    auto second = open();
    ASSERT_TRUE(first && second);
    second->set_busy_timeout_ms(200);
    ASSERT_EQ(first->begin_write(), sql_code::ok);

    // Reading is never blocked by the other workstation's write.
    EXPECT_EQ(dump(*second, "SELECT count(*) FROM person"), "2\n");

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(second->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::error);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(second->sqlcode(), -1);
    EXPECT_EQ(second->sqlerrtext(), "数据库正被其他工作站使用（已锁定），请稍后再试：database is locked");
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_FALSE(second->in_transaction());
    EXPECT_EQ(second->begin_write(), sql_code::error);

    ASSERT_EQ(first->commit(), sql_code::ok);
    EXPECT_EQ(second->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok)
        << second->sqlerrtext();
    EXPECT_EQ(second->commit(), sql_code::ok);
}

// A finished or abandoned cursor must not keep its connection on an old
// snapshot: the next read sees what other workstations committed since.
TEST_F(sqlite_transaction_test, finished_cursors_hold_no_read_snapshot) {
    auto reader = create_with_schema();
    auto writer = open();
    ASSERT_TRUE(reader && writer);

    auto to_end = reader->open_cursor("SELECT id FROM person");
    ASSERT_TRUE(to_end);
    while (to_end->fetch()) {
    }
    EXPECT_FALSE(reader->in_transaction());
    ASSERT_EQ(writer->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok);
    ASSERT_EQ(writer->commit(), sql_code::ok);
    EXPECT_EQ(dump(*reader, "SELECT count(*) FROM person"), "3\n");

    auto abandoned = reader->open_cursor("SELECT id FROM person");
    ASSERT_TRUE(abandoned && abandoned->fetch());
    abandoned.reset();
    ASSERT_EQ(writer->execute("INSERT INTO person VALUES (4, 'Sun')"), sql_code::ok);
    ASSERT_EQ(writer->commit(), sql_code::ok);
    EXPECT_EQ(dump(*reader, "SELECT count(*) FROM person"), "4\n");
}

// ---- SQL functions --------------------------------------------------------------

struct function_case {
    const char* sql;
    const char* result;  // dump() text
};

void PrintTo(const function_case& c, std::ostream* os) { *os << c.sql; }

class sqlite_function_test : public sqlite_transaction_test,
                             public testing::WithParamInterface<function_case> {};

TEST_P(sqlite_function_test, answers) {
    auto db = create_with_schema();  // the clock says 2026-03-15
    ASSERT_TRUE(db);
    EXPECT_EQ(dump(*db, GetParam().sql), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    cases, sqlite_function_test,
    testing::Values(
        function_case{"SELECT today()", "2026-03-15\n"},
        function_case{"SELECT year('2024-07-01')", "2024\n"},
        function_case{"SELECT year('2024-07-01 10:00:00')", "2024\n"},
        function_case{"SELECT year(today())", "2026\n"}, function_case{"SELECT year(NULL)", "~\n"},
        function_case{"SELECT year('not a date')", "~\n"},
        function_case{"SELECT f_getpersonage('2026-03-15', '1980-03-15')", "46\n"},
        function_case{"SELECT f_getpersonage('2026-03-14', '1980-03-15')", "45\n"},
        function_case{"SELECT f_getpersonage('2026-02-20', '1980-03-15')", "45\n"},
        function_case{"SELECT f_getpersonage(today(), '2000-12-31')", "25\n"},
        function_case{"SELECT f_getpersonage('2027-02-28', '2000-02-29')", "26\n"},
        function_case{"SELECT f_getpersonage('2027-03-01', '2000-02-29')", "27\n"},
        function_case{"SELECT f_getpersonage(NULL, '1980-03-15')", "~\n"},
        function_case{"SELECT f_getpersonage(today(), NULL)", "~\n"},
        function_case{"SELECT f_getpersonage(today(), '')", "~\n"},
        function_case{"SELECT isnull(NULL, 'none')", "none\n"},
        function_case{"SELECT isnull('a', 'none')", "a\n"},
        function_case{"SELECT ISNULL (NULL, 2)", "2\n"},
        function_case{"SELECT IsNull(\n NULL, f_getpersonage(today(), '1980-01-01'))", "46\n"},
        function_case{"SELECT 'isnull(1)', \"isnull(\" FROM (SELECT 5 AS \"isnull(\")",
                      "isnull(1)|5\n"},
        function_case{"SELECT NULL ISNULL, 1 ISNULL", "1|0\n"},
        function_case{"SELECT myisnull(1) FROM person", "error: 数据库操作失败：no such function: myisnull"},
        function_case{"SELECT isnull(name, '?') FROM person ORDER BY id", "Li\nWang\n"}));

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

TEST_F(sqlite_transaction_test, today_follows_the_clock) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->select_value("SELECT today()"), value("2026-03-15"));
    clock_.set("2026-12-31");
    EXPECT_EQ(db->select_value("SELECT today()"), value("2026-12-31"));
    EXPECT_EQ(db->select_value("SELECT f_getpersonage(today(), '2000-12-31')"), value(26));
}

// ---- blobs -------------------------------------------------------------------------

TEST_F(sqlite_transaction_test, blob_round_trip_keeps_every_byte) {
    auto db = create_with_schema();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->execute("INSERT INTO photo (id) VALUES (1), (2)"), sql_code::ok);
    blob bytes;
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<unsigned char>(i * 7));
    bytes[0] = 0x00;
    bytes[1] = 0x00;
    const value key1[] = {1};
    ASSERT_EQ(db->update_blob("UPDATE photo SET img = ? WHERE id = ?", bytes, key1), sql_code::ok)
        << db->sqlerrtext();
    EXPECT_EQ(db->sqlnrows(), 1);
    ASSERT_EQ(db->commit(), sql_code::ok);

    auto other = open();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->select_blob("SELECT img FROM photo WHERE id = ?", key1), bytes);
    EXPECT_EQ(other->sqlcode(), 0);

    const value key2[] = {2};
    EXPECT_EQ(other->select_blob("SELECT img FROM photo WHERE id = ?", key2), blob{});
    EXPECT_EQ(other->sqlcode(), 0);

    const value key3[] = {3};
    EXPECT_EQ(other->select_blob("SELECT img FROM photo WHERE id = ?", key3), std::nullopt);
    EXPECT_EQ(other->sqlcode(), 100);

    ASSERT_EQ(db->update_blob("UPDATE photo SET img = ? WHERE id = ?", blob{}, key2), sql_code::ok);
    EXPECT_EQ(dump(*db, "SELECT id, img IS NULL, length(img) FROM photo ORDER BY id"),
              "1|0|3000\n2|0|0\n");
}

}  // namespace
}  // namespace officerecords
