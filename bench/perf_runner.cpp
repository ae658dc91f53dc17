// The performance runner: makes asset registers of every size on SQLite
// and (when a server is given) PostgreSQL, runs each workload beside the
// hand-written code or program that is its anchor, and writes the table of
// ratios to a Markdown page.
//
//   officerecords_perf [--sizes 10000,100000,1000000] [--rounds N]
//                      [--out FILE] [--pg URI] [--no-gui]
//
// The server is the one of --pg or OFFICERECORDS_PG_URI (its maintenance
// database, as scripts/pg-server.sh starts it); the run makes databases of
// its own there and drops them. The programs it starts (the command-line
// program, the GUI benchmark, the desktop program) are looked for beside
// this one. A failed step ends the run with a message and status 1.
#include <libpq-fe.h>
#include <malloc.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "activities/photo_store.h"
#include "bench/bench_support.h"
#include "bench/export_bench.h"
#include "bench/history_bench.h"
#include "bench/load_bench.h"
#include "bench/perf_report.h"
#include "bench/raw_sql.h"
#include "bench/stats_bench.h"
#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "foundation/session.h"
#include "import/register_import.h"
#include "storage/database.h"
#include "storage/xlsx_writer.h"

// ---- heap accounting ----------------------------------------------------------

// Live heap bytes as the allocator hands them out (usable size, so rounding
// counts against whoever asked). The databases' own allocations (malloc) are
// not counted: only the rows each side keeps are compared.
namespace {
std::atomic<long long> g_live_bytes{0};
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    g_live_bytes.fetch_add(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}

// GCC pairs this free() with the replaced operator new above by name, not
// by what it calls (malloc), and reports a mismatch that is not there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    g_live_bytes.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
#pragma GCC diagnostic pop

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace officerecords {
namespace {

namespace fs = std::filesystem;

fs::path g_scratch;
void remove_scratch() {
    std::error_code ec;
    if (!g_scratch.empty()) fs::remove_all(g_scratch, ec);
}

double ms(const timing& t) { return t.wall * 1e3; }

// Both sides alternately, each round's wall time in ms.
template <typename Ours, typename Anchor, typename Pause = no_pause>
void alternate(measurement& m, int rounds, Ours&& ours, Anchor&& anchor, Pause pause = {}) {
    for (int i = 0; i < rounds; ++i) {
        pause();
        m.ours.push_back(ms(time_of([&] { ours(i); })));
        pause();
        m.anchor.push_back(ms(time_of([&] { anchor(i); })));
    }
}

// ---- the databases ------------------------------------------------------------

struct register_db {
    std::string backend;  // "SQLite" or "PostgreSQL"
    std::string where;    // file or URI
    int rows = 0;
    std::string size() const { return grouped(rows) + " rows"; }
};

// COPY's text form of one SQLite value: \N for null, the specials escaped.
void copy_field(std::string& line, sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    if (!p) {
        line += "\\N";
        return;
    }
    for (const char* c = p; *c; ++c) {
        if (*c == '\\' || *c == '\t' || *c == '\n' || *c == '\r') line += '\\';
        line += *c == '\t' ? 't' : *c == '\n' ? 'n' : *c == '\r' ? 'r' : *c;
    }
}

struct server {
    std::string admin;  // the maintenance database's URI
    std::vector<std::string> made;

    std::string uri_of(const std::string& name) const {
        return admin.substr(0, admin.rfind('/') + 1) + name;
    }
    void admin_run(const std::string& sql) const {
        auto c = raw_connection::open(admin);
        c->run(c->prepare(sql));
    }
    // An empty database of the server, dropped at the end of the run.
    std::string fresh(const std::string& name) {
        admin_run("CREATE DATABASE " + name);
        made.push_back(name);
        return uri_of(name);
    }
    // A database of the server holding the same rows as the SQLite file.
    std::string copy_of(const std::string& file, const std::string& name, const clock_source& clock) {
        const std::string uri = fresh(name);
        if (status st = create_database(uri, clock); !st) perf_fail(st.message());
        PGconn* to = PQconnectdb(uri.c_str());
        if (PQstatus(to) != CONNECTION_OK) perf_fail(PQerrorMessage(to));
        sqlite3* from = open_raw(file, "OFF");
        for (const char* table : {"tc_og_assetregister", "tc_ge_code", "tc_ge_community"}) {
            sqlite3_stmt* s = nullptr;
            check_sqlite(sqlite3_prepare_v2(from, (std::string("SELECT * FROM ") + table).c_str(), -1, &s,
                                            nullptr),
                         from, table);
            PGresult* copy = PQexec(to, (std::string("COPY ") + table + " FROM STDIN").c_str());
            if (PQresultStatus(copy) != PGRES_COPY_IN) perf_fail(std::string(table) + ": " + PQerrorMessage(to));
            PQclear(copy);
            std::string line;
            while (sqlite3_step(s) == SQLITE_ROW) {
                line.clear();
                for (int i = 0; i < sqlite3_column_count(s); ++i) {
                    if (i > 0) line += '\t';
                    copy_field(line, s, i);
                }
                line += '\n';
                if (PQputCopyData(to, line.data(), static_cast<int>(line.size())) != 1) perf_fail(PQerrorMessage(to));
            }
            sqlite3_finalize(s);
            if (PQputCopyEnd(to, nullptr) != 1) perf_fail(PQerrorMessage(to));
            PGresult* r = PQgetResult(to);
            if (PQresultStatus(r) != PGRES_COMMAND_OK) perf_fail(std::string(table) + ": " + PQerrorMessage(to));
            PQclear(r);
            while (PGresult* rest = PQgetResult(to)) PQclear(rest);
        }
        PQclear(PQexec(to, "VACUUM ANALYZE"));
        sqlite3_close(from);
        PQfinish(to);
        return uri;
    }
    ~server() {
        for (const std::string& name : made) {
            auto c = raw_connection::open(admin);
            c->run(c->prepare("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)"));
        }
    }
};

database open_product(const register_db& db, const clock_source& clock) {
    auto opened = open_database(db.where, clock);
    if (!opened) perf_fail("open " + db.where + ": " + opened.message());
    return opened.take();
}

// The SELECT the data window runs for the asset form, by the community.
std::string asset_select() {
    return "SELECT * FROM (" + d_og_assetregister().select + ") q WHERE commno = ? ORDER BY orderno";
}

// ---- retrieving a register ----------------------------------------------------

void retrieve(const register_db& db, int rounds, std::vector<measurement>& out) {
    bench_host host;
    database product = open_product(db, host);
    auto raw = raw_connection::open(db.where);
    const std::vector<value> params{value(k_bench_commno)};
    const std::string anchor = db.backend == "SQLite" ? "raw sqlite3 loop" : "raw libpq single-row loop";
    const double target = db.backend == "SQLite" ? 1.1 : 1.2;
    auto check = [&](std::size_t n, const char* side) {
        if (n != static_cast<std::size_t>(db.rows))
            perf_fail(std::string(side) + " retrieved " + grouped(static_cast<long long>(n)) + " rows of " +
                 grouped(db.rows));
    };
    // A register of 10,000 rows or fewer is read in milliseconds, where the
    // server sharing the two cores moves single rounds most.
    const int n = db.rows >= 1000000 ? std::max(3, rounds / 2) : db.rows <= 10000 ? 4 * rounds + 1 : rounds;

    // First: a data window that never held rows, against a statement
    // prepared and read for the first time into a new vector.
    measurement first{"retrieve the register, first", db.size(), db.backend, "ms", {}, {}, anchor, target, {}};
    std::unique_ptr<data_window> ours_rows;
    std::unique_ptr<std::vector<raw_asset>> raw_rows;
    alternate(
        first, n,
        [&](int) {
            ours_rows = std::make_unique<data_window>();
            (void)ours_rows->set_dataobject(d_og_assetregister(), *product.sqlca);
            check(static_cast<std::size_t>(std::max(0L, ours_rows->retrieve("commno = ?", params, "orderno"))),
                  "the data window");
        },
        [&](int) {
            raw_rows = std::make_unique<std::vector<raw_asset>>();
            raw->assets(raw->prepare(asset_select()), {k_bench_commno}, *raw_rows);
            check(raw_rows->size(), "the raw loop");
        },
        // Letting go of the last round's rows is not part of either.
        [&] {
            ours_rows.reset();
            raw_rows.reset();
        });
    out.push_back(first);

    measurement again{"retrieve the register, repeated", db.size(), db.backend, "ms", {}, {}, anchor, target, {}};
    data_window dw;
    (void)dw.set_dataobject(d_og_assetregister(), *product.sqlca);
    std::vector<raw_asset> rows;
    const int select = raw->prepare(asset_select());
    alternate(
        again, n,
        [&](int) { check(static_cast<std::size_t>(std::max(0L, dw.retrieve("commno = ?", params, "orderno"))), "the data window"); },
        [&](int) {
            rows.clear();
            raw->assets(select, {k_bench_commno}, rows);
            check(rows.size(), "the raw loop");
        });
    out.push_back(again);

    // Memory: live heap after minus before. The structs are trimmed to
    // their size, the anchor at its leanest.
    dw.reset();
    rows = {};
    long long before = g_live_bytes.load();
    {
        auto fresh = std::make_unique<data_window>();
        (void)fresh->set_dataobject(d_og_assetregister(), *product.sqlca);
        before = g_live_bytes.load();
        fresh->retrieve("commno = ?", params, "orderno");
        const double ours = static_cast<double>(g_live_bytes.load() - before) / (1024.0 * 1024.0);
        fresh.reset();
        before = g_live_bytes.load();
        auto structs = std::make_unique<std::vector<raw_asset>>();
        raw->assets(select, {k_bench_commno}, *structs);
        structs->shrink_to_fit();
        const double theirs = static_cast<double>(g_live_bytes.load() - before) / (1024.0 * 1024.0);
        out.push_back({"memory of the retrieved register", db.size(), db.backend, "MiB", {ours}, {theirs},
                       "the raw loop's structs", 0.8, {}});
    }
}

// ---- saving and adding a record -----------------------------------------------

struct typed_item {
    const char* column;
    const char* text;
};

// A new asset as a clerk types it; the dates are not after the run's today.
constexpr typed_item k_new_asset[] = {
    {"assetsort", "02"},        {"goodsname", "激光打印机"},     {"namebrand", "惠普"},
    {"goodscount", "2"},        {"computeunit", "台"},           {"originvalue", "3999.00"},
    {"purchasedate", "2026-12-01"}, {"keepperson", "张建国"},    {"recorddate", "2026-12-08"},
};
const char* const k_names[2] = {"多功能复印机（一号）", "多功能复印机（二号）"};

bool type_into(data_window& dw, const char* column, const char* text) {
    dw.setcolumn(dw.column_number(column));
    dw.settext(text);
    return dw.accepttext() == 1;
}

// The desk a clerk works at: the product's connections and the community's
// whole register listed on the tab page, as the desktop program has it
// while a record window saves.
struct desk {
    bench_host host;
    database db;
    uo_tabpg_datawindow page;
    session sess;

    explicit desk(const register_db& where)
        : db(open_product(where, host)),
          sess{host, host, *db.sqlca, *db.photosqlca, k_bench_commno, fs::temp_directory_path().string(), &page} {
        if (status st = list_register(page, "w_m_og_assetregister", d_og_assetregister(), sess); !st)
            perf_fail("list_register: " + st.message());
    }
};

void save_and_add(const register_db& db, int rounds, std::vector<measurement>& out) {
    desk d(db);
    auto raw = raw_connection::open(db.where);
    const int begin = raw->prepare(raw->begin_write());
    const int commit = raw->prepare("COMMIT");
    const int highest = raw->prepare("SELECT MAX(orderno) FROM tc_og_assetregister");
    const int insert = raw->prepare(
        "INSERT INTO tc_og_assetregister (commno, orderno, issave, assetsort, goodsname, namebrand, "
        "goodscount, computeunit, originvalue, purchasedate, keepperson, recorddate) "
        "VALUES (?, ?, '1', ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const int update =
        raw->prepare("UPDATE tc_og_assetregister SET goodsname = ? WHERE commno = ? AND orderno = ?");
    const std::string anchor_kind = db.backend == "SQLite" ? "raw sqlite3" : "raw libpq";
    // A commit waits on the disk's clock tick; random pauses spread the phases.
    auto pause = [&] {
        if (db.backend == "SQLite") sync_phase();
    };

    auto ours_add = [&](int) {
        const std::size_t said = d.host.messages.size();
        w_m_og_assetregister window(d.sess);
        window.open_with(k_mode_add);
        for (const typed_item& item : k_new_asset)
            if (!type_into(window.dw_1, item.column, item.text)) perf_fail("typing " + std::string(item.column));
        window.cb_save_clicked();
        if (d.host.messages.size() != said || window.dw_1.getitemstatus(1, 0) != row_status::not_modified)
            perf_fail("the asset window did not save the new record");
    };
    auto raw_add = [&](int) {
        raw->run(begin);
        const std::int64_t next = raw->number(highest) + 1;
        raw->run(insert, {k_bench_commno, next, "02", "激光打印机", "惠普", 2, "台", 3999.0, "2026-12-01", "张建国",
                          "2026-12-08"});
        raw->run(commit);
    };
    const std::int64_t ours_key = bench_record_near(db.rows, 0.5);
    std::int64_t raw_key = ours_key + 1;
    while (!is_bench_record(db.rows, raw_key)) ++raw_key;
    const long listed = find_listed(d.page, value(ours_key));
    if (listed < 1 || d.page.dw_1.setrow(listed) != 1) perf_fail("record " + std::to_string(ours_key) + " is not listed");
    w_m_og_assetregister changing(d.sess);
    changing.open_with(k_mode_modify);
    if (changing.dw_1.rowcount() != 1) perf_fail("the modify window did not open its record");
    auto ours_save = [&](int i) {
        const std::size_t said = d.host.messages.size();
        if (!type_into(changing.dw_1, "goodsname", k_names[i % 2])) perf_fail("typing the name");
        changing.cb_save_clicked();
        if (d.host.messages.size() != said || changing.dw_1.getitemstatus(1, 0) != row_status::not_modified)
            perf_fail("the asset window did not save the changed record");
    };
    auto raw_save = [&](int i) {
        raw->run(begin);
        if (raw->run(update, {k_names[i % 2], k_bench_commno, raw_key}) != 1) perf_fail("the raw UPDATE changed no row");
        raw->run(commit);
    };

    measurement add{"add a record (添加, Save)", db.size(), db.backend, "ms", {}, {}, anchor_kind + " INSERT, committed", 1.5, {}};
    measurement save{"save a changed record (修改, Save)", db.size(), db.backend, "ms", {}, {}, anchor_kind + " UPDATE, committed", 1.3, {}};
    const std::int64_t count_before = d.page.dw_1.rowcount();
    alternate(add, rounds, ours_add, raw_add, pause);
    if (d.page.dw_1.rowcount() != count_before + rounds) perf_fail("the list did not take every new record");
    alternate(save, rounds, ours_save, raw_save, pause);
    // What the change history adds: every save also writes who changed
    // what, in the same transaction. Turned off here only to weigh it.
    d.sess.keep_history = false;
    for (auto [m, ours, theirs] : {std::tuple{&add, std::function<void(int)>(ours_add), std::function<void(int)>(raw_add)},
                                   std::tuple{&save, std::function<void(int)>(ours_save), std::function<void(int)>(raw_save)}}) {
        measurement bare{*m};
        bare.ours.clear();
        bare.anchor.clear();
        alternate(bare, rounds, ours, theirs, pause);
        char note[320];
        std::snprintf(note, sizeof note,
                      "each save also writes its change history (two more statements, two more tables, sent with the save on the server); "
                      "without it, measured alongside: %.3f ms against %.3f ms, %.2f×",
                      median_of(bare.ours), median_of(bare.anchor), bare.ratio());
        m->note = note;
    }
    d.sess.keep_history = true;
    out.push_back(add);
    out.push_back(save);
}


// ---- importing a sheet ------------------------------------------------------------

// One asset row of the imported sheet, the same on every run.
struct sheet_asset {
    std::string name;
    std::int64_t count;
    double value;
    date bought;
};

std::vector<sheet_asset> sheet_assets(int rows) {
    std::vector<sheet_asset> out;
    std::mt19937 rng(20261210);
    const date first = *date::parse("2010-01-01");
    for (int i = 0; i < rows; ++i)
        out.push_back({"资产" + std::to_string(i + 1) + "号", 1 + static_cast<std::int64_t>(rng() % 9),
                       static_cast<double>(rng() % 1000000) / 100.0,
                       date::from_days(first.days() + static_cast<std::int32_t>(rng() % 5000))});
    return out;
}

// The sheet a clerk keeps: the list's captions, a code by its name, an
// amount and a date cell, as Excel saves them.
void write_asset_sheet(const std::string& path, const std::vector<sheet_asset>& assets) {
    auto writer = xlsx_writer_module();
    if (!writer) perf_fail(writer.message());
    auto sheet = (*writer)->create(path, "固定资产");
    if (!sheet) perf_fail(sheet.message());
    const cell_look day{"yyyy-mm-dd"};
    const cell_look amount{"#,##0.00"};
    const char* captions[] = {"资产分类", "资产名称", "品牌", "数量", "计量单位", "价值（元）", "添置日期", "保管人"};
    for (std::uint16_t c = 0; c < std::size(captions); ++c) (*sheet)->text(0, c, captions[c], nullptr);
    std::uint32_t row = 0;
    for (const sheet_asset& a : assets) {
        ++row;
        (*sheet)->text(row, 0, "电子设备", nullptr);
        (*sheet)->text(row, 1, a.name, nullptr);
        (*sheet)->text(row, 2, "联想", nullptr);
        (*sheet)->number(row, 3, static_cast<double>(a.count), nullptr);
        (*sheet)->text(row, 4, "台", nullptr);
        (*sheet)->number(row, 5, a.value, &amount);
        (*sheet)->day(row, 6, a.bought, &day);
        (*sheet)->text(row, 7, "张建国", nullptr);
    }
    if (status st = (*sheet)->close(); !st) perf_fail(st.message());
}

// Importing a sheet of `rows` assets from XLSX, every rule included, beside
// a raw bulk INSERT of the same rows in one transaction. Each round starts
// from a copy of the same small register.
void import_sheet(int rows, int rounds, std::vector<measurement>& out) {
    bench_host host;
    const std::vector<sheet_asset> assets = sheet_assets(rows);
    const std::string sheet = (g_scratch / "assets_import.xlsx").string();
    write_asset_sheet(sheet, assets);
    const std::string base = (g_scratch / "import_base.db").string();
    build_asset_database(base, 1000, host);
    const std::string ours_db = (g_scratch / "import_ours.db").string();
    const std::string raw_db = (g_scratch / "import_raw.db").string();
    auto fresh = [&](const std::string& to) {
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(to + suffix);
        fs::copy_file(base, to);
    };

    measurement m{"import a sheet (XLSX, every rule)", grouped(rows) + " rows", "SQLite", "ms", {}, {},
                  "raw sqlite3 bulk INSERT, one transaction", 3.0, {}};
    bool history = true;
    auto ours = [&] {
        fresh(ours_db);
        return ms(time_of([&] {
            database db = open_product({"SQLite", ours_db, 1000}, host);
            session s{host, host, *db.sqlca, *db.photosqlca, k_bench_commno, fs::temp_directory_path().string(), nullptr};
            s.keep_history = history;
            register_import job(s, {"w_m_og_assetregister", sheet, "", {}, false});
            if (status st = job.open(); !st) perf_fail("import: " + st.message());
            auto report = job.run(import_mode::write_all);
            if (!report) perf_fail("import: " + report.message());
            if (report->imported != rows)
                perf_fail("import: " + std::to_string(report->imported) + " of " + std::to_string(rows) + " rows, " +
                     (report->failures.empty() ? std::string() : report->failures.front().message));
        }));
    };
    for (int i = 0; i < rounds; ++i) {
        m.ours.push_back(ours());
        fresh(raw_db);
        m.anchor.push_back(ms(time_of([&] {
            auto raw = raw_connection::open(raw_db);
            const int begin = raw->prepare(raw->begin_write());
            const int commit = raw->prepare("COMMIT");
            const int highest = raw->prepare("SELECT MAX(orderno) FROM tc_og_assetregister");
            const int insert = raw->prepare(
                "INSERT INTO tc_og_assetregister (commno, orderno, issave, assetsort, goodsname, namebrand, "
                "goodscount, computeunit, originvalue, purchasedate, keepperson) "
                "VALUES (?, ?, '1', '02', ?, '联想', ?, '台', ?, ?, '张建国')");
            raw->run(begin);
            std::int64_t next = raw->number(highest);
            for (const sheet_asset& a : assets) {
                const std::string bought = a.bought.iso();
                raw->run(insert, {k_bench_commno, ++next, std::string_view(a.name), a.count, a.value,
                                  std::string_view(bought)});
            }
            raw->run(commit);
        })));
    }
    // What the history costs: weighed once without it.
    history = false;
    const double bare = ours();
    char note[400];
    std::snprintf(note, sizeof note,
                  "ours reads the workbook and types every row into the asset window, which checks and numbers it "
                  "and writes its history (a change and one row per filled column, eleven rows a record here), all in one transaction; without the history "
                  "%.0f ms, %.1f×",
                  bare, bare / median_of(m.anchor));
    m.note = note;
    out.push_back(m);
}

// ---- photos ---------------------------------------------------------------------

constexpr std::size_t k_mib = 1024 * 1024;
constexpr const char* k_file_name = "重阳节敬老活动.bmp";
constexpr const char* k_note = "社区老年活动中心合影";

// Pseudo-random bytes behind a BMP file header, the same on every run.
blob photo_bytes(std::size_t size) {
    blob bytes(size);
    std::mt19937_64 rng(20261208 + size);
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t r = rng();
        std::memcpy(bytes.data() + i, &r, std::min<std::size_t>(8, size - i));
    }
    const std::uint32_t header[] = {static_cast<std::uint32_t>(size), 0, 54};
    bytes[0] = 'B';
    bytes[1] = 'M';
    std::memcpy(bytes.data() + 2, header, sizeof header);
    return bytes;
}

void photos(const register_db& db, int rounds, std::vector<measurement>& out) {
    bench_host host;
    database product = open_product(db, host);
    transaction& t = *product.photosqlca;
    photo_store store(t, k_bench_commno);
    auto raw = raw_connection::open(db.where);
    const int begin = raw->prepare(raw->begin_write());
    const int commit = raw->prepare("COMMIT");
    const int highest = raw->prepare(
        "SELECT MAX(PhotoNo) FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ?");
    const int insert = raw->prepare("INSERT INTO TS_CommActivePhoto (CommNo, OrderNo, PhotoNo) VALUES (?, ?, ?)");
    const int name = raw->prepare(
        "UPDATE TS_CommActivePhoto SET PhotoFileName = ?, PhotoNote = ? WHERE CommNo = ? AND "
        "OrderNo = ? AND "
        "PhotoNo = ?");
    const int picture = raw->prepare(
        "UPDATE TS_CommActivePhoto SET Photo = ? WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?");
    const int read = raw->prepare(
        "SELECT Photo FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?");
    const int remove = raw->prepare(
        "DELETE FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?");
    const std::string anchor = db.backend == "SQLite" ? "raw sqlite3" : "raw libpq";
    // Saves go to activities 1 (ours) and 3 (raw), each photo deleted again
    // untimed so the table stays small; reads come from activity 2.
    auto ours_save = [&](const blob& bytes) {
        write_guard guard(t);
        if (!guard.began()) perf_fail("photo store begin: " + t.sqlerrtext());
        const std::optional<std::int64_t> number = store.next_number(1);
        if (!number || store.create(1, *number) == sql_code::error ||
            store.store_name_and_note(1, *number, k_file_name, k_note) != sql_code::ok ||
            store.store_picture(1, *number, bytes) != sql_code::ok ||
            guard.commit() != sql_code::ok)
            perf_fail("photo store save: " + t.sqlerrtext());
        return *number;
    };
    auto raw_save = [&](std::int64_t activity, const blob& bytes) {
        raw->run(begin);
        const std::int64_t number = raw->number(highest, {k_bench_commno, activity}) + 1;
        raw->run(insert, {k_bench_commno, activity, number});
        raw->run(name, {k_file_name, k_note, k_bench_commno, activity, number});
        raw->run(picture, {bytes, k_bench_commno, activity, number});
        raw->run(commit);
        return number;
    };
    for (std::size_t size : {k_mib, 10 * k_mib}) {
        const blob bytes = photo_bytes(size);
        const std::string label = std::to_string(size / k_mib) + " MiB";
        measurement save{"save a photo", label, db.backend, "ms", {}, {}, anchor + " blob write, committed", 1.5, {}};
        std::int64_t ours_no = 0, raw_no = 0;
        const int n = size > k_mib ? std::max(3, rounds / 2) : rounds;
        // Each side's photo is deleted again, untimed, so the table stays
        // one photo large.
        for (int i = 0; i < n; ++i) {
            if (db.backend == "SQLite") sync_phase();
            save.ours.push_back(ms(time_of([&] { ours_no = ours_save(bytes); })));
            write_guard guard(t);
            if (!guard.began() || store.remove(1, ours_no) != sql_code::ok || guard.commit() != sql_code::ok)
                perf_fail("photo store remove: " + t.sqlerrtext());
            if (db.backend == "SQLite") sync_phase();
            save.anchor.push_back(ms(time_of([&] { raw_no = raw_save(3, bytes); })));
            raw->run(begin);
            raw->run(remove, {k_bench_commno, 3, raw_no});
            raw->run(commit);
        }
        out.push_back(save);

        const std::int64_t stored = raw_save(2, bytes);
        measurement read_back{"read a photo", label, db.backend, "ms", {}, {}, anchor + " blob read", 1.5, {}};
        // Each side reads into bytes of its own, as a caller keeping the
        // picture gets; they are compared untimed.
        std::optional<blob> ours_got;
        std::vector<unsigned char> raw_got;
        // Both sides' last pictures go before either side reads. While the
        // other side's picture was still held, the two sides met different
        // memory: by the order alone our 10 MiB read took 25 ms or 16 ms.
        auto drop_both = [&] {
            ours_got.reset();
            raw_got = {};
        };
        auto ours_read = [&] { ours_got = store.read_picture(2, stored); };
        auto raw_read = [&] {
            if (!raw->bytes(read, {k_bench_commno, 2, stored}, raw_got)) raw_got.clear();
        };
        alternate(
            read_back, n, [&](int) { ours_read(); }, [&](int) { raw_read(); }, drop_both);
        drop_both();
        ours_read();
        raw_read();
        if (!ours_got || *ours_got != bytes) perf_fail("the photo store read back other bytes than were saved");
        if (raw_got != bytes) perf_fail("the raw read got other bytes than were saved");
        out.push_back(read_back);
    }
}

// ---- programs started ---------------------------------------------------------

struct program_run {
    double ms = 0;
    std::string output;
    int status = -1;
};

extern "C" char** environ;

// Starts a program with its output read through a pipe; the time from the
// start to its end.
program_run run_program(const std::vector<std::string>& argv, const std::vector<std::string>& env_extra = {}) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) perf_fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
    for (const std::string& e : env_extra) env_strings.push_back(e);
    std::vector<char*> envp;
    for (std::string& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);
    program_run r;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        perf_fail("cannot start " + argv[0]);
    close(pipe_fds[1]);
    char buf[65536];
    ssize_t got;
    while ((got = read(pipe_fds[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<std::size_t>(got));
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

program_run expect_run(const std::vector<std::string>& argv, const std::string& want = {},
                       const std::vector<std::string>& env = {}) {
    program_run r = run_program(argv, env);
    if (r.status != 0) perf_fail(argv[0] + " ended with status " + std::to_string(r.status) + ":\n" + r.output);
    if (!want.empty() && r.output != want) perf_fail(argv[0] + " printed:\n" + r.output + "instead of:\n" + want);
    return r;
}

std::string write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
    return path.string();
}

// Opening one record by its number and closing the window, in the
// command-line program, at a register's size against the same at 1,000.
void cli_open(const fs::path& cli, const register_db& small, const register_db& db, int rounds,
              std::vector<measurement>& out) {
    auto script_for = [&](const register_db& r) {
        const std::string key = std::to_string(bench_record_near(r.rows, 0.5));
        return write_file(g_scratch / ("open_" + std::to_string(r.rows) + r.backend + ".script"),
                          std::string("community ") + k_bench_commno + "\nopen w_m_og_assetregister 修改 " + key +
                              "\nprint item orderno\nclose\n");
    };
    auto want = [&](const register_db& r) {
        return "open w_m_og_assetregister\norderno = " + std::to_string(bench_record_near(r.rows, 0.5)) +
               "\nclose w_m_og_assetregister\n";
    };
    const std::string big_script = script_for(db), small_script = script_for(small);
    measurement m{"CLI: open a record by number, close", db.size(), db.backend, "ms", {}, {},
                  "the same at " + small.size(), 2.0, {}};
    alternate(
        m, rounds, [&](int) { expect_run({cli.string(), "run", big_script, "--db", db.where}, want(db)); },
        [&](int) { expect_run({cli.string(), "run", small_script, "--db", small.where}, want(small)); });
    out.push_back(m);
}

void starts(const fs::path& bin, int rounds, std::vector<measurement>& out) {
    const std::string demo = (g_scratch / "demo.db").string();
    expect_run({(bin / "officerecords-cli").string(), "init", demo, "--demo"});
    const std::string script =
        write_file(g_scratch / "start.script", "open w_m_og_assetregister 修改 1\nprint item goodsname\nclose\n");
    const std::string sqlite3_shell = "/usr/bin/sqlite3";
    measurement m{"CLI start, one record shown", "demo", "SQLite", "ms", {}, {}, "sqlite3 shell, one query", 1.5, {}};
    alternate(
        m, rounds,
        [&](int) {
            program_run r = expect_run({(bin / "officerecords-cli").string(), "run", script, "--db", demo});
            if (r.output.find("goodsname = ") == std::string::npos) perf_fail("the CLI showed no record:\n" + r.output);
        },
        [&](int) {
            program_run r = expect_run(
                {sqlite3_shell, demo, "SELECT goodsname FROM tc_og_assetregister WHERE orderno = 1"});
            if (r.output.empty()) perf_fail("the sqlite3 shell found no record");
        });
    out.push_back(m);
}

// ---- the desktop program's list -------------------------------------------------

// The GUI benchmark prints "gui<TAB>WORKLOAD<TAB>ours|anchor<TAB>ms,ms,…".
void gui_lists(const fs::path& bin, const register_db& db, int rounds, bool with_start,
               std::vector<measurement>& out) {
    std::vector<std::string> argv = {(bin / "officerecords_gui_bench").string(), "--db", db.where, "--community",
                                     k_bench_commno, "--runs", std::to_string(rounds)};
    if (with_start) {
        const std::string demo = (g_scratch / "demo.db").string();
        for (const std::string& a : {std::string("--app"), (bin / "officerecords").string(), std::string("--minimal"),
                                     (bin / "officerecords_minimal_window").string(), std::string("--demo"), demo})
            argv.push_back(a);
    }
    const program_run r = expect_run(argv, {}, {"QT_QPA_PLATFORM=offscreen"});
    std::map<std::string, std::map<std::string, std::vector<double>>> got;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        if (f.size() != 4 || f[0] != "gui") perf_fail("the GUI benchmark printed: " + line);
        std::istringstream values(f[3]);
        for (std::string v; std::getline(values, v, ',');) got[f[1]][f[2]].push_back(std::atof(v.c_str()));
    }
    const char* anchor = "QSqlQueryModel + QSortFilterProxyModel + QTableView";
    auto pair_row = [&](const std::string& key, const std::string& workload) {
        auto& g = got[key];
        if (g["ours"].empty() || g["anchor"].empty()) perf_fail("the GUI benchmark measured no " + key);
        out.push_back({workload, db.size(), db.backend, "ms", g["ours"], g["anchor"], anchor, 0.5, {}});
    };
    pair_row("list_open", "GUI: open the list, first paint");
    if (got["list_open"]["lazy"].empty()) perf_fail("the GUI benchmark measured no lazy Qt list");
    out.push_back({"GUI: open the list, first paint beside a lazy Qt list", db.size(), db.backend, "ms",
                   got["list_open"]["ours"], got["list_open"]["lazy"],
                   "QSqlQueryModel + QTableView, fetching as scrolled", 1.5, {}});
    {
        // Read behind the first page, in pages between the clerk's events:
        // somewhat longer than reading every row at once.
        auto& g = got["list_whole"];
        if (g["ours"].empty() || g["anchor"].empty()) perf_fail("the GUI benchmark measured no list_whole");
        out.push_back({"GUI: open the list, every row listed", db.size(), db.backend, "ms", g["ours"],
                       g["anchor"], anchor, 1.5, {}});
    }
    pair_row("sort", "GUI: sort the list by name");
    pair_row("narrow", "GUI: narrow the list by a search text");
    if (!got["narrow_ui_block"]["ours"].empty())
        out.push_back({"GUI: narrowing, longest interface-thread stretch", db.size(), db.backend, "ms",
                       got["narrow_ui_block"]["ours"], {}, {}, 50.0, {}});
    if (with_start) {
        auto& g = got["start"];
        if (g["ours"].empty() || g["anchor"].empty()) perf_fail("the GUI benchmark measured no start");
        out.push_back({"GUI start to the first painted list", "demo", "SQLite", "ms", g["ours"], g["anchor"],
                       "a minimal Qt program's empty window", 1.5, {}});
    }
}

// ---- the run --------------------------------------------------------------------

std::string machine_facts() {
    std::string cpu;
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);)
        if (line.starts_with("model name")) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    utsname u{};
    uname(&u);
    return cpu + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " +
           std::to_string(static_cast<long long>(pages) * page / (1024LL * 1024 * 1024)) + " GiB; " + u.sysname +
           " " + u.release + "; SQLite " + sqlite3_libversion();
}

int main_runner(int argc, char** argv) {
    if (const int side = export_side(argc, argv); side >= 0) return side;
    std::vector<int> sizes = {10000, 100000, 1000000};
    int rounds = 11;
    std::string out_file = "docs/performance.md";
    std::string pg;
    if (const char* e = std::getenv("OFFICERECORDS_PG_URI")) pg = e;
    bool gui = true;
    // One group of workloads alone, to profile it: retrieve, cli, save,
    // photo, start, export, history, stats, import, load or gui.
    std::string only;
    // Leaves the SQLite files behind (their folder is printed), to look into.
    bool keep = false;
    std::string command = "officerecords_perf";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        command += " " + a;
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) perf_fail(a + " needs a value");
            command += " " + std::string(argv[i + 1]);
            return argv[++i];
        };
        if (a == "--sizes") {
            sizes.clear();
            std::istringstream list(next());
            for (std::string s; std::getline(list, s, ',');) sizes.push_back(std::atoi(s.c_str()));
        } else if (a == "--rounds") {
            rounds = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--out") {
            out_file = next();
        } else if (a == "--pg") {
            pg = next();
        } else if (a == "--no-pg") {
            pg.clear();
        } else if (a == "--no-gui") {
            gui = false;
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--only") {
            only = next();
        } else {
            perf_fail("usage: officerecords_perf [--sizes N,N,...] [--rounds N] [--out FILE] [--pg URI|--no-pg] [--no-gui] [--only GROUP] [--keep]");
        }
    }
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    g_scratch = scratch_folder("officerecords_perf_");
    if (keep)
        std::fprintf(stderr, "the databases stay in %s\n", g_scratch.c_str());
    else
        std::atexit(remove_scratch);
    bench_host host;

    std::optional<server> srv;
    if (!pg.empty()) srv.emplace(server{pg, {}});
    std::map<int, std::vector<register_db>> made;
    auto make = [&](int rows) {
        if (auto it = made.find(rows); it != made.end()) return it->second;
        std::vector<register_db> dbs;
        const std::string file = (g_scratch / ("assets_" + std::to_string(rows) + ".db")).string();
        const auto start = std::chrono::steady_clock::now();
        build_asset_database(file, rows, host);
        dbs.push_back({"SQLite", file, rows});
        if (srv)
            dbs.push_back({"PostgreSQL",
                           srv->copy_of(file, "perf_" + std::to_string(::getpid()) + "_" + std::to_string(rows), host),
                           rows});
        std::fprintf(stderr, "made the registers of %s rows in %.1f s\n", grouped(rows).c_str(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return made[rows] = dbs;
    };

    std::vector<measurement> rows;
    auto report = [&](std::size_t from) {
        for (std::size_t i = from; i < rows.size(); ++i) std::printf("%s\n", summary_line(rows[i]).c_str());
        std::fflush(stdout);
    };
    auto wanted = [&](const char* group) { return only.empty() || only == group; };
    gui = gui && wanted("gui");
    const std::vector<register_db> small = make(1000);
    // Rows of a few milliseconds or less, where a disk's sync or the
    // scheduler moves single rounds most, get four times the rounds.
    const int quick = 4 * rounds + 1;
    if (gui || wanted("start")) starts(bin, quick, rows);
    if (wanted("photo"))
        for (const register_db& p : small) photos(p, rounds, rows);
    report(0);
    for (int size : sizes) {
        const std::size_t from = rows.size();
        const std::vector<register_db> dbs = make(size);
        for (std::size_t b = 0; b < dbs.size(); ++b) {
            if (wanted("retrieve")) retrieve(dbs[b], rounds, rows);
            if (wanted("cli")) cli_open(bin / "officerecords-cli", small[b], dbs[b], quick, rows);
            if (wanted("save")) save_and_add(dbs[b], quick, rows);
        }
        if (wanted("export"))
            export_lists(dbs[0].where, dbs[0].size(), g_scratch.string(), std::min(rounds, size >= 1000000 ? 3 : 5), rows);
        // The list on every backend; the program's start once, on SQLite.
        if (gui && size >= 100000)
            for (std::size_t b = 0; b < dbs.size(); ++b)
                gui_lists(bin, dbs[b], std::max(3, rounds / 2), b == 0 && size == sizes.back(), rows);
        report(from);
    }
    if (wanted("stats")) {
        const std::size_t from = rows.size();
        for (int size : sizes) stats_rows(g_scratch, size, std::max(3, rounds / 2), rows);
        report(from);
    }
    if (wanted("history")) {
        const std::size_t from = rows.size();
        record_histories(g_scratch.string(), {1000, sizes.empty() || sizes.back() < 1000000 ? 10000 : 1000000}, quick, rows);
        report(from);
    }
    if (wanted("import")) {
        const std::size_t from = rows.size();
        import_sheet(sizes.empty() ? 1000 : std::min(100000, sizes.back()), std::max(3, rounds / 2), rows);
        report(from);
    }
    if (wanted("load")) {
        const std::size_t from = rows.size();
        // A run of small sizes only plays a short load, to keep it working.
        const load_plan plan =
            sizes.empty() || sizes.back() < 10000 ? load_plan{{1, 4}, 24} : load_plan{{1, 8, 32}, 500};
        const fs::path cli = bin / "officerecords-cli";
        workstation_load(
            cli, "SQLite",
            [&](const std::string& name) {
                const std::string file = (g_scratch / (name + ".db")).string();
                expect_run({cli.string(), "init", file, "--demo"});
                return file;
            },
            g_scratch, plan, rows);
        if (srv)
            workstation_load(
                cli, "PostgreSQL",
                [&](const std::string& name) {
                    const std::string uri = srv->fresh(name + "_" + std::to_string(::getpid()));
                    expect_run({cli.string(), "init", uri, "--demo"});
                    return uri;
                },
                g_scratch, plan, rows);
        report(from);
    }
    // A run of small sizes only still runs the list's workloads once.
    if (gui && (sizes.empty() || sizes.back() < 100000)) gui_lists(bin, small[0], 1, true, rows);
    // The first paint of a short list, beside the lazy Qt list, on every backend.
    else if (gui)
        for (const register_db& s : small) gui_lists(bin, s, std::max(3, rounds / 2), false, rows);

    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    const run_facts facts{date, machine_facts(), command, rounds};
    std::ofstream(out_file) << performance_page(facts, rows);
    std::printf("written: %s\n", out_file.c_str());
    return 0;
}

}  // namespace
}  // namespace officerecords

int main(int argc, char** argv) { return officerecords::main_runner(argc, argv); }
