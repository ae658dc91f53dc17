// What the data window costs over hand-written libpq code, in one run:
// retrieving 100,000 asset rows of one community through the PostgreSQL
// backend against a raw libpq loop over the same SELECT, in single-row mode,
// into plain structs. The two sides alternate and the medians are compared,
// so a burst of load on the machine hits both alike.
//
// The server is the one of OFFICERECORDS_PG_URI (its postgres database, as
// scripts/pg-server.sh starts it); the run makes a database of its own
// there, filled from an SQLite register of the same rows, and drops it.
//   officerecords_pg_retrieve_bench [rows] [rounds]
#include <libpq-fe.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "finance/assetregister.h"
#include "platform/database.h"

namespace officerecords {
namespace {

constexpr double k_target = 1.3;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

PGconn* connect_raw(const std::string& uri) {
    PGconn* c = PQconnectdb(uri.c_str());
    if (PQstatus(c) != CONNECTION_OK) fail("connect " + uri + ": " + PQerrorMessage(c));
    PQclear(PQexec(c, "SET DateStyle = ISO"));
    return c;
}

void run(PGconn* c, const std::string& sql) {
    PGresult* r = PQexec(c, sql.c_str());
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) fail(sql + ": " + PQerrorMessage(c));
    PQclear(r);
}

// COPY's text form of one value: \N for null, the few specials escaped.
void copy_field(std::string& line, const value& v) {
    if (v.is_null()) {
        line += "\\N";
        return;
    }
    for (char ch : v.to_text()) {
        if (ch == '\\' || ch == '\t' || ch == '\n' || ch == '\r') line += '\\';
        line += ch == '\t' ? 't' : ch == '\n' ? 'n' : ch == '\r' ? 'r' : ch;
    }
}

// Copies the tables the asset list reads from the SQLite register into the
// server's database, with COPY: a hundred thousand rows in a few seconds.
void copy_tables(const std::string& from, PGconn* to, const clock_source& clock) {
    auto src = open_connection(from, clock);
    if (!src) fail(src.message());
    for (const char* table : {"tc_og_assetregister", "tc_ge_code", "tc_ge_community"}) {
        PGresult* copy = PQexec(to, (std::string("COPY ") + table + " FROM STDIN").c_str());
        if (PQresultStatus(copy) != PGRES_COPY_IN) fail(std::string(table) + ": " + PQerrorMessage(to));
        PQclear(copy);
        auto rows = (*src)->open_cursor(std::string("SELECT * FROM ") + table);
        if (!rows) fail((*src)->sqlerrtext());
        std::string line;
        while (rows->fetch()) {
            line.clear();
            for (int i = 0; i < rows->column_count(); ++i) {
                if (i > 0) line += '\t';
                copy_field(line, rows->column_value(i));
            }
            line += '\n';
            if (PQputCopyData(to, line.data(), static_cast<int>(line.size())) != 1)
                fail(PQerrorMessage(to));
        }
        if (PQputCopyEnd(to, nullptr) != 1) fail(PQerrorMessage(to));
        PGresult* r = PQgetResult(to);
        if (PQresultStatus(r) != PGRES_COMMAND_OK) fail(std::string(table) + ": " + PQerrorMessage(to));
        PQclear(r);
        while (PGresult* rest = PQgetResult(to)) PQclear(rest);
    }
    run(to, "ANALYZE");
}


std::int64_t whole(const PGresult* r, int i) {
    std::int64_t v = 0;
    const char* p = PQgetvalue(r, 0, i);
    std::from_chars(p, p + PQgetlength(r, 0, i), v);
    return v;
}
std::string text(const PGresult* r, int i) {
    return std::string(PQgetvalue(r, 0, i), static_cast<std::size_t>(PQgetlength(r, 0, i)));
}
double real(const PGresult* r, int i) { return std::strtod(PQgetvalue(r, 0, i), nullptr); }

// The same SELECT, prepared once, in single-row mode as the backend reads it.
void raw_retrieve(PGconn* c, std::vector<raw_asset>& out) {
    const char* params[] = {k_bench_commno};
    if (!PQsendQueryPrepared(c, "assets", 1, params, nullptr, nullptr, 0)) fail(PQerrorMessage(c));
    PQsetSingleRowMode(c);
    while (PGresult* r = PQgetResult(c)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
            raw_asset& a = out.emplace_back();
            a.commno = text(r, 0);
            a.orderno = whole(r, 1);
            a.assetsort = text(r, 2);
            a.goodsname = text(r, 3);
            a.namebrand = text(r, 4);
            a.goodstype = text(r, 5);
            a.goodscount = whole(r, 6);
            a.computeunit = text(r, 7);
            a.originvalue = real(r, 8);
            a.purchasedate = text(r, 9);
            a.keepperson = text(r, 10);
            a.scrapedate = text(r, 11);
            a.recorder = text(r, 12);
            a.recorddate = text(r, 13);
            a.issave = text(r, 14);
            a.note = text(r, 15);
            a.prepare1 = text(r, 16);
            a.prepare2 = real(r, 17);
            a.prepare3 = text(r, 18);
            a.prepare4 = text(r, 19);
            a.prepare5 = real(r, 20);
            a.prepare6 = text(r, 21);
        } else if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            fail(PQerrorMessage(c));
        }
        PQclear(r);
    }
}

int main_bench(int argc, char** argv) {
    const char* admin_env = std::getenv("OFFICERECORDS_PG_URI");
    if (!admin_env || !*admin_env) {
        std::printf("skipped: no PostgreSQL server (OFFICERECORDS_PG_URI not set)\n");
        return 0;
    }
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 11;
    const std::string admin = admin_env;
    const std::string name = "bench_" + std::to_string(::getpid());
    const std::string uri = admin.substr(0, admin.rfind('/') + 1) + name;
    bench_host host;

    PGconn* a = connect_raw(admin);
    run(a, "CREATE DATABASE " + name);
    const std::filesystem::path dir = scratch_folder("officerecords_pg_bench_");
    const std::string file = (dir / "office.db").string();
    build_asset_database(file, rows, host);
    if (status st = create_database(uri, false, host); !st) fail(st.message());
    PGconn* raw = connect_raw(uri);
    copy_tables(file, raw, host);
    std::filesystem::remove_all(dir);

    auto opened = open_database(uri, host);
    if (!opened) fail(opened.message());
    database db = opened.take();
    data_window dw;
    if (status st = dw.set_dataobject(d_og_assetregister(), *db.sqlca); !st) fail(st.message());
    const std::vector<value> params{value(k_bench_commno)};
    const std::string select =
        "SELECT * FROM (" + d_og_assetregister().select + ") q WHERE commno = $1 ORDER BY orderno";
    PGresult* prepared = PQprepare(raw, "assets", select.c_str(), 1, nullptr);
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) fail(PQerrorMessage(raw));
    PQclear(prepared);

    std::vector<raw_asset> structs;
    structs.reserve(static_cast<std::size_t>(rows));
    auto window_side = [&](int) {
        if (dw.retrieve("commno = ?", params, "orderno") != rows) fail("short retrieve: " + dw.last_error());
    };
    auto raw_side = [&](int) {
        structs.clear();
        raw_retrieve(raw, structs);
        if (static_cast<int>(structs.size()) != rows) fail("short raw retrieve");
    };
    window_side(0);  // warm-up: pages cached, statements prepared
    raw_side(0);
    const pair_timing t = interleaved(rounds, window_side, raw_side);
    const double ratio = t.window.wall / t.raw.wall;
    std::printf("retrieve %d assets through PostgreSQL (median of %d interleaved rounds)\n", rows,
                rounds);
    std::printf("  data window   %s wall, %s CPU\n", duration(t.window.wall).c_str(),
                duration(t.window.cpu).c_str());
    std::printf("  raw libpq     %s wall, %s CPU\n", duration(t.raw.wall).c_str(),
                duration(t.raw.cpu).c_str());
    std::printf("  ratio %.2fx (target <= %.1fx): %s\n", ratio, k_target,
                ratio <= k_target ? "met" : "NOT met");

    db = {};
    PQfinish(raw);
    run(a, "DROP DATABASE " + name + " WITH (FORCE)");
    PQfinish(a);
    return 0;
}

}  // namespace
}  // namespace officerecords

int main(int argc, char** argv) { return officerecords::main_bench(argc, argv); }
