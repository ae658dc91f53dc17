// What the benchmarks share: a host that shows nothing, raw sqlite3
// connections set up as the backend sets up its own, a filler that builds an
// asset register of any size quickly, and the timing of interleaved pairs.
//
// Every helper here ends the program with a message on stderr when the
// database refuses something: a benchmark that measured a failure would
// print a figure that means nothing.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/host_services.h"
#include "foundation/transaction.h"

namespace officerecords {

// An asset row as hand-written code would keep it, the anchor of the
// retrieve benchmarks: text as std::string (dates too, as the databases
// send them), whole numbers as int64, money as double; null reads as empty.
struct raw_asset {
    std::string commno;
    std::int64_t orderno = 0;
    std::string assetsort, goodsname, namebrand, goodstype;
    std::int64_t goodscount = 0;
    std::string computeunit;
    double originvalue = 0;
    std::string purchasedate, keepperson, scrapedate, recorder, recorddate, issave, note;
    std::string prepare1;
    double prepare2 = 0;
    std::string prepare3, prepare4;
    double prepare5 = 0;
    std::string prepare6;
};

// The community every filled record belongs to.
inline constexpr const char* k_bench_commno = "420106001001";

// The least a record window needs from its host: answers no, shows nothing,
// and remembers every message so a benchmark can prove none was shown.
class bench_host final : public host_services, public clock_source {
public:
    void message_box(std::string_view title, std::string_view text, icon) override;
    bool question(std::string_view, std::string_view, bool) override { return false; }
    unsaved_choice ask_unsaved(std::string_view, std::string_view) override {
        return unsaved_choice::discard;
    }
    std::optional<std::string> file_open(std::string_view, std::string_view,
                                         std::string_view) override {
        return std::nullopt;
    }
    std::string open_with_parm(std::string_view, std::string_view, w_modify&) override {
        return {};
    }
    void open_window(std::string_view, std::string_view, w_modify&) override {}
    void close_window(w_modify&) override {}
    void set_pointer(pointer) override {}
    std::string current_directory() override;
    bool change_directory(const std::string&) override { return true; }
    date today() const override { return *date::from_ymd(2026, 12, 8); }
    int gf_readphotofile(const std::string&, blob&) override { return -1; }
    int gf_writephotofile(const std::string&, const blob&) override { return -1; }

    std::vector<std::string> messages;
};

// Exits with `what` and SQLite's message unless rc is OK, ROW or DONE.
// Ends the runner with its reason on stderr.
[[noreturn]] void perf_fail(const std::string& why);

void check_sqlite(int rc, sqlite3* db, const char* what);

// A connection with the backend's pragmas; `synchronous` is the one
// durability setting a benchmark may want to choose (OFF, NORMAL, FULL).
// FULL is what the product's connections run with.
sqlite3* open_raw(const std::string& path, std::string_view synchronous = "FULL");

// A new database with the schema, the asset-sort codes and an asset
// register holding `rows` records of k_bench_commno and a fifth as many of
// three other communities, numbered 1..bench_total_records(rows) over the
// whole table as the registers number them. One transaction of bound
// INSERTs without syncing, so a million rows take seconds.
void build_asset_database(const std::string& path, int rows, const clock_source& clock);
std::int64_t bench_total_records(int rows);
// Whether record `orderno` of such a register is k_bench_commno's.
bool is_bench_record(int rows, std::int64_t orderno);
// A record of k_bench_commno about `where` (0..1) along the register.
std::int64_t bench_record_near(int rows, double where);

// A fresh folder under the system's temp directory for one run's files.
std::filesystem::path scratch_folder(std::string_view prefix);

struct timing {
    double wall = 0;  // seconds per operation
    double cpu = 0;   // this thread's CPU seconds per operation
};

double thread_cpu_seconds();

template <typename F>
timing time_of(F&& f) {
    const double cpu = thread_cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    f();
    timing t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = thread_cpu_seconds() - cpu;
    return t;
}

// Wall and CPU medians, each taken on its own.
timing median(std::vector<timing> v);

// A sync on this kind of disk may complete only on a clock tick of the
// device or kernel (a few ms). Run back to back, each side would start at
// the same phase of that tick every round, and the side whose work ends
// just after a tick would wait almost a whole one each time. A random pause
// of up to 5 ms before each side spreads the phases, so both wait the same
// on average; pass it as the pause of interleaved() when a side commits.
void sync_phase();

// "1.23 ms" from a millisecond up, "45.6 us" below.
std::string duration(double seconds);

struct pair_timing {
    timing window, raw;
};

struct no_pause {
    void operator()() const {}
};

// The window's side and the raw side alternately, `rounds` times each, and
// the median of each: a burst of load elsewhere on the machine then hits
// both sides alike. Each side is called with the round's number; `pause`
// runs untimed before each side.
template <typename Window, typename Raw, typename Pause = no_pause>
pair_timing interleaved(int rounds, Window&& window, Raw&& raw, Pause pause = {}) {
    std::vector<timing> w, r;
    for (int i = 0; i < rounds; ++i) {
        pause();
        w.push_back(time_of([&] { window(i); }));
        pause();
        r.push_back(time_of([&] { raw(i); }));
    }
    return {median(std::move(w)), median(std::move(r))};
}

// 1000000 as "1,000,000", as the report names sizes.
std::string grouped(long long n);

}  // namespace officerecords
