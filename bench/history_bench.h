// A record's history where the history table is large: an activity's own
// changes and its photos' among `changes` photo changes of other
// activities, read by the history against SQLite running the best query
// (an index range on the record key) straight.
#pragma once

#include <string>
#include <vector>

#include "bench/perf_report.h"

namespace officerecords {

// The rows of the "history" group, at each number of photo changes, the
// databases made in `folder`.
void record_histories(const std::string& folder, const std::vector<int>& changes, int rounds,
                      std::vector<measurement>& out);

}  // namespace officerecords
