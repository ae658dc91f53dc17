#include "foundation/change_log.h"

#include "foundation/checksum.h"

namespace officerecords {

namespace {

const char* kind_name(change_kind kind) {
    switch (kind) {
        case change_kind::insert:
            return "新增";
        case change_kind::update:
            return "修改";
        case change_kind::remove:
            return "删除";
        case change_kind::upgrade:
            return "升级";
    }
    return "";
}

}  // namespace

std::string picture_history_text(std::span<const unsigned char> bytes) {
    return "<" + std::to_string(bytes.size()) + " 字节，校验值 " + checksum_hex(bytes) + ">";
}

std::string history_text(const value& v) {
    return v.is_blob() ? picture_history_text(v.bytes()) : v.to_text();
}

status record_change(transaction& t, const change_context& c, std::string_view table,
                     std::string_view key, change_kind kind, const std::vector<column_change>& columns) {
    if (columns.empty()) return status::ok();
    const std::string prefix = "修改记录写入失败：";
    auto failed = [&t] { return status::error(t.sqlerrtext()); };
    transaction::write_check check;
    check.failed_prefix = prefix;
    // The history is numbered across every register: its own lock keeps
    // the next number this change's alone, and the number is read by the
    // INSERT itself, so the save need not wait for it.
    if (t.lock_register("tc_og_changelog") != sql_code::ok)
        return status::error(prefix + t.sqlerrtext());
    const bool imported = kind == change_kind::insert && !c.imported_from.empty();
    const std::vector<value> change{value(c.when),   value(c.workstation),
                                    value(c.os_user), value(c.commno), value(c.window),
                                    value(std::string(table)), value(std::string(key)),
                                    value(imported ? "导入" : kind_name(kind)), value(c.checked ? "1" : "0")};
    if (t.queue_write("INSERT INTO tc_og_changelog (logno, changetime, workstation, osuser, commno, "
                      "windowname, tablename, recordkey, changekind, ischecked) SELECT coalesce(" +
                          t.highest_expression("tc_og_changelog", "logno") +
                          ", 0) + 1, ?, ?, ?, ?, ?, ?, ?, ?, ?",
                      change, check) != sql_code::ok)
        return failed();
    // One statement for all the change's columns, under the entry just
    // written, which holds the highest number while the lock is held.
    std::string sql =
        "INSERT INTO tc_og_changelog_item (logno, itemno, columnname, oldvalue, newvalue) SELECT l.logno, "
        "v.* FROM (SELECT MAX(logno) AS logno FROM tc_og_changelog) AS l, (VALUES ";
    std::vector<value> params;
    params.reserve((columns.size() + 1) * 4);
    std::int64_t itemno = 0;
    auto add = [&](const std::string& column, value old_value, value new_value) {
        sql += itemno ? ", (CAST(? AS INTEGER), ?, ?, ?)" : "(CAST(? AS INTEGER), ?, ?, ?)";
        params.emplace_back(++itemno);
        params.emplace_back(column);
        params.push_back(std::move(old_value));
        params.push_back(std::move(new_value));
    };
    if (imported) add(k_imported_file_item, value(), value(c.imported_from));
    for (const column_change& col : columns)
        add(col.column, col.old_value.is_null() ? value() : value(history_text(col.old_value)),
            col.new_value.is_null() ? value() : value(history_text(col.new_value)));
    sql += ") AS v";
    if (t.queue_write(sql, params, check) != sql_code::ok) return failed();
    return status::ok();
}

void witness_change(transaction& t, const change_context& c, std::string_view table,
                    std::string_view key) {
    // Empty names are compared as they were stored, whichever way that was.
    t.witness_commit(
        "SELECT 1 FROM tc_og_changelog WHERE changetime IS NOT DISTINCT FROM ? AND workstation IS NOT "
        "DISTINCT FROM ? AND osuser IS NOT DISTINCT FROM ? AND commno IS NOT DISTINCT FROM ? AND "
        "windowname IS NOT DISTINCT FROM ? AND tablename = ? AND recordkey = ?",
        {value(c.when), value(c.workstation), value(c.os_user), value(c.commno), value(c.window),
         value(std::string(table)), value(std::string(key))});
}

}  // namespace officerecords
