// Two clerks of different communities and a supervisor on the real server:
// whatever a clerk's own login sends, raw SQL or the program, the server
// shows and lets change only his communities' rows; the supervisor reads
// all and writes none; only the administrator manages accounts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "storage/backup.h"
#include "storage/daily_backup.h"
#include "storage/database.h"
#include "storage/server_backend.h"
#include "storage/schema.h"
#include "storage/server_accounts.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using testkit::fixed_clock;

constexpr const char* k_a = "420106001001";
constexpr const char* k_b = "420106001002";

std::string as_text(const std::optional<value>& v) { return v ? v->to_text() : "<error>"; }

class ServerAccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
        server_ = std::make_unique<testkit::server_database>();
        ASSERT_TRUE(create_demo_database(server_->target(), clock_).is_ok());
        admin_ = open_as("", "");
        ASSERT_TRUE(admin_);
        // Role names belong to the whole server: each run has its own.
        const std::string tag = "t" + std::to_string(::getpid()) + "_" + std::to_string(++made_);
        clerk_a_ = "clerk_a_" + tag;
        clerk_b_ = "clerk_b_" + tag;
        supervisor_ = "super_" + tag;
        ASSERT_TRUE(add_account(*admin_, clerk_a_, "pw-a", account_kind::clerk, {k_a}).is_ok());
        ASSERT_TRUE(add_account(*admin_, clerk_b_, "pw-b", account_kind::clerk, {k_b}).is_ok());
        ASSERT_TRUE(add_account(*admin_, supervisor_, "pw-s", account_kind::supervisor, {}).is_ok());
        fill_every_table();
    }
    void TearDown() override {
        admin_.reset();
        server_.reset();
        for (const std::string& r : {clerk_a_, clerk_b_, supervisor_})
            if (!r.empty()) (void)testkit::server_database::psql({"DROP ROLE IF EXISTS " + r});
    }

    std::string uri_of(const std::string& user) const {
        std::string uri = server_->target();
        if (user.empty()) return uri;
        const std::size_t scheme = uri.find("://") + 3;
        const std::size_t at = uri.find('@', scheme);
        return uri.substr(0, scheme) + user + (at == std::string::npos ? "@" + uri.substr(scheme) : uri.substr(at));
    }
    std::unique_ptr<transaction> open_as(const std::string& user, const std::string& password) {
        pg_options o;
        o.password = password;
        auto t = connect_server(uri_of(user), clock_, o);
        EXPECT_TRUE(t.is_ok()) << t.message();
        return t ? t.take() : nullptr;
    }

    // A table whose rows belong to a community, directly or through the
    // change they are items of.
    static std::vector<const table_def*> community_tables() {
        std::vector<const table_def*> out;
        for (const table_def& t : schema_tables())
            if (t.find_column("commno") || t.name == "tc_og_changelog_item") out.push_back(&t);
        return out;
    }

    // A row of `t` for community `commno` with new key values: the columns
    // and the values of an INSERT.
    std::pair<std::string, std::vector<value>> new_row(const table_def& t, const std::string& commno, int n) {
        if (t.name == "tc_og_changelog_item")
            return {"logno, itemno", {value(log_of_[commno]), value(static_cast<std::int64_t>(1000 + n))}};
        std::string names = "commno";
        std::vector<value> values = {value(commno)};
        for (std::string_view k : t.key) {
            if (iequals(k, "commno")) continue;
            names += ", " + std::string(k);
            values.emplace_back(static_cast<std::int64_t>(900000 + n));
        }
        return {names, values};
    }
    static std::string insert_sql(const table_def& t, const std::string& names, std::size_t count) {
        std::string marks;
        for (std::size_t i = 0; i < count; ++i) marks += i ? ", ?" : "?";
        return "INSERT INTO " + std::string(t.name) + " (" + names + ") VALUES (" + marks + ")";
    }
    // What community `commno` owns of `t`, as the administrator counts it.
    std::string owned_filter(const table_def& t, const std::string& commno) {
        if (t.name == "tc_og_changelog_item")
            return "logno IN (SELECT logno FROM tc_og_changelog WHERE commno = '" + commno + "')";
        return "commno = '" + commno + "'";
    }
    std::string count_of(transaction& t, const table_def& def, const std::string& commno) {
        return as_text(t.select_value("SELECT count(*) FROM " + std::string(def.name) + " WHERE " +
                                      owned_filter(def, commno)));
    }

    // Every table gets a row of each community, so that a clerk seeing
    // nothing of the other's means something.
    void fill_every_table() {
        int n = 0;
        for (const char* c : {k_a, k_b}) {
            const value logno(static_cast<std::int64_t>(800000 + ++n));
            const value row[] = {logno, value(c)};
            ASSERT_EQ(admin_->execute("INSERT INTO tc_og_changelog (logno, commno, tablename, recordkey) VALUES (?, ?, "
                                      "'tc_og_assetregister', 'x')",
                                      row),
                      sql_code::ok)
                << admin_->sqlerrtext();
            log_of_[c] = logno.integer();
            ASSERT_EQ(admin_->commit(), sql_code::ok);
        }
        for (const table_def* t : community_tables()) {
            for (const char* c : {k_a, k_b}) {
                if (count_of(*admin_, *t, c) != "0") continue;
                auto [names, values] = new_row(*t, c, ++n);
                ASSERT_EQ(admin_->execute(insert_sql(*t, names, values.size()), values), sql_code::ok)
                    << t->name << ": " << admin_->sqlerrtext();
                ASSERT_EQ(admin_->commit(), sql_code::ok);
            }
        }
    }

    static inline int made_ = 0;
    fixed_clock clock_{*date::parse("2026-12-08")};
    std::unique_ptr<testkit::server_database> server_;
    std::unique_ptr<transaction> admin_;
    std::string clerk_a_, clerk_b_, supervisor_;
    std::map<std::string, std::int64_t> log_of_;
};

TEST_F(ServerAccountsTest, AClerksOwnLoginNeitherSeesNorChangesAnotherCommunitysRows) {
    auto a = open_as(clerk_a_, "pw-a");
    ASSERT_TRUE(a);
    int attempts = 0;
    for (const table_def* t : community_tables()) {
        SCOPED_TRACE(std::string(t->name));
        const std::string table(t->name);
        const std::string before = count_of(*admin_, *t, k_b);
        ASSERT_NE(before, "0");
        // Read: none of B's rows, all of A's.
        EXPECT_EQ(count_of(*a, *t, k_b), "0");
        EXPECT_EQ(count_of(*a, *t, k_a), count_of(*admin_, *t, k_a));
        EXPECT_EQ(as_text(a->select_value("SELECT count(*) FROM " + table)), count_of(*admin_, *t, k_a));
        attempts += 2;
        // Change and delete B's rows: nothing to change. The history may
        // not be changed at all, not even one's own, nor the communities.
        const bool history = t->name.starts_with("tc_og_changelog");
        const bool read_only = history || t->name == "tc_ge_community";
        const std::string some_column = std::string(t->key.back());
        for (const std::string& sql :
             {"UPDATE " + table + " SET " + some_column + " = " + some_column + " WHERE " + owned_filter(*t, k_b),
              "DELETE FROM " + table + " WHERE " + owned_filter(*t, k_b)}) {
            const sql_code rc = a->execute(sql);
            if (read_only) {
                EXPECT_EQ(rc, sql_code::error) << sql;
                EXPECT_NE(a->sqlerrtext().find("permission denied"), std::string::npos) << a->sqlerrtext();
            } else {
                EXPECT_EQ(rc, sql_code::ok) << sql << ": " << a->sqlerrtext();
                EXPECT_EQ(a->sqlnrows(), 0) << sql;
            }
            (void)a->rollback();
            ++attempts;
        }
        // Insert a row of B's.
        auto [names, values] = new_row(*t, k_b, 500 + attempts);
        EXPECT_EQ(a->execute(insert_sql(*t, names, values.size()), values), sql_code::error);
        EXPECT_NE(a->sqlerrtext().find(t->name == "tc_ge_community" ? "permission denied" : "row-level security"),
                  std::string::npos)
            << a->sqlerrtext();
        (void)a->rollback();
        ++attempts;
        // Move one of A's own rows into B.
        if (!read_only) {
            EXPECT_EQ(a->execute("UPDATE " + table + " SET commno = '" + k_b + "' WHERE commno = '" + k_a + "'"),
                      sql_code::error);
            EXPECT_NE(a->sqlerrtext().find("row-level security"), std::string::npos) << a->sqlerrtext();
            (void)a->rollback();
            ++attempts;
        }
        EXPECT_EQ(count_of(*admin_, *t, k_b), before);
    }
    // Every table of a community, five or six attempts each.
    EXPECT_GE(attempts, 90);
}

TEST_F(ServerAccountsTest, TheServerRefusesAClerkEveryWayRoundTheRules) {
    auto a = open_as(clerk_a_, "pw-a");
    ASSERT_TRUE(a);
    struct attempt {
        const char* what;
        std::string sql;
        const char* refusal;
    };
    const std::string b = k_b;
    const std::vector<attempt> attempts = {
        {"turn the policies off", "ALTER TABLE tc_og_assetregister DISABLE ROW LEVEL SECURITY", "must be owner"},
        {"drop a policy", "DROP POLICY officerecords_clerk ON tc_og_assetregister", "must be owner"},
        {"take a community", "INSERT INTO tc_ge_community (commno, commname) VALUES ('420106001099', 'x')",
         "permission denied"},
        {"give himself B", "INSERT INTO tc_og_clerk (rolname, commno) VALUES ('" + clerk_a_ + "', '" + b + "')",
         "permission denied"},
        {"take B's clerk's place", "SET ROLE " + clerk_b_, "permission denied"},
        {"create a clerk", "SELECT officerecords_add_account('x_" + clerk_a_ + "', 'pw', 'clerk', '" + b + "')",
         "permission denied"},
        {"change his communities", "SELECT officerecords_set_communities('" + clerk_a_ + "', '" + b + "')",
         "permission denied"},
        {"lock B's clerk", "SELECT officerecords_lock_account('" + clerk_b_ + "', true)", "permission denied"},
        {"write history in another's name",
         "INSERT INTO tc_og_changelog (logno, commno, dbuser) VALUES (990001, '420106001001', '" + clerk_b_ + "')",
         "row-level security"},
        {"erase the history", "DELETE FROM tc_og_changelog", "permission denied"},
        {"empty a register", "TRUNCATE tc_og_assetregister", "permission denied"},
        {"read a table of another kind", "SELECT count(*) FROM tc_og_clerk WHERE rolname <> current_user", ""},
        {"ask the numbering function of another table",
         "SELECT officerecords_highest('tc_ge_personinfo', 'idcard')", "不能取表"},
        {"ask the counting function of another table",
         "SELECT officerecords_count('tc_og_assetregister', 'commno', '" + b + "')", "不能数表"},
        {"list the accounts", "SELECT * FROM officerecords_accounts()", "permission denied"},
        {"create a table", "CREATE TABLE spy (x int)", "permission denied"},
    };
    for (const attempt& at : attempts) {
        SCOPED_TRACE(at.what);
        if (*at.refusal == 0) {
            // Allowed, and shows nothing of anyone else.
            EXPECT_EQ(as_text(a->select_value(at.sql)), "0");
            continue;
        }
        if (at.sql.starts_with("SELECT")) {
            auto cursor = a->open_cursor(at.sql);
            while (cursor && cursor->fetch()) {
            }
            cursor.reset();
            EXPECT_LT(a->sqlcode(), 0) << at.sql;
        } else {
            EXPECT_EQ(a->execute(at.sql), sql_code::error) << at.sql;
        }
        EXPECT_NE(a->sqlerrtext().find(at.refusal), std::string::npos) << a->sqlerrtext();
        (void)a->rollback();
    }
    // Row security cannot be switched off for a query it would change.
    EXPECT_EQ(a->execute("SET row_security = off"), sql_code::ok);
    EXPECT_FALSE(a->select_value("SELECT count(*) FROM tc_og_assetregister").has_value());
    EXPECT_NE(a->sqlerrtext().find("row-level security"), std::string::npos) << a->sqlerrtext();
    // His communities are all the program offers him.
    ASSERT_EQ(a->execute("SET row_security = on"), sql_code::ok);
    EXPECT_EQ(as_text(a->select_value("SELECT string_agg(commno, ',') FROM tc_ge_community")), k_a);
}

TEST_F(ServerAccountsTest, TheSupervisorReadsEveryCommunityAndWritesNone) {
    auto s = open_as(supervisor_, "pw-s");
    ASSERT_TRUE(s);
    for (const table_def* t : community_tables()) {
        SCOPED_TRACE(std::string(t->name));
        for (const char* c : {k_a, k_b}) EXPECT_EQ(count_of(*s, *t, c), count_of(*admin_, *t, c));
        auto [names, values] = new_row(*t, k_a, 700);
        EXPECT_EQ(s->execute(insert_sql(*t, names, values.size()), values), sql_code::error);
        EXPECT_NE(s->sqlerrtext().find("permission denied"), std::string::npos) << s->sqlerrtext();
        (void)s->rollback();
        for (const std::string& sql : {"UPDATE " + std::string(t->name) + " SET " + std::string(t->key.back()) + " = " +
                                           std::string(t->key.back()),
                                       "DELETE FROM " + std::string(t->name)}) {
            EXPECT_EQ(s->execute(sql), sql_code::error) << sql;
            EXPECT_NE(s->sqlerrtext().find("permission denied"), std::string::npos) << s->sqlerrtext();
            (void)s->rollback();
        }
    }
    EXPECT_EQ(s->execute("UPDATE tc_ge_personinfo SET personname = personname"), sql_code::error);
}

TEST_F(ServerAccountsTest, TheAdministratorManagesAccountsAndALockedOneSeesNothingAtOnce) {
    auto accounts = list_accounts(*admin_);
    ASSERT_TRUE(accounts.is_ok()) << accounts.message();
    std::map<std::string, account> by_name;
    for (const account& a : *accounts) by_name[a.name] = a;
    ASSERT_TRUE(by_name.contains(clerk_a_));
    EXPECT_EQ(by_name[clerk_a_].communities, std::vector<std::string>{k_a});
    EXPECT_EQ(by_name[supervisor_].kind, account_kind::supervisor);
    EXPECT_FALSE(by_name[clerk_b_].locked);

    // Given B as well, A's clerk sees both at his next query.
    auto a = open_as(clerk_a_, "pw-a");
    ASSERT_TRUE(a);
    ASSERT_TRUE(set_communities(*admin_, clerk_a_, {k_a, k_b}).is_ok());
    EXPECT_EQ(as_text(a->select_value("SELECT count(DISTINCT commno) FROM tc_og_assetregister")), "2");
    // A community that is not there, or none at all, is refused and nothing changes.
    EXPECT_FALSE(set_communities(*admin_, clerk_a_, {"420106009999"}).is_ok());
    EXPECT_FALSE(set_communities(*admin_, clerk_a_, {}).is_ok());
    EXPECT_EQ(as_text(a->select_value("SELECT count(DISTINCT commno) FROM tc_og_assetregister")), "2");
    // A name taken, or not a plain name, is refused.
    EXPECT_FALSE(add_account(*admin_, clerk_b_, "pw", account_kind::clerk, {k_a}).is_ok());
    EXPECT_FALSE(add_account(*admin_, "Robert'); DROP TABLE x; --", "pw", account_kind::clerk, {k_a}).is_ok());

    // Locked: the open connection sees nothing more, a new one is refused.
    ASSERT_TRUE(lock_account(*admin_, clerk_a_, true).is_ok());
    EXPECT_EQ(as_text(a->select_value("SELECT count(*) FROM tc_og_assetregister")), "0");
    pg_options o;
    o.password = "pw-a";
    EXPECT_FALSE(connect_server(uri_of(clerk_a_), clock_, o).is_ok());
    ASSERT_TRUE(lock_account(*admin_, clerk_a_, false).is_ok());
    EXPECT_TRUE(connect_server(uri_of(clerk_a_), clock_, o).is_ok());

    // A wrong password, or none, is refused; none says a password is needed.
    o.password = "wrong";
    EXPECT_FALSE(connect_server(uri_of(clerk_a_), clock_, o).is_ok());
    o.password.clear();
    const char* given = std::getenv("PGPASSWORD");
    const std::string kept = given ? given : "";
    ::unsetenv("PGPASSWORD");
    auto none = connect_server(uri_of(clerk_a_) + "?passfile=/nonexistent", clock_, o);
    if (given) ::setenv("PGPASSWORD", kept.c_str(), 1);
    ASSERT_FALSE(none.is_ok());
    EXPECT_TRUE(none.message().starts_with(k_password_needed)) << none.message();

    // A clerk's own login cannot manage accounts.
    auto b = open_as(clerk_b_, "pw-b");
    ASSERT_TRUE(b);
    EXPECT_FALSE(set_communities(*b, clerk_b_, {k_a, k_b}).is_ok());
    EXPECT_FALSE(lock_account(*b, clerk_a_, true).is_ok());
    EXPECT_FALSE(list_accounts(*b).is_ok());
    EXPECT_FALSE(add_account(*b, "x_" + clerk_b_, "pw", account_kind::clerk, {k_b}).is_ok());
}

TEST_F(ServerAccountsTest, AClerksSaveIsNumberedOverTheWholeRegisterAndItsHistoryNamesHisLogin) {
    const std::string highest_b = as_text(admin_->select_value("SELECT max(orderno) FROM tc_og_assetregister"));
    auto a = open_as(clerk_a_, "pw-a");
    ASSERT_TRUE(a);
    // The whole register's highest, though he sees only his rows.
    EXPECT_EQ(as_text(a->highest("tc_og_assetregister", "orderno")), highest_b);
    EXPECT_NE(as_text(a->select_value("SELECT max(orderno) FROM tc_og_assetregister")), highest_b);
    // The one-committee-a-term count covers B's members too.
    const auto member = admin_->select_row(
        "SELECT falldue, personno FROM tc_og_councilmemberinfo WHERE commno = '420106001002' LIMIT 1");
    ASSERT_TRUE(member.has_value());
    const std::string_view by[] = {"falldue", "personno"};
    EXPECT_EQ(as_text(a->count_everywhere("tc_og_councilmemberinfo", by, *member)), "1");

    // A change written on his login is his, whatever the program says.
    ASSERT_EQ(a->execute("INSERT INTO tc_og_changelog (logno, commno, tablename, recordkey) VALUES (990002, ?, "
                         "'tc_og_assetregister', 'y')",
                         std::vector<value>{value(k_a)}),
              sql_code::ok)
        << a->sqlerrtext();
    ASSERT_EQ(a->commit(), sql_code::ok);
    EXPECT_EQ(as_text(admin_->select_value("SELECT dbuser FROM tc_og_changelog WHERE logno = 990002")), clerk_a_);
}

TEST_F(ServerAccountsTest, AClerkCanNeitherBackUpNorRestoreTheWholeDatabase) {
    testkit::scratch_dir dir;
    const std::string clerk = uri_of(clerk_a_);
    ::setenv("PGPASSWORD", "pw-a", 1);
    auto made = backup_database(clerk, dir.file("a.backup"), clock_);
    // His workstation's daily backup is not his to make, and says so.
    auto daily = make_daily_backup(clerk, dir.file("daily"), clock_);
    ::unsetenv("PGPASSWORD");
    ASSERT_FALSE(made.is_ok());
    EXPECT_NE(made.message().find("管理员"), std::string::npos) << made.message();
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.backup")));
    ASSERT_TRUE(daily.is_ok()) << daily.message();
    EXPECT_TRUE(daily->made.empty());
    EXPECT_NE(daily->skipped.find("管理员"), std::string::npos) << daily->skipped;
    EXPECT_FALSE(std::filesystem::exists(dir.file("daily")));
}

}  // namespace
}  // namespace officerecords

namespace officerecords {
namespace {

// The program on a clerk's login: the other community is not there for it,
// and what he saves names his login in the history.
TEST_F(ServerAccountsTest, TheProgramOnAClerksLoginKnowsOnlyHisCommunities) {
    testkit::scratch_dir dir;
    const std::string cli = std::string("PGPASSWORD=pw-a ") + OFFICERECORDS_CLI;
    const std::string clerk = "'" + uri_of(clerk_a_) + "'";
    auto play = [&](const std::string& name, const std::string& script) {
        std::ofstream(dir.file(name)) << script;
        return testkit::run_command(cli + " run " + dir.file(name) + " --db " + clerk + " 2>&1");
    };

    const auto other = play("other.script", "community 420106001002\n");
    EXPECT_NE(other.status, 0);
    EXPECT_NE(other.output.find("no community 420106001002"), std::string::npos) << other.output;

    const auto exported = testkit::run_command(cli + " export w_m_og_assetregister --db " + clerk +
                                               " --community 420106001002 --format csv --out " +
                                               dir.file("b.csv") + " 2>&1");
    EXPECT_NE(exported.status, 0) << exported.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.csv")));

    const auto b_history = testkit::run_command(cli + " history w_m_og_assetregister 1 --db " + clerk +
                                                " --community 420106001002 2>&1");
    EXPECT_EQ(b_history.output.find("#"), std::string::npos) << b_history.output;

    const auto saved = play("save.script",
                            "today 2026-12-08\nopen w_m_og_assetregister 添加\ntype goodsname 档案柜\n"
                            "type goodscount 1\nclick cb_save\nprint item orderno\nclose\n");
    ASSERT_EQ(saved.status, 0) << saved.output;
    const auto number = admin_->select_value("SELECT orderno FROM tc_og_assetregister WHERE goodsname = '档案柜'");
    ASSERT_TRUE(number.has_value());
    const auto history = testkit::run_command(cli + " history w_m_og_assetregister " + number->to_text() +
                                              " --db " + clerk + " 2>&1");
    EXPECT_NE(history.output.find("（登录 " + clerk_a_ + "）"), std::string::npos) << history.output;
}

}  // namespace
}  // namespace officerecords

namespace officerecords {
namespace {

// A database of an earlier format waits for the administrator: a clerk's
// login, which sees part of it, neither backs it up nor changes its tables.
// The administrator's upgrade sets the rights up again, and they still hold.
TEST_F(ServerAccountsTest, OnlyTheAdministratorUpgradesAndTheRightsStillHoldAfter) {
    ASSERT_EQ(admin_->execute("UPDATE tc_og_dbversion SET version = 3"), sql_code::ok);
    ASSERT_EQ(admin_->commit(), sql_code::ok);
    ::setenv("PGPASSWORD", "pw-a", 1);
    auto refused = open_database(uri_of(clerk_a_), clock_);
    ::unsetenv("PGPASSWORD");
    ASSERT_FALSE(refused.is_ok());
    EXPECT_NE(refused.message().find("只有管理员的账号能升级"), std::string::npos) << refused.message();
    EXPECT_EQ(as_text(admin_->select_value("SELECT version FROM tc_og_dbversion")), "3");

    testkit::scratch_dir dir;
    // The backup taken first goes to the user's data folder: here, a scratch one.
    ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    auto upgraded = open_database(server_->target(), clock_);
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(upgraded.is_ok()) << upgraded.message();
    EXPECT_EQ(as_text(admin_->select_value("SELECT version FROM tc_og_dbversion")), std::to_string(k_schema_version));

    auto a = open_as(clerk_a_, "pw-a");
    ASSERT_TRUE(a);
    EXPECT_EQ(count_of(*a, *find_table("tc_og_assetregister"), k_b), "0");
    EXPECT_EQ(count_of(*a, *find_table("tc_og_assetregister"), k_a),
              count_of(*admin_, *find_table("tc_og_assetregister"), k_a));
    EXPECT_EQ(as_text(a->highest("tc_og_assetregister", "orderno")),
              as_text(admin_->select_value("SELECT max(orderno) FROM tc_og_assetregister")));
}

}  // namespace
}  // namespace officerecords
