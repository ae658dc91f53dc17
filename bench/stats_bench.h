// The runner's "stats" group: the money view over an income and an
// expenditure register of a given size, beside the sqlite3 shell's run of
// the view's main GROUP BY alone.
#pragma once

#include <filesystem>
#include <vector>

#include "bench/perf_report.h"

namespace officerecords {

void stats_rows(const std::filesystem::path& scratch, int rows, int rounds, std::vector<measurement>& out);

}  // namespace officerecords
