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

// A label as messages quote it; a column without one is named by itself.
std::string quoted_label(const column_def& c, const std::string& label) {
    return "【" + (label.empty() ? c.name : label) + "】";
}

}  // namespace

std::string too_long_message(std::string_view label, std::size_t width, std::size_t length) {
    return std::string(label) + "最多只能输入" + std::to_string(width) + "个字符，现在输入了" +
           std::to_string(length) + "个！";
}

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
    deleted_at_.clear();
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
        states_.push_back({c.tab, c.readonly, {}, c.background, c.visible});
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
    row r{{}, std::move(values), row_status::new_row, nullptr};
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
    if (!gone.original.empty()) {
        deleted_.push_back(std::move(gone));
        deleted_at_.push_back(r);
    }
    if (current_row_ > rowcount()) current_row_ = rowcount();
    return 1;
}

void data_window::reset() {
    rows_.clear();
    deleted_.clear();
    deleted_at_.clear();
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
        case column_type::decimal: {
            std::optional<decimal> d;
            if (v.is_decimal()) d = v.dec();
            if (v.is_integer()) d = decimal(v.integer(), 0);
            if (v.is_double() && std::isfinite(v.real()) && std::fabs(v.real()) < 1e19)
                d = decimal::from_double(v.real(), c.width);
            if (v.is_text()) d = decimal::parse(v.text());
            // A value the column cannot hold is refused, never clipped.
            if (d && d->fits_column(c.width)) return value(d->rescaled(c.width));
            break;
        }
        case column_type::whole:
            if (v.is_integer()) return v;
            if (v.is_double() && std::isfinite(v.real()) && std::fabs(v.real()) < 9e18)
                return value(static_cast<std::int64_t>(v.real()));
            if (v.is_decimal()) return value(v.dec().truncated());
            if (v.is_text())
                if (auto w = parse_whole(v.text())) return value(*w);
            break;
        case column_type::number:
            if (auto d = v.as_double()) return value(*d);
            if (v.is_text())
                if (auto r = parse_number(v.text())) return value(*r);
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
    if (entering_.row == r && entering_.col == col) entering_.set = true;
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
    if (v.is_null()) {
        // What could not be read is shown as it is stored, not as empty.
        if (auto stored = unreadable_item(r, col)) return stored->to_text();
        return {};
    }
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

void data_window::settext(std::string text) {
    refused_.reset();
    pending_ = std::move(text);
}

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
    // Checked before anything else reads the text: widths count characters
    // only of valid UTF-8, and a stray control character is no clerk's entry.
    if (!valid_utf8(text))
        return status::error(label + "含有无法识别的字符（不是有效的UTF-8编码），请重新输入！");
    if (has_control_character(text))
        return status::error(label + "不能含有控制字符，请重新输入！");
    std::string shown(text);
    switch (c.type) {
        case column_type::text: {
            std::size_t length = utf8_length(text);
            if (c.width > 0 && length > static_cast<std::size_t>(c.width))
                return status::error(too_long_message(label, static_cast<std::size_t>(c.width), length));
            if (const dw_child* ch = child(col); ch && !ch->offers(text))
                return status::error(label + "“" + shown + "”不是可以选择的代码！");
            return value(shown);
        }
        case column_type::date:
            if (auto d = date::parse(text); d && text.size() == 10) return value(*d);
            return status::error(label + "“" + shown +
                                 "”不是有效的日期，请按yyyy-mm-dd（例如 2024-03-15）格式输入！");
        case column_type::decimal: {
            auto d = decimal::parse(text);
            // A well-formed number that still does not parse has too many digits.
            const bool too_long =
                text.find_first_not_of("+-.,0123456789") == std::string_view::npos &&
                std::count_if(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) >
                decimal::k_column_digits;
            if (!d && !too_long) return status::error(label + "“" + shown + "”不是有效的数值！");
            if (!d || !d->fits_column(c.width))
                return status::error(label + "“" + shown + "”超出范围，整数部分最多只能有" +
                                     std::to_string(decimal::k_column_digits - c.width) + "位！");
            decimal scaled = d->rescaled(c.width);
            if (scaled != *d)
                return status::error(label + "最多只能有" + std::to_string(c.width) + "位小数！");
            return value(scaled);
        }
        case column_type::whole:
            if (auto w = parse_whole(text)) return value(*w);
            return status::error(label + "“" + shown + "”不是有效的整数！");
        case column_type::number:
            if (auto r = parse_number(text)) return value(*r);
            return status::error(label + "“" + shown + "”不是有效的数值！");
    }
    return status::error(label + "无法输入");
}

int data_window::accepttext() {
    last_itemchanged_ = 0;
    refused_.reset();
    if (!pending_) return 1;
    std::string text = std::move(*pending_);
    pending_.reset();
    int col = current_column_;
    long r = current_row_;
    if (!valid_row(r) || col < 1 || col > column_count()) return 1;
    auto parsed = parse_input(col, text);
    if (!parsed) {
        refused_ = refused_text{r, col, text};
        if (events_) events_->itemerror(r, column_object(col), parsed.message());
        return -1;
    }
    // A handler that sets the very item being entered (a picker writing the
    // chosen person's full name) has decided its value: the typed text does
    // not overwrite it.
    entering_ = {r, col, false};
    int rc = events_ ? events_->itemchanged(r, column_object(col), text) : 0;
    const bool set_by_handler = entering_.set;
    entering_ = {};
    last_itemchanged_ = rc;
    if (rc != 0) return rc == 2 ? 1 : -1;
    // The handler may have moved or removed rows (a window may close).
    if (!valid_row(r) || set_by_handler) return 1;
    setitem(r, col, *parsed);
    return 1;
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
