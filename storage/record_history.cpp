#include "storage/record_history.h"

#include <map>

#include "foundation/change_log.h"
#include "foundation/data_window.h"
#include "foundation/display_format.h"
#include "foundation/record_name.h"
#include "foundation/register_page.h"
#include "storage/list_export.h"
#include "storage/server_backend.h"

namespace officerecords {

namespace {

constexpr const char* k_columns =
    "SELECT c.logno, c.changetime, c.workstation, c.osuser, c.windowname, c.changekind, "
    "c.ischecked, i.columnname, i.oldvalue, i.newvalue, c.recordkey, c.tablename, c.dbuser, "
    "c.commno "
    "FROM tc_og_changelog c "
    "JOIN tc_og_changelog_item i ON i.logno = c.logno ";

// A table whose rows belong to a register's record and are changed from
// its window (an activity's photos): their history is the record's too.
struct owned_table {
    std::string_view owner;       // the register's update table
    std::string_view table;
    std::string_view key_column;  // the register's key column the rows' key starts with
    std::string_view key_prefix;  // how the rows' key names it
};
constexpr owned_table k_owned_tables[] = {
    {"tc_og_commactivityrecord", "TS_CommActivePhoto", "orderno", "OrderNo="},
};

const owned_table* owned_by(const dw_object& form) {
    for (const owned_table& o : k_owned_tables)
        if (o.owner == form.update_table) return &o;
    return nullptr;
}

// The value of one part ("commno", "orderno") of a record's key; empty
// when the key has no such part.
std::string key_part(const std::string& key, std::string_view column) {
    const std::string named = std::string(column) + "=";
    for (std::size_t at = 0; at < key.size();) {
        std::size_t end = key.find(';', at);
        if (end == std::string::npos) end = key.size();
        if (key.compare(at, named.size(), named) == 0)
            return key.substr(at + named.size(), end - at - named.size());
        at = end + 1;
    }
    return {};
}

// "照片 3 的说明": an owned row's column, named after the row; empty for
// the columns that only tie the row to its record, which the clerk never
// sees.
std::string owned_caption(const std::string& key, const std::string& column) {
    const std::size_t at = key.find("PhotoNo=");
    const std::string photo = at == std::string::npos ? std::string() : " " + key.substr(at + 8);
    if (column == "Photo") return "照片" + photo;
    if (column == "PhotoNote") return "照片" + photo + " 的说明";
    if (column == "PhotoFileName") return "照片" + photo + " 的文件名";
    if (column == "PhotoNo" || column == "OrderNo" || column == "CommNo") return {};
    return column;
}

// Whether a record was saved with its checks, in words.
constexpr std::string_view k_checked_column = "issave";
constexpr const char* k_checked_caption = "数据校验";
std::string checked_in_words(const value& v) {
    if (v.is_null()) return {};
    const std::string text = v.to_text();
    return text == "1" ? "已校验" : text == "0" ? "未校验" : text;
}

// The form's caption of a column without its colon; empty for a column
// the form does not caption (the community, the record number, the
// person's number), which the history does not show.
std::string caption_of(const column_def& c) {
    if (c.name == k_checked_column) return k_checked_caption;
    return label_caption(c.label);
}

// A stored value as the form shows it; as stored when it does not read as
// the column's type (a photo's "<N 字节，校验值 …>", an old odd value).
std::string shown_text(const data_window& form, int col, const value& v) {
    if (v.is_null()) return {};
    const std::string text = v.to_text();
    if (form.column_definition(col).name == k_checked_column) return checked_in_words(v);
    if (const dw_child* child = form.child(col)) return child->display_of(text).value_or(text);
    const column_def& c = form.column_definition(col);
    switch (c.type) {
        case column_type::date:
            if (auto d = date::parse(text)) return format_date(*d, c.format.empty() ? "yyyy-mm-dd" : c.format);
            break;
        case column_type::decimal:
        case column_type::whole:
        case column_type::number:
            if (c.format.empty()) break;
            if (auto d = decimal::parse(text)) return format_number(value(*d), c.format);
            break;
        case column_type::text:
            break;
    }
    return text;
}

// The values of a key's parts but the community's; of an owned row's key,
// the owner's number alone.
std::string key_numbers(const std::string& key, bool own_row) {
    std::string shown;
    for (std::size_t at = 0; at <= key.size();) {
        std::size_t end = key.find(';', at);
        if (end == std::string::npos) end = key.size();
        const std::string part = key.substr(at, end - at);
        const std::size_t eq = part.find('=');
        if (eq != std::string::npos && part.substr(0, eq) != "commno") {
            if (!shown.empty()) shown += "、";
            shown += part.substr(eq + 1);
            if (!own_row) break;
        }
        at = end + 1;
    }
    return shown;
}

// The key of the record an owned row belongs to ("commno=…;orderno=11" of
// a photo "OrderNo=11;PhotoNo=2"), empty when it cannot be told.
std::string owner_key(const dw_object& form, const std::string& commno,
                      const std::string& owned_key) {
    const owned_table* owned = owned_by(form);
    if (!owned || !owned_key.starts_with(owned->key_prefix)) return {};
    const std::size_t from = owned->key_prefix.size();
    const std::size_t end = owned_key.find(';', from);
    const std::string number = owned_key.substr(from, end == std::string::npos ? end : end - from);
    return "commno=" + commno + ";" + std::string(owned->key_column) + "=" + number;
}

// Names every line's record as the clerk knows it, from the record as it
// is stored now; a deleted record by the values its deletion took away.
// `stored` is a data window over the form, whose rows are replaced.
status name_records(data_window& stored, const dw_object& form, std::vector<history_line>& lines) {
    if (lines.empty() || form.naming.empty()) return status::ok();
    std::map<std::string, std::string> names;
    // The records still stored, a few hundred numbers a statement, per
    // community (a record's key is its community and its number).
    std::map<std::string, std::vector<std::string>> numbers;
    const std::string key_column = record_key_column(form);
    for (const history_line& h : lines) {
        if (h.owner_key.empty() || names.contains(h.owner_key)) continue;
        names[h.owner_key];
        numbers[key_part(h.owner_key, "commno")].push_back(key_part(h.owner_key, key_column));
    }
    constexpr std::size_t k_per_statement = 200;
    for (const auto& [commno, all] : numbers) {
        for (std::size_t at = 0; at < all.size(); at += k_per_statement) {
            const std::size_t n = std::min(k_per_statement, all.size() - at);
            std::string condition = "commno = ? AND " + key_column + " IN (";
            std::vector<value> params{value(commno)};
            for (std::size_t i = 0; i < n; ++i) {
                condition += i ? ", ?" : "?";
                params.push_back(value(all[at + i]));
            }
            if (stored.retrieve(condition + ")", params) < 0)
                return status::error("读取修改记录失败：" + stored.last_error());
            for (long r = 1; r <= stored.rowcount(); ++r)
                names[stored.history_key(r)] = record_name(stored, r);
        }
    }
    // A record no longer stored: the naming columns' values as its
    // deletion (or, failing that, its latest change) left them.
    std::map<std::string, std::map<std::string, std::string>> last_seen;
    for (auto h = lines.rbegin(); h != lines.rend(); ++h) {
        if (h->record != h->owner_key) continue;
        last_seen[h->owner_key][h->column] = h->new_shown.empty() ? h->old_shown : h->new_shown;
    }
    for (auto& [key, name] : names) {
        if (!name.empty()) continue;
        const auto seen = last_seen.find(key);
        if (seen == last_seen.end()) continue;
        for (const std::string& column : form.naming) {
            const auto v = seen->second.find(column);
            if (v == seen->second.end() || v->second.empty()) continue;
            name += (name.empty() ? "" : "，") + v->second;
        }
    }
    for (history_line& h : lines)
        if (const auto n = names.find(h.owner_key); n != names.end()) h.record_name = n->second;
    return status::ok();
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
        h.db_user = std::string(rows->column_text(12));
        h.window = std::string(rows->column_text(4));
        h.record = std::string(rows->column_text(10));
        const bool own_row = rows->column_text(11) == form.update_table;
        h.record_shown = key_numbers(h.record, own_row);
        h.kind = std::string(rows->column_text(5));
        h.checked = rows->column_text(6) != "0";
        h.column = std::string(rows->column_text(7));
        h.old_value = rows->column_value(8);
        h.new_value = rows->column_value(9);
        const int col = own_row ? shown.column_number(h.column) : 0;
        h.caption = col > 0   ? caption_of(form.columns[static_cast<std::size_t>(col - 1)])
                    : own_row ? (h.column == k_imported_file_item ? h.column : std::string())
                              : owned_caption(h.record, h.column);
        if (h.caption.empty()) continue;
        h.owner_key =
            own_row ? h.record : owner_key(form, std::string(rows->column_text(13)), h.record);
        auto show = [&](const value& v) { return col > 0 ? shown_text(shown, col, v) : v.to_text(); };
        h.old_shown = show(h.old_value);
        h.new_shown = show(h.new_value);
        lines.push_back(std::move(h));
    }
    if (t.sqlcode() < 0) return status::error("读取修改记录失败：" + t.sqlerrtext());
    rows.reset();
    // The same window reads the names: setting up another would load the
    // form's code lists a second time, a quarter of a short history's time.
    if (status st = name_records(shown, form, lines); !st) return st;
    return lines;
}

}  // namespace

std::string who_changed(const history_line& h) {
    return h.db_user.empty() ? h.os_user : h.os_user + "（登录 " + h.db_user + "）";
}

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

std::optional<std::string> prefix_successor(std::string_view prefix) {
    std::string after(prefix);
    while (!after.empty()) {
        // The last character, whole: UTF-8 orders as its code points do.
        std::size_t at = after.size() - 1;
        while (at > 0 && (static_cast<unsigned char>(after[at]) & 0xC0) == 0x80) --at;
        const auto lead = static_cast<unsigned char>(after[at]);
        const std::size_t length = after.size() - at;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = at + 1; k < after.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(after[k]) & 0x3F);
        after.erase(at);
        // The last character has no successor: the one before carries.
        if (cp >= 0x10FFFF) continue;
        cp = cp + 1 == 0xD800 ? 0xE000 : cp + 1;
        if (cp < 0x80) {
            after += static_cast<char>(cp);
        } else if (cp < 0x800) {
            after += static_cast<char>(0xC0 | (cp >> 6));
            after += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            after += static_cast<char>(0xE0 | (cp >> 12));
            after += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            after += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            after += static_cast<char>(0xF0 | (cp >> 18));
            after += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            after += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            after += static_cast<char>(0x80 | (cp & 0x3F));
        }
        return after;
    }
    return std::nullopt;
}

std::string record_number(const std::string& key) { return key_numbers(key, true); }

result<std::vector<history_line>> record_history(transaction& t, const dw_object& form,
                                                 const std::string& key) {
    std::string sql = std::string(k_columns) + "WHERE (c.tablename = ? AND c.recordkey = ?)";
    std::vector<value> params = {value(form.update_table), value(key)};
    if (const owned_table* owned = owned_by(form)) {
        // The record's own rows of the owned table: their key starts with
        // the record's key column, and they were changed in the record's
        // community. Another community's rows under the same number (of a
        // record it deleted) are none of this record's.
        const std::string number = key_part(key, owned->key_column);
        if (!number.empty()) {
            // The keys starting with the prefix are a range of the index on
            // (tablename, recordkey), compared byte by byte: a server's
            // collation of the language would order "1;" among "1 " and
            // "1-" and miss keys.
            const std::string prefix = std::string(owned->key_prefix) + number + ";";
            const std::optional<std::string> after = prefix_successor(prefix);
            const bool server = is_server_target(t.describe_target());
            const std::string key_column = server ? "c.recordkey COLLATE \"C\"" : "c.recordkey";
            sql += " OR (c.tablename = ? AND c.commno = ? AND " + key_column + " >= ?" +
                   (after ? " AND " + key_column + " < ?" : std::string()) + ")";
            params.insert(params.end(), {value(owned->table), value(key_part(key, "commno")), value(prefix)});
            if (after) params.push_back(value(*after));
        }
    }
    return read(t, form, sql + " ORDER BY c.logno DESC, i.itemno", params);
}

result<std::vector<history_line>> register_history(transaction& t, const dw_object& form,
                                                   const std::string& commno, const std::string& from,
                                                   const std::string& to) {
    const owned_table* owned = owned_by(form);
    // Whole days: "to" takes the day's last second in.
    return read(t, form,
                std::string(k_columns) +
                    "WHERE c.tablename IN (?, ?) AND c.commno = ? AND (? = '' OR c.changetime >= ?) "
                    "AND (? = '' OR c.changetime <= ? || ' 23:59:59') ORDER BY c.logno DESC, i.itemno",
                {value(form.update_table), value(owned ? std::string(owned->table) : form.update_table),
                 value(commno), value(from), value(from), value(to), value(to)});
}

dw_object history_list_object(bool with_record) {
    dw_object o;
    o.name = with_record ? "d_og_changelog_register" : "d_og_changelog_record";
    o.is_list = true;
    std::vector<std::pair<const char*, const char*>> shown = {
        {"changetime", "时间"}, {"workstation", "工作站"}, {"osuser", "用户"}, {"changekind", "操作"}};
    if (with_record) {
        shown.emplace_back("recordkey", "记录号");
        shown.emplace_back("recordname", "记录");
    }
    for (auto c : {std::pair{"caption", "栏目"}, {"oldvalue", "原值"}, {"newvalue", "新值"}}) shown.push_back(c);
    int order = 0;
    for (const auto& [name, header] : shown) {
        column_def c = column(name).text(0).label(header);
        c.visible = true;
        c.display_order = ++order;
        o.columns.push_back(std::move(c));
    }
    return o;
}

status export_history(const std::vector<history_line>& lines, bool with_record, const std::string& caption,
                      const std::string& community, transaction& t, const clock_source& clock,
                      const std::string& format, const std::string& path, bool overwrite) {
    const auto kind = export_format_named(format);
    if (!kind) return status::error("不认识的导出格式：" + format);
    data_window list("dw_history");
    if (status st = list.set_dataobject(history_list_object(with_record), t); !st) return st;
    for (const history_line& h : lines) {
        const long row = list.insertrow(0);
        list.setitem(row, "changetime", value(h.when));
        list.setitem(row, "workstation", value(h.workstation));
        list.setitem(row, "osuser", value(who_changed(h)));
        list.setitem(row, "changekind", value(h.kind + (h.checked ? "" : "（未校验）")));
        if (with_record) {
            list.setitem(row, "recordkey", value(h.record_shown));
            list.setitem(row, "recordname", value(h.record_name));
        }
        list.setitem(row, "caption", value(h.caption));
        list.setitem(row, "oldvalue", value(h.old_shown));
        list.setitem(row, "newvalue", value(h.new_shown));
    }
    list_export out(list, list_export::all_rows(list), {caption + " 修改记录", community}, clock);
    return out.write(*kind, path, overwrite);
}

}  // namespace officerecords
