#include "statistics/stats_query.h"

#include <algorithm>
#include <set>

#include "catalog/window_catalog.h"

namespace officerecords::stats_detail {

namespace {

// The month of a date as "YYYY-MM", "" for none. The server gives a date
// as ISO text (the connection sets DateStyle ISO) and SQLite keeps it so.
std::string month_expression(const std::string& column) {
    return "CASE WHEN " + column + " IS NULL THEN '' ELSE substr(CAST(" + column +
           " AS VARCHAR(10)), 1, 7) END";
}

std::string key_expression(const dimension& d) {
    if (d.how == dimension::kind::month) return month_expression(d.column);
    return "COALESCE(" + d.column + ", '')";
}

std::string sum_expression(const measure& m) {
    switch (m.how) {
        case measure::kind::records:
            return "COUNT(*)";
        case measure::kind::amount:
            // Whole fen in the database: no float ever holds a sum.
            return "COALESCE(SUM(CAST(round(" + m.column + " * 100) AS BIGINT)), 0)";
        case measure::kind::whole:
            return "COALESCE(SUM(" + m.column + "), 0)";
    }
    return {};
}

std::string placeholders(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += i == 0 ? "?" : ", ?";
    return s;
}

const std::string* list_select(std::string_view window) {
    const window_entry* e = find_window_entry(window);
    if (!e || !e->list) return nullptr;
    return &e->list().select;
}

date last_of_month(int y, int m) {
    const int ny = m == 12 ? y + 1 : y;
    const int nm = m == 12 ? 1 : m + 1;
    return date::from_days(date::from_ymd(ny, nm, 1)->days() - 1);
}

std::string grouped_digits(std::string digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

std::string amount_text(std::int64_t fen) {
    const bool negative = fen < 0;
    // Magnitude as unsigned, so that the smallest value has one too.
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(fen) : static_cast<std::uint64_t>(fen);
    std::string cents = std::to_string(magnitude % 100);
    if (cents.size() < 2) cents.insert(cents.begin(), '0');
    return (negative ? "-" : "") + grouped_digits(std::to_string(magnitude / 100)) + "." + cents;
}

stats_cell count_cell(std::int64_t n) { return {std::to_string(n), decimal(n, 0), std::nullopt}; }

stats_cell amount_cell(std::int64_t fen) { return {amount_text(fen), decimal(fen, 2), std::nullopt}; }

std::string month_label(const std::string& key) {
    if (key.empty()) return k_no_date_label;
    if (key.size() < 7) return key;
    const int month = std::stoi(key.substr(5, 2));
    return key.substr(0, 4) + "年" + std::to_string(month) + "月";
}

std::vector<std::string> figure_headers(const std::vector<community>& communities,
                                        const std::vector<measure>& measures) {
    std::vector<std::string> headers;
    if (communities.size() == 1) {
        for (const measure& m : measures) headers.push_back(m.header);
        return headers;
    }
    auto add = [&](const std::string& who) {
        for (const measure& m : measures)
            headers.push_back(measures.size() == 1 ? who : who + "·" + m.header);
    };
    for (const community& c : communities) add(c.name);
    add("合计");
    return headers;
}

std::vector<std::string> stats_context::months() const {
    std::vector<std::string> out;
    int y = period_.from.year(), m = period_.from.month();
    while (y < period_.to.year() || (y == period_.to.year() && m <= period_.to.month())) {
        std::string key = std::to_string(y) + "-" + (m < 10 ? "0" : "") + std::to_string(m);
        out.push_back(std::move(key));
        if (++m > 12) {
            m = 1;
            ++y;
        }
    }
    return out;
}

std::vector<std::string> stats_context::all_commnos() const {
    std::vector<std::string> out;
    for (const community& c : communities_) out.push_back(c.commno);
    return out;
}

stats_records stats_context::behind(const records_of& records,
                                    const std::vector<std::string>& commnos) const {
    stats_records r;
    r.window = records.window;
    if (commnos.size() == 1) {
        r.condition = "commno = ?";
    } else {
        r.condition = "commno IN (" + placeholders(commnos.size()) + ")";
    }
    for (const std::string& c : commnos) r.params.emplace_back(c);
    if (!records.date_column.empty()) {
        const std::string& d = records.date_column;
        r.condition += records.undated ? " AND (" + d + " IS NULL OR (" + d + " >= ? AND " + d + " <= ?))"
                                       : " AND " + d + " >= ? AND " + d + " <= ?";
        r.params.emplace_back(period_.from);
        r.params.emplace_back(period_.to);
    }
    if (!records.condition.empty()) {
        r.condition += " AND (" + records.condition + ")";
        r.params.insert(r.params.end(), records.params.begin(), records.params.end());
    }
    return r;
}

void stats_context::narrow(stats_records& r, const dimension& d, const std::string& key) const {
    if (d.how == dimension::kind::month) {
        if (key.empty()) {
            r.condition += " AND " + d.column + " IS NULL";
            return;
        }
        const int y = std::stoi(key.substr(0, 4)), m = std::stoi(key.substr(5, 2));
        r.condition += " AND " + d.column + " >= ? AND " + d.column + " <= ?";
        r.params.emplace_back(std::max(*date::from_ymd(y, m, 1), period_.from));
        r.params.emplace_back(std::min(last_of_month(y, m), period_.to));
        return;
    }
    if (key.empty()) {
        r.condition += " AND (" + d.column + " IS NULL OR " + d.column + " = ?)";
        r.params.emplace_back(std::string());
    } else {
        r.condition += " AND " + d.column + " = ?";
        r.params.emplace_back(key);
    }
}

namespace {

bool same_records(const records_of& a, const records_of& b) {
    return a.window == b.window && a.date_column == b.date_column && a.condition == b.condition &&
           a.params == b.params && a.undated == b.undated;
}

bool same_measures(const std::vector<measure>& a, const std::vector<measure>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].how != b[i].how || a[i].column != b[i].column) return false;
    return true;
}

}  // namespace

status stats_context::prefetch(const records_of& records, const std::vector<dimension>& dims,
                               const std::vector<measure>& measures) {
    auto sums = run_query(records, dims, measures);
    if (!sums) return status::error(sums.message());
    fetched_.push_back({records, dims, measures, sums.take()});
    return status::ok();
}

result<grouped> stats_context::query(const records_of& records, const std::vector<dimension>& dims,
                                     const std::vector<measure>& measures) {
    for (const fetched& f : fetched_) {
        if (!same_records(f.records, records) || !same_measures(f.measures, measures)) continue;
        std::vector<std::size_t> at;
        for (const dimension& d : dims)
            for (std::size_t i = 0; i < f.dims.size(); ++i)
                if (f.dims[i].how == d.how && f.dims[i].column == d.column) {
                    at.push_back(i);
                    break;
                }
        if (at.size() != dims.size()) continue;
        grouped out;
        for (const auto& [key, sums] : f.sums) {
            std::vector<std::string> k{key[0]};
            for (std::size_t i : at) k.push_back(key[1 + i]);
            auto& into = out[k];
            if (into.empty()) into.assign(sums.size(), 0);
            for (std::size_t m = 0; m < sums.size(); ++m) into[m] += sums[m];
        }
        return out;
    }
    return run_query(records, dims, measures);
}

result<grouped> stats_context::run_query(const records_of& records, const std::vector<dimension>& dims,
                                         const std::vector<measure>& measures) {
    const std::string* select = list_select(records.window);
    if (!select) return status::error("没有这个登记窗口：" + records.window);
    // "A date in the period or none" cannot be one range of the date's
    // index; as two queries, each reads only its own index entries.
    if (!records.date_column.empty() && records.undated) {
        records_of dated = records;
        dated.undated = false;
        records_of none = records;
        none.date_column.clear();
        none.undated = false;
        none.condition = (records.condition.empty() ? "" : "(" + records.condition + ") AND ") +
                         records.date_column + " IS NULL";
        auto in_period = run_query(dated, dims, measures);
        if (!in_period) return in_period;
        auto without = run_query(none, dims, measures);
        if (!without) return without;
        grouped out = in_period.take();
        for (auto& [key, sums] : *without) {
            auto& into = out[key];
            if (into.empty()) into.assign(sums.size(), 0);
            for (std::size_t m = 0; m < sums.size(); ++m) into[m] += sums[m];
        }
        return out;
    }
    std::string sql = "SELECT commno";
    for (const dimension& d : dims) sql += ", " + key_expression(d);
    for (const measure& m : measures) sql += ", " + sum_expression(m);
    const stats_records where = behind(records, all_commnos());
    sql += " FROM (" + *select + ") q WHERE " + where.condition + " GROUP BY commno";
    for (std::size_t i = 0; i < dims.size(); ++i) sql += ", " + std::to_string(i + 2);

    auto rows = t_.open_cursor(sql, where.params);
    if (!rows) return status::error("统计失败：" + t_.sqlerrtext());
    grouped out;
    const int keys = 1 + static_cast<int>(dims.size());
    while (rows->fetch()) {
        std::vector<std::string> key;
        for (int i = 0; i < keys; ++i) key.emplace_back(rows->column_text(i));
        std::vector<std::int64_t> sums;
        for (std::size_t m = 0; m < measures.size(); ++m)
            sums.push_back(rows->column_integer(keys + static_cast<int>(m)));
        out.emplace(std::move(key), std::move(sums));
    }
    if (t_.sqlcode() != 100) return status::error("统计失败：" + t_.sqlerrtext());
    return out;
}

result<const std::map<std::string, std::string>*> stats_context::code_names(const dimension& d) {
    const std::string cache_key = d.code_table.empty() ? "=" + d.column : lower(d.code_table);
    auto it = code_cache_.find(cache_key);
    if (it != code_cache_.end()) return &it->second;
    std::map<std::string, std::string> names;
    if (d.code_table.empty()) {
        for (const auto& [code, name] : d.names) names[code] = name;
    } else {
        const value table(lower(d.code_table));
        auto rows = t_.open_cursor("SELECT tcode, tname FROM tc_ge_code WHERE lower(codetable) = ?", {&table, 1});
        if (!rows) return status::error("读取代码表失败：" + t_.sqlerrtext());
        while (rows->fetch()) names[std::string(rows->column_text(0))] = std::string(rows->column_text(1));
        if (t_.sqlcode() != 100) return status::error("读取代码表失败：" + t_.sqlerrtext());
    }
    return &code_cache_.emplace(cache_key, std::move(names)).first->second;
}

result<std::string> stats_context::code_name(const dimension& d, const std::string& code) {
    if (d.how == dimension::kind::month) return month_label(code);
    if (code.empty()) return std::string("未填");
    auto names = code_names(d);
    if (!names) return status(status::error(names.message()));
    auto it = (*names)->find(code);
    return it == (*names)->end() ? code : it->second;
}

result<std::vector<std::string>> stats_context::codes(const dimension& d) {
    auto names = code_names(d);
    if (!names) return status(status::error(names.message()));
    std::vector<std::string> out;
    for (const auto& [code, name] : **names) out.push_back(code);
    return out;
}

result<stats_table> stats_context::rows_table(const std::string& title, const std::string& header,
                                              const std::vector<std::pair<std::string, records_of>>& rows,
                                              const std::vector<measure>& measures, stats_chart chart) {
    stats_table table;
    table.title = title;
    table.chart = chart;
    table.header.push_back(header);
    for (std::string& h : figure_headers(communities_, measures)) table.header.push_back(std::move(h));
    std::vector<std::vector<std::string>> columns;
    for (const community& c : communities_) columns.push_back({c.commno});
    if (communities_.size() > 1) columns.push_back(all_commnos());
    for (const auto& [label, records] : rows) {
        auto found = query(records, {}, measures);
        if (!found) return status::error(found.message());
        std::vector<stats_cell> row{{label, std::nullopt, std::nullopt}};
        for (const auto& commnos : columns) {
            std::vector<std::int64_t> sums(measures.size(), 0);
            for (const auto& [k, s] : *found)
                if (std::find(commnos.begin(), commnos.end(), k[0]) != commnos.end())
                    for (std::size_t m = 0; m < s.size(); ++m) sums[m] += s[m];
            for (std::size_t m = 0; m < measures.size(); ++m) {
                stats_cell cell = measures[m].how == measure::kind::amount ? amount_cell(sums[m]) : count_cell(sums[m]);
                cell.behind = behind(records, commnos);
                row.push_back(std::move(cell));
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

result<stats_table> stats_context::table(const table_request& request) {
    auto found = query(request.records, request.dims, request.measures);
    if (!found) return status(status::error(found.message()));

    // The rows: every month of the period or every code of a single code
    // dimension, then whatever else the records hold (unknown codes, 未填,
    // 日期未填), in key order with the empty key last.
    std::vector<std::vector<std::string>> keys;
    std::set<std::vector<std::string>> seen;
    auto add_key = [&](std::vector<std::string> k) {
        if (seen.insert(k).second) keys.push_back(std::move(k));
    };
    if (request.dims.size() == 1) {
        const dimension& d = request.dims[0];
        if (d.how == dimension::kind::month) {
            for (std::string& m : months()) add_key({std::move(m)});
        } else if (d.every_code) {
            auto all = codes(d);
            if (!all) return status(status::error(all.message()));
            for (std::string& c : *all) add_key({std::move(c)});
        }
    }
    std::vector<std::vector<std::string>> extra;
    for (const auto& [key, sums] : *found) extra.emplace_back(key.begin() + 1, key.end());
    std::sort(extra.begin(), extra.end(), [](const auto& a, const auto& b) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] == b[i]) continue;
            if (a[i].empty() != b[i].empty()) return b[i].empty();
            return a[i] < b[i];
        }
        return false;
    });
    for (auto& k : extra) add_key(std::move(k));

    stats_table table;
    table.title = request.title;
    table.chart = request.chart;
    table.label_columns = static_cast<int>(request.dims.size());
    for (const dimension& d : request.dims) table.header.push_back(d.header);
    for (std::string& h : figure_headers(communities_, request.measures)) table.header.push_back(std::move(h));
    table.total_row = true;

    std::vector<std::vector<std::string>> column_commnos;
    for (const community& c : communities_) column_commnos.push_back({c.commno});
    if (communities_.size() > 1) column_commnos.push_back(all_commnos());

    auto sums_for = [&](const std::vector<std::string>& commnos, const std::vector<std::string>* key) {
        std::vector<std::int64_t> total(request.measures.size(), 0);
        for (const auto& [k, sums] : *found) {
            if (std::find(commnos.begin(), commnos.end(), k[0]) == commnos.end()) continue;
            if (key && !std::equal(key->begin(), key->end(), k.begin() + 1)) continue;
            for (std::size_t m = 0; m < sums.size(); ++m) total[m] += sums[m];
        }
        return total;
    };
    auto figures = [&](std::vector<stats_cell>& row, const std::vector<std::string>* key) {
        for (const auto& commnos : column_commnos) {
            const std::vector<std::int64_t> sums = sums_for(commnos, key);
            stats_records r = behind(request.records, commnos);
            if (key)
                for (std::size_t i = 0; i < request.dims.size(); ++i) narrow(r, request.dims[i], (*key)[i]);
            for (std::size_t m = 0; m < request.measures.size(); ++m) {
                stats_cell cell = request.measures[m].how == measure::kind::amount ? amount_cell(sums[m])
                                                                                    : count_cell(sums[m]);
                cell.behind = r;
                row.push_back(std::move(cell));
            }
        }
    };
    for (const auto& key : keys) {
        std::vector<stats_cell> row;
        for (std::size_t i = 0; i < request.dims.size(); ++i) {
            auto name = code_name(request.dims[i], key[i]);
            if (!name) return status(status::error(name.message()));
            row.push_back({*name, std::nullopt, std::nullopt});
        }
        figures(row, &key);
        table.rows.push_back(std::move(row));
    }
    std::vector<stats_cell> total;
    for (std::size_t i = 0; i < request.dims.size(); ++i) total.push_back({i == 0 ? "合计" : "", std::nullopt, std::nullopt});
    figures(total, nullptr);
    table.rows.push_back(std::move(total));
    return table;
}

}  // namespace officerecords::stats_detail
