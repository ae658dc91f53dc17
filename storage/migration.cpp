#include "storage/migration.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/change_log.h"
#include "officerecords_version.h"
#include "storage/server_accounts.h"
#include "storage/system_clock.h"

namespace officerecords {

namespace {

// The name a table is rebuilt under before it takes its own again.
constexpr const char* k_rebuilt = "officerecords_rebuilt";

// Whether the table is there; an error reading the catalogue is an error,
// never taken for "not there", which would let a step skip the table.
result<bool> table_exists(transaction& t, sql_dialect d, std::string_view name) {
    const value v{lower(std::string(name))};
    const auto found = d == sql_dialect::sqlite
                           ? t.select_value("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                            "lower(name) = ?",
                                            {&v, 1})
                           : t.select_value("SELECT count(*) FROM information_schema.tables WHERE "
                                            "table_schema = current_schema() AND lower(table_name) = ?",
                                            {&v, 1});
    if (!found) return status::error("不能读取数据库中有哪些表：" + t.sqlerrtext());
    return found->as_double().value_or(0) > 0;
}

struct stored_column {
    std::string name;
    std::string type;
    bool not_null;
};

// A SQLite table's columns as stored, in order.
result<std::vector<stored_column>> columns_of(transaction& t, std::string_view table) {
    const value v{std::string(table)};
    auto rows = t.open_cursor("SELECT name, type, \"notnull\" FROM pragma_table_info(?)", {&v, 1});
    if (!rows) return status::error(t.sqlerrtext());
    std::vector<stored_column> out;
    while (rows->fetch())
        out.push_back({std::string(rows->column_text(0)), std::string(rows->column_text(1)),
                       rows->column_integer(2) != 0});
    if (t.sqlcode() < 0) return status::error(t.sqlerrtext());
    return out;
}

const stored_column* find_stored(const std::vector<stored_column>& columns, std::string_view name) {
    for (const stored_column& c : columns)
        if (iequals(c.name, name)) return &c;
    return nullptr;
}

status failed(transaction& t, std::string_view what) {
    return status::error(std::string(what) + "：" + t.sqlerrtext());
}

std::string if_not_exists(std::string create_index) {
    const std::string head = "CREATE INDEX ";
    return create_index.starts_with(head) ? head + "IF NOT EXISTS " + create_index.substr(head.size())
                                          : create_index;
}

// Rebuilds a SQLite table to its declaration (keys NOT NULL or not yet):
// SQLite changes no column's type or constraint in place. The rows are
// copied as stored; a column the declaration lacks stops the rebuild, so
// that nothing of it is lost.
status rebuild(transaction& t, const table_def& def, bool keys_not_null) {
    auto stored = columns_of(t, def.name);
    if (!stored) return status::error(stored.message());
    for (const stored_column& c : *stored)
        if (!def.find_column(c.name))
            return status::error("表 " + std::string(def.name) + " 中有本程序不认识的列 " + c.name);
    std::string names;
    for (const table_column& c : def.columns) {
        if (!find_stored(*stored, c.name)) continue;
        if (!names.empty()) names += ", ";
        names += c.name;
    }
    const std::string table(def.name);
    if (t.execute(table_ddl(def, sql_dialect::sqlite, k_rebuilt, keys_not_null)) != sql_code::ok)
        return failed(t, "不能重建表 " + table);
    if (t.execute("INSERT INTO " + std::string(k_rebuilt) + " (" + names + ") SELECT " + names + " FROM " +
                  table) != sql_code::ok)
        return failed(t, "不能复制表 " + table + " 的记录");
    if (t.execute("DROP TABLE " + table) != sql_code::ok ||
        t.execute("ALTER TABLE " + std::string(k_rebuilt) + " RENAME TO " + table) != sql_code::ok)
        return failed(t, "不能重建表 " + table);
    for (const std::string& sql : index_ddl(def))
        if (t.execute(sql) != sql_code::ok) return failed(t, "不能建立表 " + table + " 的索引");
    return status::ok();
}

// ---- the steps ------------------------------------------------------------

// The first format had no history of changes and no index on the record
// numbers; every later one has both.
status add_history_and_indexes(transaction& t, sql_dialect d, migration_work& work) {
    for (const table_def& def : schema_tables()) {
        const bool own = def.name == "tc_og_changelog" || def.name == "tc_og_changelog_item";
        auto there = table_exists(t, d, def.name);
        if (!there) return status::error(there.message());
        if (own && !*there) {
            if (t.execute(table_ddl(def, d)) != sql_code::ok)
                return failed(t, "不能建立表 " + std::string(def.name));
            work.notes.push_back("建立了表 " + std::string(def.name));
            *there = true;
        }
        if (!*there) continue;
        for (const std::string& sql : index_ddl(def))
            if (t.execute(if_not_exists(sql)) != sql_code::ok)
                return failed(t, "不能建立表 " + std::string(def.name) + " 的索引");
    }
    return status::ok();
}

// Significant digits of a decimal, trailing zeros of its fraction left out.
int significant_digits(decimal d) {
    std::int64_t units = d.units() < 0 ? -d.units() : d.units();
    int scale = d.scale();
    while (scale > 0 && units % 10 == 0) {
        units /= 10;
        --scale;
    }
    int digits = 0;
    for (; units > 0; units /= 10) ++digits;
    return digits;
}

// Amounts kept as their digits in text become numbers, which every reader
// of the file compares, sorts and adds as numbers. A text that is a number
// of more digits than a number holds exactly is kept as it was stored, as
// its bytes, and said so: it would otherwise change.
status store_amounts_as_numbers(transaction& t, sql_dialect d, migration_work& work) {
    if (d != sql_dialect::sqlite) return status::ok();
    for (const table_def& def : schema_tables()) {
        auto there = table_exists(t, d, def.name);
        if (!there) return status::error(there.message());
        if (!*there) continue;
        auto stored = columns_of(t, def.name);
        if (!stored) return status::error(stored.message());
        bool changes = false;
        for (const table_column& c : def.columns) {
            if (c.kind != column_kind::decimal) continue;
            const stored_column* s = find_stored(*stored, c.name);
            if (s && !iequals(s->type, sql_type(c, d))) changes = true;
        }
        if (!changes) continue;
        for (const table_column& c : def.columns) {
            if (c.kind != column_kind::decimal || !find_stored(*stored, c.name)) continue;
            const std::string column(c.name);
            auto texts = t.open_cursor("SELECT rowid, " + column + " FROM " + std::string(def.name) +
                                       " WHERE typeof(" + column + ") = 'text'");
            if (!texts) return failed(t, "不能读取表 " + std::string(def.name));
            std::vector<std::pair<std::int64_t, std::string>> beyond;
            while (texts->fetch()) {
                const std::string text(texts->column_text(1));
                const std::optional<decimal> amount = decimal::parse(text);
                if (amount && significant_digits(*amount) > decimal::k_column_digits)
                    beyond.emplace_back(texts->column_integer(0), text);
            }
            if (t.sqlcode() < 0) return failed(t, "不能读取表 " + std::string(def.name));
            texts.reset();
            for (const auto& [rowid, text] : beyond) {
                const value p[] = {value(blob(text.begin(), text.end())), value(rowid)};
                if (t.execute("UPDATE " + std::string(def.name) + " SET " + column + " = ? WHERE rowid = ?", p) !=
                    sql_code::ok)
                    return failed(t, "不能保留表 " + std::string(def.name) + " 的数值");
                work.notes.push_back("表 " + std::string(def.name) + " 第 " + std::to_string(rowid) +
                                           " 行的 " + column + "（" + text + "）超过 " +
                                           std::to_string(decimal::k_column_digits) +
                                           " 位有效数字，不能成为数值，按原样保存");
            }
        }
        if (status st = rebuild(t, def, false); !st) return st;
    }
    return status::ok();
}

// A record whose key column holds null is one no window finds again; the
// server never lets it in. Such a record gets a key (a number after the
// highest, an empty text), on record, and then SQLite is told to keep
// keys filled as the server does.
status fill_keys(transaction& t, sql_dialect d, migration_work& work) {
    if (d != sql_dialect::sqlite) return status::ok();
    for (const table_def& def : schema_tables()) {
        // A clustered table's key and a numbering column are filled already.
        if (def.clustered) continue;
        auto there = table_exists(t, d, def.name);
        if (!there) return status::error(there.message());
        if (!*there) continue;
        if (std::any_of(def.columns.begin(), def.columns.end(), [](const table_column& c) { return c.identity; }))
            continue;
        auto stored = columns_of(t, def.name);
        if (!stored) return status::error(stored.message());
        bool loose = false;
        for (std::string_view k : def.key)
            if (const stored_column* s = find_stored(*stored, k); s && !s->not_null) loose = true;
        if (!loose) continue;

        const std::string table(def.name);
        std::string select = "SELECT rowid", where;
        for (std::string_view k : def.key) {
            select += ", " + std::string(k);
            where += (where.empty() ? "" : " OR ") + std::string(k) + " IS NULL";
        }
        auto rows = t.open_cursor(select + " FROM " + table + " WHERE " + where);
        if (!rows) return failed(t, "不能读取表 " + table);
        std::vector<std::vector<value>> found;
        while (rows->fetch()) {
            std::vector<value> row;
            for (int i = 0; i <= static_cast<int>(def.key.size()); ++i) row.push_back(rows->column_value(i));
            found.push_back(std::move(row));
        }
        if (t.sqlcode() < 0) return failed(t, "不能读取表 " + table);
        rows.reset();
        for (const std::vector<value>& row : found) {
            std::string set, key;
            std::vector<value> params;
            std::vector<column_change> changes;
            for (std::size_t k = 0; k < def.key.size(); ++k) {
                const std::string column(def.key[k]);
                value now = row[k + 1];
                if (now.is_null()) {
                    const table_column* c = def.find_column(column);
                    if (c->kind == column_kind::text) {
                        now = value("");
                    } else {
                        const auto top = t.select_value("SELECT MAX(" + column + ") FROM " + table);
                        if (t.sqlcode() < 0) return failed(t, "不能读取表 " + table);
                        const double highest = top ? top->as_double().value_or(0) : 0;
                        now = value(static_cast<std::int64_t>(highest) + 1);
                    }
                    set += (set.empty() ? "" : ", ") + column + " = ?";
                    params.push_back(now);
                    changes.push_back({column, value(), now});
                }
                key += (key.empty() ? "" : ";") + column + "=" + now.to_text();
            }
            params.push_back(row[0]);
            if (t.execute("UPDATE " + table + " SET " + set + " WHERE rowid = ?", params) != sql_code::ok)
                return failed(t, "不能给表 " + table + " 的记录补上编号");
            if (status st = record_change(t, work.who, def.name, key, change_kind::update, changes); !st)
                return st;
            work.notes.push_back("表 " + table + " 中一条编号为空的记录补上了编号：" + key);
        }
        if (status st = rebuild(t, def, true); !st)
            return status::error(st.message() + "（表 " + table + " 中可能有编号相同的记录，请先更正）");
    }
    return status::ok();
}

// The history of the upgrade: one entry a step, as the program's own,
// naming the program's version that made it (one more item: histories
// written before it was named read as they did).
status record_step(transaction& t, const migration_step& step, int from, const std::string& backup,
                   const migration_work& work) {
    std::vector<column_change> columns = {
        {"数据库版本", value(std::to_string(from)), value(std::to_string(step.version))},
        {"升级内容", value(), value(std::string(step.what))},
        {k_program_version_item, value(), value(std::string(k_version_full))}};
    if (!backup.empty()) columns.push_back({"升级前的备份", value(), value(backup)});
    for (const std::string& line : work.notes) columns.push_back({"说明", value(), value(line)});
    return record_change(t, work.who, "数据库", "版本=" + std::to_string(step.version), change_kind::upgrade,
                         columns);
}

// Every table and column this version has, in one query: a database that
// lacks one would fail only once that register is used.
status check_tables(transaction& t, sql_dialect d, const std::string& target) {
    auto rows = d == sql_dialect::sqlite
                    ? t.open_cursor("SELECT lower(m.name), lower(p.name) FROM sqlite_master m, "
                                    "pragma_table_info(m.name) p WHERE m.type = 'table'")
                    : t.open_cursor("SELECT lower(table_name), lower(column_name) FROM "
                                    "information_schema.columns WHERE table_schema = current_schema()");
    if (!rows) return status::error(target + "：" + t.sqlerrtext());
    std::vector<std::pair<std::string, std::string>> there;
    while (rows->fetch()) there.emplace_back(rows->column_text(0), rows->column_text(1));
    if (t.sqlcode() < 0) return status::error(target + "：" + t.sqlerrtext());
    std::sort(there.begin(), there.end());
    for (const table_def& def : schema_tables()) {
        const std::string table = lower(std::string(def.name));
        const auto first = std::lower_bound(there.begin(), there.end(), std::make_pair(table, std::string()));
        if (first == there.end() || first->first != table)
            return status::error("数据库中缺少表 " + std::string(def.name) + "，不能打开：" + target);
        for (const table_column& c : def.columns)
            if (!std::binary_search(there.begin(), there.end(), std::make_pair(table, lower(std::string(c.name)))))
                return status::error("数据库的表 " + std::string(def.name) + " 中缺少列 " + std::string(c.name) +
                                     "，不能打开：" + target);
    }
    return status::ok();
}

// The history names the server's login of each change, and on the server
// each clerk's login is kept to his communities by the server itself.
status add_accounts(transaction& t, sql_dialect d, migration_work&) {
    const table_column& login = *find_table("tc_og_changelog")->find_column("dbuser");
    // A history first made by this upgrade (step 1) has the column already.
    const value where[] = {value("tc_og_changelog"), value("dbuser")};
    const auto there =
        d == sql_dialect::sqlite
            ? t.select_value("SELECT count(*) FROM pragma_table_info(?) WHERE name = ?", where)
            : t.select_value("SELECT count(*) FROM information_schema.columns WHERE table_schema = current_schema() "
                             "AND table_name = ? AND column_name = ?",
                             where);
    if (!there) return failed(t, "不能读取表 tc_og_changelog 的列");
    if (there->as_double().value_or(0) == 0 && t.execute("ALTER TABLE tc_og_changelog ADD COLUMN dbuser " + sql_type(login, d)) != sql_code::ok)
        return failed(t, "不能给表 tc_og_changelog 加列 dbuser");
    if (d == sql_dialect::postgresql) return secure_server_database(t);
    return status::ok();
}

// A record's history reads the keys starting with its number as a range;
// on the server only an index in the keys' byte order serves that range.
// The statistics read a community's registers by their dates, which the
// registers' date indexes (new in this format, beside the others) serve.
status add_history_key_and_date_indexes(transaction& t, sql_dialect d, migration_work& work) {
    if (d == sql_dialect::postgresql && t.execute(if_not_exists(history_key_index_ddl())) != sql_code::ok)
        return failed(t, "不能建立表 tc_og_changelog 的索引");
    return add_history_and_indexes(t, d, work);
}

}  // namespace

const std::vector<migration_step>& migration_steps() {
    static const std::vector<migration_step> steps = {
        {1, "补建修改记录表（tc_og_changelog、tc_og_changelog_item）和登记簿编号的索引",
         [](transaction& t, sql_dialect d, migration_work& w) { return add_history_and_indexes(t, d, w); }},
        {2, "金额改存为数值（NUMERIC），其他程序比较、排序和合计金额时按数值计算",
         [](transaction& t, sql_dialect d, migration_work& w) { return store_amounts_as_numbers(t, d, w); }},
        {3, "主键列不能为空（NOT NULL），与服务器上的约束相同",
         [](transaction& t, sql_dialect d, migration_work& w) { return fill_keys(t, d, w); }},
        {4, "修改记录记下数据库服务器上的登录账号；服务器上每个社区的记录只有本社区的账号能看到和修改",
         [](transaction& t, sql_dialect d, migration_work& w) { return add_accounts(t, d, w); }},
        {5, "修改记录按记录号的字节顺序建立索引，查看一条记录的修改记录时不再读遍整个修改记录表；"
            "各登记簿按日期建立索引，统计一段时间的数字时只读这段时间的记录",
         [](transaction& t, sql_dialect d, migration_work& w) { return add_history_key_and_date_indexes(t, d, w); }},
    };
    return steps;
}

result<int> database_version(transaction& t, sql_dialect d) {
    if (d == sql_dialect::sqlite) {
        const auto v = t.select_value("PRAGMA user_version");
        if (!v) return status::error(t.sqlerrtext());
        return static_cast<int>(v->as_double().value_or(0));
    }
    auto there = table_exists(t, d, k_version_table);
    if (!there) return status::error(there.message());
    if (!*there) return 0;
    const auto v = t.select_value("SELECT max(version) FROM " + std::string(k_version_table));
    if (!v) return status::error(t.sqlerrtext());
    return static_cast<int>(v->as_double().value_or(0));
}

status write_database_version(transaction& t, sql_dialect d, int version) {
    if (d == sql_dialect::sqlite) {
        // PRAGMA takes no bound values; both are numbers of the program's own.
        if (t.execute("PRAGMA application_id = " + std::to_string(k_application_id)) != sql_code::ok ||
            t.execute("PRAGMA user_version = " + std::to_string(version)) != sql_code::ok)
            return failed(t, "不能写入数据库的版本");
        return status::ok();
    }
    const value v(version);
    if (t.execute("CREATE TABLE IF NOT EXISTS " + std::string(k_version_table) + " (version INTEGER NOT NULL)") !=
            sql_code::ok ||
        t.execute("DELETE FROM " + std::string(k_version_table)) != sql_code::ok ||
        t.execute("INSERT INTO " + std::string(k_version_table) + " (version) VALUES (?)", {&v, 1}) != sql_code::ok)
        return failed(t, "不能写入数据库的版本");
    return status::ok();
}

std::string newer_database_message(int version, const std::string& target) {
    return "这个数据库是较新版本的程序建立的（数据库版本 " + std::to_string(version) + "），本程序只能打开版本 " +
           std::to_string(k_schema_version) + " 及以前的数据库；数据库没有改动，请使用新版本的程序：" + target;
}

status bring_up_to_date(transaction& t, sql_dialect d, const std::string& target, const clock_source& clock,
                        const upgrade_options& options) {
    auto version = database_version(t, d);
    if (!version) return status::error("不能读取数据库的版本，数据库没有改动：" + version.message() + "：" + target);
    if (*version > k_schema_version) return status::error(newer_database_message(*version, target));
    if (*version < k_schema_version) {
        write_guard guard(t);
        if (!guard.began())
            return status::error("数据库需要升级到本程序的格式，但另一个工作站正在使用它（可能正在升级），请稍后再打开；"
                                 "数据库没有改动：" +
                                 t.sqlerrtext());
        // Another workstation may have upgraded it while this one waited.
        version = database_version(t, d);
        if (!version) return status::error("不能读取数据库的版本，数据库没有改动：" + version.message() + "：" + target);
        if (*version > k_schema_version) return status::error(newer_database_message(*version, target));
        if (*version < k_schema_version) {
            std::string backup;
            if (options.backup) {
                auto made = options.backup();
                if (!made) return status::error("升级数据库前的备份没有做成，数据库没有改动：" + made.message());
                backup = made.take();
            }
            const workstation_identity here = this_workstation();
            for (const migration_step& step : migration_steps()) {
                if (step.version <= *version) continue;
                migration_work work{{"officerecords", "", true, clock.now(), here.workstation, here.os_user, {}}, {}};
                status st = step.run(t, d, work);
                if (st) st = record_step(t, step, step.version - 1, step.version == *version + 1 ? backup : "", work);
                if (!st)
                    return status::error("数据库升级失败（升级到版本 " + std::to_string(step.version) + "：" +
                                         std::string(step.what) + "），数据库没有改动：" + st.message());
            }
            if (status st = write_database_version(t, d, k_schema_version); !st)
                return status::error(st.message() + "，数据库没有改动：" + target);
            if (guard.commit() != sql_code::ok)
                return status::error("数据库升级没有完成，数据库没有改动：" + t.sqlerrtext() + "：" + target);
        }
    }
    return check_tables(t, d, target);
}

}  // namespace officerecords
