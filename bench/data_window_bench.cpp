// What the data window costs over hand-written SQLite code, in one run.
//
// Three pairs on one database of 100,000 asset rows of one community:
// retrieving every row into the data window against a raw sqlite3 loop over
// the same SELECT into plain structs; the heap bytes each keeps per row; and
// a clerk's checked save of one changed record against a raw committed
// UPDATE. The summary at the end prints the ratios beside their targets,
// once from the benchmark figures and once from interleaved pairs (median),
// which drifting machine load cannot skew towards one side. For information
// only, the save is also timed with the whole community listed behind the
// window, which every save refreshes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "finance/assetregister.h"
#include "foundation/session.h"
#include "platform/database.h"

// ---- heap accounting ----------------------------------------------------------

// Live heap bytes as the allocator hands them out (usable size, so rounding
// counts against whoever asked). SQLite allocates with malloc and is not
// counted: only the rows each side keeps are compared.
namespace {
std::atomic<long long> g_live_bytes{0};
std::atomic<long long> g_live_blocks{0};
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    g_live_bytes.fetch_add(static_cast<long long>(malloc_usable_size(p)),
                           std::memory_order_relaxed);
    g_live_blocks.fetch_add(1, std::memory_order_relaxed);
    return p;
}

// GCC pairs this free() with the replaced operator new above by name, not
// by what it calls (malloc), and reports a mismatch that is not there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    g_live_bytes.fetch_sub(static_cast<long long>(malloc_usable_size(p)),
                           std::memory_order_relaxed);
    g_live_blocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}
#pragma GCC diagnostic pop

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace officerecords {
namespace {

namespace fs = std::filesystem;

constexpr int k_rows = 100000;
constexpr const char* k_commno = k_bench_commno;
// The records the two save benchmarks change: different rows, so that the
// raw UPDATE never makes the window's record stale.
constexpr std::int64_t k_frame_record = 50000;
constexpr std::int64_t k_raw_record = 50001;

constexpr double k_retrieve_target = 1.5;
constexpr double k_memory_target = 1.5;
constexpr double k_save_target = 1.3;

// ---- the database -------------------------------------------------------------

// The temp database, its connections and the SELECT both retrieves run.
struct bench_env {
    fs::path dir;
    std::string path;
    bench_host host;
    database db;
    std::string select;  // what the data window runs for "commno = ?" by orderno
    std::vector<value> params{value(k_commno)};

    bench_env() {
        dir = scratch_folder("officerecords_bench_");
        path = (dir / "office.db").string();
        build_asset_database(path, k_rows, host);
        auto opened = open_database(path, host);
        if (!opened) {
            std::fprintf(stderr, "open_database: %s\n", opened.message().c_str());
            std::exit(1);
        }
        db = opened.take();
        // The same text data_window::wrapped_select builds.
        select = "SELECT * FROM (" + d_og_assetregister().select +
                 ") q WHERE commno = ? ORDER BY orderno";
    }
    ~bench_env() {
        db.sqlca.reset();
        db.photosqlca.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

bench_env* g_env = nullptr;

bench_env& env() {
    if (!g_env) g_env = new bench_env();
    return *g_env;
}

// ---- retrieve -----------------------------------------------------------------


std::string column_string(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    if (!p) return {};
    return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i)));
}

void raw_retrieve(sqlite3* db, const std::string& sql, std::vector<raw_asset>& out) {
    sqlite3_stmt* s = nullptr;
    check_sqlite(sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr), db,
                 "prepare select");
    sqlite3_bind_text(s, 1, k_commno, -1, SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        raw_asset& a = out.emplace_back();
        a.commno = column_string(s, 0);
        a.orderno = sqlite3_column_int64(s, 1);
        a.assetsort = column_string(s, 2);
        a.goodsname = column_string(s, 3);
        a.namebrand = column_string(s, 4);
        a.goodstype = column_string(s, 5);
        a.goodscount = sqlite3_column_int64(s, 6);
        a.computeunit = column_string(s, 7);
        a.originvalue = sqlite3_column_double(s, 8);
        a.purchasedate = column_string(s, 9);
        a.keepperson = column_string(s, 10);
        a.scrapedate = column_string(s, 11);
        a.recorder = column_string(s, 12);
        a.recorddate = column_string(s, 13);
        a.issave = column_string(s, 14);
        a.note = column_string(s, 15);
        a.prepare1 = column_string(s, 16);
        a.prepare2 = sqlite3_column_double(s, 17);
        a.prepare3 = column_string(s, 18);
        a.prepare4 = column_string(s, 19);
        a.prepare5 = sqlite3_column_double(s, 20);
        a.prepare6 = column_string(s, 21);
    }
    check_sqlite(rc, db, "step");
    sqlite3_finalize(s);
}

long dw_retrieve(data_window& dw) {
    bench_env& e = env();
    return dw.retrieve("commno = ?", e.params, "orderno");
}

struct memory_use {
    double bytes_per_row = 0;
    double blocks_per_row = 0;
};

// Live heap after minus before, around a retrieve into a window that has
// never held rows (so no capacity is left over from an earlier retrieve).
memory_use measure_dw_memory() {
    bench_env& e = env();
    auto dw = std::make_unique<data_window>();
    (void)dw->set_dataobject(d_og_assetregister(), *e.db.sqlca);
    const long long bytes = g_live_bytes.load(), blocks = g_live_blocks.load();
    const long n = dw_retrieve(*dw);
    memory_use m;
    m.bytes_per_row = static_cast<double>(g_live_bytes.load() - bytes) / static_cast<double>(n);
    m.blocks_per_row = static_cast<double>(g_live_blocks.load() - blocks) / static_cast<double>(n);
    return m;
}

memory_use measure_raw_memory(sqlite3* db) {
    bench_env& e = env();
    const long long bytes = g_live_bytes.load(), blocks = g_live_blocks.load();
    auto rows = std::make_unique<std::vector<raw_asset>>();
    rows->reserve(k_rows);
    raw_retrieve(db, e.select, *rows);
    memory_use m;
    const auto n = static_cast<double>(rows->size());
    m.bytes_per_row = static_cast<double>(g_live_bytes.load() - bytes) / n;
    m.blocks_per_row = static_cast<double>(g_live_blocks.load() - blocks) / n;
    return m;
}

std::optional<memory_use> g_dw_memory, g_raw_memory;

void BM_DataWindowRetrieve(benchmark::State& state) {
    bench_env& e = env();
    data_window dw;
    if (status st = dw.set_dataobject(d_og_assetregister(), *e.db.sqlca); !st) {
        state.SkipWithError(st.message().c_str());
        return;
    }
    if (dw_retrieve(dw) != k_rows) {  // warm-up: pages cached, statement prepared
        state.SkipWithError(("retrieve failed: " + dw.last_error()).c_str());
        return;
    }
    for (auto _ : state) {
        long n = dw_retrieve(dw);
        benchmark::DoNotOptimize(n);
        if (n != k_rows) state.SkipWithError("short retrieve");
    }
    state.SetItemsProcessed(state.iterations() * k_rows);
    g_dw_memory = measure_dw_memory();
    state.counters["bytes_per_row"] = g_dw_memory->bytes_per_row;
    state.counters["blocks_per_row"] = g_dw_memory->blocks_per_row;
}

void BM_RawRetrieve(benchmark::State& state) {
    bench_env& e = env();
    sqlite3* db = open_raw(e.path);
    {
        std::vector<raw_asset> warm;
        warm.reserve(k_rows);
        raw_retrieve(db, e.select, warm);
        if (warm.size() != k_rows) state.SkipWithError("short raw retrieve");
    }
    // Reserved once and refilled, as the data window keeps its row vector
    // between retrieves: neither side pays for fresh pages per retrieve.
    std::vector<raw_asset> rows;
    rows.reserve(k_rows);
    for (auto _ : state) {
        rows.clear();
        raw_retrieve(db, e.select, rows);
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * k_rows);
    g_raw_memory = measure_raw_memory(db);
    state.counters["bytes_per_row"] = g_raw_memory->bytes_per_row;
    state.counters["blocks_per_row"] = g_raw_memory->blocks_per_row;
    sqlite3_close_v2(db);
}

// ---- save ---------------------------------------------------------------------

// A record window in "修改" on one record, opened from the community's list
// as the host does when a clerk double-clicks a list row. The list holds
// only that record unless `whole_list` asks for all the community's rows.
struct open_record {
    uo_tabpg_datawindow page;
    session sess;
    w_m_og_assetregister window;
    bool listed = false;

    open_record(bench_env& e, std::int64_t orderno, bool whole_list = false)
        : sess{e.host, e.host, *e.db.sqlca, *e.db.photosqlca, k_commno, fs::temp_directory_path().string(),
               &page},
          window(sess) {
        page.window = "w_m_og_assetregister";
        std::vector<value> key{value(k_commno), value(orderno)};
        if (!page.dw_1.set_dataobject(d_og_assetregister(), *e.db.sqlca)) return;
        if (whole_list) {
            // Record numbers run 1..k_rows in list order.
            listed = page.dw_1.retrieve("commno = ?", e.params, "orderno") == k_rows &&
                     page.dw_1.setrow(static_cast<long>(orderno)) == 1;
        } else {
            listed = page.dw_1.retrieve("commno = ? AND orderno = ?", key, "orderno") == 1 &&
                     page.dw_1.setrow(1) == 1;
        }
        if (listed) window.open_with(k_mode_modify);
    }

    // One clerk's edit and Save; false when the window said anything.
    bool edit_and_save(bench_env& e, const char* goodsname) {
        const std::size_t before = e.host.messages.size();
        window.dw_1.setitem(1, "goodsname", value(goodsname));
        window.cb_save_clicked();
        return e.host.messages.size() == before &&
               window.dw_1.getitemstatus(1, 0) == row_status::not_modified;
    }
};

const char* const k_names[2] = {"激光打印机（一号）", "激光打印机（二号）"};

void frame_save(benchmark::State& state, bool whole_list) {
    bench_env& e = env();
    e.host.messages.clear();
    open_record rec(e, k_frame_record, whole_list);
    if (!rec.listed || rec.window.dw_1.rowcount() != 1 || !e.host.messages.empty()) {
        state.SkipWithError("the record window did not open the record");
        return;
    }
    if (!rec.edit_and_save(e, k_names[1])) {  // warm-up: statements prepared
        state.SkipWithError(("warm-up save failed: " + e.host.messages.back()).c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        if (!rec.edit_and_save(e, k_names[i++ & 1])) {
            state.SkipWithError(e.host.messages.empty() ? "save left the row modified"
                                                        : e.host.messages.back().c_str());
            break;
        }
    }
    state.counters["messages"] = static_cast<double>(e.host.messages.size());
}

void BM_FrameSave(benchmark::State& state) { frame_save(state, false); }

// For information: the same save when the list behind the window holds the
// whole community, which the save refreshes afterwards.
void BM_FrameSaveWholeList(benchmark::State& state) { frame_save(state, true); }

struct raw_saver {
    sqlite3* db;
    sqlite3_stmt* update = nullptr;

    explicit raw_saver(const std::string& path) : db(open_raw(path)) {
        check_sqlite(sqlite3_prepare_v2(db,
                                        "UPDATE tc_og_assetregister SET goodsname = ? "
                                        "WHERE commno = ? AND orderno = ?",
                                        -1, &update, nullptr),
                     db, "prepare update");
    }
    ~raw_saver() {
        sqlite3_finalize(update);
        sqlite3_close_v2(db);
    }

    void save(const char* goodsname) {
        check_sqlite(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
        sqlite3_bind_text(update, 1, goodsname, -1, SQLITE_STATIC);
        sqlite3_bind_text(update, 2, k_commno, -1, SQLITE_STATIC);
        sqlite3_bind_int64(update, 3, k_raw_record);
        check_sqlite(sqlite3_step(update), db, "update");
        sqlite3_reset(update);
        if (sqlite3_changes(db) != 1) {
            std::fprintf(stderr, "raw update changed %d rows\n", sqlite3_changes(db));
            std::exit(1);
        }
        check_sqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    }
};

void BM_RawUpdate(benchmark::State& state) {
    raw_saver raw(env().path);
    raw.save(k_names[1]);
    int i = 0;
    for (auto _ : state) raw.save(k_names[i++ & 1]);
}

BENCHMARK(BM_DataWindowRetrieve)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RawRetrieve)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_FrameSave)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_RawUpdate)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_FrameSaveWholeList)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

// ---- summary ------------------------------------------------------------------

// Keeps each benchmark's times per iteration (the median when repeated)
// while the console shows the usual table.
class capturing_reporter final : public benchmark::ConsoleReporter {
public:
    explicit capturing_reporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred || r.iterations == 0) continue;
            const std::string name = r.run_name.function_name;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Aggregate && !median) continue;
            if (median || !times.count(name)) {
                const auto n = static_cast<double>(r.iterations);
                times[name] = {r.real_accumulated_time / n, r.cpu_accumulated_time / n};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, timing> times;
};

pair_timing interleaved_retrieve(int rounds) {
    bench_env& e = env();
    data_window dw;
    (void)dw.set_dataobject(d_og_assetregister(), *e.db.sqlca);
    sqlite3* db = open_raw(e.path);
    std::vector<raw_asset> rows;
    rows.reserve(k_rows);
    dw_retrieve(dw);
    raw_retrieve(db, e.select, rows);
    const pair_timing t = interleaved(
        rounds, [&](int) { benchmark::DoNotOptimize(dw_retrieve(dw)); },
        [&](int) {
            rows.clear();
            raw_retrieve(db, e.select, rows);
            benchmark::DoNotOptimize(rows.data());
        });
    sqlite3_close_v2(db);
    return t;
}

std::optional<pair_timing> interleaved_save(int rounds) {
    bench_env& e = env();
    e.host.messages.clear();
    open_record rec(e, k_frame_record);
    raw_saver raw(e.path);
    if (!rec.listed || !rec.edit_and_save(e, k_names[1])) return std::nullopt;
    raw.save(k_names[1]);
    bool ok = true;
    const pair_timing t = interleaved(
        rounds, [&](int i) { ok = rec.edit_and_save(e, k_names[i & 1]) && ok; },
        [&](int i) { raw.save(k_names[i & 1]); });
    if (!ok) return std::nullopt;
    return t;
}

const char* verdict(double ratio, double target) { return ratio <= target ? "met" : "MISSED"; }

void print_ratio(const char* what, const pair_timing& t, const char* unit, double scale,
                 double target) {
    const double wall = t.window.wall / t.raw.wall, cpu = t.window.cpu / t.raw.cpu;
    std::printf(
        "  %-16s wall: window %8.2f %s, raw %8.2f %s = %4.2fx | cpu: window %8.2f %s, "
        "raw %8.2f %s = %4.2fx | target <= %.1fx: %s (wall), %s (cpu)\n",
        what, t.window.wall * scale, unit, t.raw.wall * scale, unit, wall, t.window.cpu * scale,
        unit, t.raw.cpu * scale, unit, cpu, target, verdict(wall, target), verdict(cpu, target));
}

void print_summary(const capturing_reporter& rep) {
    auto pair = [&](const char* window, const char* raw) -> std::optional<pair_timing> {
        auto w = rep.times.find(window), r = rep.times.find(raw);
        if (w == rep.times.end() || r == rep.times.end()) return std::nullopt;
        return pair_timing{w->second, r->second};
    };
    std::printf("\nSummary: %d asset rows of one community; ratio = data window / raw sqlite3\n",
                k_rows);
    auto retrieve = pair("BM_DataWindowRetrieve", "BM_RawRetrieve");
    auto save = pair("BM_FrameSave", "BM_RawUpdate");
    std::printf(" from the benchmarks above:\n");
    if (retrieve) print_ratio("retrieve", *retrieve, "ms", 1e3, k_retrieve_target);
    if (save) print_ratio("save one record", *save, "us", 1e6, k_save_target);

    if (auto whole = rep.times.find("BM_FrameSaveWholeList"); whole != rep.times.end())
        std::printf(
            "  %-16s wall: window %8.2f us with the whole community listed (%d rows), "
            "for information\n",
            "save one record", whole->second.wall * 1e6, k_rows);
    if (retrieve || save)
        std::printf(" interleaved pairs, median (retrieve 9 pairs, save 501 pairs):\n");
    if (retrieve) print_ratio("retrieve", interleaved_retrieve(9), "ms", 1e3, k_retrieve_target);
    if (save) {
        if (auto t = interleaved_save(501))
            print_ratio("save one record", *t, "us", 1e6, k_save_target);
        else
            std::printf("  save one record: the window's save failed: %s\n",
                        env().host.messages.empty() ? "row left modified"
                                                    : env().host.messages.back().c_str());
    }
    if (g_dw_memory && g_raw_memory) {
        const double ratio = g_dw_memory->bytes_per_row / g_raw_memory->bytes_per_row;
        std::printf(" memory held per row (live heap after retrieve minus before):\n");
        std::printf(
            "  %-16s window %6.1f B/row (%.2f blocks), raw %6.1f B/row (%.2f blocks; "
            "struct %zu B) = %4.2fx | target <= %.1fx: %s\n",
            "bytes per row", g_dw_memory->bytes_per_row, g_dw_memory->blocks_per_row,
            g_raw_memory->bytes_per_row, g_raw_memory->blocks_per_row, sizeof(raw_asset), ratio,
            k_memory_target, verdict(ratio, k_memory_target));
    }
}

}  // namespace
}  // namespace officerecords

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    officerecords::capturing_reporter reporter(isatty(fileno(stdout))
                                                   ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    officerecords::print_summary(reporter);
    benchmark::Shutdown();
    delete officerecords::g_env;
    return 0;
}
