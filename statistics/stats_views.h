// The tables of each view, built on the engine of stats_query.h.
#pragma once

#include "statistics/stats_query.h"

namespace officerecords::stats_detail {

[[nodiscard]] status money_tables(stats_context& c, std::vector<stats_table>& out);
[[nodiscard]] status asset_tables(stats_context& c, std::vector<stats_table>& out);
[[nodiscard]] status work_tables(stats_context& c, std::vector<stats_table>& out);
[[nodiscard]] status activity_tables(stats_context& c, std::vector<stats_table>& out);
// The committee of `term` ("06"), or of the term in force on period.to
// when empty; says which in `term_out`.
[[nodiscard]] status committee_tables(stats_context& c, const std::string& term, std::string& term_out,
                                      std::vector<stats_table>& out);

}  // namespace officerecords::stats_detail
