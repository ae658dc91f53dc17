// Reading rows into the data window: retrieving, merging single records
// into a list, and turning what the database delivers into typed items.
#include <cmath>

#include "foundation/data_window.h"
#include "foundation/transaction.h"

namespace officerecords {

namespace {

// How a delivered item became its typed item.
enum class reading {
    exact,       // writing the typed item back stores exactly what was delivered
    kept,        // read, but stored in another form: the delivered value is kept
    unreadable,  // not a value of the column's type: null, delivered value kept
};

reading read_date(const cursor& cur, int i, packed_row::builder& b) {
    if (cur.column_type(i) != db_type::text) return reading::unreadable;
    const std::string_view text = cur.column_text(i);
    const std::optional<date> d = date::parse(text);
    if (!d) return reading::unreadable;
    b.set_day(i, d->days());
    // "2019-04-10 00:00:00" reads as its day, but would not be written so.
    return text.size() == 10 ? reading::exact : reading::kept;
}

reading read_decimal(const cursor& cur, int i, int scale, packed_row::builder& b) {
    std::optional<decimal> d;
    reading how = reading::kept;
    switch (cur.column_type(i)) {
        case db_type::integer:
            // A whole amount is written back as this very integer.
            d = decimal(cur.column_integer(i), 0);
            how = reading::exact;
            break;
        case db_type::real: {
            // Written back as the double nearest its digits: exact when that
            // is the double stored (19960.001 or 0.30000000000000004, stored
            // by another program, are not, and are named as stored).
            const double v = cur.column_real(i);
            if (std::isfinite(v) && std::fabs(v) < 1e19) d = decimal::from_double(v, scale);
            if (d && d->rescaled(scale).to_double() == v) how = reading::exact;
            break;
        }
        case db_type::text: {
            // A server delivers its numbers as their digits.
            const std::string_view text = cur.column_text(i);
            d = decimal::parse(text);
            if (d && scale > 0 && d->rescaled(scale).str() == text) how = reading::exact;
            break;
        }
        default:
            break;
    }
    if (!d || !d->fits_column(scale)) return reading::unreadable;
    b.set_integer(i, d->rescaled(scale).units());
    return how;
}

reading read_whole(const cursor& cur, int i, packed_row::builder& b) {
    switch (cur.column_type(i)) {
        case db_type::integer:
            b.set_integer(i, cur.column_integer(i));
            return reading::exact;
        case db_type::real: {
            // A fraction in a whole-number column is not a whole number.
            const double v = cur.column_real(i);
            if (!std::isfinite(v) || std::trunc(v) != v || std::fabs(v) >= 9e18)
                return reading::unreadable;
            b.set_integer(i, static_cast<std::int64_t>(v));
            return reading::kept;
        }
        case db_type::text:
            if (auto w = parse_whole(cur.column_text(i))) {
                b.set_integer(i, *w);
                return reading::kept;
            }
            return reading::unreadable;
        default:
            return reading::unreadable;
    }
}

reading read_number(const cursor& cur, int i, packed_row::builder& b) {
    switch (cur.column_type(i)) {
        case db_type::real:
            b.set_real(i, cur.column_real(i));
            return reading::exact;
        case db_type::integer:
            b.set_real(i, static_cast<double>(cur.column_integer(i)));
            return reading::kept;
        case db_type::text:
            if (auto r = parse_number(cur.column_text(i))) {
                b.set_real(i, *r);
                return reading::kept;
            }
            return reading::unreadable;
        default:
            return reading::unreadable;
    }
}

reading read_item(const cursor& cur, int i, const column_def& c, packed_row::builder& b) {
    switch (c.type) {
        case column_type::text:
            b.set_text(i, cur.column_text(i));
            return cur.column_type(i) == db_type::text ? reading::exact : reading::kept;
        case column_type::date:
            return read_date(cur, i, b);
        case column_type::decimal:
            return read_decimal(cur, i, c.width, b);
        case column_type::whole:
            return read_whole(cur, i, b);
        case column_type::number:
            return read_number(cur, i, b);
    }
    return reading::unreadable;
}

}  // namespace

const data_window::delivered_item* data_window::row::delivered_at(int col) const {
    if (!delivered) return nullptr;
    for (const delivered_item& d : *delivered)
        if (d.col == col) return &d;
    return nullptr;
}

std::optional<value> data_window::unreadable_item(long r, int col) const {
    if (!valid_row(r) || col < 1 || col > column_count()) return std::nullopt;
    const row& rw = rows_[r - 1];
    const delivered_item* d = rw.delivered_at(col - 1);
    if (!d || !d->unreadable) return std::nullopt;
    // Once something was entered in its place, the item reads as entered.
    const packed_row& now = rw.values();
    if (!now.is_null(col - 1) || now.is_modified(col - 1)) return std::nullopt;
    return d->stored;
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
    deleted_at_.clear();
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

long data_window::place(row found, merge_place where) {
    long at = 0;
    if (where == merge_place::find) {
        // The row that was just edited is usually the current one.
        if (valid_row(current_row_) && same_key(rows_[current_row_ - 1].values(), found.original))
            at = current_row_;
        for (long r = 1; r <= rowcount() && at == 0; ++r)
            if (same_key(rows_[r - 1].values(), found.original)) at = r;
    }
    if (at == 0) {
        rows_.push_back(std::move(found));
        return rowcount();
    }
    rows_[at - 1] = std::move(found);
    return at;
}

long data_window::merge(std::string_view condition, std::span<const value> params,
                        merge_place where) {
    if (!trans_) return -1;
    std::vector<row> found;
    if (fill(*trans_, wrapped_select(condition, {}), params, found) < 0) return -1;
    long last = 0;
    for (row& f : found) last = place(std::move(f), where);
    return last;
}

long data_window::merge(const data_window& source, long source_row, merge_place where) {
    if (!source.valid_row(source_row) || source.object_.select != object_.select ||
        source.column_count() != column_count())
        return -1;
    for (int i = 0; i < column_count(); ++i)
        if (source.object_.columns[i].type != object_.columns[i].type) return -1;
    const row& from = source.rows_[source_row - 1];
    row copy{from.values().with_no_modified(), {}, row_status::not_modified, nullptr};
    if (from.delivered) copy.delivered = std::make_unique<std::vector<delivered_item>>(*from.delivered);
    return place(std::move(copy), where);
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
    std::vector<delivered_item> delivered;
    while (cur->fetch()) {
        b.reset();
        for (int i = 0; i < n; ++i) {
            if (cur->column_type(i) == db_type::null) {
                b.set_null(i);
                continue;
            }
            const column_def& c = object_.columns[i];
            const reading how = read_item(*cur, i, c, b);
            if (how == reading::unreadable) b.set_null(i);
            // Only what an update names in its WHERE, or what must be shown
            // as stored, is worth keeping.
            if (how == reading::unreadable || (how == reading::kept && (c.key || c.updatable)))
                delivered.push_back({i, cur->column_value(i), how == reading::unreadable});
        }
        out.push_back(row{b.build(), {}, row_status::not_modified, nullptr});
        if (!delivered.empty()) {
            out.back().delivered = std::make_unique<std::vector<delivered_item>>(std::move(delivered));
            delivered.clear();
        }
    }
    if (t.sqlcode() < 0) {
        last_error_ = t.sqlerrtext();
        out.clear();
        return -1;
    }
    return static_cast<long>(out.size());
}

}  // namespace officerecords
