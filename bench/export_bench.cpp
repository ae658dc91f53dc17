#include "bench/export_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench/bench_support.h"
#include "finance/assetregister.h"
#include "foundation/data_window.h"
#include "storage/database.h"
#include "storage/list_export.h"

extern "C" char** environ;

namespace officerecords {

namespace {

// A figure of /proc/self/status in KiB: "VmRSS", "VmHWM".
long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    const std::string wanted = std::string(field) + ":";
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(wanted)) return std::atol(line.c_str() + wanted.size());
    return -1;
}

// From here on VmHWM is the peak of what follows, not of the retrieval.
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The cells of the asset list as its columns show them, by the community,
// in list order: the anchors' SELECT.
std::string list_select() {
    return "SELECT coalesce(c.tname, a.assetsort), a.goodsname, a.namebrand, a.goodstype, a.goodscount, "
           "a.computeunit, a.originvalue, a.purchasedate, a.keepperson, a.scrapedate, a.recorder, a.recorddate, "
           "a.note FROM tc_og_assetregister a LEFT JOIN tc_ge_code c ON c.codetable = 'dddw_og_assetsort' AND "
           "c.tcode = a.assetsort WHERE a.commno = '" +
           std::string(k_bench_commno) + "' ORDER BY a.orderno";
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int ours(export_format format, const std::string& file, const std::string& out) {
    bench_host host;
    auto opened = open_database(file, host);
    if (!opened) perf_fail("open " + file + ": " + opened.message());
    database db = opened.take();
    data_window list;
    if (status st = list.set_dataobject(d_og_assetregister(), *db.sqlca); !st) perf_fail(st.message());
    value commno(k_bench_commno);
    if (list.retrieve("commno = ?", {&commno, 1}, "orderno") < 0) perf_fail("retrieve: " + list.last_error());
    reset_peak();
    const long base = status_kib("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    const list_export exported(list, list_export::all_rows(list), {"固定资产登记", "水果湖社区"}, host);
    if (status st = exported.write(format, out, true); !st) perf_fail(st.message());
    std::printf("ms %.3f base %ld peak %ld\n", ms_since(start), base, status_kib("VmHWM"));
    return 0;
}

void check(lxw_error e) {
    if (e != LXW_NO_ERROR) perf_fail(std::string("libxlsxwriter: ") + lxw_strerror(e));
}

// The same cells written straight from the SELECT: the counter, texts,
// numbers, amounts and dates, the title and the bold frozen header.
int xlsx_anchor(const std::string& file, const std::string& out) {
    sqlite3* db = open_raw(file);
    sqlite3_stmt* s = nullptr;
    check_sqlite(sqlite3_prepare_v2(db, list_select().c_str(), -1, &s, nullptr), db, "prepare");
    reset_peak();
    const long base = status_kib("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    std::string folder = std::filesystem::path(out).parent_path().string();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder.data();
    lxw_workbook* book = workbook_new_opt(out.c_str(), &options);
    if (!book) perf_fail("workbook_new_opt");
    lxw_worksheet* sheet = workbook_add_worksheet(book, "固定资产登记");
    lxw_format* title = workbook_add_format(book);
    format_set_bold(title);
    format_set_font_size(title, 14);
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* day = workbook_add_format(book);
    format_set_num_format(day, "yyyy-mm-dd");
    lxw_format* amount = workbook_add_format(book);
    format_set_num_format(amount, "#,##0.00");
    check(worksheet_write_string(sheet, 0, 0, "固定资产登记 — 水果湖社区", title));
    const char* captions[] = {"序号",   "资产分类", "资产名称", "品牌",   "规格或型号", "数量",   "计量单位",
                              "价值（元）", "添置日期", "保管人",   "报废日期", "登记人",     "登记日期", "备注"};
    for (lxw_col_t c = 0; c < std::size(captions); ++c) check(worksheet_write_string(sheet, 1, c, captions[c], bold));
    worksheet_freeze_panes(sheet, 2, 0);
    lxw_row_t row = 1;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ++row;
        worksheet_write_number(sheet, row, 0, row - 1, nullptr);
        for (int i = 0; i < 13; ++i) {
            const auto col = static_cast<lxw_col_t>(i + 1);
            if (sqlite3_column_type(s, i) == SQLITE_NULL) continue;
            if (i == 4) {
                worksheet_write_number(sheet, row, col, sqlite3_column_double(s, i), nullptr);
            } else if (i == 6) {
                worksheet_write_number(sheet, row, col, sqlite3_column_double(s, i), amount);
            } else if (i == 7 || i == 9 || i == 11) {
                lxw_datetime when{};
                std::sscanf(reinterpret_cast<const char*>(sqlite3_column_text(s, i)), "%d-%d-%d", &when.year,
                            &when.month, &when.day);
                worksheet_write_datetime(sheet, row, col, &when, day);
            } else {
                worksheet_write_string(sheet, row, col, reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                       nullptr);
            }
        }
    }
    check_sqlite(rc, db, "step");
    check(workbook_close(book));
    std::printf("ms %.3f base %ld peak %ld\n", ms_since(start), base, status_kib("VmHWM"));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return 0;
}

struct side_run {
    double ms = 0;         // the export, as the side timed it (the shell: its whole run)
    double base_mib = 0;   // resident before the export: the list
    double peak_mib = 0;   // the process's peak
};

// Runs a side in a process of its own, its standard output into `output`
// when given (the shell's CSV), else read for its figures.
side_run run_side(const std::vector<std::string>& argv, const std::string& output = {}) {
    int fds[2];
    if (pipe(fds) != 0) perf_fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output.empty()) {
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) perf_fail("cannot start " + argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string said;
    char buf[4096];
    for (ssize_t got; (got = read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<std::size_t>(got));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    side_run r;
    r.ms = ms_since(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) perf_fail(argv[0] + " failed: " + said);
    r.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024;
    double ms = 0;
    long base = 0, peak = 0;
    if (output.empty()) {
        if (std::sscanf(said.c_str(), "ms %lf base %ld peak %ld", &ms, &base, &peak) != 3)
            perf_fail(argv[0] + " said: " + said);
        r.ms = ms;
        r.base_mib = static_cast<double>(base) / 1024;
        r.peak_mib = static_cast<double>(peak) / 1024;
    }
    return r;
}

}  // namespace

int export_side(int argc, char** argv) {
    if (argc != 6 || std::strcmp(argv[1], "--export-side") != 0) return -1;
    const std::string side = argv[2], format = argv[3];
    if (side == "ours" && (format == "csv" || format == "xlsx"))
        return ours(format == "csv" ? export_format::csv : export_format::xlsx, argv[4], argv[5]);
    if (side == "anchor" && format == "xlsx") return xlsx_anchor(argv[4], argv[5]);
    perf_fail("--export-side ours|anchor xlsx|csv DATABASE FILE");
}

void export_lists(const std::string& database, const std::string& size, const std::string& folder, int rounds,
                  std::vector<measurement>& out) {
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    for (const char* format : {"xlsx", "csv"}) {
        const bool xlsx = std::strcmp(format, "xlsx") == 0;
        const std::string ours_file = folder + "/ours." + format, anchor_file = folder + "/anchor." + format;
        measurement time{std::string("export the asset list to ") + (xlsx ? "XLSX" : "CSV"), size, "SQLite", "ms",
                         {}, {}, xlsx ? "libxlsxwriter constant_memory, the same cells" : "sqlite3 -csv, the same SELECT",
                         xlsx ? 1.2 : 1.3, ""};
        measurement memory{time.workload + ": peak memory beyond the list", size, "SQLite", "MiB", {}, {}, "", 64, ""};
        std::vector<double> whole, list, anchor_peak;
        for (int i = 0; i < rounds; ++i) {
            const side_run o = run_side({self, "--export-side", "ours", format, database, ours_file});
            const side_run a = xlsx ? run_side({self, "--export-side", "anchor", format, database, anchor_file})
                                    : run_side({"sqlite3", "-csv", database, list_select()}, anchor_file);
            time.ours.push_back(o.ms);
            time.anchor.push_back(a.ms);
            memory.ours.push_back(o.peak_mib - o.base_mib);
            whole.push_back(o.peak_mib);
            list.push_back(o.base_mib);
            anchor_peak.push_back(a.peak_mib);
            std::filesystem::remove(ours_file);
            std::filesystem::remove(anchor_file);
        }
        char note[256];
        std::snprintf(note, sizeof note,
                      "each side a process of its own; ours times the export of the retrieved list, %s; peak RSS: "
                      "ours %.0f MiB with the list's %.0f MiB, the anchor %.0f MiB",
                      xlsx ? "the anchor its SELECT and the writing" : "the anchor is the shell's whole run",
                      median_of(whole), median_of(list), median_of(anchor_peak));
        time.note = note;
        memory.note = note;
        out.push_back(time);
        out.push_back(memory);
    }
}

}  // namespace officerecords
