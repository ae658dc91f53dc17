#include "bench/stats_bench.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "statistics/statistics.h"
#include "storage/database.h"
#include "storage/system_clock.h"

namespace officerecords {

namespace {

[[noreturn]] void stop(const std::string& why) {
    std::fprintf(stderr, "officerecords_perf: %s\n", why.c_str());
    std::exit(1);
}

// The query the view spends most on, as a clerk would type it into the
// sqlite3 shell: income by community and month over the whole file.
constexpr const char* k_main_query =
    "SELECT commno, substr(recorddate, 1, 7), COUNT(*), SUM(CAST(round(moneysum * 100) AS INTEGER)) "
    "FROM tc_og_incomemoneyrecord WHERE recorddate IS NULL OR (recorddate >= '2020-01-01' AND "
    "recorddate <= '2026-12-31') GROUP BY 1, 2;";

// Half the rows income, half expenditure, over seven years and two
// communities, one in twenty undated.
void fill(const std::string& path, int rows) {
    sqlite3* db = open_raw(path, "OFF");
    check_sqlite(sqlite3_exec(db, "BEGIN; INSERT INTO tc_ge_community VALUES ('420106001001', '水果湖社区'), "
                                  "('420106001002', '东亭社区');", nullptr, nullptr, nullptr),
                 db, "communities");
    std::mt19937 rng(7);
    const char* tables[] = {"INSERT INTO tc_og_incomemoneyrecord (commno, orderno, recorddate, outlaysort, moneysum) "
                            "VALUES (?, ?, ?, ?, ?)",
                            "INSERT INTO tc_og_moneyoutgorecord (commno, orderno, recorddate, outlaysort, usebound, "
                            "moneysum) VALUES (?, ?, ?, ?, '11', ?)"};
    for (int which = 0; which < 2; ++which) {
        sqlite3_stmt* st = nullptr;
        check_sqlite(sqlite3_prepare_v2(db, tables[which], -1, &st, nullptr), db, "prepare");
        const date first = *date::parse("2020-01-01");
        for (int i = 0; i < rows / 2; ++i) {
            sqlite3_bind_text(st, 1, i % 2 ? "420106001001" : "420106001002", -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 2, i + 1);
            if (rng() % 20 == 0) {
                sqlite3_bind_null(st, 3);
            } else {
                const std::string day = date::from_days(first.days() + static_cast<int>(rng() % 2555)).iso();
                sqlite3_bind_text(st, 3, day.c_str(), -1, SQLITE_TRANSIENT);
            }
            const std::string sort = std::to_string(10 * (1 + rng() % 5));
            sqlite3_bind_text(st, 4, sort.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 5, static_cast<double>(rng() % 10000000) / 100.0);
            check_sqlite(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    check_sqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

}  // namespace

void stats_rows(const std::filesystem::path& scratch, int rows, int rounds, std::vector<measurement>& out) {
    const std::string path = (scratch / ("money_" + std::to_string(rows) + ".db")).string();
    system_clock clock;
    if (status st = create_database(path, clock); !st) stop(st.message());
    fill(path, rows);
    auto db = open_database(path, clock);
    if (!db) stop(db.message());
    // A clerk's view is of a year, a quarter or a month of registers kept
    // for many; the whole file's seven years weigh the worst case.
    const stats_period year = year_period(2026);
    const stats_period all{*date::parse("2020-01-01"), *date::parse("2026-12-31")};
    const std::string shell = "sqlite3 '" + path + "' \"" + k_main_query + "\" > /dev/null";
    auto row = [&](const char* what) {
        measurement m{what, grouped(rows) + " rows", "SQLite", "ms", {}, {}, "—", 1000, {}};
        return m;
    };
    measurement in_year = row("statistics: the money view of a year, every community");
    measurement in_all = row("statistics: the money view of the whole file (seven years), every community");
    std::vector<double> shell_ms;
    for (int r = 0; r < rounds; ++r) {
        const timing a = time_of([&] {
            auto v = compute_statistics(*db->sqlca, stats_view::money, year, {});
            if (!v) stop(v.message());
        });
        const timing b = time_of([&] {
            auto v = compute_statistics(*db->sqlca, stats_view::money, all, {});
            if (!v) stop(v.message());
        });
        const timing c = time_of([&] {
            if (std::system(shell.c_str()) != 0) stop("the sqlite3 shell failed: " + shell);
        });
        in_year.ours.push_back(a.wall * 1000);
        in_all.ours.push_back(b.wall * 1000);
        shell_ms.push_back(c.wall * 1000);
    }
    char note[200];
    std::snprintf(note, sizeof note,
                  "one of the view's queries alone (income by community and month over the whole file) in the sqlite3 "
                  "shell, measured alongside: %.0f ms",
                  median_of(shell_ms));
    in_all.note = note;
    out.push_back(std::move(in_year));
    out.push_back(std::move(in_all));
}

}  // namespace officerecords
