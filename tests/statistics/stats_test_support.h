// Generated registers for the statistics tests, and the checks every
// view's figures go through: each against a plain reference query, and
// each figure's records retrieved through its register's list.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "catalog/window_catalog.h"
#include "foundation/data_window.h"
#include "statistics/statistics.h"
#include "tests/test_support.h"

namespace officerecords::stats_testing {

// Three communities; the third keeps no records at all.
inline const std::vector<std::pair<std::string, std::string>> k_communities = {
    {"S01", "东湖社区"}, {"S02", "西湖社区"}, {"S03", "南湖社区"}};

struct figure {
    std::int64_t count = 0;
    std::int64_t fen = 0;  // or a whole-number sum
    bool operator==(const figure&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const figure& f) {
    return os << "{" << f.count << ", " << f.fen << "}";
}

// By row label(s), by community code: what a reference query counted.
using expected_table = std::map<std::vector<std::string>, std::map<std::string, figure>>;

// An amount as the database returned it (a number on SQLite, exact text
// on the server), in fen.
inline std::int64_t fen_of(const value& v) {
    if (v.is_null()) return 0;
    if (v.is_integer()) return v.integer() * 100;
    if (v.is_double()) return std::llround(v.real() * 100);
    if (v.is_decimal()) return v.dec().rescaled(2).units();
    return decimal::parse(v.to_text())->rescaled(2).units();
}

inline std::string month_label_of(const std::string& ym) {
    if (ym.empty()) return k_no_date_label;
    return ym.substr(0, 4) + "年" + std::to_string(std::stoi(ym.substr(5, 2))) + "月";
}

// Runs a reference query whose columns are: commno, `labels` label
// columns, a count and a sum (an amount when `amount`, else a whole
// number); `name` turns each label into the text the view shows.
inline expected_table reference(transaction& t, const std::string& sql, const std::vector<value>& params,
                                int labels, bool amount,
                                const std::function<std::string(int, const std::string&)>& name) {
    expected_table out;
    auto rows = t.open_cursor(sql, params);
    EXPECT_TRUE(rows) << sql << ": " << t.sqlerrtext();
    if (!rows) return out;
    while (rows->fetch()) {
        std::vector<std::string> key;
        for (int i = 0; i < labels; ++i) key.push_back(name(i, rows->column_value(1 + i).to_text()));
        const value sum = rows->column_value(2 + labels);
        figure f{rows->column_integer(1 + labels), amount ? fen_of(sum) : (sum.is_null() ? 0 : sum.is_integer() ? sum.integer() : std::llround(*sum.as_double()))};
        figure& into = out[key][std::string(rows->column_text(0))];
        into.count += f.count;
        into.fen += f.fen;
    }
    EXPECT_EQ(t.sqlcode(), 100) << t.sqlerrtext();
    return out;
}

// The records behind a cell, retrieved through the register's list: their
// number, and the sum of `column` in fen (or as whole numbers).
inline figure retrieved(transaction& t, const stats_records& r, const std::string& column, bool amount) {
    const window_entry* e = find_window_entry(r.window);
    EXPECT_TRUE(e && e->list) << r.window;
    if (!e || !e->list) return {};
    data_window dw;
    EXPECT_TRUE(dw.set_dataobject(e->list(), t).is_ok());
    const long n = dw.retrieve(r.condition, r.params);
    EXPECT_GE(n, 0) << r.condition << ": " << dw.last_error();
    figure f{n, 0};
    if (column.empty()) return f;
    const int col = dw.column_number(column);
    EXPECT_GT(col, 0) << column;
    for (long row = 1; row <= n; ++row) {
        const value v = dw.getitem(row, col);
        f.fen += amount ? fen_of(v) : (v.is_null() ? 0 : static_cast<std::int64_t>(std::llround(*v.as_double())));
    }
    return f;
}

// The figures of a table, read as (count, sum) pairs: the measure columns
// `count_at` and `sum_at` (offsets within each community's group of
// `group` columns; -1 for none) of every row but the last (合计).
struct table_shape {
    int group = 2;
    int count_at = 0;
    int sum_at = 1;
    std::string sum_column;  // the list column a sum adds up, for the records behind
    bool amount = true;
};

// Checks one table against its reference, cell by cell, and the 合计
// column and row; then, for every figure, that the records behind it are
// exactly as many (and add up to the same) through the register's list.
inline void expect_table(transaction& t, const stats_table& table, const expected_table& want,
                         const std::vector<std::string>& commnos, const table_shape& shape) {
    SCOPED_TRACE(table.title);
    ASSERT_FALSE(table.rows.empty());
    const std::size_t labels = static_cast<std::size_t>(table.label_columns);
    const std::size_t columns = commnos.size() > 1 ? commnos.size() + 1 : 1;
    ASSERT_EQ(table.header.size(), labels + columns * static_cast<std::size_t>(shape.group));
    std::map<std::string, figure> grand;
    std::size_t matched = 0;
    auto cell_figure = [&](const std::vector<stats_cell>& row, std::size_t column) {
        const std::size_t at = labels + column * static_cast<std::size_t>(shape.group);
        figure f;
        if (shape.count_at >= 0) f.count = row[at + static_cast<std::size_t>(shape.count_at)].number->units();
        if (shape.sum_at >= 0) f.fen = row[at + static_cast<std::size_t>(shape.sum_at)].number->units();
        return f;
    };
    auto check_behind = [&](const std::vector<stats_cell>& row, std::size_t column, const figure& f) {
        const std::size_t at = labels + column * static_cast<std::size_t>(shape.group);
        const stats_cell& c = row[at + static_cast<std::size_t>(shape.count_at >= 0 ? shape.count_at : shape.sum_at)];
        ASSERT_TRUE(c.behind) << row[0].text;
        const figure got = retrieved(t, *c.behind, shape.sum_at >= 0 ? shape.sum_column : "", shape.amount);
        if (shape.count_at >= 0) {
            EXPECT_EQ(got.count, f.count) << row[0].text << " " << c.behind->condition;
        }
        if (shape.sum_at >= 0) {
            EXPECT_EQ(got.fen, f.fen) << row[0].text << " " << c.behind->condition;
        }
    };
    for (std::size_t r = 0; r + 1 < table.rows.size(); ++r) {
        const auto& row = table.rows[r];
        ASSERT_EQ(row.size(), table.header.size());
        std::vector<std::string> key;
        for (std::size_t i = 0; i < labels; ++i) key.push_back(row[i].text);
        auto it = want.find(key);
        if (it != want.end()) ++matched;
        figure sum;
        for (std::size_t c = 0; c < commnos.size(); ++c) {
            figure expect;
            if (it != want.end() && it->second.count(commnos[c])) expect = it->second.at(commnos[c]);
            const figure got = cell_figure(row, c);
            EXPECT_EQ(got, expect) << key[0] << (labels > 1 ? "/" + key[1] : "") << " in " << commnos[c];
            sum.count += got.count;
            sum.fen += got.fen;
            grand[commnos[c]].count += got.count;
            grand[commnos[c]].fen += got.fen;
            check_behind(row, c, got);
        }
        if (columns > 1) {
            EXPECT_EQ(cell_figure(row, commnos.size()), sum) << key[0] << " 合计";
            check_behind(row, commnos.size(), sum);
        }
    }
    EXPECT_EQ(matched, want.size()) << "rows the reference found that the table lacks";
    const auto& last = table.rows.back();
    EXPECT_EQ(last[0].text, "合计");
    figure all;
    for (std::size_t c = 0; c < commnos.size(); ++c) {
        EXPECT_EQ(cell_figure(last, c), grand[commnos[c]]) << "合计 of " << commnos[c];
        check_behind(last, c, grand[commnos[c]]);
        all.count += grand[commnos[c]].count;
        all.fen += grand[commnos[c]].fen;
    }
    if (columns > 1) {
        EXPECT_EQ(cell_figure(last, commnos.size()), all);
    }
}

inline const stats_table* find_table(const stats_result& r, const std::string& title) {
    for (const stats_table& t : r.tables)
        if (t.title == title) return &t;
    ADD_FAILURE() << "no table " << title;
    return nullptr;
}

// A code table's codes, and what a view shows for a code: its name, 未填
// for none, the code itself where the table lacks it.
using code_list = std::vector<std::pair<std::string, std::string>>;
inline std::vector<std::string> codes_of(const code_list& list) {
    std::vector<std::string> out;
    for (const auto& [code, name] : list) out.push_back(code);
    return out;
}
inline std::string name_in(const code_list& list, const std::string& code) {
    if (code.empty()) return "未填";
    for (const auto& [c, n] : list)
        if (c == code) return n;
    return code;
}

// A small random generator of register contents, the same on every run.
class generator {
public:
    explicit generator(unsigned seed = 20261210) : rng_(seed) {}
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    // A date between the two, or (one time in ten) none.
    value some_date(date from, date to) {
        if (chance(10)) return value();
        return value(date::from_days(between(from.days(), to.days())));
    }
    // A code of the list, or one the code table lacks, or none.
    value some_code(const std::vector<std::string>& codes) {
        const int roll = between(1, 100);
        if (roll <= 6) return value();
        if (roll <= 9) return value("99");
        return value(codes[static_cast<std::size_t>(between(0, static_cast<int>(codes.size()) - 1))]);
    }
    value some_amount(int max_yuan) { return value(decimal(between(0, max_yuan * 100), 2)); }
    std::mt19937& engine() { return rng_; }

private:
    std::mt19937 rng_;
};

inline void insert(transaction& t, const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<value>& values) {
    std::string names, marks;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + columns[i];
        marks += i ? ", ?" : "?";
    }
    ASSERT_EQ(t.execute("INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")", values), sql_code::ok)
        << table << ": " << t.sqlerrtext();
}

inline void add_codes(transaction& t, const std::string& table,
                      const std::vector<std::pair<std::string, std::string>>& codes) {
    for (const auto& [code, name] : codes)
        insert(t, "tc_ge_code", {"codetable", "tcode", "tname"}, {value(table), value(code), value(name)});
}

}  // namespace officerecords::stats_testing
