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
    // The write lock is held: the next change number is this change's alone.
    const auto top = t.select_value("SELECT MAX(changeno) FROM tc_og_changelog");
    if (t.sqlcode() < 0) return status::error("修改记录写入失败：" + t.sqlerrtext());
    const std::int64_t changeno =
        (top && !top->is_null() ? static_cast<std::int64_t>(top->as_double().value_or(0)) : 0) + 1;
    for (const column_change& col : columns) {
        const std::vector<value> row{
            value(changeno),           value(c.when),         value(c.workstation),
            value(c.os_user),          value(c.commno),       value(c.window),
            value(std::string(table)), value(std::string(key)), value(kind_name(kind)),
            value(c.checked ? "1" : "0"), value(col.column),
            col.old_value.is_null() ? value() : value(history_text(col.old_value)),
            col.new_value.is_null() ? value() : value(history_text(col.new_value))};
        if (t.execute("INSERT INTO tc_og_changelog (changeno, changetime, workstation, osuser, "
                      "commno, windowname, tablename, recordkey, changekind, ischecked, "
                      "columnname, oldvalue, newvalue) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      row) != sql_code::ok)
            return status::error("修改记录写入失败：" + t.sqlerrtext());
    }
    return status::ok();
}

}  // namespace officerecords
