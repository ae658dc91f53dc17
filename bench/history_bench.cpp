#include "bench/history_bench.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "activities/commactivityrecord.h"
#include "bench/bench_support.h"
#include "storage/database.h"
#include "storage/record_history.h"

namespace officerecords {

namespace {

// The activity whose history is read: its number has longer ones (10,
// 100, ...) beside it, whose keys start with the same digits.
constexpr int k_activity = 1;
// Photo changes per activity, and items per change.
constexpr int k_changes_each = 10;
constexpr int k_items = 3;

// A database with `changes` photo changes spread over changes / 10
// activities of the bench community, each of three items, and the
// activity's own five changes.
void build_history(const std::string& path, int changes, const clock_source& clock) {
    if (status st = create_database(path, clock); !st) perf_fail(st.message());
    sqlite3* db = open_raw(path, "OFF");
    check_sqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt *change = nullptr, *item = nullptr;
    check_sqlite(sqlite3_prepare_v2(db,
                                    "INSERT INTO tc_og_changelog (logno, changetime, workstation, osuser, commno, "
                                    "windowname, tablename, recordkey, changekind, ischecked, dbuser) VALUES (?, "
                                    "'2026-12-08 10:00:00', '前台', 'clerk', ?, ?, ?, ?, '修改', '1', '')",
                                    -1, &change, nullptr),
                 db, "prepare");
    check_sqlite(sqlite3_prepare_v2(db,
                                    "INSERT INTO tc_og_changelog_item (logno, itemno, columnname, oldvalue, newvalue) "
                                    "VALUES (?, ?, ?, '旧的说明', '新的说明')",
                                    -1, &item, nullptr),
                 db, "prepare");
    std::int64_t logno = 0;
    auto add = [&](const char* window, const char* table, const std::string& key, const char* column) {
        ++logno;
        sqlite3_bind_int64(change, 1, logno);
        sqlite3_bind_text(change, 2, k_bench_commno, -1, SQLITE_STATIC);
        sqlite3_bind_text(change, 3, window, -1, SQLITE_STATIC);
        sqlite3_bind_text(change, 4, table, -1, SQLITE_STATIC);
        sqlite3_bind_text(change, 5, key.c_str(), -1, SQLITE_TRANSIENT);
        check_sqlite(sqlite3_step(change), db, "insert");
        sqlite3_reset(change);
        for (int i = 1; i <= k_items; ++i) {
            sqlite3_bind_int64(item, 1, logno);
            sqlite3_bind_int(item, 2, i);
            sqlite3_bind_text(item, 3, column, -1, SQLITE_STATIC);
            check_sqlite(sqlite3_step(item), db, "insert");
            sqlite3_reset(item);
        }
    };
    const std::string own = "commno=" + std::string(k_bench_commno) + ";orderno=" + std::to_string(k_activity);
    for (int i = 0; i < 5; ++i) add("w_m_og_commactivityrecord", "tc_og_commactivityrecord", own, "activityaddr");
    for (int i = 0; i < changes; ++i) {
        const int activity = 1 + i % std::max(1, changes / k_changes_each);
        const int photo = 1 + i / std::max(1, changes / k_changes_each);
        add("w_m_og_commactivityrecord_pic", "TS_CommActivePhoto",
            "OrderNo=" + std::to_string(activity) + ";PhotoNo=" + std::to_string(photo), "PhotoNote");
    }
    sqlite3_finalize(change);
    sqlite3_finalize(item);
    check_sqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    check_sqlite(sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr), db, "analyze");
    sqlite3_close(db);
}

// The history's statement as hand-written code would run it: the record's
// own changes and its photos' by a range of the key index.
std::size_t best_query(sqlite3* db, const std::string& own) {
    static const char* sql =
        "SELECT c.logno, c.changetime, c.workstation, c.osuser, c.windowname, c.changekind, c.ischecked, "
        "i.columnname, i.oldvalue, i.newvalue, c.recordkey, c.tablename, c.dbuser, c.commno "
        "FROM tc_og_changelog c JOIN tc_og_changelog_item i ON i.logno = c.logno "
        "WHERE (c.tablename = ? AND c.recordkey = ?) OR (c.tablename = ? AND c.commno = ? AND "
        "c.recordkey >= ? AND c.recordkey < ?) ORDER BY c.logno DESC, i.itemno";
    sqlite3_stmt* s = nullptr;
    check_sqlite(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, "prepare");
    const std::string from = "OrderNo=" + std::to_string(k_activity) + ";";
    const std::string to = "OrderNo=" + std::to_string(k_activity) + "<";
    sqlite3_bind_text(s, 1, "tc_og_commactivityrecord", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, own.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 3, "TS_CommActivePhoto", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 4, k_bench_commno, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 5, from.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 6, to.c_str(), -1, SQLITE_STATIC);
    std::vector<std::string> kept;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        for (int i = 0; i < 14; ++i)
            if (const unsigned char* text = sqlite3_column_text(s, i)) kept.emplace_back(reinterpret_cast<const char*>(text));
    check_sqlite(rc, db, "step");
    sqlite3_finalize(s);
    return kept.size() / 14;
}

}  // namespace

void record_histories(const std::string& folder, const std::vector<int>& changes, int rounds,
                      std::vector<measurement>& out) {
    bench_host host;
    for (int n : changes) {
        const std::string path = folder + "/history_" + std::to_string(n) + ".db";
        build_history(path, n, host);
        auto opened = open_database(path, host);
        if (!opened) perf_fail(opened.message());
        database product = opened.take();
        sqlite3* raw = open_raw(path);
        const dw_object& form = d_og_commactivityrecord();
        const std::string key = history_key(form, {value(k_bench_commno), value(k_activity)});
        const std::size_t want = static_cast<std::size_t>(5 + k_changes_each) * k_items;
        measurement m{"an activity's history (w_m_og_commactivityrecord 1)", std::to_string(n) + " photo changes",
                      "SQLite", "ms", {}, {}, "SQLite running the best query (index range on the key)", 1.2,
                      "15 changes of 3 items read among all"};
        for (int i = 0; i < rounds; ++i) {
            m.ours.push_back(time_of([&] {
                                 auto lines = record_history(*product.sqlca, form, key);
                                 if (!lines) perf_fail(lines.message());
                                 if (lines->size() != want)
                                     perf_fail("the history has " + std::to_string(lines->size()) + " lines, not " +
                                          std::to_string(want));
                             }).wall *
                             1e3);
            m.anchor.push_back(time_of([&] {
                                   if (best_query(raw, key) != want) perf_fail("the best query read other lines");
                               }).wall *
                               1e3);
        }
        out.push_back(m);
        sqlite3_close(raw);
    }
}

}  // namespace officerecords
