#include "platform/record_history.h"

#include "foundation/data_window.h"

namespace officerecords {

namespace {

constexpr const char* k_columns =
    "SELECT c.logno, c.changetime, c.workstation, c.osuser, c.windowname, c.changekind, "
    "c.ischecked, i.columnname, i.oldvalue, i.newvalue, c.recordkey FROM tc_og_changelog c JOIN "
    "tc_og_changelog_item i ON i.logno = c.logno ";

std::string caption_of(const column_def& c) {
    std::string label = c.label;
    for (const char* colon : {":", "：", ";"})
        if (label.ends_with(colon)) label.erase(label.size() - std::string_view(colon).size());
    return label.empty() ? c.name : label;
}

result<std::vector<history_line>> read(transaction& t, const dw_object& form, const std::string& sql,
                                       const std::vector<value>& params) {
    // The form's columns give the captions and the code names.
    data_window shown("dw_history");
    if (status st = shown.set_dataobject(form, t); !st) return st;
    auto rows = t.open_cursor(sql, params);
    if (!rows) return status::error("读取修改记录失败：" + t.sqlerrtext());
    std::vector<history_line> lines;
    while (rows->fetch()) {
        history_line h;
        h.changeno = static_cast<long>(rows->column_integer(0));
        h.when = std::string(rows->column_text(1));
        h.workstation = std::string(rows->column_text(2));
        h.os_user = std::string(rows->column_text(3));
        h.window = std::string(rows->column_text(4));
        h.kind = std::string(rows->column_text(5));
        h.checked = rows->column_text(6) != "0";
        h.column = std::string(rows->column_text(7));
        h.old_value = rows->column_value(8);
        h.new_value = rows->column_value(9);
        const int col = shown.column_number(h.column);
        h.caption = col > 0 ? caption_of(form.columns[static_cast<std::size_t>(col - 1)]) : h.column;
        auto show = [&](const value& v) {
            if (v.is_null()) return std::string();
            const std::string text = v.to_text();
            if (const dw_child* child = col > 0 ? shown.child(col) : nullptr)
                return child->display_of(text).value_or(text);
            return text;
        };
        h.old_shown = show(h.old_value);
        h.new_shown = show(h.new_value);
        lines.push_back(std::move(h));
    }
    if (t.sqlcode() < 0) return status::error("读取修改记录失败：" + t.sqlerrtext());
    return lines;
}

}  // namespace

std::string history_key(const dw_object& form, const std::vector<value>& key) {
    std::string text;
    std::size_t i = 0;
    for (int k : form.key_columns()) {
        if (!text.empty()) text += ';';
        const column_def& c = form.columns[static_cast<std::size_t>(k)];
        // The key as the data window holds it: record numbers are whole.
        value v = i < key.size() ? key[i] : value();
        if (c.type == column_type::decimal)
            if (auto d = decimal::parse(v.to_text())) v = value(d->rescaled(c.width));
        text += c.name + "=" + v.to_text();
        ++i;
    }
    return text;
}

result<std::vector<history_line>> record_history(transaction& t, const dw_object& form,
                                                 const std::string& key) {
    return read(t, form,
                std::string(k_columns) +
                    "WHERE c.tablename = ? AND c.recordkey = ? ORDER BY c.logno DESC, i.itemno",
                {value(form.update_table), value(key)});
}

result<std::vector<history_line>> register_history(transaction& t, const dw_object& form,
                                                   const std::string& commno, const std::string& from,
                                                   const std::string& to) {
    // Whole days: "to" takes the day's last second in.
    return read(t, form,
                std::string(k_columns) +
                    "WHERE c.tablename = ? AND c.commno = ? AND (? = '' OR c.changetime >= ?) "
                    "AND (? = '' OR c.changetime <= ? || ' 23:59:59') ORDER BY c.logno DESC, i.itemno",
                {value(form.update_table), value(commno), value(from), value(from), value(to), value(to)});
}

}  // namespace officerecords
