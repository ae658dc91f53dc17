// The export of the asset list to XLSX and CSV, each side in a process of
// its own so that its peak memory is its own: ours (the list export over
// the retrieved list) against libxlsxwriter writing the same cells in its
// constant-memory mode, and against the sqlite3 shell writing the same
// SELECT as CSV.
#pragma once

#include <string>
#include <vector>

#include "bench/perf_report.h"

namespace officerecords {

// The runner started as one side of an export:
//   officerecords_perf --export-side ours|anchor xlsx|csv DATABASE FILE
// prints "ms <export> base <KiB> peak <KiB>" and returns the exit status;
// -1 when the arguments ask for something else.
int export_side(int argc, char** argv);

// The rows of the "export" group for the bench community's asset register
// in `database` (SQLite) of `size` ("100,000 rows"), files written in
// `folder`.
void export_lists(const std::string& database, const std::string& size, const std::string& folder, int rounds,
                  std::vector<measurement>& out);

}  // namespace officerecords
