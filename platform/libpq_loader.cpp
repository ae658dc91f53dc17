// The PostgreSQL client library, loaded when the first server connection
// is made rather than when a program starts: an office on one SQLite file
// never needs it, and loading it with its two dozen dependencies (TLS,
// Kerberos, LDAP) took most of the command-line program's start.
//
// Each function the backend calls is defined here and forwards to the
// library's own. Without the library, a connection fails with a message
// saying so and every other call does nothing.
#include <libpq-fe.h>

#include <string>

#include "platform/lazy_library.h"

namespace {

officerecords::lazy_library& libpq() {
    static officerecords::lazy_library library("libpq.so.5");
    return library;
}

}  // namespace

#define FORWARD(ret, name, params, args, fallback) OFFICERECORDS_FORWARD(libpq, ret, name, params, args, fallback)

FORWARD(PGconn*, PQconnectdb, (const char* conninfo), (conninfo), nullptr)
FORWARD(PGconn*, PQconnectdbParams,
                      (const char* const* keywords, const char* const* values, int expand_dbname),
                      (keywords, values, expand_dbname), nullptr)
FORWARD(ConnStatusType, PQstatus, (const PGconn* conn), (conn), CONNECTION_BAD)
FORWARD(void, PQfinish, (PGconn * conn), (conn), void())
FORWARD(void, PQreset, (PGconn * conn), (conn), void())
FORWARD(int, PQconnectionNeedsPassword, (const PGconn* conn), (conn), 0)
FORWARD(char*, PQencryptPasswordConn,
                      (PGconn * conn, const char* passwd, const char* user, const char* algorithm),
                      (conn, passwd, user, algorithm), nullptr)
FORWARD(PGTransactionStatusType, PQtransactionStatus, (const PGconn* conn), (conn), PQTRANS_UNKNOWN)
FORWARD(int, PQbackendPID, (const PGconn* conn), (conn), 0)
FORWARD(PQconninfoOption*, PQconninfoParse, (const char* conninfo, char** errmsg),
                      (conninfo, errmsg), (errmsg ? *errmsg = nullptr : nullptr, nullptr))
FORWARD(void, PQconninfoFree, (PQconninfoOption * options), (options), void())
FORWARD(void, PQfreemem, (void* ptr), (ptr), void())
FORWARD(PGresult*, PQexec, (PGconn * conn, const char* query), (conn, query), nullptr)
FORWARD(PGresult*, PQexecParams,
                      (PGconn * conn, const char* command, int n, const Oid* types, const char* const* values,
                       const int* lengths, const int* formats, int result_format),
                      (conn, command, n, types, values, lengths, formats, result_format), nullptr)
FORWARD(PGresult*, PQprepare,
                      (PGconn * conn, const char* name, const char* query, int n, const Oid* types),
                      (conn, name, query, n, types), nullptr)
FORWARD(PGresult*, PQexecPrepared,
                      (PGconn * conn, const char* name, int n, const char* const* values, const int* lengths,
                       const int* formats, int result_format),
                      (conn, name, n, values, lengths, formats, result_format), nullptr)
FORWARD(int, PQsendQueryParams,
                      (PGconn * conn, const char* command, int n, const Oid* types, const char* const* values,
                       const int* lengths, const int* formats, int result_format),
                      (conn, command, n, types, values, lengths, formats, result_format), 0)
FORWARD(int, PQsendQueryPrepared,
                      (PGconn * conn, const char* name, int n, const char* const* values, const int* lengths,
                       const int* formats, int result_format),
                      (conn, name, n, values, lengths, formats, result_format), 0)
FORWARD(int, PQsetSingleRowMode, (PGconn * conn), (conn), 0)
FORWARD(PGresult*, PQgetResult, (PGconn * conn), (conn), nullptr)
FORWARD(int, PQputCopyData, (PGconn * conn, const char* buffer, int nbytes), (conn, buffer, nbytes), -1)
FORWARD(int, PQputCopyEnd, (PGconn * conn, const char* errormsg), (conn, errormsg), -1)
FORWARD(void, PQclear, (PGresult * res), (res), void())
FORWARD(ExecStatusType, PQresultStatus, (const PGresult* res), (res), PGRES_FATAL_ERROR)
FORWARD(char*, PQresultErrorField, (const PGresult* res, int code), (res, code), nullptr)
FORWARD(int, PQntuples, (const PGresult* res), (res), 0)
FORWARD(int, PQnfields, (const PGresult* res), (res), 0)
FORWARD(char*, PQfname, (const PGresult* res, int field), (res, field), nullptr)
FORWARD(Oid, PQftype, (const PGresult* res, int field), (res, field), 0)
FORWARD(int, PQfmod, (const PGresult* res, int field), (res, field), -1)
FORWARD(char*, PQgetvalue, (const PGresult* res, int row, int field), (res, row, field), nullptr)
FORWARD(int, PQgetlength, (const PGresult* res, int row, int field), (res, row, field), 0)
FORWARD(int, PQgetisnull, (const PGresult* res, int row, int field), (res, row, field), 1)
FORWARD(char*, PQcmdStatus, (PGresult * res), (res), nullptr)
FORWARD(char*, PQcmdTuples, (PGresult * res), (res), nullptr)

// Without the library there is no connection to ask: the message says why.
extern "C" char* PQerrorMessage(const PGconn* conn) {
    using fn = char* (*)(const PGconn*);
    static const fn f = reinterpret_cast<fn>(libpq().symbol("PQerrorMessage"));
    if (f) return f(conn);
    static std::string missing = "没有找到 PostgreSQL 的客户端库 libpq（" + libpq().error() + "）\n";
    return missing.data();
}
