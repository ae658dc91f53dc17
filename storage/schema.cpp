#include "storage/schema.h"

#include <initializer_list>

namespace officerecords {

namespace {

constexpr table_column text(std::string_view name, int width) {
    return {name, column_kind::text, width};
}
constexpr table_column day(std::string_view name) { return {name, column_kind::date}; }
constexpr table_column money(std::string_view name, int scale) {
    return {name, column_kind::decimal, scale};
}
constexpr table_column whole(std::string_view name) { return {name, column_kind::integer}; }
constexpr table_column bytes(std::string_view name) { return {name, column_kind::blob}; }

// Every register carries six reserved columns that no window shows; they sit
// between `before` and `after` in stored order.
std::vector<table_column> with_prepares(std::initializer_list<table_column> before,
                                        std::initializer_list<table_column> after = {}) {
    std::vector<table_column> columns(before);
    columns.insert(columns.end(), {day("prepare1"), money("prepare2", 2), text("prepare3", 254),
                                   day("prepare4"), money("prepare5", 2), text("prepare6", 254)});
    columns.insert(columns.end(), after);
    return columns;
}

std::vector<table_def> build_tables() {
    const std::vector<std::string_view> register_key = {"commno", "orderno"};
    return {
        {"tc_og_assetregister",
         with_prepares({text("commno", 12), money("orderno", 0), text("assetsort", 2),
                        text("goodsname", 60), text("namebrand", 60), text("goodstype", 60),
                        whole("goodscount"), text("computeunit", 10), money("originvalue", 2),
                        day("purchasedate"), text("keepperson", 30), day("scrapedate"),
                        text("recorder", 30), day("recorddate"), text("issave", 1),
                        text("note", 254)}),
         register_key},
        {"tc_og_incomemoneyrecord",
         with_prepares({text("commno", 12), money("orderno", 0), day("recorddate"),
                        text("outlaysort", 2), text("outlaysource", 2), money("moneysum", 2),
                        text("handleperson", 30), text("recorder", 30), text("issave", 1),
                        text("note", 254)}),
         register_key,
         // The statistics sum a community's amounts by date and category
         // from the index alone, without reading the table's rows.
         {{"commno", "recorddate", "outlaysort", "moneysum"}}},
        {"tc_og_moneyoutgorecord",
         with_prepares({text("commno", 12), money("orderno", 0), day("recorddate"),
                        text("outlaysort", 2), text("usebound", 2), text("usenote", 400),
                        money("moneysum", 2), text("handleperson", 30), text("examperson", 30),
                        text("recorder", 30), text("issave", 1), text("note", 254)}),
         register_key,
         {{"commno", "recorddate", "outlaysort", "usebound", "moneysum"}}},
        {"tc_og_dailyworkrecord",
         with_prepares({text("commno", 12), money("orderno", 0), day("meetdate"),
                        text("meetname", 100), text("commaddr", 60), text("organise", 2),
                        text("attendperson", 400), text("content", 4000), text("submitdept", 2),
                        text("issave", 1), text("recorder", 30), text("note", 254)}),
         register_key,
         {{"commno", "meetdate", "organise", "submitdept"}}},
        {"tc_og_sealuserecord",
         with_prepares({text("commno", 12), money("orderno", 0), text("personno", 24),
                        day("applydate"), text("sealusesort", 2), text("detailuse", 2000),
                        text("dealperson", 30), text("confirmperson", 30), text("issave", 1),
                        text("note", 254)}),
         register_key,
         {{"personno"}, {"commno", "applydate", "sealusesort"}}},
        {"tc_og_comminregister",
         with_prepares({text("commno", 12), money("orderno", 0), day("registdate"),
                        text("commintype", 2), text("registname", 60), text("registcontent", 2000),
                        text("isagree", 1), day("incommdate"), day("outcommdate"),
                        text("residentappraise", 1000), text("issave", 1), text("note", 2000)}),
         register_key,
         {{"commno", "registdate", "isagree"}}},
        {"tc_og_commactivityrecord",
         with_prepares({text("commno", 12), money("orderno", 0), text("buildmode", 2),
                        day("activitydate"), text("activitytopic", 2), text("activityaddr", 60),
                        text("submitdept", 100), text("activityplan", 4000), whole("attendcompnum"),
                        whole("attendpersonnum"), text("activitysumup", 4000),
                        money("activitycost", 2), text("outlaysource", 2), text("recorder", 30),
                        text("ispublish", 1), text("isbigaffair", 1), text("issave", 1),
                        text("note", 254)}),
         register_key,
         {{"commno", "activitydate"}}},
        {"tc_og_councilorgduty",
         with_prepares({text("commno", 12), whole("orgno"), text("falldue", 2), text("orgname", 60),
                        text("organtype", 2), text("orgpost", 2000), text("issave", 1),
                        text("note", 254)}),
         {"commno", "orgno"},
         // The one-name-per-term rule counts by term and name (within the community).
         {{"falldue", "orgname"}}},
        {"tc_og_councilmemberinfo",
         with_prepares({text("commno", 12), money("orderno", 0), text("falldue", 2),
                        text("personno", 24), text("formeridentity", 2), day("havevisadate"),
                        text("partypost", 2), text("inhabitstatus", 2), text("duty", 2),
                        text("isresidentagent", 1), text("iscandidater", 1), text("islinkduty", 1),
                        day("dimissdate"), text("dinissionmode", 2), text("jobduty", 1000),
                        text("issave", 1), text("note", 254)},
                       {text("dutyinparty", 2), day("ondutydate")}),
         register_key,
         // The side registers join members by person; the one-chairman rule
         // counts by term and duty.
         {{"personno"}, {"falldue", "duty"}}},
        {"tc_og_councilorgmember",
         with_prepares({text("commno", 12), money("orderno", 0), whole("orgno"), text("issave", 1),
                        text("note", 254), text("personno", 24)},
                       {text("duty", 2)}),
         register_key,
         {{"orgno"}}},
        {"tc_og_councilmembertrain",
         with_prepares({text("commno", 12), money("orderno", 0), text("personno", 24),
                        day("traindate"), text("trainlevel", 2), text("ispass", 1),
                        text("issave", 1), text("note", 254)}),
         register_key,
         {{"personno"}}},
        {"tc_og_councilmemberappr",
         with_prepares({text("commno", 12), money("orderno", 0), text("personno", 24),
                        text("assessyear", 2), text("assessresult", 2), text("issave", 1),
                        text("note", 254)}),
         register_key,
         {{"personno"}}},
        {"tc_og_councilmemberhonor",
         with_prepares(
             {text("commno", 12), money("orderno", 0), text("personno", 24), day("prizedate"),
              text("prizelevel", 2), text("prizename", 40), text("issave", 1), text("note", 254)},
             {text("prizecode", 2)}),
         register_key,
         {{"personno"}}},
        {"tc_og_parttimejob",
         with_prepares({text("commno", 12), money("orderno", 0), text("personno", 24),
                        day("holdtime"), text("parttimejob", 4), text("issave", 1),
                        text("note", 254)}),
         register_key,
         {{"personno"}}},
        {"TS_CommActivePhoto",
         {text("CommNo", 12), whole("OrderNo"), whole("PhotoNo"), text("PhotoFileName", 254),
          text("PhotoNote", 254), bytes("Photo")},
         {"OrderNo", "PhotoNo"}},
        // The chronicle's insert names no key column, so the database numbers
        // the entries; the transfer looks entries up by subject and date.
        {"TC_GE_BigAffair",
         {{"AffairNo", column_kind::integer, 0, true},
          text("CommNo", 12),
          day("AffairDate"),
          text("Subject", 100),
          text("Content", 4000),
          text("IsSave", 1)},
         {"AffairNo"},
         {{"Subject", "AffairDate"}}},
        // The history of every saved change: one row a change, found by its
        // record, and one item a changed column with its old and new value.
        {"tc_og_changelog",
         {{"logno", column_kind::integer, 0, true},
          text("changetime", 19),
          text("workstation", 60),
          text("osuser", 60),
          text("commno", 12),
          text("windowname", 60),
          text("tablename", 60),
          text("recordkey", 254),
          text("changekind", 10),
          text("ischecked", 1),
          // The server's login that made the change (session_user); SQLite
          // has no logins and leaves it empty.
          text("dbuser", 63)},
         {"logno"},
         {{"tablename", "recordkey"}}},
        {"tc_og_changelog_item",
         {whole("logno"), whole("itemno"), text("columnname", 60), text("oldvalue", 4000),
          text("newvalue", 4000)},
         {"logno", "itemno"},
         {},
         true},
        {"tc_ge_personinfo",
         {text("personno", 24), text("personname", 30), text("idcard", 20), text("sex", 2),
          day("birthdate"), text("rprtype", 2), text("rpraddr", 60), text("nationality", 2),
          text("polity", 2), text("contactphone", 30), text("edulevel", 2),
          text("presentaddr1", 60), text("personkind", 2), whole("isdeath")},
         {"personno"},
         // The person pickers search by name.
         {{"personname"}}},
        {"tc_ge_personotherinfo", {text("personno", 24), text("isvolunteer", 1)}, {"personno"}},
        {"TS_PersonPhoto",
         {text("PersonNo", 24), text("PhotoFileName", 254), bytes("Photo")},
         {"PersonNo"}},
        {"tc_ge_code",
         {text("codetable", 40), text("tcode", 10), text("tname", 100)},
         {"codetable", "tcode"}},
        {"tc_ge_community", {text("commno", 12), text("commname", 60)}, {"commno"}},
    };
}

std::string joined(const std::vector<std::string_view>& names, std::string_view separator) {
    std::string out;
    for (std::string_view n : names) {
        if (!out.empty()) out += separator;
        out += n;
    }
    return out;
}

bool in_key(const table_def& t, std::string_view column) {
    for (std::string_view k : t.key)
        if (iequals(k, column)) return true;
    return false;
}

std::string create_table(const table_def& t, sql_dialect d, std::string_view name, bool keys_not_null) {
    std::string sql = "CREATE TABLE " + std::string(name.empty() ? t.name : name) + " (";
    bool key_inline = false;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const table_column& c = t.columns[i];
        sql += i == 0 ? "\n    " : ",\n    ";
        sql += c.name;
        if (c.identity && d == sql_dialect::sqlite) {
            // Exactly "INTEGER PRIMARY KEY" makes the column SQLite's rowid,
            // which the database fills on insert.
            sql += " INTEGER PRIMARY KEY";
            key_inline = true;
            continue;
        }
        sql += ' ';
        sql += sql_type(c, d);
        if (c.identity) sql += " GENERATED BY DEFAULT AS IDENTITY";
        // SQLite, unlike the server, lets a key column of an ordinary table
        // hold null: a record no window could find again.
        else if (keys_not_null && in_key(t, c.name)) sql += " NOT NULL";
    }
    if (!key_inline) sql += ",\n    PRIMARY KEY (" + joined(t.key, ", ") + ")";
    sql += "\n)";
    if (t.clustered && d == sql_dialect::sqlite) sql += " WITHOUT ROWID";
    return sql;
}

std::string create_index(const table_def& t, const std::vector<std::string_view>& columns) {
    return "CREATE INDEX " + lower("ix_" + std::string(t.name) + "_" + joined(columns, "_")) +
           " ON " + std::string(t.name) + " (" + joined(columns, ", ") + ")";
}

}  // namespace

std::string sql_type(const table_column& c, sql_dialect d) {
    const bool pg = d == sql_dialect::postgresql;
    switch (c.kind) {
        case column_kind::text:
            return "VARCHAR(" + std::to_string(c.size) + ")";
        case column_kind::date:
            return "DATE";
        case column_kind::decimal:
            // SQLite keeps an amount as a number (an integer, or a double
            // that holds its 15 digits exactly), so that every reader of the
            // file compares, sorts and adds amounts as numbers. The server's
            // NUMERIC is exact to 18; the program takes 15 on both.
            return "NUMERIC(" + std::string(pg ? "18" : "15") + "," + std::to_string(c.size) + ")";
        case column_kind::integer:
            return pg ? "BIGINT" : "INTEGER";
        case column_kind::blob:
            return pg ? "BYTEA" : "BLOB";
    }
    return {};
}

const table_column* table_def::find_column(std::string_view column) const {
    for (const table_column& c : columns) {
        if (iequals(c.name, column)) return &c;
    }
    return nullptr;
}

const std::vector<table_def>& schema_tables() {
    static const std::vector<table_def> tables = build_tables();
    return tables;
}

const table_def* find_table(std::string_view name) {
    for (const table_def& t : schema_tables()) {
        if (iequals(t.name, name)) return &t;
    }
    return nullptr;
}

std::string table_ddl(const table_def& t, sql_dialect d, std::string_view name, bool keys_not_null) {
    return create_table(t, d, name, keys_not_null);
}

std::vector<std::string> index_ddl(const table_def& t) {
    std::vector<std::string> statements;
    // A register numbers its records over the whole table (MAX of the
    // number), which its (commno, number) key cannot serve: without this
    // index every added record would read the whole table.
    if (t.key.size() == 2 && iequals(t.key[0], "commno")) statements.push_back(create_index(t, {t.key[1]}));
    for (const auto& columns : t.indexes) statements.push_back(create_index(t, columns));
    return statements;
}

std::string history_key_index_ddl() {
    return "CREATE INDEX ix_tc_og_changelog_recordkey_bytes ON tc_og_changelog (tablename, recordkey COLLATE \"C\")";
}

std::vector<std::string> schema_ddl(sql_dialect d) {
    std::vector<std::string> statements;
    for (const table_def& t : schema_tables()) statements.push_back(create_table(t, d, {}, true));
    for (const table_def& t : schema_tables())
        for (std::string& sql : index_ddl(t)) statements.push_back(std::move(sql));
    if (d == sql_dialect::postgresql) {
        statements.push_back(history_key_index_ddl());
        statements.push_back("CREATE TABLE " + std::string(k_version_table) + " (version INTEGER NOT NULL)");
        // The functions the data-window statements call, which SQLite gets
        // from the connection. today() is the workstation's date, which each
        // connection passes on in officerecords.today; a session of another
        // program falls back on the server's date.
        statements.push_back(
            "CREATE FUNCTION today() RETURNS date LANGUAGE sql STABLE AS $$ SELECT "
            "coalesce(nullif(current_setting('officerecords.today', true), '')::date, current_date) $$");
        statements.push_back(
            "CREATE FUNCTION year(date) RETURNS integer LANGUAGE sql IMMUTABLE AS "
            "$$ SELECT extract(year FROM $1)::integer $$");
        // Whole years: one less while that year's birthday is still to come.
        statements.push_back(
            "CREATE FUNCTION f_getpersonage(date, date) RETURNS integer LANGUAGE sql IMMUTABLE AS "
            "$$ SELECT extract(year FROM $1)::integer - extract(year FROM $2)::integer - CASE WHEN "
            "(extract(month FROM $1), extract(day FROM $1)) < (extract(month FROM $2), extract(day "
            "FROM $2)) THEN 1 ELSE 0 END $$");
        statements.push_back(
            "CREATE FUNCTION isnull(anycompatible, anycompatible) RETURNS anycompatible LANGUAGE sql "
            "IMMUTABLE AS $$ SELECT coalesce($1, $2) $$");
    }
    return statements;
}

status create_schema(transaction& t, sql_dialect d) {
    for (const std::string& sql : schema_ddl(d)) {
        if (t.execute(sql) != sql_code::ok)
            return status::error("不能在 " + t.describe_target() + " 中建表：" +
                                 sql.substr(0, sql.find(" (")) + "：" + t.sqlerrtext());
    }
    return status::ok();
}

}  // namespace officerecords
