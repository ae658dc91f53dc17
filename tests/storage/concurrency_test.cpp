// Several workstations on one database: real processes on a real SQLite
// file, and on a database of its own on the PostgreSQL server, each case
// on both with the same expectations.
//
// A child process never inherits an open connection: SQLite's per-process
// lock bookkeeping would be copied with it, and a libpq connection would
// be one socket spoken on by two processes. So the parent holds no
// connection when it forks and every child opens fresh ones. Children end
// with _exit, so neither the test framework's exit handlers nor any
// destructor of the parent's objects runs twice.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "finance/assetregister.h"
#include "foundation/session.h"
#include "storage/database.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::backend;
using testkit::fixed_clock;
using testkit::recording_host;
using testkit::scratch_database;

constexpr const char* k_commno = "420106001001";
// A child that has not finished by then is stuck on a lock; it is killed
// and the test fails instead of hanging.
constexpr unsigned k_child_deadline_s = 30;

const date k_today = *date::parse("2026-12-08");

// A pipe between the parent and its children: one-byte messages, and a
// gate that children wait at until the parent opens it (end of file), so
// that they start together or at a moment the parent chooses.
class channel {
public:
    channel() {
        if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    }
    ~channel() {
        close_end(0);
        close_end(1);
    }
    channel(const channel&) = delete;
    channel& operator=(const channel&) = delete;

    bool ok() const { return fds_[0] >= 0; }
    void send(char c) {
        while (write(fds_[1], &c, 1) < 0 && errno == EINTR) {
        }
    }
    // The next byte, or -1 once every writer has closed its end.
    int receive() {
        char c;
        for (;;) {
            ssize_t n = read(fds_[0], &c, 1);
            if (n < 0 && errno == EINTR) continue;
            return n == 1 ? static_cast<unsigned char>(c) : -1;
        }
    }
    // In a child: returns once the parent has opened the gate.
    void pass_gate() {
        close_end(1);
        while (receive() >= 0) {
        }
    }
    // In the parent: every child waiting at pass_gate() goes on.
    void open_gate() { close_end(1); }

private:
    void close_end(int i) {
        if (fds_[i] >= 0) close(fds_[i]);
        fds_[i] = -1;
    }
    int fds_[2];
};

// Runs `body` in a child process and returns its pid (-1 when fork fails).
// The child's exit code is body's result.
pid_t spawn(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    alarm(k_child_deadline_s);
    int rc = 99;
    try {
        rc = body();
    } catch (...) {
    }
    std::fflush(nullptr);
    _exit(rc);
}

// The child's exit code, or 128 + the signal that ended it.
int wait_for(pid_t pid) {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    return WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
}

// A statement on a connection of its own, committed; "" or the error.
std::string run_committed(const std::string& path, const std::string& sql,
                          std::vector<value> params = {}) {
    fixed_clock clock(k_today);
    auto conn = open_connection(path, clock);
    if (!conn) return conn.message();
    transaction& t = **conn;
    if (t.execute(sql, params) != sql_code::ok) return t.sqlerrtext();
    if (t.commit() != sql_code::ok) return t.sqlerrtext();
    return {};
}

// All rows of a query as "a|b\n" lines, null as "~", read on a fresh
// connection so that nothing cached in the test's own can hide a change.
std::string dump(const std::string& path, const std::string& sql) {
    fixed_clock clock(k_today);
    auto conn = open_connection(path, clock);
    if (!conn) return "error: " + conn.message();
    return testkit::dump(**conn, sql);
}

// A new database without demo data, holding the community; every
// connection used to make it is closed again.
std::unique_ptr<scratch_database> make_database(backend b) {
    auto made = std::make_unique<scratch_database>(false, b);
    made->db = {};
    EXPECT_EQ(run_committed(made->path,
                            "INSERT INTO tc_ge_community (commno, commname) VALUES (?, '东亭社区')",
                            {value(k_commno)}),
              "");
    return made;
}

// "sqlite_…" or "postgresql_…" before the rest of a case's name.
std::string on(backend b, const std::string& name) {
    return testkit::backend_name({b, 0}) + "_" + name;
}

// ---- racing saves -------------------------------------------------------------

constexpr int k_saves_per_child = 25;

// One workstation adding records as fast as a clerk could press Save. It
// reports on `ready` once its connections are open ('1', or '0' when they
// could not be), then waits at the `start` gate. Exit codes: 0 all saved,
// 10 no connection, 11 a message was shown, 12 a save left the row unsaved.
int add_records(const std::string& path, int child, channel& ready, channel& start) {
    fixed_clock clock(k_today);
    auto db = open_database(path, clock);
    ready.send(db ? '1' : '0');
    if (!db) {
        std::fprintf(stderr, "child %d: %s\n", child, db.message().c_str());
        return 10;
    }
    start.pass_gate();
    recording_host host;
    session s{host, host, *db->sqlca, *db->photosqlca, k_commno, {}, nullptr};
    for (int i = 1; i <= k_saves_per_child; ++i) {
        w_m_og_assetregister w(s);
        w.open_with(k_mode_add);
        w.dw_1.setitem(1, "goodsname",
                       value("child " + std::to_string(child) + " item " + std::to_string(i)));
        w.cb_save_clicked();
        if (!host.messages.empty()) {
            std::fprintf(stderr, "child %d, save %d: %s\n", child, i, host.messages[0].c_str());
            return 11;
        }
        if (w.dw_1.getitemstatus(1, 0) != row_status::not_modified) return 12;
    }
    return 0;
}

class RacingSaves : public ::testing::TestWithParam<std::tuple<backend, int>> {};

TEST_P(RacingSaves, NeverShareARecordNumber) {
    const auto [b, children] = GetParam();
    OFFICERECORDS_NEED_BACKEND(b);
    const auto made = make_database(b);
    const std::string& path = made->path;

    // The children open their connections one after another (opening is
    // not what races here), then all press Save together.
    channel ready, start;
    ASSERT_TRUE(ready.ok() && start.ok());
    std::vector<pid_t> pids;
    for (int k = 1; k <= children; ++k) {
        pid_t pid = spawn([&, k] { return add_records(path, k, ready, start); });
        ASSERT_GT(pid, 0) << "fork failed";
        pids.push_back(pid);
        EXPECT_EQ(ready.receive(), '1') << "child " << k << " could not open the database";
    }
    start.open_gate();
    for (int k = 1; k <= children; ++k) EXPECT_EQ(wait_for(pids[k - 1]), 0) << "child " << k;

    const int total = children * k_saves_per_child;
    // Every record once, numbered 1..total without a gap: each number is
    // the highest plus one, read under the write lock that the insert holds.
    const std::string n = std::to_string(total);
    EXPECT_EQ(dump(path,
                   "SELECT count(*), count(DISTINCT orderno), min(orderno), max(orderno), "
                   "count(DISTINCT goodsname), count(DISTINCT commno) FROM tc_og_assetregister"),
              n + "|" + n + "|1|" + n + "|" + n + "|1\n");
    for (int k = 1; k <= children; ++k) {
        EXPECT_EQ(
            dump(path, "SELECT count(*) FROM tc_og_assetregister WHERE goodsname LIKE 'child " +
                           std::to_string(k) + " item %'"),
            std::to_string(k_saves_per_child) + "\n")
            << "child " << k;
    }
    // The server has no such check of its files to ask for.
    if (b == backend::sqlite) {
        EXPECT_EQ(dump(path, "PRAGMA integrity_check"), "ok\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Children, RacingSaves,
    ::testing::Combine(::testing::Values(backend::sqlite, backend::postgresql),
                       ::testing::Values(2, 3, 4)),
    [](const ::testing::TestParamInfo<std::tuple<backend, int>>& info) {
        return on(std::get<0>(info.param), std::to_string(std::get<1>(info.param)) + "_processes");
    });

// ---- opening while another workstation holds the lock ------------------------

// Takes the whole database as an exclusive maintenance connection does, on
// connections of the calling process's own: SQLite's exclusive lock on the
// file; on the server the save lock and an exclusive lock on the table
// that opening looks for. False when it could not.
bool lock_everything(backend b, const std::string& path, sqlite3*& raw,
                     std::unique_ptr<transaction>& holder, const clock_source& clock) {
    if (b == backend::sqlite) {
        return sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
               sqlite3_exec(raw, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT",
                            nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    auto opened = open_connection(path, clock);
    if (!opened) return false;
    holder = opened.take();
    return holder->begin_write() == sql_code::ok &&
           holder->execute("LOCK TABLE tc_ge_community IN ACCESS EXCLUSIVE MODE") == sql_code::ok;
}

class OpeningTheDatabase : public ::testing::TestWithParam<backend> {};

// Another workstation holding the whole database for a moment (as an
// exclusive maintenance connection does) makes a workstation that starts
// meanwhile wait, within the busy timeout, rather than call it invalid. On
// the server opening reads nothing such locks hold, so it need not wait.
TEST_P(OpeningTheDatabase, WaitsForAnotherWorkstationsLock) {
    const backend b = GetParam();
    OFFICERECORDS_NEED_BACKEND(b);
    const auto made = make_database(b);
    const std::string& path = made->path;
    channel locked;
    ASSERT_TRUE(locked.ok());
    pid_t holder = spawn([&] {
        fixed_clock clock(k_today);
        sqlite3* raw = nullptr;
        std::unique_ptr<transaction> connection;
        const bool ok = lock_everything(b, path, raw, connection, clock);
        locked.send(ok ? '1' : '0');
        usleep(300 * 1000);
        if (raw) sqlite3_close_v2(raw);
        return ok ? 0 : 1;
    });
    ASSERT_GT(holder, 0) << "fork failed";
    ASSERT_EQ(locked.receive(), '1');

    fixed_clock clock(k_today);
    auto db = open_database(path, clock);
    EXPECT_TRUE(db.is_ok()) << db.message();
    EXPECT_EQ(wait_for(holder), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, OpeningTheDatabase,
                         ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

// ---- stale edits --------------------------------------------------------------

struct stale_case {
    const char* name;
    // How another program left the record before it is opened; "" for as inserted.
    const char* setup_sql;
    // What another workstation commits while the record is open; "" for nothing.
    const char* other_sql;
    // What this workstation then changes.
    const char* column;
    value typed;
    bool refused;
    // goodsname|goodscount|originvalue|purchasedate|scrapedate afterwards, "" when gone
    const char* stored;
};

const char* const k_set_name =
    "UPDATE tc_og_assetregister SET goodsname = '会议桌（已改）' WHERE commno = '420106001001' "
    "AND orderno = 1";
const char* const k_where_record = " WHERE commno = '420106001001' AND orderno = 1";

std::string on_record(const char* set) {
    return std::string("UPDATE tc_og_assetregister SET ") + set + k_where_record;
}

const stale_case k_stale_cases[] = {
    // The UPDATE names the key and the retrieved values of every column the
    // window writes: any change meanwhile refuses the save, so no rule this
    // workstation checked on its copy can be broken by a merge.
    {"OtherColumnChangedMeanwhile", "", k_set_name, "goodscount", value(7), true,
     "会议桌（已改）|2|860.50|2020-05-01|~\n"},
    {"SameColumnChangedMeanwhile", "", k_set_name, "goodsname", value("办公桌（甲改）"), true,
     "会议桌（已改）|2|860.50|2020-05-01|~\n"},
    // B scraps the asset in 2019; A, who saw no scrap date, moves the
    // purchase to 2020: saved, the row would break the scrap-date rule.
    {"RuleBrokenThroughAnotherChange", "",
     "UPDATE tc_og_assetregister SET scrapedate = '2019-05-01' WHERE commno = '420106001001' "
     "AND orderno = 1",
     "purchasedate", value(*date::parse("2020-01-01")), true, "办公桌|2|860.50|2020-05-01|2019-05-01\n"},
    {"RecordDeletedMeanwhile", "",
     "DELETE FROM tc_og_assetregister WHERE commno = '420106001001' AND orderno = 1", "goodscount",
     value(7), true, ""},
    {"NothingChangedMeanwhile", "", "", "goodscount", value(7), false, "办公桌|7|860.50|2020-05-01|~\n"},
};

// Values another program stored in a form the window would not write them
// in. Only SQLite's untyped columns keep such a form: the server converts
// it on input (a date has no time of day, a numeric(18,2) two fraction
// digits), so there these cases cannot arise.
const stale_case k_odd_form_cases[] = {
    // An edit of that very column is no conflict.
    {"DateStoredWithATime", "purchasedate = '2020-05-01 00:00:00'", "", "purchasedate",
     value(*date::parse("2020-05-03")), false, "办公桌|2|860.50|2020-05-03|~\n"},
    {"MoneyStoredWithMoreDigits", "originvalue = '19960.001'", "", "originvalue",
     value(decimal(1996000, 2)), false, "办公桌|2|19960.00|2020-05-01|~\n"},
    {"MoneyStoredAsABinaryFraction", "originvalue = CAST(0.1 + 0.2 AS REAL)", "", "originvalue",
     value(decimal(30, 2)), false, "办公桌|2|0.30|2020-05-01|~\n"},
    // An untouched odd value stays exactly as it was stored.
    {"OddValuesUntouched", "originvalue = '19960.001', purchasedate = '2020-05-01 08:00:00'", "",
     "goodscount", value(7), false, "办公桌|7|19960.001|2020-05-01 08:00:00|~\n"},
};

void PrintTo(const stale_case& c, std::ostream* os) { *os << c.name; }

std::string stale_name(const ::testing::TestParamInfo<std::tuple<backend, stale_case>>& info) {
    return on(std::get<0>(info.param), std::get<1>(info.param).name);
}

class StaleEdit : public ::testing::TestWithParam<std::tuple<backend, stale_case>> {};

TEST_P(StaleEdit, NeverOverwritesAnotherWorkstationsChange) {
    const backend b = std::get<0>(GetParam());
    const stale_case& c = std::get<1>(GetParam());
    OFFICERECORDS_NEED_BACKEND(b);
    const auto made = make_database(b);
    const std::string& path = made->path;
    // The record as the window would have saved it, in the same forms.
    ASSERT_EQ(run_committed(path,
                            "INSERT INTO tc_og_assetregister (commno, orderno, assetsort, "
                            "goodsname, goodscount, computeunit, originvalue, purchasedate, "
                            "recorder, recorddate, issave) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            {value(k_commno), value(1), value("03"), value("办公桌"), value(2),
                             value("张"), value(decimal(86050, 2)),
                             value(*date::parse("2020-05-01")), value("李秀英"),
                             value(*date::parse("2020-05-02")), value("1")}),
              "");
    if (*c.setup_sql) {
        ASSERT_EQ(run_committed(path, on_record(c.setup_sql)), "");
    }

    // The other workstation is a process of its own, forked while this one
    // holds no connection; it commits its change when the gate opens.
    channel go;
    ASSERT_TRUE(go.ok());
    pid_t other = -1;
    if (*c.other_sql) {
        std::string sql = c.other_sql;
        other = spawn([&go, &path, sql] {
            go.pass_gate();
            std::string why = run_committed(path, sql);
            if (!why.empty()) std::fprintf(stderr, "other workstation: %s\n", why.c_str());
            return why.empty() ? 0 : 1;
        });
        ASSERT_GT(other, 0) << "fork failed";
    }

    // This workstation opens the record from the community's list.
    fixed_clock clock(k_today);
    auto db = open_database(path, clock);
    ASSERT_TRUE(db.is_ok()) << db.message();
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, *db->sqlca, *db->photosqlca, k_commno, {}, &page};
    page.window = "w_m_og_assetregister";
    ASSERT_TRUE(page.dw_1.set_dataobject(d_og_assetregister(), *db->sqlca).is_ok());
    value commno(k_commno);
    ASSERT_EQ(page.dw_1.retrieve("commno = ?", {&commno, 1}, "orderno"), 1);
    page.dw_1.setrow(1);
    w_m_og_assetregister w(s);
    w.open_with(k_mode_modify);
    ASSERT_EQ(w.dw_1.rowcount(), 1);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();

    go.open_gate();
    if (other > 0) {
        ASSERT_EQ(wait_for(other), 0);
    }

    ASSERT_EQ(w.dw_1.setitem(1, c.column, c.typed), 1);
    w.cb_save_clicked();

    if (c.refused) {
        EXPECT_EQ(host.messages.size(), 1u);
        if (!host.messages.empty()) {
            EXPECT_EQ(host.messages[0].rfind("警告信息 | 数据保存失败！", 0), 0u)
                << host.messages[0];
        }
        EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::data_modified)
            << "the refused edit stays on screen";
        EXPECT_EQ(w.dw_1.getitem(1, c.column).to_text(), c.typed.to_text());
    } else {
        EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::not_modified);
    }
    EXPECT_FALSE(db->sqlca->in_transaction()) << "a refused save must not keep the write lock";
    EXPECT_EQ(dump(path,
                   std::string("SELECT goodsname, goodscount, originvalue, purchasedate, "
                               "scrapedate FROM tc_og_assetregister") +
                       k_where_record),
              c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Workstations, StaleEdit,
    ::testing::Combine(::testing::Values(backend::sqlite, backend::postgresql),
                       ::testing::ValuesIn(k_stale_cases)),
    stale_name);
INSTANTIATE_TEST_SUITE_P(OddForms, StaleEdit,
                         ::testing::Combine(::testing::Values(backend::sqlite),
                                            ::testing::ValuesIn(k_odd_form_cases)),
                         stale_name);

}  // namespace
}  // namespace officerecords
