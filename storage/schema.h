// The database schema: every table the office-records system reads or
// writes, declared once as data and rendered to DDL for each backend.
//
// The registers, the person register, the photo stores, the community
// chronicle, the communities and the code tables are listed with their
// columns in stored order; column and table names are exactly those the
// windows' statements use. Identifiers are never quoted in the DDL, so a
// statement may name them in any letter case. There are no foreign keys:
// register rows may point at persons the wider application has removed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

enum class column_kind { text, date, decimal, integer, blob };

struct table_column {
    std::string_view name;
    column_kind kind;
    int size = 0;  // text: width in characters; decimal: scale (fraction digits)
    // A whole-number key the database assigns itself on insert, for tables
    // whose inserting statement names no key column.
    bool identity = false;
};

struct table_def {
    std::string_view name;
    std::vector<table_column> columns;
    std::vector<std::string_view> key;
    // Secondary indexes, each a list of columns, for the windows' lookups.
    std::vector<std::vector<std::string_view>> indexes = {};
    // Rows kept in key order in SQLite (WITHOUT ROWID), so a table whose
    // key is all it is looked up by costs one tree, not a tree and an index.
    bool clustered = false;

    // The column of that name (case-insensitive), or nullptr.
    const table_column* find_column(std::string_view column) const;
};

// Every table, in a fixed order: the fifteen windows' tables first, then
// the tables of the wider application they read.
const std::vector<table_def>& schema_tables();

// The table of that name, ignoring letter case; nullptr when there is none.
const table_def* find_table(std::string_view name);

enum class sql_dialect { sqlite, postgresql };

// The version of the database format this program reads and writes. Each
// migration step (storage/migration.h) takes a database one version on;
// a database of a higher version is left alone.
inline constexpr int k_schema_version = 5;
// What a SQLite file of this program says it is, in its header ("ORec").
inline constexpr std::int32_t k_application_id = 0x4F526563;
// The server's one-row table of the version (SQLite keeps it in its header).
inline constexpr const char* k_version_table = "tc_og_dbversion";

// The type the DDL declares `c` with in dialect `d`, e.g. "VARCHAR(60)".
std::string sql_type(const table_column& c, sql_dialect d);

// CREATE TABLE statements for every table, in schema_tables() order,
// followed by the CREATE INDEX statements. No statement ends in ";".
std::vector<std::string> schema_ddl(sql_dialect d);

// The CREATE TABLE of one table, under `name` when given (a table being
// rebuilt), its key columns NOT NULL unless a migration step before that
// rule asks otherwise; and the CREATE INDEX statements of its indexes.
std::string table_ddl(const table_def& t, sql_dialect d, std::string_view name = {}, bool keys_not_null = true);
std::vector<std::string> index_ddl(const table_def& t);

// The server's index of the history by record key in the order of the
// key's bytes (COLLATE "C"), whatever the database's collation: a record's
// history finds the keys that start with its number as a range of it.
// SQLite's index of (tablename, recordkey) compares bytes already.
std::string history_key_index_ddl();

// Creates every table and index on `t`, inside the caller's write
// transaction; the database must be empty of these tables. On failure the
// message names the statement that failed and the database's text, and the
// caller rolls back.
[[nodiscard]] status create_schema(transaction& t, sql_dialect d);

}  // namespace officerecords
