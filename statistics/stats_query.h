// The engine under every view: one GROUP BY over a register's list
// SELECT, by community and up to two labels (a month, a code), and the
// table it makes, one figure column per community (and their 合计), a
// 合计 row at the bottom, each cell with the condition that retrieves
// exactly its records through the same list.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"
#include "statistics/statistics.h"

namespace officerecords::stats_detail {

struct community {
    std::string commno;
    std::string name;
};

// What names a row: the month of a date column, or a code column shown
// by its code table's names (a fixed list for the 是/否 columns).
struct dimension {
    enum class kind { month, code };
    std::string header;
    kind how = kind::code;
    std::string column;      // an output column of the list SELECT
    std::string code_table;  // "dddw_og_outlaysort"; empty with `names`
    std::vector<std::pair<std::string, std::string>> names = {};  // fixed codes and names
    // Every code of the code table gets its row, counted or not (only
    // for a table of one dimension).
    bool every_code = true;
};

struct measure {
    enum class kind { records, amount, whole };
    std::string header;
    kind how = kind::records;
    std::string column;  // amount: a decimal column summed as fen; whole: summed as is
};

// The records a figure counts: a register's list, the date column the
// period bounds (empty: no bound), and a condition of its own.
struct records_of {
    std::string window;
    std::string date_column;
    std::string condition = {};  // over the list's output columns, "" for none
    std::vector<value> params = {};
    // Whether a record without a date is counted in the period (under
    // 日期未填); the balance carried forward counts only dated ones.
    bool undated = true;
};

struct table_request {
    std::string title;
    records_of records;
    std::vector<dimension> dims;  // one or two
    std::vector<measure> measures;
    stats_chart chart = stats_chart::bars;
};

// One grouped query's answer: by (commno, key1[, key2]) the measures' sums.
using grouped = std::map<std::vector<std::string>, std::vector<std::int64_t>>;

class stats_context {
public:
    stats_context(transaction& t, const stats_period& period, std::vector<community> communities)
        : t_(t), period_(period), communities_(std::move(communities)) {}

    const stats_period& period() const { return period_; }
    const std::vector<community>& communities() const { return communities_; }
    transaction& trans() { return t_; }

    // The table of a request; fails with the database's message.
    result<stats_table> table(const table_request& request);

    // A table whose rows are each a set of records of its own (在用,
    // 本期报废), which may overlap: it has no 合计 row.
    result<stats_table> rows_table(const std::string& title, const std::string& header,
                                   const std::vector<std::pair<std::string, records_of>>& rows,
                                   const std::vector<measure>& measures, stats_chart chart = stats_chart::bars);

    // The GROUP BY itself: the sums of `measures` by community and the
    // dimensions' keys ("" for an empty code or date) over the records.
    result<grouped> query(const records_of& records, const std::vector<dimension>& dims,
                          const std::vector<measure>& measures);

    // Runs one GROUP BY by all of `dims` and keeps it: a later query of the
    // same records and measures by some of these dimensions adds it up
    // instead of reading the register again.
    [[nodiscard]] status prefetch(const records_of& records, const std::vector<dimension>& dims,
                                  const std::vector<measure>& measures);

    // The condition and parameters that select `records` in the period for
    // the communities given (one, or all of the view's for a 合计).
    stats_records behind(const records_of& records, const std::vector<std::string>& commnos) const;
    // Narrows a figure's records to one dimension's key.
    void narrow(stats_records& r, const dimension& d, const std::string& key) const;

    // The name a code table gives a code; the code itself when it has none,
    // "未填" for an empty one.
    result<std::string> code_name(const dimension& d, const std::string& code);
    // Codes of the dimension's table in code order.
    result<std::vector<std::string>> codes(const dimension& d);

    // The months of the period as "YYYY-MM", in order.
    std::vector<std::string> months() const;
    std::vector<std::string> all_commnos() const;

private:
    struct fetched {
        records_of records;
        std::vector<dimension> dims;
        std::vector<measure> measures;
        grouped sums;
    };
    result<grouped> run_query(const records_of& records, const std::vector<dimension>& dims,
                              const std::vector<measure>& measures);
    std::vector<fetched> fetched_;
    result<const std::map<std::string, std::string>*> code_names(const dimension& d);

    transaction& t_;
    stats_period period_;
    std::vector<community> communities_;
    std::map<std::string, std::map<std::string, std::string>> code_cache_;
};

// A figure's cell: its text as printed and its number.
stats_cell count_cell(std::int64_t n);
stats_cell amount_cell(std::int64_t fen);
// "1,234.50", "-0.05".
std::string amount_text(std::int64_t fen);
// "2025年3月" for "2025-03", 日期未填 for "".
std::string month_label(const std::string& key);

// The figure columns' headers: one per measure for one community, or per
// community and measure with their 合计 for several.
std::vector<std::string> figure_headers(const std::vector<community>& communities,
                                        const std::vector<measure>& measures);

}  // namespace officerecords::stats_detail
