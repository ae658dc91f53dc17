// The communities a database keeps registers for (tc_ge_community). A
// new, empty database has none, and the desktop program cannot start on
// it until the office has named its own.
#pragma once

#include <string>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

// Why a community cannot be added as given, in the clerk's words; empty
// when it can. The number is 1 to 12 letters or digits, the name 1 to 60
// characters, with blanks around either dropped first.
std::string community_refusal(const std::string& commno, const std::string& commname);

// Adds the community in a write transaction of its own and commits: a
// number already there is refused, and nothing is written when any step
// fails. The message says why.
status add_community(transaction& t, const std::string& commno, const std::string& commname);

}  // namespace officerecords
