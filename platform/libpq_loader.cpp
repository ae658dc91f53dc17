// The PostgreSQL client library, loaded when the first server connection
// is made rather than when a program starts: an office on one SQLite file
// never needs it, and loading it with its two dozen dependencies (TLS,
// Kerberos, LDAP) took most of the command-line program's start.
//
// Each function the backend calls is defined here and forwards to the
// library's own. Without the library, a connection fails with a message
// saying so and every other call does nothing.
#include <dlfcn.h>
#include <libpq-fe.h>

#include <string>

namespace {

struct library {
    void* handle = nullptr;
    std::string error;
};

library& loaded() {
    static library lib = [] {
        library l;
        l.handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!l.handle) {
            const char* why = dlerror();
            l.error = std::string("没有找到 PostgreSQL 的客户端库 libpq（") + (why ? why : "libpq.so.5") + "）\n";
        }
        return l;
    }();
    return lib;
}

void* symbol(const char* name) {
    library& l = loaded();
    return l.handle ? dlsym(l.handle, name) : nullptr;
}

}  // namespace

#define OFFICERECORDS_FORWARD(ret, name, params, args, fallback)          \
    extern "C" ret name params {                                          \
        using fn = ret(*) params;                                         \
        static const fn f = reinterpret_cast<fn>(symbol(#name));          \
        if (!f) return fallback;                                          \
        return f args;                                                    \
    }

OFFICERECORDS_FORWARD(PGconn*, PQconnectdb, (const char* conninfo), (conninfo), nullptr)
OFFICERECORDS_FORWARD(PGconn*, PQconnectdbParams,
                      (const char* const* keywords, const char* const* values, int expand_dbname),
                      (keywords, values, expand_dbname), nullptr)
OFFICERECORDS_FORWARD(ConnStatusType, PQstatus, (const PGconn* conn), (conn), CONNECTION_BAD)
OFFICERECORDS_FORWARD(void, PQfinish, (PGconn * conn), (conn), void())
OFFICERECORDS_FORWARD(void, PQreset, (PGconn * conn), (conn), void())
OFFICERECORDS_FORWARD(PGTransactionStatusType, PQtransactionStatus, (const PGconn* conn), (conn), PQTRANS_UNKNOWN)
OFFICERECORDS_FORWARD(PQconninfoOption*, PQconninfoParse, (const char* conninfo, char** errmsg),
                      (conninfo, errmsg), (errmsg ? *errmsg = nullptr : nullptr, nullptr))
OFFICERECORDS_FORWARD(void, PQconninfoFree, (PQconninfoOption * options), (options), void())
OFFICERECORDS_FORWARD(void, PQfreemem, (void* ptr), (ptr), void())
OFFICERECORDS_FORWARD(PGresult*, PQexec, (PGconn * conn, const char* query), (conn, query), nullptr)
OFFICERECORDS_FORWARD(PGresult*, PQexecParams,
                      (PGconn * conn, const char* command, int n, const Oid* types, const char* const* values,
                       const int* lengths, const int* formats, int result_format),
                      (conn, command, n, types, values, lengths, formats, result_format), nullptr)
OFFICERECORDS_FORWARD(PGresult*, PQprepare,
                      (PGconn * conn, const char* name, const char* query, int n, const Oid* types),
                      (conn, name, query, n, types), nullptr)
OFFICERECORDS_FORWARD(PGresult*, PQexecPrepared,
                      (PGconn * conn, const char* name, int n, const char* const* values, const int* lengths,
                       const int* formats, int result_format),
                      (conn, name, n, values, lengths, formats, result_format), nullptr)
OFFICERECORDS_FORWARD(int, PQsendQueryParams,
                      (PGconn * conn, const char* command, int n, const Oid* types, const char* const* values,
                       const int* lengths, const int* formats, int result_format),
                      (conn, command, n, types, values, lengths, formats, result_format), 0)
OFFICERECORDS_FORWARD(int, PQsendQueryPrepared,
                      (PGconn * conn, const char* name, int n, const char* const* values, const int* lengths,
                       const int* formats, int result_format),
                      (conn, name, n, values, lengths, formats, result_format), 0)
OFFICERECORDS_FORWARD(int, PQsetSingleRowMode, (PGconn * conn), (conn), 0)
OFFICERECORDS_FORWARD(PGresult*, PQgetResult, (PGconn * conn), (conn), nullptr)
OFFICERECORDS_FORWARD(int, PQputCopyData, (PGconn * conn, const char* buffer, int nbytes), (conn, buffer, nbytes), -1)
OFFICERECORDS_FORWARD(int, PQputCopyEnd, (PGconn * conn, const char* errormsg), (conn, errormsg), -1)
OFFICERECORDS_FORWARD(void, PQclear, (PGresult * res), (res), void())
OFFICERECORDS_FORWARD(ExecStatusType, PQresultStatus, (const PGresult* res), (res), PGRES_FATAL_ERROR)
OFFICERECORDS_FORWARD(char*, PQresultErrorField, (const PGresult* res, int code), (res, code), nullptr)
OFFICERECORDS_FORWARD(int, PQntuples, (const PGresult* res), (res), 0)
OFFICERECORDS_FORWARD(int, PQnfields, (const PGresult* res), (res), 0)
OFFICERECORDS_FORWARD(char*, PQfname, (const PGresult* res, int field), (res, field), nullptr)
OFFICERECORDS_FORWARD(Oid, PQftype, (const PGresult* res, int field), (res, field), 0)
OFFICERECORDS_FORWARD(int, PQfmod, (const PGresult* res, int field), (res, field), -1)
OFFICERECORDS_FORWARD(char*, PQgetvalue, (const PGresult* res, int row, int field), (res, row, field), nullptr)
OFFICERECORDS_FORWARD(int, PQgetlength, (const PGresult* res, int row, int field), (res, row, field), 0)
OFFICERECORDS_FORWARD(int, PQgetisnull, (const PGresult* res, int row, int field), (res, row, field), 1)
OFFICERECORDS_FORWARD(char*, PQcmdStatus, (PGresult * res), (res), nullptr)
OFFICERECORDS_FORWARD(char*, PQcmdTuples, (PGresult * res), (res), nullptr)

// Without the library there is no connection to ask: the message says why.
extern "C" char* PQerrorMessage(const PGconn* conn) {
    using fn = char* (*)(const PGconn*);
    static const fn f = reinterpret_cast<fn>(symbol("PQerrorMessage"));
    if (!f) return loaded().error.data();
    return f(conn);
}
