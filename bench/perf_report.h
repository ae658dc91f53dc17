// What the performance runner measured and how it is written down: one
// row per workload, size and backend, each side's samples (one per round,
// the two sides interleaved), the ratio of their medians and its target.
#pragma once

#include <string>
#include <vector>

namespace officerecords {

struct measurement {
    std::string workload;
    std::string size;     // "100,000 rows", "1 MiB", "demo"
    std::string backend;  // "SQLite", "PostgreSQL"
    std::string unit;     // of the samples: "ms" or "MiB"
    std::vector<double> ours, anchor;
    std::string anchor_name;
    // ours / anchor must stay at or below it; with no anchor, ours alone
    // (its median) must stay at or below it.
    double target = 0;
    std::string note;

    double ratio() const;
    bool met() const;
};

double median_of(std::vector<double> v);

struct run_facts {
    std::string date, machine, command;
    int rounds = 0;
};

// The Markdown page: how it was run, the table, what each row compares.
std::string performance_page(const run_facts& facts, const std::vector<measurement>& rows);

// One line per row for the terminal.
std::string summary_line(const measurement& m);

}  // namespace officerecords
