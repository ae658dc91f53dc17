// Accounts on a shared server: each clerk logs in as a role of his own,
// linked to the communities he keeps, and the server itself keeps every
// community's rows from the others (row-level security). A supervisor of
// the street office reads every community and writes none; the
// administrator (the login that created the database, a member of
// officerecords_admin) manages the accounts.
//
// The person register, the code tables and the format version stay shared.
// Record numbers are taken over the whole table (a number is unique in its
// register, not only in its community) through officerecords_highest(), a
// function that runs with its owner's rights and answers only a maximum.
//
// SQLite has no accounts: the file's folder permissions are what keep it.
#pragma once

#include <string>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

// The server's group roles.
inline constexpr const char* k_clerk_role = "officerecords_clerk";
inline constexpr const char* k_supervisor_role = "officerecords_supervisor";
inline constexpr const char* k_admin_role = "officerecords_admin";

// Creates the group roles (once per server), the clerks' table, the
// policies, the grants and the functions on the database `t` is open on,
// in its open write transaction. Run again it brings them up to date.
[[nodiscard]] status secure_server_database(transaction& t);

enum class account_kind { clerk, supervisor };

struct account {
    std::string name;
    account_kind kind = account_kind::clerk;
    std::vector<std::string> communities;  // a clerk's, in order
    bool locked = false;
};

// What the administrator does. Each runs the server's own function (see
// docs/accounts.md) with bound values, in one transaction; the server
// refuses any other login. The password is sent only as the verifier the
// client library computes from it.
[[nodiscard]] status add_account(transaction& t, const std::string& name, const std::string& password,
                                 account_kind kind, const std::vector<std::string>& communities);
[[nodiscard]] status set_communities(transaction& t, const std::string& name,
                                     const std::vector<std::string>& communities);
[[nodiscard]] status lock_account(transaction& t, const std::string& name, bool locked);
result<std::vector<account>> list_accounts(transaction& t);

// Whether the login `t` is open with sees every row as it is stored (the
// owner or a superuser), which an upgrade and a whole backup need.
result<bool> sees_every_row(transaction& t);

}  // namespace officerecords
