#include "foundation/dw_child.h"

#include <algorithm>

#include "foundation/expression.h"
#include "foundation/transaction.h"

namespace officerecords {

dw_child dw_child::from_rows(std::vector<code_row> rows) {
    dw_child c;
    c.rows_ = std::move(rows);
    c.shown_.resize(c.rows_.size());
    for (std::size_t i = 0; i < c.rows_.size(); ++i) c.shown_[i] = static_cast<int>(i);
    return c;
}

dw_child dw_child::from_values(std::string_view values) {
    std::vector<code_row> rows;
    while (!values.empty()) {
        auto slash = values.find('/');
        std::string_view entry = values.substr(0, slash);
        values = slash == std::string_view::npos ? std::string_view() : values.substr(slash + 1);
        if (entry.empty()) continue;
        auto tab = entry.find('\t');
        code_row r;
        r.tname = std::string(entry.substr(0, tab));
        r.tcode = tab == std::string_view::npos ? r.tname : std::string(entry.substr(tab + 1));
        rows.push_back(std::move(r));
    }
    return from_rows(std::move(rows));
}

result<dw_child> dw_child::load(transaction& t, std::string_view code_table) {
    value name(lower(code_table));
    auto cur = t.open_cursor("SELECT tcode, tname FROM tc_ge_code WHERE lower(codetable) = ?", {&name, 1});
    if (!cur) return status::error(t.sqlerrtext());
    std::vector<code_row> rows;
    while (cur->fetch())
        rows.push_back({std::string(cur->column_text(0)), std::string(cur->column_text(1))});
    if (t.sqlcode() < 0) return status::error(t.sqlerrtext());
    // Byte order of the code text, the same on every backend and locale.
    std::sort(rows.begin(), rows.end(),
              [](const code_row& a, const code_row& b) { return a.tcode < b.tcode; });
    return from_rows(std::move(rows));
}

int dw_child::setfilter(std::string_view text) {
    if (!text.empty()) {
        auto parsed = expression::parse(text);
        if (!parsed) return -1;
    }
    filter_text_ = std::string(text);
    return 1;
}

int dw_child::filter() {
    shown_.clear();
    if (filter_text_.empty()) {
        for (std::size_t i = 0; i < rows_.size(); ++i) shown_.push_back(static_cast<int>(i));
        return 1;
    }
    auto parsed = expression::parse(filter_text_);
    if (!parsed) return -1;
    int rc = 1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const code_row& r = rows_[i];
        auto lookup = [&r](std::string_view id) -> std::optional<value> {
            if (iequals(id, "tcode")) return value(r.tcode);
            if (iequals(id, "tname")) return value(r.tname);
            return std::nullopt;
        };
        auto v = parsed->evaluate(lookup);
        if (!v) {
            rc = -1;
            continue;
        }
        if (!v->is_null() && v->as_double().value_or(0) != 0) shown_.push_back(static_cast<int>(i));
    }
    return rc;
}

std::optional<std::string> dw_child::getitemstring(long row, std::string_view column) const {
    if (row < 1 || row > rowcount()) return std::nullopt;
    const code_row& r = rows_[shown_[row - 1]];
    if (iequals(column, "tcode")) return r.tcode;
    if (iequals(column, "tname")) return r.tname;
    return std::nullopt;
}

bool dw_child::offers(std::string_view code) const {
    return std::any_of(shown_.begin(), shown_.end(),
                       [&](int i) { return rows_[i].tcode == code; });
}

std::optional<std::string> dw_child::display_of(std::string_view code) const {
    for (const auto& r : rows_)
        if (r.tcode == code) return r.tname;
    return std::nullopt;
}

std::vector<std::string> dw_child::offered_codes() const {
    std::vector<std::string> codes;
    for (int i : shown_) codes.push_back(rows_[i].tcode);
    return codes;
}

}  // namespace officerecords
