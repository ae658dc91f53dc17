// What adding a record and saving a changed one cost over hand-written
// SQLite code, at every size an asset register grows to, in one run.
//
// For each size (1,000, 100,000 and 1,000,000 asset rows of one community;
// --sizes=1000,100000 runs fewer) two identical databases are built. The
// asset window adds to one, with the community's whole register listed
// behind it as the desktop program's tab lists it; a raw sqlite3 connection
// adds to the other with prepared statements and the same numbering query.
// Both commit every record on its own with WAL and synchronous=FULL. The
// two sides run in interleaved pairs and their medians are compared, so
// that load drifting on the machine cannot favour one side; then the same
// for saving a changed record against a raw UPDATE by key. The summary
// prints each ratio beside its target.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "foundation/session.h"
#include "platform/database.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;

constexpr double k_add_target = 1.5;
constexpr double k_save_target = 1.3;
constexpr int k_save_pairs = 201;
// A save with its history against the same save without.
constexpr double k_history_target = 1.5;

// Fewer pairs where one add takes long; always odd, for a plain median.
int add_pairs(int rows) { return rows <= 10000 ? 201 : rows <= 100000 ? 51 : 21; }

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "add_record_bench: %s\n", why.c_str());
    std::exit(1);
}

// Removed however the program ends, a loud failure included.
fs::path g_scratch;
void remove_scratch() {
    std::error_code ec;
    if (!g_scratch.empty()) fs::remove_all(g_scratch, ec);
}

// ---- what a clerk types -------------------------------------------------------

enum class sql_kind { text, integer, real };

struct typed_item {
    const char* column;
    const char* text;  // as typed into the form
    sql_kind kind;     // how hand-written code binds it
};

// A new asset, typed field by field; the date is today's, so the generic
// check (no date after today) lets it through.
constexpr typed_item k_new_asset[] = {
    {"assetsort", "02", sql_kind::text},
    {"goodsname", "激光打印机", sql_kind::text},
    {"namebrand", "惠普", sql_kind::text},
    {"goodscount", "2", sql_kind::integer},
    {"computeunit", "台", sql_kind::text},
    {"originvalue", "3999.00", sql_kind::real},
    {"purchasedate", "2026-12-01", sql_kind::text},
    {"keepperson", "张建国", sql_kind::text},
    {"recorddate", "2026-12-08", sql_kind::text},
};

// The two names a changed record alternates between.
const char* const k_names[2] = {"多功能复印机（一号）", "多功能复印机（二号）"};

// Types `text` into the column and leaves the field, as a clerk does.
bool type_into(data_window& dw, const char* column, const char* text) {
    dw.setcolumn(dw.column_number(column));
    dw.settext(text);
    return dw.accepttext() == 1;
}

// ---- the window's side --------------------------------------------------------

database open_product(const std::string& path, const clock_source& clock) {
    auto opened = open_database(path, clock);
    if (!opened) fail("open_database: " + opened.message());
    database db = opened.take();
    // Both sides must be equally durable for the comparison to mean anything.
    auto sync = db.sqlca->select_value("PRAGMA synchronous");
    auto journal = db.sqlca->select_value("PRAGMA journal_mode");
    if (!sync || sync->as_double() != 2.0 || !journal || journal->text() != "wal")
        fail("the window's connection is not in WAL mode with synchronous=FULL");
    return db;
}

// The desk a clerk works at: the product's connections, and the community's
// whole register listed on the tab page that record windows read and update.
struct desk {
    bench_host host;
    database db;
    uo_tabpg_datawindow page;
    session sess;

    explicit desk(const std::string& path)
        : db(open_product(path, host)), sess{host,
                                             host,
                                             *db.sqlca,
                                             *db.photosqlca,
                                             k_bench_commno,
                                             fs::temp_directory_path().string(),
                                             &page} {
        if (status st = list_register(page, "w_m_og_assetregister", d_og_assetregister(), sess);
            !st)
            fail("list_register: " + st.message());
    }

    // One clerk's 添加: a new asset window opened in add mode, the fields
    // typed, Save. The desktop program's 添加 builds a new window each time:
    // its record window has no add of its own, and 还原 (cb_roll_clicked)
    // after a save reads the saved record back instead of starting a new
    // one. So the window's making and its code-table reads count too.
    // False when the window said anything or left the record unsaved.
    bool add_record() {
        const std::size_t before = host.messages.size();
        w_m_og_assetregister window(sess);
        window.open_with(k_mode_add);
        for (const typed_item& item : k_new_asset)
            if (!type_into(window.dw_1, item.column, item.text)) return false;
        window.cb_save_clicked();
        return host.messages.size() == before && window.dw_1.rowcount() == 1 &&
               window.dw_1.getitemstatus(1, 0) == row_status::not_modified;
    }

    std::int64_t query_number(const char* sql) {
        auto v = db.sqlca->select_value(sql);
        if (!v || !v->as_double()) fail(std::string(sql) + ": " + db.sqlca->sqlerrtext());
        return static_cast<std::int64_t>(*v->as_double());
    }
};

// A clerk's 修改 of one listed record: the window stays open on it, and
// each round changes the asset's name and saves.
struct modify_window {
    desk& d;
    w_m_og_assetregister window;

    modify_window(desk& owner, long list_row) : d(owner), window(owner.sess) {
        if (d.page.dw_1.setrow(list_row) != 1) fail("no list row " + std::to_string(list_row));
        window.open_with(k_mode_modify);
        if (window.dw_1.rowcount() != 1 || !d.host.messages.empty())
            fail("the modify window did not open the listed record");
    }

    bool change_and_save(const char* goodsname) {
        const std::size_t before = d.host.messages.size();
        if (!type_into(window.dw_1, "goodsname", goodsname)) return false;
        window.cb_save_clicked();
        return d.host.messages.size() == before &&
               window.dw_1.getitemstatus(1, 0) == row_status::not_modified;
    }
};

// ---- the raw side -------------------------------------------------------------

// Hand-written code for the same two jobs: one connection, every statement
// prepared once, each record committed on its own.
class raw_register {
public:
    explicit raw_register(const std::string& path) : db_(open_raw(path, "FULL")) {
        std::string names = "commno, orderno, issave", marks = "?, ?, '1'";
        for (const typed_item& item : k_new_asset) {
            names += std::string(", ") + item.column;
            marks += ", ?";
        }
        begin_ = prepare("BEGIN IMMEDIATE");
        commit_ = prepare("COMMIT");
        highest_ = prepare("SELECT MAX(orderno) FROM tc_og_assetregister");
        insert_ = prepare("INSERT INTO tc_og_assetregister (" + names + ") VALUES (" + marks + ")");
        update_ = prepare(
            "UPDATE tc_og_assetregister SET goodsname = ? WHERE commno = ? AND orderno = ?");
        if (number("PRAGMA synchronous") != 2) fail("the raw connection is not synchronous=FULL");
    }
    ~raw_register() {
        for (sqlite3_stmt* s : {begin_, commit_, highest_, insert_, update_}) sqlite3_finalize(s);
        sqlite3_close_v2(db_);
    }
    raw_register(const raw_register&) = delete;
    raw_register& operator=(const raw_register&) = delete;

    void add() {
        run(begin_, "begin");
        check_sqlite(sqlite3_step(highest_), db_, "max");
        const std::int64_t next = sqlite3_column_int64(highest_, 0) + 1;
        sqlite3_reset(highest_);
        sqlite3_bind_text(insert_, 1, k_bench_commno, -1, SQLITE_STATIC);
        sqlite3_bind_int64(insert_, 2, next);
        int k = 3;
        for (const typed_item& item : k_new_asset) {
            switch (item.kind) {
                case sql_kind::text:
                    sqlite3_bind_text(insert_, k++, item.text, -1, SQLITE_STATIC);
                    break;
                case sql_kind::integer:
                    sqlite3_bind_int64(insert_, k++, std::atoll(item.text));
                    break;
                case sql_kind::real:
                    sqlite3_bind_double(insert_, k++, std::atof(item.text));
                    break;
            }
        }
        run(insert_, "insert");
        run(commit_, "commit");
    }

    void change(std::int64_t orderno, const char* goodsname) {
        run(begin_, "begin");
        sqlite3_bind_text(update_, 1, goodsname, -1, SQLITE_STATIC);
        sqlite3_bind_text(update_, 2, k_bench_commno, -1, SQLITE_STATIC);
        sqlite3_bind_int64(update_, 3, orderno);
        run(update_, "update");
        if (sqlite3_changes(db_) != 1) fail("the raw UPDATE changed no row");
        run(commit_, "commit");
    }

    std::int64_t number(const std::string& sql) {
        sqlite3_stmt* s = prepare(sql);
        check_sqlite(sqlite3_step(s), db_, sql.c_str());
        const std::int64_t n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return n;
    }

private:
    sqlite3_stmt* prepare(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        check_sqlite(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), db_, sql.c_str());
        return s;
    }
    void run(sqlite3_stmt* s, const char* what) {
        check_sqlite(sqlite3_step(s), db_, what);
        sqlite3_reset(s);
    }

    sqlite3* db_;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* highest_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* update_ = nullptr;
};

// ---- one size -----------------------------------------------------------------

struct result_row {
    const char* job;
    int rows;
    int pairs;
    pair_timing t;
    double target;
};

std::string grouped(long long n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Both registers hold rows + added records, numbered 1.. without a gap.
void verify_added(desk& d, raw_register& raw, int rows, int added) {
    const std::int64_t want = static_cast<std::int64_t>(rows) + added;
    const char* count = "SELECT count(*) FROM tc_og_assetregister";
    const char* highest = "SELECT MAX(orderno) FROM tc_og_assetregister";
    if (d.query_number(count) != want || d.query_number(highest) != want)
        fail("the window's register holds " + grouped(d.query_number(count)) + " rows, not " +
             grouped(want));
    if (raw.number(count) != want || raw.number(highest) != want)
        fail("the raw register holds " + grouped(raw.number(count)) + " rows, not " +
             grouped(want));
    if (d.page.dw_1.rowcount() != want) fail("the list was not refreshed with every new record");
}

void verify_changed(desk& d, raw_register& raw, std::int64_t orderno, const char* name) {
    const std::string sql =
        "SELECT count(*) FROM tc_og_assetregister WHERE orderno = " + std::to_string(orderno) +
        " AND goodsname = '" + name + "'";
    if (d.query_number(sql.c_str()) != 1 || raw.number(sql) != 1)
        fail("record " + std::to_string(orderno) + " does not hold the last name saved");
}

void run_size(const fs::path& dir, int rows, std::vector<result_row>& out) {
    const std::string window_path = (dir / ("window_" + std::to_string(rows) + ".db")).string();
    const std::string raw_path = (dir / ("raw_" + std::to_string(rows) + ".db")).string();
    bench_host builder;
    const timing built = time_of([&] {
        build_asset_database(window_path, rows, builder);
        fs::copy_file(window_path, raw_path);
    });
    std::printf("%s rows: databases built in %.1f s", grouped(rows).c_str(), built.wall);
    std::fflush(stdout);
    {
        std::optional<desk> opened;
        const timing listed = time_of([&] { opened.emplace(window_path); });
        std::printf(", listed in %.1f s", listed.wall);
        std::fflush(stdout);
        desk& d = *opened;
        raw_register raw(raw_path);
        if (d.page.dw_1.rowcount() != rows) fail("the list does not hold the whole community");

        // Warm-up: statements prepared, pages cached on both sides.
        if (!d.add_record())
            fail("warm-up add: " + (d.host.messages.empty() ? std::string("record left unsaved")
                                                            : d.host.messages.back()));
        raw.add();
        const int pairs = add_pairs(rows);
        bool ok = true;
        const pair_timing add = interleaved(
            pairs, [&](int) { ok = d.add_record() && ok; }, [&](int) { raw.add(); }, sync_phase);
        if (!ok || !d.host.messages.empty())
            fail("an add failed: " + (d.host.messages.empty() ? std::string("record left unsaved")
                                                              : d.host.messages.front()));
        verify_added(d, raw, rows, pairs + 1);
        out.push_back({"add", rows, pairs, add, k_add_target});

        // The list runs 1..rows in key order, so list row n is record n.
        const std::int64_t record = (rows + 1) / 2;
        modify_window m(d, static_cast<long>(record));
        if (!m.change_and_save(k_names[1])) fail("warm-up save failed");
        raw.change(record, k_names[1]);
        const pair_timing save = interleaved(
            k_save_pairs, [&](int i) { ok = m.change_and_save(k_names[i & 1]) && ok; },
            [&](int i) { raw.change(record, k_names[i & 1]); }, sync_phase);
        if (!ok || !d.host.messages.empty())
            fail("a save failed: " + (d.host.messages.empty() ? std::string("record left unsaved")
                                                              : d.host.messages.front()));
        verify_changed(d, raw, record, k_names[(k_save_pairs - 1) & 1]);
        out.push_back({"save", rows, k_save_pairs, save, k_save_target});

        // What keeping the history costs a save: the same save with and
        // without it, interleaved ("raw" here is the save without).
        // Each save changes the name, whichever side runs it.
        int saves = 0;
        const pair_timing history = interleaved(
            k_save_pairs,
            [&](int) {
                d.sess.keep_history = true;
                ok = m.change_and_save(k_names[++saves & 1]) && ok;
            },
            [&](int) {
                d.sess.keep_history = false;
                ok = m.change_and_save(k_names[++saves & 1]) && ok;
            },
            sync_phase);
        d.sess.keep_history = true;
        if (!ok) fail("a save with or without its history failed");
        out.push_back({"history", rows, k_save_pairs, history, k_history_target});
    }
    std::printf(", measured\n");
    std::error_code ec;
    for (const std::string& p : {window_path, raw_path})
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(p + suffix, ec);
}

// ---- summary ------------------------------------------------------------------

void print_summary(const std::vector<result_row>& results) {
    std::printf(
        "\nSummary: asset rows of one community; medians of interleaved pairs; both sides\n"
        "commit each record, WAL + synchronous=FULL; ratio = window / raw sqlite3 (wall);\n"
        "for history the ratio is a save with its history / the same save without\n\n");
    std::printf("%-5s %10s %6s %11s %11s %7s %7s %7s | %11s %11s %7s\n", "job", "rows", "pairs",
                "window", "raw", "ratio", "target", "result", "window cpu", "raw cpu", "ratio");
    for (const result_row& r : results) {
        const double ratio = r.t.window.wall / r.t.raw.wall;
        const double cpu = r.t.raw.cpu > 0 ? r.t.window.cpu / r.t.raw.cpu : 0;
        std::printf("%-5s %10s %6d %11s %11s %6.2fx %6.1fx %7s | %11s %11s %6.2fx\n", r.job,
                    grouped(r.rows).c_str(), r.pairs, duration(r.t.window.wall).c_str(),
                    duration(r.t.raw.wall).c_str(), ratio, r.target,
                    ratio <= r.target ? "PASS" : "FAIL", duration(r.t.window.cpu).c_str(),
                    duration(r.t.raw.cpu).c_str(), cpu);
    }
    std::printf(
        "\nThe verdict is on wall time, which includes each commit's sync; the CPU columns\n"
        "(this thread's user + system time) show the work each side does around it.\n");
}

// --sizes=1000,100000; nothing for an argument that is not understood.
std::optional<std::vector<int>> parse_sizes(int argc, char** argv) {
    std::vector<int> sizes = {1000, 100000, 1000000};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view flag = "--sizes=";
        if (arg.substr(0, flag.size()) != flag) return std::nullopt;
        sizes.clear();
        std::string list(arg.substr(flag.size()));
        for (char* p = list.data(); *p;) {
            char* end = nullptr;
            const long n = std::strtol(p, &end, 10);
            if (end == p || n < 1 || n > 100000000 || (*end && *end != ',')) return std::nullopt;
            sizes.push_back(static_cast<int>(n));
            p = *end ? end + 1 : end;
        }
        if (sizes.empty()) return std::nullopt;
    }
    return sizes;
}

}  // namespace
}  // namespace officerecords

int main(int argc, char** argv) {
    using namespace officerecords;
    const auto sizes = parse_sizes(argc, argv);
    if (!sizes) {
        std::fprintf(stderr, "usage: %s [--sizes=1000,100000,1000000]\n", argv[0]);
        return 2;
    }
    g_scratch = scratch_folder("officerecords_add_bench_");
    std::atexit(remove_scratch);
    std::vector<result_row> results;
    for (int rows : *sizes) run_size(g_scratch, rows, results);
    print_summary(results);
    return 0;
}
