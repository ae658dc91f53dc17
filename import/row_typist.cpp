#include "import/row_typist.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "import/typed_value.h"

namespace officerecords {

namespace {

// Excel keeps 15 significant digits of a number: what a stored number
// means, without the binary tail (0.1 + 0.2 stored as 0.30000000000000004).
std::string excel_number_text(const std::string& stored) {
    char* end = nullptr;
    const double v = std::strtod(stored.c_str(), &end);
    if (end == stored.c_str() || *end != '\0' || !std::isfinite(v)) return stored;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string out(buf);
    if (out.find_first_of("eE") != std::string::npos) {
        std::snprintf(buf, sizeof buf, "%.6f", v);
        out = buf;
        while (out.find('.') != std::string::npos && (out.back() == '0' || out.back() == '.')) {
            const bool dot = out.back() == '.';
            out.pop_back();
            if (dot) break;
        }
    }
    return out;
}

std::size_t significant_digits(std::string_view number) {
    std::size_t n = 0;
    bool leading = true;
    for (char c : number) {
        if (c == 'e' || c == 'E') break;
        if (c < '0' || c > '9') continue;
        if (leading && c == '0') continue;
        leading = false;
        ++n;
    }
    return n;
}

std::string quoted(const std::string& caption) { return "“" + caption + "”"; }

}  // namespace

result<std::string> typed_text(const sheet_cell& cell, const column_def& column, const dw_child* child,
                               const std::string& caption) {
    switch (cell.kind) {
        case cell_kind::empty:
            return std::string();
        case cell_kind::error:
            return status::error(quoted(caption) + "是公式的错误值 " + cell.text);
        case cell_kind::no_value:
            return status::error(quoted(caption) + "是公式（" + cell.text +
                                 "），文件中没有它的计算结果；请在Excel中打开并保存该文件后再导入");
        default:
            break;
    }
    std::string text = cell.kind == cell_kind::boolean ? (cell.text == "1" ? "是" : "否") : trimmed_cell(cell.text);
    if (text.empty()) return text;
    const std::string shown = quoted(text);

    if (child) {
        if (child->offers(text)) return text;
        // A code by its shown name as the list writes it: the usual case,
        // found without normalising every name of the list.
        std::set<std::string> exact;
        for (const code_row& r : child->all_rows())
            if (r.tname == text && child->offers(r.tcode)) exact.insert(r.tcode);
        if (exact.size() == 1) return *exact.begin();
        // Else by the name as typed with other blanks or punctuation, or a
        // yes/no list by any yes or no.
        const std::string key = caption_key(text);
        const std::optional<bool> yes = read_yes_no(text);
        std::set<std::string> codes;
        for (const code_row& r : child->all_rows()) {
            if (!child->offers(r.tcode)) continue;
            if (caption_key(r.tname) == key || (yes && read_yes_no(r.tname) == yes)) codes.insert(r.tcode);
        }
        if (codes.size() == 1) return *codes.begin();
        if (codes.size() > 1) return status::error(quoted(caption) + "的" + shown + "对应不止一个代码");
        return status::error(quoted(caption) + "的" + shown + "不是可以选择的名称或代码");
    }

    switch (column.type) {
        case column_type::date: {
            std::optional<date> d;
            if (cell.kind == cell_kind::date)
                d = excel_serial_date(std::strtod(cell.text.c_str(), nullptr));
            else
                d = read_typed_date(text);
            if (!d) return status::error(quoted(caption) + "的" + shown + "不是能认出的日期");
            return d->iso();
        }
        case column_type::decimal:
        case column_type::whole:
        case column_type::number: {
            const std::string number = cell.kind == cell_kind::number ? excel_number_text(text) : text;
            const std::optional<decimal> d = read_typed_amount(number);
            if (!d) return status::error(quoted(caption) + "的" + shown + "不是能认出的数值");
            // The window checks the digits and the fraction against the column.
            std::string plain = d->str();
            if (column.type != column_type::decimal && plain.find('.') != std::string::npos) {
                while (plain.back() == '0') plain.pop_back();
                if (plain.back() == '.') plain.pop_back();
            }
            return plain;
        }
        case column_type::text:
            break;
    }
    // An identity or telephone number the sheet kept as a number: taken
    // as the digits it stored, and refused when the sheet already lost some.
    if (cell.kind == cell_kind::number &&
        (text.find_first_of("eE") != std::string::npos || significant_digits(text) > 15))
        return status::error(quoted(caption) + "的" + shown +
                             "是按数字保存的，已经丢失了位数；请在Excel中把这一列设为文本，重新输入后再导入");
    return text;
}

row_typist::row_typist(w_modify& window, const import_rules& rules, const std::vector<register_column>& columns,
                       const std::vector<std::string>& header_columns, transaction& t, std::string commno)
    : w_(window), rules_(rules), columns_(columns), header_columns_(header_columns), t_(t),
      commno_(std::move(commno)) {
    data_window& dw = w_.dw_1;
    std::set<std::string> seen;
    for (std::size_t at = 0; at < header_columns_.size(); ++at) {
        const std::string& name = header_columns_[at];
        if (name.empty() || !seen.insert(name).second) continue;
        const int col = dw.column_number(name);
        if (col < 1) continue;
        const column_def& def = dw.column_definition(col);
        const bool picker = rules_.person == person_use::picker && name == "personname";
        field f{col, at, caption_of(name)};
        if ((def.updatable || picker) && def.tab > 0) typed_.push_back(f);
        if (def.visible) preview_.push_back(f);
    }
    // The person is picked by key even when the sheet gives no name: the
    // name found is typed in its turn.
    const int name_col = dw.column_number("personname");
    const bool name_typed =
        std::any_of(typed_.begin(), typed_.end(), [&](const field& f) { return f.col == name_col; });
    if (rules_.person == person_use::picker && name_col > 0 && !name_typed)
        typed_.push_back({name_col, header_columns_.size(), caption_of("personname")});
    std::stable_sort(typed_.begin(), typed_.end(), [&](const field& a, const field& b) {
        return dw.column_definition(a.col).tab < dw.column_definition(b.col).tab;
    });
    rule_text_ = std::string(rules_.duplicate_rule);
}

std::string row_typist::caption_of(std::string_view column) const {
    for (const register_column& c : columns_)
        if (c.name == column && !c.captions.empty()) return shown_caption(c.captions.front());
    return std::string(column);
}

std::vector<std::string> row_typist::preview_captions() const {
    std::vector<std::string> out;
    for (const field& f : preview_) out.push_back(f.caption);
    return out;
}

const sheet_cell* row_typist::cell_of(const sheet_row& row, std::string_view column) const {
    for (std::size_t at = 0; at < header_columns_.size() && at < row.cells.size(); ++at)
        if (header_columns_[at] == column && row.cells[at].kind != cell_kind::empty) return &row.cells[at];
    return nullptr;
}

bool row_typist::has_values(const sheet_row& row) const {
    for (std::size_t at = 0; at < header_columns_.size() && at < row.cells.size(); ++at)
        if (!header_columns_[at].empty() && row.cells[at].kind != cell_kind::empty &&
            !trimmed_cell(row.cells[at].text).empty())
            return true;
    return false;
}

result<std::pair<std::string, std::string>> row_typist::find_person(const sheet_row& row) {
    auto text_of = [&](std::string_view column) -> result<std::string> {
        const sheet_cell* c = cell_of(row, column);
        if (!c) return std::string();
        return typed_text(*c, column_def{}, nullptr, caption_of(column));
    };
    auto idcard = text_of("idcard");
    if (!idcard) return status::error(idcard.message());
    auto personno = text_of("personno");
    if (!personno) return status::error(personno.message());
    auto name = text_of("personname");
    if (!name) return status::error(name.message());

    std::string by, key, what;
    if (!idcard->empty()) {
        by = "idcard", key = *idcard, what = caption_of("idcard");
    } else if (!personno->empty()) {
        by = "personno", key = *personno, what = "人员编号";
    } else if (!name->empty()) {
        by = "personname", key = *name, what = "姓名";
    } else {
        return status::error("这一行没有给出人员：请给出身份证号码、人员编号或姓名");
    }
    const value param(key);
    auto found = t_.open_cursor("SELECT personno, personname FROM tc_ge_personinfo WHERE " + by +
                                    " = ? ORDER BY personno",
                                {&param, 1});
    if (!found) return status::error("查找人员失败：" + t_.sqlerrtext());
    std::vector<std::pair<std::string, std::string>> persons;
    while (found->fetch())
        persons.emplace_back(std::string(found->column_text(0)), std::string(found->column_text(1)));
    if (t_.sqlcode() < 0) return status::error("查找人员失败：" + t_.sqlerrtext());
    if (persons.empty()) return status::error("人员信息中没有" + what + "为" + quoted(key) + "的人");
    if (persons.size() > 1)
        return status::error("人员信息中有 " + std::to_string(persons.size()) + " 人的" + what + "是" + quoted(key) +
                             "，请在表中给出身份证号码或人员编号以区分");
    if (!name->empty() && persons.front().second != *name)
        return status::error(what + quoted(key) + "是" + quoted(persons.front().second) + "的，不是" +
                             quoted(*name) + "的");
    return persons.front();
}

result<value> row_typist::find_body(const sheet_row& row) {
    data_window& dw = w_.dw_1;
    const int term_col = dw.column_number("falldue");
    const sheet_cell* term_cell = cell_of(row, "falldue");
    const sheet_cell* name_cell = cell_of(row, "orgname");
    if (!term_cell || !name_cell || term_col < 1)
        return status::error("这一行没有给出所属的组织机构：请给出届次和机构名称");
    auto term = typed_text(*term_cell, dw.column_definition(term_col), dw.child(term_col), caption_of("falldue"));
    if (!term) return status::error(term.message());
    const std::string name = trimmed_cell(name_cell->text);
    const value params[] = {value(commno_), value(name), value(*term)};
    auto found = t_.open_cursor(
        "SELECT orgno FROM tc_og_councilorgduty WHERE commno = ? AND orgname = ? AND falldue = ? ORDER BY orgno",
        params);
    if (!found) return status::error("查找组织机构失败：" + t_.sqlerrtext());
    std::vector<value> bodies;
    while (found->fetch()) bodies.push_back(found->column_value(0));
    if (t_.sqlcode() < 0) return status::error("查找组织机构失败：" + t_.sqlerrtext());
    const std::string shown_term = dw.child(term_col) ? dw.child(term_col)->display_of(*term).value_or(*term) : *term;
    if (bodies.empty()) return status::error("本社区" + shown_term + "没有名为" + quoted(name) + "的组织机构");
    if (bodies.size() > 1)
        return status::error("本社区" + shown_term + "有 " + std::to_string(bodies.size()) + " 个名为" + quoted(name) +
                             "的组织机构");
    return bodies.front();
}

typed_row row_typist::type(const sheet_row& row, import_host& host) {
    data_window& dw = w_.dw_1;
    std::optional<std::string> picked_name;
    if (rules_.body_owner) {
        auto body = find_body(row);
        if (!body) return {false, body.message()};
        if (w_.set_owner(*body) != w_modify::owner_outcome::taken)
            return {false, host.message().empty() ? "所属的组织机构不能用于新记录" : host.message()};
    }
    if (rules_.person != person_use::none) {
        auto person = find_person(row);
        if (!person) return {false, person.message()};
        if (rules_.person == person_use::owner) {
            if (w_.set_owner(value(person->first)) != w_modify::owner_outcome::taken)
                return {false, host.message().empty() ? "所属的居委会成员不能用于新记录" : host.message()};
        } else {
            host.expect_person(person->first);
            picked_name = person->second;
        }
    }
    for (const field& f : typed_) {
        const column_def& def = dw.column_definition(f.col);
        std::string text;
        if (picked_name && def.name == "personname") {
            text = *picked_name;
        } else {
            if (f.at >= row.cells.size()) continue;
            auto typed = typed_text(row.cells[f.at], def, dw.child(f.col), f.caption);
            if (!typed) return {false, typed.message()};
            text = std::move(*typed);
        }
        if (text.empty() || !dw.can_enter(f.col)) continue;
        if (!w_.enter_column(f.col)) return {false, {}};
        dw.settext(text);
        if (!w_.leave_field()) return {false, {}};
        if (dw.rowcount() < 1) return {false, {}};
    }
    return {};
}

std::string row_typist::duplicate_key(const std::vector<value>& values) const {
    std::string key;
    for (std::size_t i = 0; i < rule_cols_.size() && i < values.size(); ++i) {
        const value& v = values[i];
        const column_def& def = w_.dw_1.column_definition(rule_cols_[i]);
        std::string part = "\x01";  // null
        if (!v.is_null()) {
            // The same value whichever form the database handed it in.
            switch (def.type) {
                case column_type::date:
                    part = v.is_date() ? v.day().iso() : v.to_text().substr(0, 10);
                    break;
                case column_type::decimal:
                case column_type::whole: {
                    std::optional<decimal> d = v.is_decimal()  ? std::optional<decimal>(v.dec())
                                               : v.is_double() ? decimal::from_double(v.real(), def.width)
                                                               : decimal::parse(v.to_text());
                    part = d ? d->rescaled(def.type == column_type::whole ? 0 : def.width).str() : v.to_text();
                    break;
                }
                default:
                    part = v.to_text();
            }
        }
        key += part;
        key += '\x02';
    }
    return key;
}

status row_typist::read_existing() {
    existing_.clear();
    file_rows_.clear();
    rule_cols_.clear();
    data_window& dw = w_.dw_1;
    std::string columns;
    for (std::string_view c : rules_.duplicate) {
        const int col = dw.column_number(c);
        if (col < 1) return status::error("登记表没有“" + std::string(c) + "”这一列");
        rule_cols_.push_back(col);
        columns += ", " + std::string(c);
    }
    if (rule_cols_.empty()) return status::ok();
    const std::string& key = w_.key_column();
    const value commno(commno_);
    auto rows = t_.open_cursor("SELECT " + key + columns + " FROM " + dw.object().update_table + " WHERE commno = ?",
                               {&commno, 1});
    if (!rows) return status::error("读取已有记录失败：" + t_.sqlerrtext());
    std::vector<value> values(rule_cols_.size());
    while (rows->fetch()) {
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = rows->column_value(static_cast<int>(i + 1));
        existing_[duplicate_key(values)].push_back(
            static_cast<long>(rows->column_value(0).as_double().value_or(0)));
    }
    if (t_.sqlcode() < 0) return status::error("读取已有记录失败：" + t_.sqlerrtext());
    for (auto& [k, keys] : existing_) std::sort(keys.begin(), keys.end());
    return status::ok();
}

row_typist::duplicate_of row_typist::duplicates() const {
    if (rule_cols_.empty() || w_.dw_1.rowcount() < 1) return {};
    std::vector<value> values;
    bool any = false;
    for (int col : rule_cols_) {
        values.push_back(w_.dw_1.getitem(1, col));
        any = any || !values.back().is_null();
    }
    if (!any) return {};
    const std::string key = duplicate_key(values);
    duplicate_of found;
    if (const auto it = existing_.find(key); it != existing_.end()) found.records = it->second;
    if (const auto it = file_rows_.find(key); it != file_rows_.end()) found.rows = it->second;
    return found;
}

void row_typist::saved(long sheet_row) {
    if (rule_cols_.empty() || w_.dw_1.rowcount() < 1) return;
    std::vector<value> values;
    for (int col : rule_cols_) values.push_back(w_.dw_1.getitem(1, col));
    file_rows_[duplicate_key(values)].push_back(sheet_row);
}

std::vector<std::string> row_typist::shown() const {
    std::vector<std::string> out;
    for (const field& f : preview_) out.push_back(w_.dw_1.display_text(1, f.col));
    return out;
}

}  // namespace officerecords
