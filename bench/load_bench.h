// Many workstations saving at once: each a command-line program of its own
// adding records to several registers of one database, all started
// together. The time until the last one ends, per backend; then every
// save each program acknowledged is looked for in the database, and no
// two records of a register may share a number.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/perf_report.h"

namespace officerecords {

struct load_plan {
    std::vector<int> workstations;  // one row per count
    int saves = 500;                // by each workstation
};

// A database with the demo office for the backend, fresh for each run;
// its location as `officerecords-cli --db` takes it.
using fresh_database = std::function<std::string(const std::string& name)>;

// The rows of the "load" group for one backend. Ends the program with a
// message when a save failed or a record is missing or numbered twice.
void workstation_load(const std::filesystem::path& cli, const std::string& backend, const fresh_database& fresh,
                      const std::filesystem::path& folder, const load_plan& plan, std::vector<measurement>& out);

}  // namespace officerecords
