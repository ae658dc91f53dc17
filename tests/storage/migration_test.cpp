// Databases outlive the program: a database of each earlier format is
// brought up to this one's when it is opened, every value kept; a stop at
// any step leaves it as it was; a database of a later format, or another
// program's, is refused untouched; a table or column missing is named.
#include "storage/migration.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <map>
#include <set>

#include "demo/demo_data.h"
#include "officerecords_version.h"
#include "storage/backup.h"
#include "storage/database.h"
#include "tests/fault_injection.h"
#include "tests/storage/earlier_format.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::earlier_format;
using testkit::faulty_transaction;
using testkit::fixed_clock;
using testkit::scratch_dir;

const fixed_clock k_clock{*date::parse("2026-12-08")};

// A database file read the plain way, as any other program reads it.
class plain {
public:
    explicit plain(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    }
    ~plain() { sqlite3_close_v2(db_); }
    std::string one(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string out = "error";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            out = text(stmt, 0, column_kind::text);
        sqlite3_finalize(stmt);
        return out;
    }
    // The rows of a table as sorted lines: every column but the key, an
    // amount as the number it stands for (what a double of it prints as,
    // so a value changed by a single bit shows), a blob as its bytes.
    std::multiset<std::string> rows(const table_def& t) {
        std::string names;
        std::vector<const table_column*> columns;
        for (const table_column& c : t.columns) {
            bool key = false;
            for (std::string_view k : t.key) key = key || iequals(k, c.name);
            if (key) continue;
            names += (names.empty() ? "" : ", ") + std::string(c.name);
            columns.push_back(&c);
        }
        std::multiset<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, ("SELECT " + names + " FROM " + std::string(t.name)).c_str(), -1, &stmt,
                               nullptr) != SQLITE_OK) {
            out.insert(std::string("error: ") + sqlite3_errmsg(db_));
            return out;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string line;
            for (int i = 0; i < static_cast<int>(columns.size()); ++i) line += text(stmt, i, columns[i]->kind) + "|";
            out.insert(line);
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    static std::string shortest(double v) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, r.ptr);
    }
    static std::string text(sqlite3_stmt* stmt, int i, column_kind kind) {
        const int type = sqlite3_column_type(stmt, i);
        if (type == SQLITE_NULL) return "~";
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        const std::string raw(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
        if (kind == column_kind::decimal) {
            if (type == SQLITE_FLOAT) return shortest(sqlite3_column_double(stmt, i));
            if (type == SQLITE_INTEGER) return shortest(static_cast<double>(sqlite3_column_int64(stmt, i)));
            if (auto d = decimal::parse(raw)) return shortest(d->to_double());
        }
        return raw;
    }
    sqlite3* db_ = nullptr;
};

std::vector<std::string> history_of_upgrade(const std::string& path) {
    plain p(path);
    std::vector<std::string> out;
    for (int version = 1; version <= k_schema_version; ++version)
        out.push_back(p.one("SELECT windowname || '|' || changekind || '|' || recordkey FROM tc_og_changelog "
                            "WHERE tablename = '数据库' AND recordkey = '版本=" + std::to_string(version) + "'"));
    return out;
}

class EarlierFormat : public ::testing::TestWithParam<earlier_format> {};

TEST_P(EarlierFormat, IsBroughtUpWhenOpenedWithEveryValueKept) {
    scratch_dir dir;
    const std::string path = dir.file("office.db");
    ASSERT_EQ(testkit::make_earlier_database(path, GetParam(), k_clock), "");
    const std::string before = dir.file("before.db");
    fs::copy_file(path, before);

    auto opened = open_database(path, k_clock);
    ASSERT_TRUE(opened.is_ok()) << opened.message();
    opened = status::error("closed");

    plain now(path), then(before);
    EXPECT_EQ(now.one("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(now.one("PRAGMA user_version"), std::to_string(k_schema_version));
    EXPECT_EQ(now.one("PRAGMA application_id"), std::to_string(k_application_id));
    for (const table_def& t : schema_tables()) {
        SCOPED_TRACE(std::string(t.name));
        const bool history = t.name == "tc_og_changelog" || t.name == "tc_og_changelog_item";
        if (history) continue;
        EXPECT_EQ(now.one("SELECT count(*) FROM " + std::string(t.name)),
                  then.one("SELECT count(*) FROM " + std::string(t.name)));
        EXPECT_EQ(now.rows(t), then.rows(t));
    }
    // SQL sees the amounts as numbers now.
    EXPECT_EQ(now.one("SELECT typeof(originvalue) FROM tc_og_assetregister WHERE orderno = 3"), "integer");
    // The amount of 16 digits: kept as it was stored, its digits, had they
    // been text; a double already rounded stays that double.
    const std::string beyond = now.one("SELECT typeof(originvalue) || ':' || CAST(originvalue AS TEXT) FROM "
                                       "tc_og_assetregister WHERE commno = '420106001001' AND orderno = 1");
    if (GetParam() == earlier_format::decimal_text) {
        EXPECT_EQ(beyond, std::string("blob:") + testkit::k_beyond_a_double);
    } else {
        EXPECT_EQ(beyond, then.one("SELECT typeof(originvalue) || ':' || CAST(originvalue AS TEXT) FROM "
                                   "tc_og_assetregister WHERE commno = '420106001001' AND orderno = 1"));
    }
    // The records without a number have one each now, after the highest,
    // and their history says so.
    EXPECT_EQ(now.one("SELECT count(DISTINCT orderno) FROM tc_og_assetregister WHERE goodsname LIKE '无编号的资产%' "
                      "AND orderno > (SELECT max(orderno) FROM tc_og_assetregister WHERE goodsname NOT LIKE "
                      "'无编号的资产%')"),
              "2");
    EXPECT_EQ(now.one("SELECT count(*) FROM tc_og_changelog c JOIN tc_og_changelog_item i ON i.logno = c.logno "
                      "WHERE c.windowname = 'officerecords' AND c.tablename = 'tc_og_assetregister' AND "
                      "i.columnname = 'orderno' AND i.oldvalue IS NULL"),
              "2");
    EXPECT_EQ(history_of_upgrade(path),
              (std::vector<std::string>{"officerecords|升级|版本=1", "officerecords|升级|版本=2",
                                        "officerecords|升级|版本=3", "officerecords|升级|版本=4",
                                        "officerecords|升级|版本=5"}));
    // Each step names the program that made it, after what it changed.
    EXPECT_EQ(
        now.one(
            "SELECT group_concat(i.itemno || ':' || i.newvalue, ',') FROM tc_og_changelog c JOIN "
            "tc_og_changelog_item i ON i.logno = c.logno WHERE c.tablename = '数据库' AND "
            "i.columnname = '程序版本'"),
        "3:" + std::string(k_version_full) + ",3:" + std::string(k_version_full) + ",3:" +
            std::string(k_version_full) + ",3:" + std::string(k_version_full) + ",3:" + std::string(k_version_full));

    // The backup taken first is the database as it was.
    std::vector<fs::path> backups;
    for (const auto& e : fs::directory_iterator(dir.file("备份"))) backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].filename().string().rfind(
                  "office-升级前-版本0-程序" + std::string(k_version) + "-2026-12-08-", 0),
              0u)
        << backups[0];
    plain kept(backups[0].string());
    EXPECT_EQ(kept.one("PRAGMA user_version"), "0");
    EXPECT_EQ(kept.rows(*find_table("tc_og_assetregister")), then.rows(*find_table("tc_og_assetregister")));
    EXPECT_EQ(now.one("SELECT i.newvalue FROM tc_og_changelog c JOIN tc_og_changelog_item i ON i.logno = c.logno "
                      "WHERE c.recordkey = '版本=1' AND i.columnname = '升级前的备份'"),
              backups[0].string());

    // Opened again: nothing more to do, no second backup.
    ASSERT_TRUE(open_database(path, k_clock).is_ok());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("备份")), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, EarlierFormat,
                         ::testing::Values(earlier_format::numeric, earlier_format::decimal_text),
                         [](const auto& info) { return testkit::earlier_format_name(info.param); });

// An upgrade counting its steps: statements, cursors, the begin and the commit.
int steps_of_an_upgrade(const std::string& path) {
    int steps = 0;
    connection_options o;
    o.wrap = [&](std::unique_ptr<transaction> t) {
        auto f = std::make_unique<faulty_transaction>(std::move(t));
        f->on_step = [&](int n) { steps = n; };
        return f;
    };
    auto opened = open_connection(path, k_clock, o);
    EXPECT_TRUE(opened.is_ok()) << opened.message();
    return steps;
}

TEST(MigrationTest, StoppedAtEveryStepItLeavesTheDatabaseAsItWas) {
    scratch_dir dir;
    const std::string pristine = dir.file("pristine.db");
    ASSERT_EQ(testkit::make_earlier_database(pristine, earlier_format::decimal_text, k_clock), "");
    const std::string path = dir.file("office.db");
    fs::copy_file(pristine, dir.file("measured.db"));
    const int total = steps_of_an_upgrade(dir.file("measured.db"));
    ASSERT_GT(total, 20);
    plain original(pristine);
    const auto assets = original.rows(*find_table("tc_og_assetregister"));
    const std::string persons = original.one("SELECT count(*) FROM tc_ge_personinfo");

    // The first step at which the stop came after the commit; past the last
    // until one does.
    int committed_at = total + 1;
    for (int at = 1; at <= total; ++at) {
        SCOPED_TRACE("stopped at step " + std::to_string(at) + " of " + std::to_string(total));
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
        fs::copy_file(pristine, path);
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            connection_options o;
            o.wrap = [at](std::unique_ptr<transaction> t) {
                auto f = std::make_unique<faulty_transaction>(std::move(t));
                f->on_step = [at](int n) {
                    if (n == at) _exit(9);
                };
                return f;
            };
            (void)open_connection(path, k_clock, o);
            _exit(0);
        }
        int st = 0;
        ASSERT_EQ(waitpid(child, &st, 0), child);
        ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 9) << "the child was not stopped";
        plain left(path);
        ASSERT_EQ(left.one("PRAGMA integrity_check"), "ok");
        // Before the commit: the database as it was; after it: all of the
        // upgrade, every value kept.
        const std::string version = left.one("PRAGMA user_version");
        if (version == "0") {
            EXPECT_EQ(left.one("SELECT sql LIKE '%DECIMAL_TEXT%' FROM sqlite_master WHERE name = "
                               "'tc_og_assetregister'"),
                      "1");
            EXPECT_LT(at, committed_at) << "the upgrade was found undone after its commit";
        } else {
            EXPECT_EQ(version, std::to_string(k_schema_version));
            if (committed_at > at) committed_at = at;
        }
        EXPECT_EQ(left.rows(*find_table("tc_og_assetregister")), assets);
        EXPECT_EQ(left.one("SELECT count(*) FROM tc_ge_personinfo"), persons);
    }
    // Only the steps after the commit (the tables' check) find it done.
    EXPECT_EQ(committed_at, total);
    // And the next opening brings it up after all.
    ASSERT_TRUE(open_database(path, k_clock).is_ok());
    EXPECT_EQ(plain(path).one("PRAGMA user_version"), std::to_string(k_schema_version));
}

TEST(MigrationTest, AFailedStepSaysWhichAndChangesNothing) {
    scratch_dir dir;
    const std::string pristine = dir.file("pristine.db");
    ASSERT_EQ(testkit::make_earlier_database(pristine, earlier_format::numeric, k_clock), "");
    const std::string path = dir.file("office.db");
    fs::copy_file(pristine, dir.file("measured.db"));
    const int total = steps_of_an_upgrade(dir.file("measured.db"));
    // Every statement in turn: a failed read of what is there must stop the
    // upgrade, never let a step take a table for missing and go on. The
    // last step is the check of the tables after the commit.
    for (int at = 1; at < total; ++at) {
        SCOPED_TRACE("failing step " + std::to_string(at));
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
        fs::copy_file(pristine, path);
        connection_options o;
        o.wrap = [at](std::unique_ptr<transaction> t) {
            auto f = std::make_unique<faulty_transaction>(std::move(t));
            f->fail_at(at);
            return f;
        };
        auto opened = open_connection(path, k_clock, o);
        ASSERT_FALSE(opened.is_ok());
        EXPECT_NE(opened.message().find(testkit::k_injected_fault), std::string::npos) << opened.message();
        EXPECT_NE(opened.message().find("数据库没有改动"), std::string::npos) << opened.message();
        EXPECT_EQ(plain(path).one("PRAGMA user_version"), "0");
        EXPECT_EQ(plain(path).rows(*find_table("tc_og_assetregister")),
                  plain(pristine).rows(*find_table("tc_og_assetregister")));
    }
}

// The bytes of a file, to tell that nothing was written to it.
std::string bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A plain connection that changes a database behind the program's back.
void plainly(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close_v2(db);
}

TEST(MigrationTest, ANewerOrAnotherProgramsDatabaseIsRefusedUntouched) {
    scratch_dir dir;
    const std::string path = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(path, k_clock).is_ok());
    // Out of the log mode, so that opening it would have to write.
    plainly(path, "PRAGMA journal_mode=DELETE; PRAGMA user_version = " + std::to_string(k_schema_version + 1));
    const std::string contents = bytes_of(path);
    auto opened = open_database(path, k_clock);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), newer_database_message(k_schema_version + 1, path));
    EXPECT_NE(opened.message().find("版本 " + std::to_string(k_schema_version + 1)), std::string::npos);
    EXPECT_NE(opened.message().find("版本 " + std::to_string(k_schema_version) + " 及以前"), std::string::npos);
    EXPECT_EQ(bytes_of(path), contents);
    EXPECT_FALSE(fs::exists(path + "-wal"));

    plainly(path, "PRAGMA user_version = 3; PRAGMA application_id = 1234");
    const std::string other = bytes_of(path);
    opened = open_database(path, k_clock);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), "这不是本系统的数据库（文件的应用程序标识不符）：" + path);
    EXPECT_EQ(bytes_of(path), other);
}

TEST(MigrationTest, AMissingTableOrColumnIsNamedAtOpen) {
    scratch_dir dir;
    const std::string path = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(path, k_clock).is_ok());
    plainly(path, "DROP TABLE tc_og_parttimejob");
    auto opened = open_database(path, k_clock);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), "数据库中缺少表 tc_og_parttimejob，不能打开：" + path);

    const std::string other = dir.file("other.db");
    ASSERT_TRUE(create_demo_database(other, k_clock).is_ok());
    plainly(other, "ALTER TABLE tc_og_sealuserecord DROP COLUMN confirmperson");
    opened = open_database(other, k_clock);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message(), "数据库的表 tc_og_sealuserecord 中缺少列 confirmperson，不能打开：" + other);
}

TEST(MigrationTest, AWorkstationThatFindsTheUpgradeUnderWayIsToldAndLaterFindsItDone) {
    scratch_dir dir;
    const std::string path = dir.file("office.db");
    ASSERT_EQ(testkit::make_earlier_database(path, earlier_format::decimal_text, k_clock), "");
    // Another workstation holds the write lock, as an upgrade under way does.
    sqlite3* other = nullptr;
    sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    connection_options o;
    o.busy_timeout_ms = 50;
    auto opened = open_database(path, k_clock, o);
    ASSERT_FALSE(opened.is_ok());
    EXPECT_EQ(opened.message().rfind("数据库需要升级到本程序的格式，但另一个工作站正在使用它", 0), 0u)
        << opened.message();
    EXPECT_EQ(plain(path).one("PRAGMA user_version"), "0");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(other);
    ASSERT_TRUE(open_database(path, k_clock, o).is_ok());
    EXPECT_EQ(plain(path).one("PRAGMA user_version"), std::to_string(k_schema_version));
}

TEST(MigrationTest, ABackupOfAnEarlierFormatIsRestoredInThisOneAndStaysAsItWas) {
    scratch_dir dir;
    const std::string backup = dir.file("old-backup.db");
    ASSERT_EQ(testkit::make_earlier_database(backup, earlier_format::decimal_text, k_clock), "");
    const std::string contents = bytes_of(backup);
    const std::string path = dir.file("office.db");
    ASSERT_TRUE(create_database(path, k_clock).is_ok());
    ASSERT_TRUE(restore_database(path, backup, dir.file("kept.db"), k_clock).is_ok());
    EXPECT_EQ(bytes_of(backup), contents);
    // Nothing of the upgraded copy is left beside the database.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.file(""))) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"office.db", "old-backup.db", "kept.db"}));
    plain now(path), then(backup);
    EXPECT_EQ(now.one("PRAGMA user_version"), std::to_string(k_schema_version));
    EXPECT_EQ(now.one("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(now.rows(*find_table("tc_og_incomemoneyrecord")), then.rows(*find_table("tc_og_incomemoneyrecord")));
    EXPECT_EQ(now.one("SELECT typeof(moneysum) FROM tc_og_incomemoneyrecord ORDER BY rowid LIMIT 1"), "integer");
}

// The server keeps its version in a table; one made before has none.
TEST(MigrationTest, AServerDatabaseKeepsItsVersionAndIsBroughtUpOrRefused) {
    if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
    testkit::server_database server;
    ASSERT_TRUE(create_demo_database(server.target(), k_clock).is_ok());
    auto check = open_connection(server.target(), k_clock, as_it_is());
    ASSERT_TRUE(check.is_ok()) << check.message();
    transaction& t = **check;
    EXPECT_EQ(*database_version(t, sql_dialect::postgresql), k_schema_version);

    ASSERT_EQ(t.execute("DROP TABLE tc_og_dbversion"), sql_code::ok);
    ASSERT_EQ(t.commit(), sql_code::ok);
    EXPECT_EQ(*database_version(t, sql_dialect::postgresql), 0);
    connection_options o;
    o.backup_before_upgrade = false;
    auto opened = open_connection(server.target(), k_clock, o);
    ASSERT_TRUE(opened.is_ok()) << opened.message();
    EXPECT_EQ(*database_version(t, sql_dialect::postgresql), k_schema_version);
    auto steps = t.select_value("SELECT count(*) FROM tc_og_changelog WHERE changekind = '升级'");
    EXPECT_EQ(steps ? steps->as_double().value_or(-1) : -1, k_schema_version);

    const value newer(k_schema_version + 1);
    ASSERT_EQ(t.execute("UPDATE tc_og_dbversion SET version = ?", {&newer, 1}), sql_code::ok);
    ASSERT_EQ(t.commit(), sql_code::ok);
    auto refused = open_database(server.target(), k_clock);
    ASSERT_FALSE(refused.is_ok());
    EXPECT_EQ(refused.message().rfind("这个数据库是较新版本的程序建立的（数据库版本 " +
                                          std::to_string(k_schema_version + 1) + "）",
                                      0),
              0u)
        << refused.message();
}

// A server database of version 4 has no index of the history's keys in
// byte order; opening it adds one, which a record's history range uses.
TEST(MigrationTest, AServerDatabaseOfVersionFourGetsTheHistoryKeyIndex) {
    if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
    testkit::server_database server;
    ASSERT_TRUE(create_demo_database(server.target(), k_clock).is_ok());
    auto check = open_connection(server.target(), k_clock, as_it_is());
    ASSERT_TRUE(check.is_ok()) << check.message();
    transaction& t = **check;
    const std::string index = "SELECT count(*) FROM pg_indexes WHERE indexname = "
                              "'ix_tc_og_changelog_recordkey_bytes' AND indexdef LIKE '%COLLATE \"C\"%'";
    EXPECT_EQ(t.select_value(index)->to_text(), "1");
    ASSERT_EQ(t.execute("DROP INDEX ix_tc_og_changelog_recordkey_bytes"), sql_code::ok) << t.sqlerrtext();
    ASSERT_EQ(t.execute("UPDATE tc_og_dbversion SET version = 4"), sql_code::ok);
    ASSERT_EQ(t.commit(), sql_code::ok);
    EXPECT_EQ(t.select_value(index)->to_text(), "0");

    connection_options o;
    o.backup_before_upgrade = false;
    auto opened = open_connection(server.target(), k_clock, o);
    ASSERT_TRUE(opened.is_ok()) << opened.message();
    EXPECT_EQ(*database_version(t, sql_dialect::postgresql), k_schema_version);
    EXPECT_EQ(t.select_value(index)->to_text(), "1");
    auto step = t.select_value("SELECT count(*) FROM tc_og_changelog WHERE changekind = '升级' AND "
                               "recordkey = '版本=5'");
    EXPECT_EQ(step ? step->to_text() : "?", "1");

    // The range of a record's photos is read from the index, not the table.
    ASSERT_EQ(t.execute("SET enable_seqscan = off"), sql_code::ok);
    auto plan = t.open_cursor(
        "EXPLAIN SELECT logno FROM tc_og_changelog c WHERE c.tablename = 'TS_CommActivePhoto' AND "
        "c.recordkey COLLATE \"C\" >= 'OrderNo=1;' AND c.recordkey COLLATE \"C\" < 'OrderNo=1<'");
    ASSERT_TRUE(plan) << t.sqlerrtext();
    std::string plans;
    while (plan->fetch()) plans += std::string(plan->column_text(0)) + "\n";
    plan.reset();
    EXPECT_NE(plans.find("ix_tc_og_changelog_recordkey_bytes"), std::string::npos) << plans;
    (void)t.rollback();
}

}  // namespace
}  // namespace officerecords

namespace officerecords {
namespace {

// The statistics read a community's registers by date. A database of
// version 4, on either backend, has no such index; opening it adds them.
TEST(MigrationTest, ADatabaseOfVersionFourGetsTheRegistersDateIndexes) {
    const std::vector<std::string> wanted = {
        "ix_tc_og_incomemoneyrecord_commno_recorddate_outlaysort_moneysum",
        "ix_tc_og_moneyoutgorecord_commno_recorddate_outlaysort_usebound_moneysum",
        "ix_tc_og_dailyworkrecord_commno_meetdate_organise_submitdept",
        "ix_tc_og_sealuserecord_commno_applydate_sealusesort",
        "ix_tc_og_comminregister_commno_registdate_isagree",
        "ix_tc_og_commactivityrecord_commno_activitydate"};
    testkit::scratch_dir dir;
    std::vector<std::pair<sql_dialect, std::string>> targets = {{sql_dialect::sqlite, dir.file("office.db")}};
    std::optional<testkit::server_database> server;
    if (testkit::server_uri()) {
        server.emplace();
        targets.emplace_back(sql_dialect::postgresql, server->target());
    }
    for (const auto& [d, target] : targets) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(create_database(target, k_clock).is_ok());
        auto check = open_connection(target, k_clock, as_it_is());
        ASSERT_TRUE(check.is_ok()) << check.message();
        transaction& t = **check;
        const std::string present =
            d == sql_dialect::sqlite ? "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = ?"
                                     : "SELECT count(*) FROM pg_indexes WHERE indexname = ?";
        auto count = [&](const std::string& name) {
            const value v(name);
            auto n = t.select_value(present, {&v, 1});
            return n ? n->to_text() : "?";
        };
        for (const std::string& name : wanted) {
            EXPECT_EQ(count(name), "1") << name;
            ASSERT_EQ(t.execute("DROP INDEX " + name), sql_code::ok) << t.sqlerrtext();
        }
        ASSERT_EQ(t.execute(d == sql_dialect::sqlite ? "PRAGMA user_version = 4"
                                                     : "UPDATE tc_og_dbversion SET version = 4"),
                  sql_code::ok)
            << t.sqlerrtext();
        if (t.in_transaction()) {
            ASSERT_EQ(t.commit(), sql_code::ok);
        }
        EXPECT_EQ(*database_version(t, d), 4);
        for (const std::string& name : wanted) EXPECT_EQ(count(name), "0") << name;

        connection_options o;
        o.backup_before_upgrade = false;
        auto opened = open_connection(target, k_clock, o);
        ASSERT_TRUE(opened.is_ok()) << opened.message();
        EXPECT_EQ(*database_version(t, d), k_schema_version);
        for (const std::string& name : wanted) EXPECT_EQ(count(name), "1") << name;
    }
}

}  // namespace
}  // namespace officerecords
