#include "foundation/data_window.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "foundation/display_format.h"
#include "foundation/transaction.h"

namespace officerecords {

int dw_events::itemchanged(long, const dwo&, const std::string&) { return 0; }
void dw_events::itemfocuschanged(long, const dwo&) {}
void dw_events::doubleclicked(int, int, long, const dwo&) {}
void dw_events::itemerror(long, const dwo&, const std::string&) {}

namespace {



std::optional<std::int64_t> parse_whole(std::string_view text) {
    auto d = decimal::parse(text);
    if (!d) return std::nullopt;
    decimal whole = d->rescaled(0);
    if (whole != *d) return std::nullopt;
    return whole.units();
}

std::optional<double> parse_real(std::string_view text) {
    auto d = decimal::parse(text);
    if (d) return d->to_double();
    std::string s(text);
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// A label as messages quote it; a column without one is named by itself.
std::string quoted_label(const column_def& c, const std::string& label) {
    return "【" + (label.empty() ? c.name : label) + "】";
}

}  // namespace

std::string coltype_name(const column_def& c) {
    switch (c.type) {
        case column_type::text:
            return "char(" + std::to_string(c.width) + ")";
        case column_type::date:
            return "date";
        case column_type::decimal:
            return "decimal(" + std::to_string(c.width) + ")";
        case column_type::whole:
            return "long";
        case column_type::number:
            return "number";
    }
    return "char(0)";
}

data_window::data_window(std::string control_name) : name_(std::move(control_name)) {}
data_window::~data_window() = default;

status data_window::set_dataobject(const dw_object& object, transaction& t) {
    object_ = object;
    trans_ = &t;
    rows_.clear();
    deleted_.clear();
    current_row_ = 0;
    current_column_ = 0;
    pending_.reset();
    read_only_ = false;
    labels_.clear();
    pictures_.clear();
    children_.clear();
    children_.resize(object_.columns.size());
    for (const auto& c : object_.columns)
        if (!c.label.empty()) labels_[c.name] = c.label;
    for (const auto& p : object_.pictures) pictures_[lower(p.name)] = p.file_name;
    key_columns_ = object_.key_columns();
    names_.clear();
    for (std::size_t i = 0; i < object_.columns.size(); ++i)
        names_.emplace_back(lower(object_.columns[i].name), static_cast<int>(i) + 1);
    std::sort(names_.begin(), names_.end());
    reset_states();
    for (std::size_t i = 0; i < object_.columns.size(); ++i) {
        const column_def& c = object_.columns[i];
        if (!c.code_table.empty()) {
            auto loaded = dw_child::load(t, c.code_table);
            if (!loaded) return status::error(loaded.message());
            children_[i] = std::make_unique<dw_child>(loaded.take());
        } else if (!c.values.empty()) {
            children_[i] = std::make_unique<dw_child>(dw_child::from_values(c.values));
        }
    }
    return status::ok();
}

void data_window::reset_states() {
    states_.clear();
    for (const auto& c : object_.columns)
        states_.push_back({c.tab, false, {}, c.background, c.visible});
}

long data_window::retrieve() { return retrieve({}, {}, {}); }

long data_window::retrieve(std::string_view condition, std::span<const value> params,
                           std::string_view order_by) {
    if (!trans_) {
        last_error_ = "no transaction";
        return -1;
    }
    rows_.clear();
    deleted_.clear();
    pending_.reset();
    current_row_ = 0;
    long n = fill(*trans_, wrapped_select(condition, order_by), params, rows_);
    if (n > 0) current_row_ = 1;
    return n;
}

std::string data_window::wrapped_select(std::string_view condition,
                                        std::string_view order_by) const {
    if (condition.empty() && order_by.empty()) return object_.select;
    // The SELECT stays as written; the restriction wraps it, so joins and
    // computed columns need no rewriting.
    std::string sql = "SELECT * FROM (" + object_.select + ") q";
    if (!condition.empty()) sql += " WHERE " + std::string(condition);
    if (!order_by.empty()) sql += " ORDER BY " + std::string(order_by);
    return sql;
}

bool data_window::same_key(const packed_row& a, const packed_row& b) const {
    for (int k : key_columns_) {
        if (a.is_null(k) || b.is_null(k)) {
            if (a.is_null(k) != b.is_null(k)) return false;
            continue;
        }
        switch (object_.columns[k].type) {
            case column_type::text:
                if (a.text(k) != b.text(k)) return false;
                break;
            case column_type::number:
                if (a.real(k) != b.real(k)) return false;
                break;
            default:
                if (a.integer(k) != b.integer(k)) return false;
        }
    }
    return !key_columns_.empty();
}

long data_window::place(row found) {
    // The row that was just edited is usually the current one.
    long at = 0;
    if (valid_row(current_row_) && same_key(rows_[current_row_ - 1].values(), found.original))
        at = current_row_;
    for (long r = 1; r <= rowcount() && at == 0; ++r)
        if (same_key(rows_[r - 1].values(), found.original)) at = r;
    if (at == 0) {
        rows_.push_back(std::move(found));
        return rowcount();
    }
    rows_[at - 1] = std::move(found);
    return at;
}

long data_window::merge(std::string_view condition, std::span<const value> params) {
    if (!trans_) return -1;
    std::vector<row> found;
    if (fill(*trans_, wrapped_select(condition, {}), params, found) < 0) return -1;
    long last = 0;
    for (row& f : found) last = place(std::move(f));
    return last;
}

long data_window::merge(const data_window& source, long source_row) {
    if (!source.valid_row(source_row) || source.object_.select != object_.select ||
        source.column_count() != column_count())
        return -1;
    for (int i = 0; i < column_count(); ++i)
        if (source.object_.columns[i].type != object_.columns[i].type) return -1;
    const row& from = source.rows_[source_row - 1];
    return place(row{from.values().with_no_modified(), {}, row_status::not_modified});
}

long data_window::fill(transaction& t, std::string_view sql, std::span<const value> params,
                       std::vector<row>& out) {
    auto cur = t.open_cursor(sql, params);
    if (!cur) {
        last_error_ = t.sqlerrtext();
        return -1;
    }
    const int n = column_count();
    if (cur->column_count() < n) {
        last_error_ = "the SELECT returns " + std::to_string(cur->column_count()) +
                      " columns, the object defines " + std::to_string(n);
        return -1;
    }
    packed_row::builder b(n);
    while (cur->fetch()) {
        b.reset();
        for (int i = 0; i < n; ++i) {
            db_type dt = cur->column_type(i);
            if (dt == db_type::null) {
                b.set_null(i);
                continue;
            }
            const column_def& c = object_.columns[i];
            switch (c.type) {
                case column_type::text:
                    b.set_text(i, cur->column_text(i));
                    break;
                case column_type::date: {
                    auto d = date::parse(cur->column_text(i));
                    if (d)
                        b.set_day(i, d->days());
                    else
                        b.set_null(i);
                    break;
                }
                case column_type::decimal: {
                    std::optional<decimal> d;
                    if (dt == db_type::integer)
                        d = decimal(cur->column_integer(i), 0);
                    else if (dt == db_type::real)
                        d = decimal::from_double(cur->column_real(i), c.width);
                    else
                        d = decimal::parse(cur->column_text(i));
                    if (d)
                        b.set_integer(i, d->rescaled(c.width).units());
                    else
                        b.set_null(i);
                    break;
                }
                case column_type::whole:
                    if (dt == db_type::integer) {
                        b.set_integer(i, cur->column_integer(i));
                    } else if (dt == db_type::real) {
                        b.set_integer(i, static_cast<std::int64_t>(cur->column_real(i)));
                    } else {
                        auto w = decimal::parse(cur->column_text(i));
                        if (w)
                            b.set_integer(i, w->truncated());
                        else
                            b.set_null(i);
                    }
                    break;
                case column_type::number:
                    if (dt == db_type::integer || dt == db_type::real) {
                        b.set_real(i, cur->column_real(i));
                    } else {
                        auto r = parse_real(cur->column_text(i));
                        if (r)
                            b.set_real(i, *r);
                        else
                            b.set_null(i);
                    }
                    break;
            }
        }
        out.push_back(row{b.build(), {}, row_status::not_modified});
    }
    if (t.sqlcode() < 0) {
        last_error_ = t.sqlerrtext();
        out.clear();
        return -1;
    }
    return static_cast<long>(out.size());
}

long data_window::modifiedcount() const {
    return std::count_if(rows_.begin(), rows_.end(), [](const row& r) {
        return r.status == row_status::data_modified || r.status == row_status::new_modified;
    });
}

int data_window::setrow(long r) {
    if (!valid_row(r)) return -1;
    current_row_ = r;
    return 1;
}

long data_window::insertrow(long before) {
    const int n = column_count();
    packed_row::builder b(n);
    for (int i = 0; i < n; ++i) b.set_null(i);
    packed_row values = b.build();
    for (int i = 0; i < n; ++i) {
        const column_def& c = object_.columns[i];
        if (c.initial.empty()) continue;
        bool ok = false;
        value v = convert(i + 1, value(c.initial), &ok);
        if (ok) values = values.with_item(i, v, object_.columns, false);
    }
    row r{{}, std::move(values), row_status::new_row};
    long at = before >= 1 && before <= rowcount() ? before : rowcount() + 1;
    rows_.insert(rows_.begin() + (at - 1), std::move(r));
    if (current_row_ == 0) current_row_ = at;
    return at;
}

int data_window::deleterow(long r) {
    if (r == 0) r = current_row_;
    if (!valid_row(r)) return -1;
    row gone = std::move(rows_[r - 1]);
    rows_.erase(rows_.begin() + (r - 1));
    if (!gone.original.empty()) deleted_.push_back(std::move(gone));
    if (current_row_ > rowcount()) current_row_ = rowcount();
    return 1;
}

void data_window::reset() {
    rows_.clear();
    deleted_.clear();
    current_row_ = 0;
    pending_.reset();
}

int data_window::column_number(std::string_view name) const {
    // Column names are kept in lower case; most callers already use it.
    std::string folded;
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        folded = lower(name);
        name = folded;
    }
    auto it = std::lower_bound(
        names_.begin(), names_.end(), name,
        [](const std::pair<std::string, int>& e, std::string_view n) { return e.first < n; });
    return it != names_.end() && it->first == name ? it->second : 0;
}

value data_window::getitem(long r, int col, bool original) const {
    if (!valid_row(r) || col < 1 || col > column_count()) return value();
    const row& rw = rows_[r - 1];
    const packed_row& p = original ? rw.original : rw.values();
    if (p.empty()) return value();
    return p.get(col - 1, object_.columns[col - 1]);
}

value data_window::getitem(long r, std::string_view col, bool original) const {
    return getitem(r, column_number(col), original);
}

std::optional<std::string> data_window::getitemstring(long r, std::string_view col,
                                                      bool original) const {
    value v = getitem(r, col, original);
    if (v.is_null()) return std::nullopt;
    return v.is_text() ? v.text() : v.to_text();
}

std::optional<date> data_window::getitemdate(long r, std::string_view col, bool original) const {
    value v = getitem(r, col, original);
    if (v.is_date()) return v.day();
    return std::nullopt;
}

std::optional<double> data_window::getitemnumber(long r, std::string_view col,
                                                 bool original) const {
    return getitem(r, col, original).as_double();
}

std::optional<decimal> data_window::getitemdecimal(long r, std::string_view col,
                                                   bool original) const {
    value v = getitem(r, col, original);
    if (v.is_decimal()) return v.dec();
    if (v.is_integer()) return decimal(v.integer(), 0);
    if (v.is_double()) return decimal::from_double(v.real(), 6);
    return std::nullopt;
}

value data_window::convert(int col, const value& v, bool* ok) const {
    *ok = true;
    if (v.is_null()) return value();
    const column_def& c = object_.columns[col - 1];
    switch (c.type) {
        case column_type::text:
            return v.is_text() ? v : value(v.to_text());
        case column_type::date:
            if (v.is_date()) return v;
            if (v.is_text())
                if (auto d = date::parse(v.text())) return value(*d);
            break;
        case column_type::decimal:
            if (v.is_decimal()) return value(v.dec().rescaled(c.width));
            if (v.is_integer()) return value(decimal(v.integer(), 0).rescaled(c.width));
            if (v.is_double()) return value(decimal::from_double(v.real(), c.width));
            if (v.is_text())
                if (auto d = decimal::parse(v.text())) return value(d->rescaled(c.width));
            break;
        case column_type::whole:
            if (v.is_integer()) return v;
            if (v.is_double()) return value(static_cast<std::int64_t>(v.real()));
            if (v.is_decimal()) return value(v.dec().truncated());
            if (v.is_text())
                if (auto w = parse_whole(v.text())) return value(*w);
            break;
        case column_type::number:
            if (auto d = v.as_double()) return value(*d);
            if (v.is_text())
                if (auto r = parse_real(v.text())) return value(*r);
            break;
    }
    *ok = false;
    return value();
}

int data_window::setitem(long r, std::string_view col, const value& v) {
    return setitem(r, column_number(col), v);
}

int data_window::setitem(long r, int col, const value& v) {
    if (!valid_row(r) || col < 1 || col > column_count()) return -1;
    bool ok = false;
    value converted = convert(col, v, &ok);
    if (!ok) return -1;
    row& rw = rows_[r - 1];
    rw.current = rw.values().with_item(col - 1, converted, object_.columns, true);
    if (rw.status == row_status::not_modified) rw.status = row_status::data_modified;
    if (rw.status == row_status::new_row) rw.status = row_status::new_modified;
    return 1;
}

row_status data_window::getitemstatus(long r, int col) const {
    if (!valid_row(r)) return row_status::not_modified;
    const row& rw = rows_[r - 1];
    if (col == 0) return rw.status;
    if (col < 1 || col > column_count()) return row_status::not_modified;
    return rw.values().is_modified(col - 1) ? row_status::data_modified : row_status::not_modified;
}

int data_window::setitemstatus(long r, int col, row_status s) {
    if (!valid_row(r)) return -1;
    row& rw = rows_[r - 1];
    bool is_new = rw.status == row_status::new_row || rw.status == row_status::new_modified;
    if (col == 0) {
        switch (s) {
            case row_status::data_modified:
                if (is_new) {
                    // From here on the row is treated as one that exists in
                    // the database: it will be updated, never inserted.
                    rw.original = rw.values().with_no_modified();
                    rw.current = packed_row();
                }
                rw.status = row_status::data_modified;
                return 1;
            case row_status::not_modified:
                if (is_new) {
                    rw.status = row_status::new_row;
                } else {
                    if (!rw.current.empty()) rw.current = rw.current.with_no_modified();
                    rw.status = row_status::not_modified;
                }
                return 1;
            case row_status::new_row:
            case row_status::new_modified:
                rw.status = s;
                return 1;
        }
        return -1;
    }
    if (col < 1 || col > column_count()) return -1;
    bool flag = s == row_status::data_modified || s == row_status::new_modified;
    rw.current = rw.values().with_modified(col - 1, flag);
    if (flag && rw.status == row_status::not_modified) rw.status = row_status::data_modified;
    if (flag && rw.status == row_status::new_row) rw.status = row_status::new_modified;
    if (!flag && rw.status == row_status::data_modified && !rw.current.any_modified())
        rw.status = row_status::not_modified;
    return 1;
}

std::pair<dw_child*, int> data_window::getchild(std::string_view col) {
    int c = column_number(col);
    if (c == 0 || !children_[c - 1]) return {nullptr, -1};
    return {children_[c - 1].get(), 1};
}

const dw_child* data_window::child(int col) const {
    if (col < 1 || col > column_count()) return nullptr;
    return children_[col - 1].get();
}

std::string data_window::lookup_display(long r, int col) const {
    value v = getitem(r, col);
    if (v.is_null()) return {};
    std::string code = v.is_text() ? v.text() : v.to_text();
    if (const dw_child* ch = child(col))
        if (auto shown = ch->display_of(code)) return *shown;
    return code;
}

std::string data_window::display_text(long r, int col) const {
    const column_def& c = object_.columns[col - 1];
    value v = getitem(r, col);
    if (v.is_null()) return {};
    if (child(col)) return lookup_display(r, col);
    switch (c.type) {
        case column_type::date:
            return format_date(v.day(), c.format.empty() ? "yyyy-mm-dd" : c.format);
        case column_type::decimal:
        case column_type::whole:
        case column_type::number:
            return format_number(v, c.format);
        case column_type::text:
            break;
    }
    return v.to_text();
}

bool data_window::can_enter(int col) const {
    if (col < 1 || col > column_count() || read_only_) return false;
    const column_state& s = states_[col - 1];
    return s.visible && s.tab > 0 && !s.protect;
}

void data_window::settext(std::string text) { pending_ = std::move(text); }

std::string data_window::gettext() const {
    if (pending_) return *pending_;
    if (current_column_ > 0 && current_row_ > 0) return getitem(current_row_, current_column_).to_text();
    return {};
}

dwo data_window::column_object(int col) const {
    dwo o;
    if (col < 1 || col > column_count()) return o;
    const column_def& c = object_.columns[col - 1];
    o.name = c.name;
    o.coltype = coltype_name(c);
    o.editmask = c.edit_mask;
    o.id = col;
    return o;
}

result<value> data_window::parse_input(int col, std::string_view text) const {
    const column_def& c = object_.columns[col - 1];
    std::string label = quoted_label(c, label_text(c.name));
    if (text.empty()) return value();
    std::string shown(text);
    switch (c.type) {
        case column_type::text: {
            std::size_t length = utf8_length(text);
            if (c.width > 0 && length > static_cast<std::size_t>(c.width))
                return status::error(label + "最多只能输入" + std::to_string(c.width) +
                                     "个字符，现在输入了" + std::to_string(length) + "个！");
            if (const dw_child* ch = child(col); ch && !ch->offers(text))
                return status::error(label + "“" + shown + "”不是可以选择的代码！");
            return value(shown);
        }
        case column_type::date:
            if (auto d = date::parse(text); d && text.size() == 10) return value(*d);
            return status::error(label + "“" + shown + "”不是有效的日期，请按yyyy-mm-dd格式输入！");
        case column_type::decimal: {
            auto d = decimal::parse(text);
            if (!d) return status::error(label + "“" + shown + "”不是有效的数值！");
            decimal scaled = d->rescaled(c.width);
            if (scaled != *d)
                return status::error(label + "最多只能有" + std::to_string(c.width) + "位小数！");
            return value(scaled);
        }
        case column_type::whole:
            if (auto w = parse_whole(text)) return value(*w);
            return status::error(label + "“" + shown + "”不是有效的整数！");
        case column_type::number:
            if (auto r = parse_real(text)) return value(*r);
            return status::error(label + "“" + shown + "”不是有效的数值！");
    }
    return status::error(label + "无法输入");
}

int data_window::accepttext() {
    last_itemchanged_ = 0;
    if (!pending_) return 1;
    std::string text = std::move(*pending_);
    pending_.reset();
    int col = current_column_;
    long r = current_row_;
    if (!valid_row(r) || col < 1 || col > column_count()) return 1;
    auto parsed = parse_input(col, text);
    if (!parsed) {
        if (events_) events_->itemerror(r, column_object(col), parsed.message());
        return -1;
    }
    int rc = events_ ? events_->itemchanged(r, column_object(col), text) : 0;
    last_itemchanged_ = rc;
    if (rc != 0) return rc == 2 ? 1 : -1;
    // The handler may have moved or removed rows (a window may close).
    if (!valid_row(r)) return 1;
    setitem(r, col, *parsed);
    return 1;
}

std::vector<planned_statement> data_window::plan_update() const {
    std::vector<planned_statement> out;
    const auto& cols = object_.columns;
    const std::string& table = object_.update_table;
    std::vector<int> keys = object_.key_columns();

    // The retrieved values of the key and of `checked` columns: a row that
    // another workstation changed or removed then matches nothing.
    auto where = [&](const packed_row& original, const std::vector<int>& checked,
                     std::vector<value>& params) {
        std::string w;
        auto add = [&](int i) {
            if (!w.empty()) w += " AND ";
            value v = original.get(i, cols[i]);
            if (v.is_null()) {
                w += cols[i].name + " IS NULL";
            } else {
                w += cols[i].name + " = ?";
                params.push_back(std::move(v));
            }
        };
        for (int k : keys) add(k);
        for (int i : checked)
            if (!cols[i].key) add(i);
        return w;
    };

    for (const row& r : deleted_) {
        if (r.original.empty()) continue;
        planned_statement s;
        std::vector<int> all;
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].updatable) all.push_back(static_cast<int>(i));
        s.sql = "DELETE FROM " + table + " WHERE " + where(r.original, all, s.params);
        s.expect_one_row = true;
        out.push_back(std::move(s));
    }
    for (const row& r : rows_) {
        if (r.status != row_status::data_modified || r.current.empty()) continue;
        std::vector<int> changed;
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].updatable && r.current.is_modified(static_cast<int>(i)))
                changed.push_back(static_cast<int>(i));
        if (changed.empty()) continue;
        planned_statement s;
        std::string set;
        for (int i : changed) {
            if (!set.empty()) set += ", ";
            set += cols[i].name + " = ?";
            s.params.push_back(r.current.get(i, cols[i]));
        }
        s.sql = "UPDATE " + table + " SET " + set + " WHERE " + where(r.original, changed, s.params);
        s.expect_one_row = true;
        out.push_back(std::move(s));
    }
    for (const row& r : rows_) {
        if (r.status != row_status::new_modified) continue;
        planned_statement s;
        std::string names, marks;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!cols[i].updatable) continue;
            value v = r.current.get(static_cast<int>(i), cols[i]);
            // Columns left empty are not named, so the table's reserved
            // columns are never written by a window.
            if (v.is_null()) continue;
            if (!names.empty()) {
                names += ", ";
                marks += ", ";
            }
            names += cols[i].name;
            marks += "?";
            s.params.push_back(std::move(v));
        }
        if (names.empty()) continue;
        s.sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        out.push_back(std::move(s));
    }
    return out;
}

status data_window::update() {
    if (!trans_) return status::error("no transaction");
    if (object_.update_table.empty()) return status::error(object_.name + " has no update table");
    for (const auto& s : plan_update()) {
        if (trans_->execute(s.sql, s.params) != sql_code::ok) return status::error(trans_->sqlerrtext());
        if (s.expect_one_row && trans_->sqlnrows() != 1)
            return status::error("该记录已被其他工作站修改或删除，本次修改没有保存。请重新打开记录后再修改。");
    }
    return status::ok();
}

void data_window::resetupdate() {
    deleted_.clear();
    for (row& r : rows_) {
        if (r.status == row_status::new_row) continue;
        if (!r.current.empty()) {
            r.original = r.current.with_no_modified();
            r.current = packed_row();
        }
        r.status = row_status::not_modified;
    }
}

void data_window::revert() {
    pending_.reset();
    std::vector<row> kept;
    for (row& r : rows_) {
        if (r.original.empty()) continue;
        r.current = packed_row();
        r.status = row_status::not_modified;
        kept.push_back(std::move(r));
    }
    for (row& r : deleted_) {
        r.current = packed_row();
        r.status = row_status::not_modified;
        kept.push_back(std::move(r));
    }
    deleted_.clear();
    rows_ = std::move(kept);
    if (current_row_ > rowcount()) current_row_ = rowcount();
    if (current_row_ == 0 && rowcount() > 0) current_row_ = 1;
}

void data_window::sort(int col, bool ascending) {
    if (col < 1 || col > column_count()) return;
    const column_def& c = object_.columns[col - 1];
    int i = col - 1;
    auto less = [&](const row& a, const row& b) {
        const packed_row& pa = a.values();
        const packed_row& pb = b.values();
        bool na = pa.is_null(i), nb = pb.is_null(i);
        if (na || nb) return na && !nb;
        switch (c.type) {
            case column_type::text:
                return pa.text(i) < pb.text(i);
            case column_type::date:
                return pa.day(i) < pb.day(i);
            case column_type::decimal:
            case column_type::whole:
                return pa.integer(i) < pb.integer(i);
            case column_type::number:
                return pa.real(i) < pb.real(i);
        }
        return false;
    };
    if (ascending)
        std::stable_sort(rows_.begin(), rows_.end(), less);
    else
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const row& a, const row& b) { return less(b, a); });
}

}  // namespace officerecords
