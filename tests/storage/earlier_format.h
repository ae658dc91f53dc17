// Databases of the program's earlier formats, made the way those versions
// made them: the tables from the declarations kept beside this file
// (earlier_formats/*.sql), the demo office's records written as those
// versions stored them, and a few records other programs might have left:
// an amount of more digits than a number holds, one stored in another
// form, records whose number is empty.
#pragma once

#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "storage/database.h"
#include "storage/schema.h"
#include "demo/demo_data.h"

namespace officerecords::testkit {

enum class earlier_format {
    numeric,       // amounts as NUMERIC: doubles, no history tables
    decimal_text,  // amounts as their digits in text
};

inline std::string earlier_format_name(earlier_format f) {
    return f == earlier_format::numeric ? "numeric" : "decimal_text";
}

// The amounts and records every earlier database gets beside the demo's.
// The first is beyond what a number holds exactly: as digits it was kept,
// as a double it was already rounded when it was stored.
inline constexpr const char* k_beyond_a_double = "99999999999999.99";
inline constexpr const char* k_other_form = "19960.001";

namespace earlier_detail {

inline bool run(sqlite3* db, const std::string& sql, std::string& why) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
    why = sql.substr(0, 80) + ": " + (error ? error : "?");
    sqlite3_free(error);
    return false;
}

inline std::vector<std::string> tables_of(sqlite3* db) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return out;
}

inline bool has_column(sqlite3* db, const std::string& table, std::string_view column) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE lower(name) = lower(?2)", -1, &stmt,
                       nullptr);
    sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, column.data(), static_cast<int>(column.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) > 0;
    sqlite3_finalize(stmt);
    return found;
}

}  // namespace earlier_detail

// Makes `path` a database of that format holding the demo office; "" or
// what went wrong.
inline std::string make_earlier_database(const std::string& path, earlier_format format,
                                         const clock_source& clock) {
    using namespace earlier_detail;
    const std::string demo = path + ".demo";
    if (status st = create_demo_database(demo, clock); !st) return st.message();
    std::ifstream in(std::string(OFFICERECORDS_EARLIER_FORMATS) + "/" + earlier_format_name(format) + ".sql");
    std::stringstream ddl;
    ddl << in.rdbuf();
    if (ddl.str().empty()) return "no declaration of " + earlier_format_name(format);

    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::string why;
    bool ok = run(db, "PRAGMA journal_mode=WAL", why) && run(db, ddl.str(), why) &&
              run(db, "ATTACH DATABASE '" + demo + "' AS demo", why) && run(db, "BEGIN", why);
    const bool text = format == earlier_format::decimal_text;
    for (const std::string& table : tables_of(db)) {
        if (!ok) break;
        const table_def* def = find_table(table);
        if (!def) continue;
        std::string names, values;
        for (const table_column& c : def->columns) {
            // A column a later version added is not there yet.
            if (!has_column(db, table, c.name)) continue;
            if (!names.empty()) {
                names += ", ";
                values += ", ";
            }
            names += c.name;
            // As the version stored an amount: its digits at the column's
            // scale, or the number its NUMERIC column made of them.
            if (c.kind == column_kind::decimal && c.size > 0 && text)
                values += "CASE WHEN " + std::string(c.name) + " IS NULL THEN NULL ELSE printf('%." +
                          std::to_string(c.size) + "f', " + std::string(c.name) + ") END";
            else
                values += c.name;
        }
        ok = run(db, "INSERT INTO main." + table + " (" + names + ") SELECT " + values + " FROM demo." + table, why);
    }
    // What other programs may have left: an amount of 16 digits, one in
    // another form than the program writes, and two records without a
    // number.
    const std::string beyond = text ? "'" + std::string(k_beyond_a_double) + "'" : k_beyond_a_double;
    const std::string other = text ? "'" + std::string(k_other_form) + "'" : k_other_form;
    ok = ok &&
         run(db, "UPDATE tc_og_assetregister SET originvalue = " + beyond +
                     " WHERE commno = '420106001001' AND orderno = 1", why) &&
         run(db, "UPDATE tc_og_assetregister SET originvalue = " + other +
                     " WHERE commno = '420106001001' AND orderno = 2", why) &&
         run(db, "INSERT INTO tc_og_assetregister (commno, orderno, goodsname, issave) VALUES "
                 "('420106001001', NULL, '无编号的资产甲', '1'), ('420106001001', NULL, '无编号的资产乙', '1')",
             why) &&
         run(db, "COMMIT", why) && run(db, "DETACH DATABASE demo", why);
    sqlite3_close_v2(db);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((demo + suffix).c_str());
    return ok ? "" : why;
}

}  // namespace officerecords::testkit
