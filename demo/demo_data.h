// The demo office: a deterministic, realistic data set for a fresh schema.
//
// Two communities of one street office, every code table the windows use
// (with national-standard codes where a standard exists), about two hundred
// persons with consistent identity card numbers, and rows in every register
// for both communities. The data is built with a fixed-seed generator of our
// own, so every run writes the same bytes. Every date lies on or before
// 2025-12-31, so rows pass the windows' "not after today" checks on any
// later day. The community with the lowest number holds the richer data.
#pragma once

#include <string_view>

#include "foundation/clock.h"
#include "foundation/status.h"
#include "foundation/transaction.h"
#include "storage/database.h"

namespace officerecords {

// The two communities' numbers, lowest first.
inline constexpr std::string_view k_demo_commno_1 = "420106001001";
inline constexpr std::string_view k_demo_commno_2 = "420106001002";

// Fills the tables created by create_schema() with the demo data, inside
// the caller's write transaction on `t`. On failure the message names the
// table and the database's error text, and the caller rolls back.
[[nodiscard]] status fill_demo_data(transaction& t);

// A new database (see create_database()) holding the demo office.
[[nodiscard]] status create_demo_database(const std::string& target, const clock_source& clock,
                                          const connection_wrapper& wrap = {});

}  // namespace officerecords
