// Backups of an office database on a server: pg_dump's archive of one
// moment of the database, verified row by row against what the database
// held at that moment, and putting such an archive back in one transaction.
// The server's password is never on a command line: the tools get the
// connection through their environment (or ~/.pgpass).
#pragma once

#include <string>

#include "foundation/clock.h"
#include "foundation/status.h"
#include "storage/backup.h"

namespace officerecords {

result<backup_report> backup_server_database(const std::string& target, const std::string& out,
                                             const clock_source& clock);

// Refused while another workstation is connected; the database as it was
// is first archived to `replaced_as`.
status restore_server_database(const std::string& target, const std::string& from,
                               const std::string& replaced_as, const clock_source& clock);

// The database's name on the server ("office" of ".../office").
std::string database_name_of(const std::string& target);

}  // namespace officerecords
