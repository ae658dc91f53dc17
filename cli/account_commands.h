// The administrator's care of the accounts on a shared server: clerks for
// their communities, supervisors, locking and listing. The server checks
// who may do it; a clerk running these is refused by the server itself.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace officerecords {

// `words` are the words after "account": the action, then its account
// name where it takes one; `options` --db, --communities, --supervisor.
// A new account's password is the first line of `in` (asked twice, without
// echo, when `in` is a terminal). 0, 1 after "error: WHY", 2 for a usage error.
int account_command(const std::vector<std::string>& words, const std::string& database,
                    const std::string& communities, bool supervisor, std::istream& in, std::ostream& out,
                    std::ostream& err);

}  // namespace officerecords
