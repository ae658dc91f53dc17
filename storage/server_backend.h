// The shared-server backend as the rest of the program sees it. Its code
// is a module of its own (postgres/, linked to libpq), loaded when the
// first server connection is made rather than when a program starts: an
// office on one SQLite file never needs it, and libpq with its two dozen
// dependencies (TLS, Kerberos, LDAP) took most of a start.
#pragma once

#include <memory>
#include <string>

#include "foundation/clock.h"
#include "foundation/status.h"
#include "foundation/transaction.h"
#include "storage/backup.h"

namespace officerecords {

struct pg_options {
    // How long a statement waits for another workstation's lock.
    int busy_timeout_ms = 5000;
    // How long connecting may take when the target names no timeout.
    int connect_timeout_s = 5;
    // A table the database must have to be taken for ours (empty: none).
    std::string required_table;
    std::string required_what;
    // The login's password when neither the connection string, PGPASSWORD
    // nor ~/.pgpass gives it (the desktop program asks the clerk).
    std::string password;
};

// The beginning of the message of a connection refused for want of a
// password, by which the desktop program knows to ask for one.
inline constexpr const char* k_password_needed = "需要密码才能连接数据库服务器";

// Whether a database argument names a server ("postgresql://…",
// "postgres://…" or a "host=… dbname=…" connection string), not a file.
bool is_server_target(const std::string& target);

class server_backend {
public:
    virtual ~server_backend() = default;

    // A connection to the server's database, as a transaction that behaves
    // as the embedded one does (see postgres/pg_transaction.h).
    virtual result<std::unique_ptr<transaction>> connect(const std::string& conninfo,
                                                         const clock_source& clock,
                                                         const pg_options& options) const = 0;
    // The verifier the server keeps for the password (SCRAM, or what the
    // server is set to use), computed on `t`'s connection so that the
    // password never travels. `t` is a connection of connect().
    virtual result<std::string> encrypt_password(transaction& t, const std::string& user,
                                                 const std::string& password) const = 0;

    // A verified archive of one moment of the database (see postgres/pg_backup.h).
    virtual result<backup_report> backup(const std::string& target, const std::string& out,
                                         const clock_source& clock) const = 0;
    virtual status restore(const std::string& target, const std::string& from,
                           const std::string& replaced_as, const clock_source& clock) const = 0;
    // The database's name on the server ("office" of ".../office").
    virtual std::string database_name(const std::string& target) const = 0;
};

// The backend, its module loaded by the first call; a message names the
// module or the client library when either is missing.
result<const server_backend*> server_backend_module();

// server_backend_module()->database_name(); empty without the module.
std::string server_database_name(const std::string& target);

// server_backend_module()->connect(), or the message why not.
result<std::unique_ptr<transaction>> connect_server(const std::string& conninfo, const clock_source& clock,
                                                    const pg_options& options = {});

}  // namespace officerecords
