#include "platform/database.h"

#include <cstdio>
#include <filesystem>

#include "platform/demo_data.h"
#include "platform/schema.h"
#include "platform/sqlite_transaction.h"

namespace officerecords {

result<std::unique_ptr<transaction>> open_connection(const std::string& target,
                                                     const clock_source& clock) {
    auto t = sqlite_transaction::open(target, open_mode::existing, clock);
    if (!t) return status::error(t.message());
    std::unique_ptr<transaction> conn = t.take();
    auto has = conn->select_value(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'tc_ge_community'");
    if (!has) return status::error(target + ": " + conn->sqlerrtext());
    if (has->as_double().value_or(0) == 0)
        return status::error(target + " is not an OfficeRecords database (no table tc_ge_community)");
    return conn;
}

result<database> open_database(const std::string& target, const clock_source& clock) {
    auto a = open_connection(target, clock);
    if (!a) return status::error(a.message());
    auto b = open_connection(target, clock);
    if (!b) return status::error(b.message());
    return database{a.take(), b.take()};
}

status create_database(const std::string& target, bool demo, const clock_source& clock) {
    auto t = sqlite_transaction::open(target, open_mode::create, clock);
    if (!t) return status::error(t.message());
    status st = create_schema(**t, sql_dialect::sqlite);
    if (st && demo) st = fill_demo_data(**t);
    if (st) return st;
    t->reset();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((target + suffix).c_str());
    return st;
}

}  // namespace officerecords
