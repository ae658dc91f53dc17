#include "demo/demo_writer.h"

#include "demo/demo_codes.h"
#include "storage/schema.h"

namespace officerecords::demo {

namespace {

const date k_latest = *date::from_ymd(2025, 12, 31);

}  // namespace

value day(std::string_view iso) {
    if (iso.empty()) return value();
    return value(*date::parse(iso));
}
value text_or_null(std::string_view s) { return s.empty() ? value() : value(s); }
value yuan(std::int64_t whole, int fen) { return value(decimal(whole * 100 + fen, 2)); }

std::string digits(int n, int width) {
    std::string s = std::to_string(n);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

std::string_view code_name(std::string_view table, std::string_view code) {
    for (const demo_code_table& t : demo_code_tables()) {
        if (t.name != table) continue;
        for (const auto& [c, name] : t.rows) {
            if (c == code) return name;
        }
    }
    return {};
}

void row_writer::insert(std::string_view table, const std::vector<cell>& cells) {
    if (!error_.empty()) return;
    const table_def* def = find_table(table);
    if (def == nullptr) return fail(std::string(table) + ": no such table in the schema");
    std::string sql = "INSERT INTO " + std::string(def->name) + " (";
    std::string marks;
    std::vector<value> params;
    for (const auto& [name, v] : cells) {
        const table_column* col = def->find_column(name);
        if (col == nullptr)
            return fail(std::string(table) + "." + std::string(name) + ": no such column");
        if (col->kind == column_kind::text && v.is_text() &&
            utf8_length(v.text()) > static_cast<std::size_t>(col->size)) {
            return fail(std::string(table) + "." + std::string(name) +
                        ": text too long: " + v.text());
        }
        if (v.is_date() && v.day() > k_latest) {
            return fail(std::string(table) + "." + std::string(name) + ": date after 2025-12-31");
        }
        if (!params.empty()) {
            sql += ", ";
            marks += ", ";
        }
        sql += name;
        marks += "?";
        params.push_back(v);
    }
    sql += ") VALUES (" + marks + ")";
    if (t_.execute(sql, params) != sql_code::ok) {
        fail(std::string(table) + ": " + t_.sqlerrtext());
    }
}

std::int64_t row_writer::insert_register(std::string_view table, std::string_view commno,
                                         std::initializer_list<cell> cells) {
    const std::int64_t orderno = ++ordernos_[std::string(table)];
    std::vector<cell> row = {{"commno", commno}, {"orderno", decimal(orderno, 0)}};
    row.insert(row.end(), cells);
    row.emplace_back("issave", "1");
    insert(table, row);
    return orderno;
}

}  // namespace officerecords::demo
