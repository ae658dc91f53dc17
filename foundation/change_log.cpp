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
    auto failed = [&t] { return status::error("修改记录写入失败：" + t.sqlerrtext()); };
    // The write lock is held: the next number is this change's alone.
    const auto top = t.highest("tc_og_changelog", "logno");
    if (t.sqlcode() < 0) return failed();
    const std::int64_t logno =
        (top && !top->is_null() ? static_cast<std::int64_t>(top->as_double().value_or(0)) : 0) + 1;
    const bool imported = kind == change_kind::insert && !c.imported_from.empty();
    const std::vector<value> change{value(logno),     value(c.when),   value(c.workstation),
                                    value(c.os_user), value(c.commno), value(c.window),
                                    value(std::string(table)), value(std::string(key)),
                                    value(imported ? "导入" : kind_name(kind)), value(c.checked ? "1" : "0")};
    if (t.execute("INSERT INTO tc_og_changelog (logno, changetime, workstation, osuser, commno, "
                  "windowname, tablename, recordkey, changekind, ischecked) VALUES (?, ?, ?, ?, ?, "
                  "?, ?, ?, ?, ?)",
                  change) != sql_code::ok)
        return failed();
    // One statement for all the change's columns: a save pays for one
    // statement, not one per column.
    std::string sql = "INSERT INTO tc_og_changelog_item (logno, itemno, columnname, oldvalue, newvalue) VALUES ";
    std::vector<value> params;
    params.reserve((columns.size() + 1) * 5);
    std::int64_t itemno = 0;
    auto add = [&](const std::string& column, value old_value, value new_value) {
        sql += itemno ? ", (?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?)";
        params.emplace_back(logno);
        params.emplace_back(++itemno);
        params.emplace_back(column);
        params.push_back(std::move(old_value));
        params.push_back(std::move(new_value));
    };
    if (imported) add(k_imported_file_item, value(), value(c.imported_from));
    for (const column_change& col : columns)
        add(col.column, col.old_value.is_null() ? value() : value(history_text(col.old_value)),
            col.new_value.is_null() ? value() : value(history_text(col.new_value)));
    if (t.execute(sql, params) != sql_code::ok) return failed();
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
