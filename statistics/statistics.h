// The office's figures: read-only summaries of the registers for a period,
// for one community or for several side by side with a total row. Every
// figure is computed by the database (GROUP BY over the registers' own
// tables, amounts summed as whole fen so that no float ever holds one) and
// knows the records behind it, so a view can be opened down to them.
//
// Nothing here writes. What a connection may see is the server's to decide
// (on a shared server each clerk's rows are only his communities'); the
// scope only narrows that further.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"
#include "foundation/value.h"

namespace officerecords {

enum class stats_view { money, assets, work, activities, committee };

// "money", "assets", "work", "activities", "committee"; nullopt otherwise.
std::optional<stats_view> stats_view_named(std::string_view name);
std::string_view stats_view_name(stats_view view);
// The tab's caption: "收支", "固定资产", "日常工作", "社区活动", "居委会组织".
std::string_view stats_view_caption(stats_view view);

// Both days included.
struct stats_period {
    date from;
    date to;
};
stats_period year_period(int year);
stats_period quarter_period(int year, int quarter);  // 1..4
stats_period month_period(int year, int month);      // 1..12
// "2025年", "2025年第2季度", "2025年3月", or "2025-01-05 至 2025-02-10".
std::string period_text(const stats_period& period);

// The communities a view covers, by code, in the order shown. Empty: every
// community the connection sees (tc_ge_community), in code order.
struct stats_scope {
    std::vector<std::string> communities;
    // The committee view's term, a code of dddw_ds_falldue ("06"); empty:
    // the term in force on period.to.
    std::string term = {};
};

// The records behind a figure: the register's list (its record window in
// the window catalogue, e.g. "w_m_og_fixedassetsrecord"), narrowed by a
// condition over its list SELECT's output columns, as
// data_window::retrieve(condition, params) takes it.
struct stats_records {
    std::string window;
    std::string condition;
    std::vector<value> params;
};

// One cell of a table: its text as printed, and, for a figure, its value
// as a number a spreadsheet sums (a count at scale 0, an amount at scale 2)
// and the records behind it.
struct stats_cell {
    std::string text;
    std::optional<decimal> number;
    std::optional<stats_records> behind;
};

enum class stats_chart { none, bars, stacked_bars, lines };

// One table of a view. The first `label_columns` columns name the row
// (a month, a category, a community); the rest are figures. Where a view
// covers several communities, `total_row` marks the last row as their sum.
struct stats_table {
    std::string title;  // "收入：按类别和月份"
    std::vector<std::string> header;
    int label_columns = 1;
    std::vector<std::vector<stats_cell>> rows;
    bool total_row = false;
    // How the desktop program and the workbook draw it: the figure columns
    // as series over the rows (a row labelled "合计" is left out).
    stats_chart chart = stats_chart::none;
};

struct stats_result {
    stats_view view;
    stats_period period;
    std::vector<std::string> community_names;  // as covered, for the heading
    // The committee view's term as its code table names it ("第六届");
    // empty for the other views.
    std::string term_name = {};
    std::vector<stats_table> tables;
};

// The row label of records whose date is empty: they are counted, never dropped.
inline constexpr const char* k_no_date_label = "日期未填";

// Computes a view. For the committee view, the term is the one in force on
// period.to (the latest term begun by then), and the period bounds the
// trainings, appraisals and honours counted. Fails with the database's
// message in the clerk's words.
result<stats_result> compute_statistics(transaction& t, stats_view view, const stats_period& period,
                                         const stats_scope& scope);

// The view as aligned text (the CLI's --format text): each table's title,
// its header and rows in columns padded to the widest cell, CJK characters
// two columns wide, figures right-aligned.
std::string stats_text(const stats_result& r);
// The view as CSV (UTF-8 with a byte order mark, CR LF), its tables one
// after another with a blank line between.
std::string stats_csv(const stats_result& r);
// The view as a workbook at `file`: each table under its title, figures as
// numbers (amounts with two decimals), and beside each table that has a
// chart a native chart over its cells. The message says what failed.
[[nodiscard]] status stats_xlsx(const stats_result& r, const std::string& file);

}  // namespace officerecords
