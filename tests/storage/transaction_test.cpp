// The transaction interface as every backend must give it: each case runs
// once on an SQLite file and once on a database of its own on the
// PostgreSQL server, with the same expectations. Only the database's own
// wording after the clerk's sentence may differ (see `as_said`).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "storage/database.h"
#include "storage/schema.h"
#include "tests/test_support.h"

namespace officerecords {

namespace {

using testkit::dump;

using testkit::backend;


// What a failure says, as far as every backend says the same: the clerk's
// sentence up to its "："; the database's own words after it are compared
// on SQLite only, whose words the cases quote.
std::string as_said(backend b, const std::string& text) {
    const std::string colon = "：";
    const std::size_t at = text.find(colon);
    if (b == backend::sqlite || at == std::string::npos) return text;
    return text.substr(0, at + colon.size());
}

// The database a test runs on: the schema, and the tables most tests use.
// A table of cases runs on one database per backend, each case on a
// connection of its own.
class transaction_test : public testing::TestWithParam<backend> {
protected:
    backend b() const { return GetParam(); }

    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(b());
        scratch_ = std::make_unique<testkit::scratch_database>(false, b());
        // Each test opens the connections it needs, on the clock below.
        scratch_->db = {};
        auto db = open();
        ASSERT_TRUE(db);
        for (const std::string& sql :
             {"CREATE TABLE person (id " + type(column_kind::integer) + " PRIMARY KEY, name " +
                  type(column_kind::text, 60) + ")",
              "CREATE TABLE photo (id " + type(column_kind::integer) + " PRIMARY KEY, img " +
                  type(column_kind::blob) + ")"})
            ASSERT_EQ(db->execute(sql), sql_code::ok) << db->sqlerrtext();
        for (const auto& [id, name] : {std::pair{1, "Li"}, std::pair{2, "Wang"}}) {
            const value row[] = {id, name};
            ASSERT_EQ(db->execute("INSERT INTO person (id, name) VALUES (?, ?)", row), sql_code::ok)
                << db->sqlerrtext();
        }
        ASSERT_EQ(db->commit(), sql_code::ok) << db->sqlerrtext();
    }

    // The type the schema declares a column of that kind with here.
    std::string type(column_kind kind, int size = 0) const {
        return sql_type(table_column{"", kind, size},
                        b() == backend::sqlite ? sql_dialect::sqlite : sql_dialect::postgresql);
    }

    std::unique_ptr<transaction> open(int busy_timeout_ms = 5000) {
        connection_options options;
        options.busy_timeout_ms = busy_timeout_ms;
        auto opened = open_connection(scratch_->path, clock_, options);
        EXPECT_TRUE(opened.is_ok()) << opened.message();
        return opened.is_ok() ? opened.take() : nullptr;
    }

    testkit::fixed_clock clock_{*date::parse("2026-03-15")};
    std::unique_ptr<testkit::scratch_database> scratch_;
};

INSTANTIATE_TEST_SUITE_P(backends, transaction_test,
                         testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

// ---- statements and status ----------------------------------------------------

TEST_P(transaction_test, bound_text_is_stored_literally) {
    auto db = open();
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
    const char* errtext;  // as SQLite says it; see as_said
};

const status_case k_status_cases[] = {
    {"row", "SELECT name FROM person WHERE id = ?", {1}, true, 0, ""},
    {"no_row", "SELECT name FROM person WHERE id = ?", {99}, true, 100, ""},
    {"bad_column", "SELECT nosuch FROM person", {}, true, -1,
     "数据库操作失败：no such column: nosuch"},
    {"syntax", "SELEC 1", {}, false, -1, "数据库操作失败：near \"SELEC\": syntax error"},
    {"duplicate_key", "INSERT INTO person (id, name) VALUES (?, ?)", {1, "Zhao"}, false, -1,
     "数据不符合数据库的约束：UNIQUE constraint failed: person.id"},
    {"too_few_values", "SELECT name FROM person WHERE id = ?", {}, true, -1,
     "the statement has 1 placeholders but 0 values were given"},
    {"too_many_values", "DELETE FROM person WHERE id = ?", {1, 2}, false, -1,
     "the statement has 1 placeholders but 2 values were given"},
    {"two_statements", "DELETE FROM person; DELETE FROM photo", {}, false, -1,
     "only one statement can run at a time; the text continues after it: DELETE FROM photo"},
    {"update_no_match", "UPDATE person SET name = 'x' WHERE id = 99", {}, false, 0, ""},
};

TEST_P(transaction_test, reports_code_and_text) {
    for (const status_case& c : k_status_cases) {
        SCOPED_TRACE(c.name);
        auto db = open();
        ASSERT_TRUE(db);
        if (c.select) {
            const std::optional<value> v = db->select_value(c.sql, c.params);
            EXPECT_EQ(v.has_value(), c.code == 0);
        } else {
            EXPECT_EQ(static_cast<int>(db->execute(c.sql, c.params)), c.code);
        }
        EXPECT_EQ(db->sqlcode(), c.code);
        EXPECT_EQ(as_said(b(), db->sqlerrtext()), as_said(b(), c.errtext));
    }
}

TEST_P(transaction_test, sqlnrows_counts_the_rows_the_last_write_changed) {
    auto db = open();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->execute("UPDATE person SET name = name || '!'"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 2);
    ASSERT_EQ(db->execute("UPDATE person SET name = 'x' WHERE id = 99"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 0);
    ASSERT_EQ(db->execute("DELETE FROM person WHERE id = 1"), sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 1);
    // A statement that changes no rows must not repeat the previous count.
    ASSERT_EQ(db->execute("CREATE TABLE extra (x " + type(column_kind::integer) + ")"),
              sql_code::ok);
    EXPECT_EQ(db->sqlnrows(), 0);
}

// Each kind of value lands in a column of the type the schema declares for
// it and reads back as the kind the data window takes: whole numbers beyond
// a double's precision exactly, decimals with a fraction as numbers (on
// SQLite the double nearest their 15 digits, on the server its exact
// digits), whole decimals as integers, dates as ISO text.
TEST_P(transaction_test, parameters_bind_by_kind) {
    auto db = open();
    ASSERT_TRUE(db);
    const std::string columns[] = {
        "t " + type(column_kind::text, 20),   "n " + type(column_kind::integer),
        "r DOUBLE PRECISION",                 "w " + type(column_kind::decimal, 0),
        "m " + type(column_kind::decimal, 2), "d " + type(column_kind::date),
        "b " + type(column_kind::blob),       "e " + type(column_kind::blob),
        "z " + type(column_kind::text, 20)};
    std::string create = "CREATE TABLE kinds (";
    for (const std::string& c : columns) create += (&c == columns ? "" : ", ") + c;
    ASSERT_EQ(db->execute(create + ")"), sql_code::ok) << db->sqlerrtext();
    const value params[] = {value("资产"),
                            value(std::int64_t{9007199254740993}),
                            value(2.5),
                            value(decimal(1200, 0)),
                            value(decimal(1234567890123'45, 2)),
                            value(*date::parse("2026-03-05")),
                            value(blob{0x00, 0x41}),
                            value(blob{}),
                            value()};
    ASSERT_EQ(db->execute("INSERT INTO kinds VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", params),
              sql_code::ok)
        << db->sqlerrtext();
    auto rows = db->open_cursor("SELECT * FROM kinds");
    ASSERT_TRUE(rows && rows->fetch()) << db->sqlerrtext();
    const bool server = GetParam() == backend::postgresql;
    const db_type types[] = {db_type::text, db_type::integer, db_type::real,
                             db_type::integer, server ? db_type::text : db_type::real, db_type::text,
                             db_type::blob, db_type::blob, db_type::null};
    const value values[] = {value("资产"),
                            value(std::int64_t{9007199254740993}),
                            value(2.5),
                            value(1200),
                            server ? value("1234567890123.45") : value(1234567890123.45),
                            value("2026-03-05"),
                            value(blob{0x00, 0x41}),
                            value(blob{}),
                            value()};
    ASSERT_EQ(rows->column_count(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(rows->column_type(i), types[i]) << columns[i];
        EXPECT_EQ(rows->column_value(i), values[i]) << columns[i];
    }
}

// A literal's kind as both read it: a fraction is a double only when cast
// to one (a bare 1.5 is an exact decimal on the server).
TEST_P(transaction_test, cursor_reads_columns_by_stored_type) {
    auto db = open();
    ASSERT_TRUE(db);
    auto rows = db->open_cursor(
        "SELECT 7 AS n, CAST(1.5 AS DOUBLE PRECISION) AS r, 'abc' AS t, x'00ff' AS b, NULL AS z");
    ASSERT_TRUE(rows) << db->sqlerrtext();
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
TEST_P(transaction_test, cursors_over_the_same_sql_are_independent) {
    auto db = open();
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

// More texts than either backend keeps prepared: the ones let go are
// prepared again, never mixed up.
TEST_P(transaction_test, many_distinct_statements_stay_correct) {
    auto db = open();
    ASSERT_TRUE(db);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 300; ++i) {
            const std::string sql = "SELECT " + std::to_string(i) + " + ?";
            const value p[] = {round};
            ASSERT_EQ(db->select_value(sql, p), value(i + round)) << sql;
        }
    }
}

// Both the cursor still reading and one whose rows were read ahead, when
// the second took the connection, end with it.
TEST_P(transaction_test, cursor_may_outlive_its_connection) {
    auto db = open();
    ASSERT_TRUE(db);
    auto earlier = db->open_cursor("SELECT id FROM person");
    ASSERT_TRUE(earlier && earlier->fetch());
    auto rows = db->open_cursor("SELECT id FROM person");
    ASSERT_TRUE(rows && rows->fetch());
    db.reset();
    for (cursor* c : {earlier.get(), rows.get()}) {
        EXPECT_FALSE(c->fetch());
        EXPECT_EQ(c->column_count(), 0);
    }
}

// ---- transactions -------------------------------------------------------------

TEST_P(transaction_test, a_write_opens_a_transaction_and_a_read_does_not) {
    auto db = open();
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

TEST_P(transaction_test, explicit_transaction_statements_pass_through) {
    auto db = open();
    auto other = open();
    ASSERT_TRUE(db && other);
    ASSERT_EQ(db->execute("BEGIN"), sql_code::ok) << db->sqlerrtext();
    EXPECT_TRUE(db->in_transaction());
    ASSERT_EQ(db->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok);
    ASSERT_EQ(db->execute("  commit"), sql_code::ok) << db->sqlerrtext();
    EXPECT_FALSE(db->in_transaction());
    EXPECT_EQ(dump(*other, "SELECT count(*) FROM person"), "3\n");
}

TEST_P(transaction_test, a_write_is_invisible_elsewhere_until_commit) {
    auto writer = open();
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

TEST_P(transaction_test, committing_one_connection_never_commits_another) {
    auto sqlca = open();
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

// One save at a time for the whole database: SQLite's write lock on the
// file, the server's advisory lock that every write transaction takes.
TEST_P(transaction_test, second_writer_fails_after_the_busy_timeout) {
    auto first = open();
    auto second = open(200);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->begin_write(), sql_code::ok);

    // Reading is never blocked by the other workstation's write.
    EXPECT_EQ(dump(*second, "SELECT count(*) FROM person"), "2\n");

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(second->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::error);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(second->sqlcode(), -1);
    EXPECT_EQ(as_said(b(), second->sqlerrtext()),
              as_said(b(), "数据库正被其他工作站使用（已锁定），请稍后再试：database is locked"));
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_FALSE(second->in_transaction());
    EXPECT_EQ(second->begin_write(), sql_code::error);
    EXPECT_FALSE(second->in_transaction());

    ASSERT_EQ(first->commit(), sql_code::ok);
    EXPECT_EQ(second->execute("INSERT INTO person VALUES (3, 'Zhao')"), sql_code::ok)
        << second->sqlerrtext();
    EXPECT_EQ(second->commit(), sql_code::ok);
}

// A finished or abandoned cursor must not keep its connection on an old
// snapshot: the next read sees what other workstations committed since.
TEST_P(transaction_test, finished_cursors_hold_no_read_snapshot) {
    auto reader = open();
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
    // What the server answers where it cannot answer the same, or nullptr.
    const char* on_server = nullptr;
};

// The server's year() and f_getpersonage() take dates: text that is not one
// fails the statement there instead of giving null.
constexpr const char* k_not_a_date = "error: 数据库操作失败：";

const function_case k_function_cases[] = {
    {"SELECT today()", "2026-03-15\n"},
    {"SELECT year('2024-07-01')", "2024\n"},
    {"SELECT year('2024-07-01 10:00:00')", "2024\n"},
    {"SELECT year(today())", "2026\n"},
    {"SELECT year(NULL)", "~\n"},
    {"SELECT year('not a date')", "~\n", k_not_a_date},
    {"SELECT f_getpersonage('2026-03-15', '1980-03-15')", "46\n"},
    {"SELECT f_getpersonage('2026-03-14', '1980-03-15')", "45\n"},
    {"SELECT f_getpersonage('2026-02-20', '1980-03-15')", "45\n"},
    {"SELECT f_getpersonage(today(), '2000-12-31')", "25\n"},
    {"SELECT f_getpersonage('2027-02-28', '2000-02-29')", "26\n"},
    {"SELECT f_getpersonage('2027-03-01', '2000-02-29')", "27\n"},
    {"SELECT f_getpersonage(NULL, '1980-03-15')", "~\n"},
    {"SELECT f_getpersonage(today(), NULL)", "~\n"},
    {"SELECT f_getpersonage(today(), '')", "~\n", k_not_a_date},
    {"SELECT isnull(NULL, 'none')", "none\n"},
    {"SELECT isnull('a', 'none')", "a\n"},
    {"SELECT ISNULL (NULL, 2)", "2\n"},
    {"SELECT IsNull(\n NULL, f_getpersonage(today(), '1980-01-01'))", "46\n"},
    {"SELECT 'isnull(1)', \"isnull(\" FROM (SELECT 5 AS \"isnull(\") AS s", "isnull(1)|5\n"},
    {"SELECT NULL ISNULL, 1 ISNULL", "1|0\n"},
    {"SELECT myisnull(1) FROM person", "error: 数据库操作失败：no such function: myisnull"},
    {"SELECT isnull(name, '?') FROM person ORDER BY id", "Li\nWang\n"},
};

TEST_P(transaction_test, sql_functions_answer) {
    for (const function_case& c : k_function_cases) {
        SCOPED_TRACE(c.sql);
        auto db = open();  // the clock says 2026-03-15
        ASSERT_TRUE(db);
        const bool own = b() == backend::postgresql && c.on_server;
        EXPECT_EQ(as_said(b(), dump(*db, c.sql)), as_said(b(), own ? c.on_server : c.result));
    }
}

TEST_P(transaction_test, today_follows_the_clock) {
    auto db = open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->select_value("SELECT today()"), value("2026-03-15"));
    clock_.today_ = *date::parse("2026-12-31");
    EXPECT_EQ(db->select_value("SELECT today()"), value("2026-12-31"));
    EXPECT_EQ(db->select_value("SELECT f_getpersonage(today(), '2000-12-31')"), value(26));
}

// ---- blobs -------------------------------------------------------------------------

TEST_P(transaction_test, blob_round_trip_keeps_every_byte) {
    auto db = open();
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
