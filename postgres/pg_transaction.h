// The shared-server backend: a transaction object over one PostgreSQL
// connection (libpq), behaving as the embedded one does.
//
// Statements are prepared once per connection and take their values as
// bound parameters; "?" placeholders are numbered for the server. A write
// opens a transaction that takes one advisory lock for the whole database,
// so saves from several workstations follow one another as they do on one
// SQLite file and a record number read inside a save cannot be taken by
// another. Cursors stream their rows one at a time (single-row mode), so a
// large retrieval holds one row in memory, not the whole result.
//
// The session runs with the ISO date style and the workstation's date in
// the setting officerecords.today, which the schema's today() reads. When
// the server goes away, the open transaction is lost (the server rolls it
// back) and the statement fails; the next statement outside a transaction
// connects again, so the clerk's next Save works once the server is back.
// Should the connection go while the server has the COMMIT, the server is
// asked on a new connection whether that transaction committed; when it
// cannot be asked yet, the commit stays in doubt until it can.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"
#include "storage/server_backend.h"

struct pg_conn;
struct pg_result;

namespace officerecords {

class pg_cursor;

class pg_transaction final : public transaction {
public:
    static result<std::unique_ptr<pg_transaction>> open(const std::string& conninfo,
                                                        const clock_source& clock,
                                                        const pg_options& options = {});
    ~pg_transaction() override;
    pg_transaction(const pg_transaction&) = delete;
    pg_transaction& operator=(const pg_transaction&) = delete;

    sql_code execute(std::string_view sql, std::span<const value> params = {}) override;
    std::unique_ptr<cursor> open_cursor(std::string_view sql,
                                        std::span<const value> params = {}) override;
    std::optional<blob> select_blob(std::string_view sql,
                                    std::span<const value> params = {}) override;
    sql_code update_blob(std::string_view sql, const blob& bytes,
                         std::span<const value> params = {}) override;
    sql_code begin_write() override;
    // Takes the whole database's lock shared and the register's own, so
    // that saves to other registers go on; the BEGIN travels with the
    // first statement that follows.
    sql_code begin_register_write(std::string_view table) override;
    sql_code lock_register(std::string_view table) override;
    std::string highest_expression(std::string_view table, std::string_view column) override;
    // In a register write, held until something needs an answer from the
    // server, then sent in one go (libpq's pipeline), the COMMIT along when
    // no statement's row count is still to be checked.
    sql_code queue_write(std::string_view sql, std::span<const value> params,
                         const write_check& check) override;
    sql_code commit() override;
    sql_code rollback() override;
    bool in_transaction() const override { return in_transaction_; }
    bool commit_in_doubt() const override { return in_doubt_ != 0; }
    std::uint64_t doubt_number() const override { return in_doubt_; }
    commit_outcome resolve_commit(std::uint64_t number) override;
    void witness_commit(std::string sql, std::vector<value> params) override;
    std::string describe_target() const override { return target_; }
    // Under row-level security a clerk sees only his communities' rows;
    // the number is asked of the server's own function, which sees them all.
    std::optional<value> highest(std::string_view table, std::string_view column) override;
    std::optional<value> count_everywhere(std::string_view table, std::span<const std::string_view> columns,
                                          std::span<const value> values) override;

    // See server_backend::encrypt_password.
    result<std::string> encrypt_password(const std::string& user, const std::string& password);

    // The connection string as given, for the tools (pg_dump) that need it.
    const std::string& conninfo() const { return conninfo_; }

private:
    struct prepared;
    pg_transaction(pg_conn* conn, std::string conninfo, std::string target,
                   const clock_source& clock, const pg_options& options);
    friend class pg_cursor;

    // Makes the connection ready for a statement: a broken one outside a
    // transaction is connected again, a streaming cursor is read to its end
    // so the connection is free, and the workstation's date is passed on.
    sql_code ready();
    bool reconnect();
    sql_code apply_settings();
    // The prepared statement for the text and parameter kinds; nullptr
    // with sqlcode -1 when it does not prepare.
    const prepared* prepare(std::string_view sql, std::span<const value> params,
                            const blob* leading);
    // Sends the statement; the results are read by the caller.
    bool send(const prepared& p, std::span<const value> params, const blob* leading,
              int result_format);
    sql_code run_control(const char* sql);
    sql_code fail_from(const pg_result* res);
    sql_code run(std::string_view sql, std::span<const value> params, const blob* leading);
    // Opens the write transaction a write statement needs.
    sql_code begin_if_write(std::string_view sql);
    void connection_lost();

    // A commit whose answer was lost: the server's number of its
    // transaction and the server process that ran it.
    struct witness {
        std::string sql;
        std::vector<value> params;
    };
    struct doubt {
        std::uint64_t number = 0;
        std::int64_t xact = 0;
        int backend = 0;
        // The server's life at BEGIN: a crash and its recovery change it.
        std::string life;
        std::optional<witness> written;
    };
    // Asks the server, on a new connection, whether the transaction of `d`
    // committed. A transaction the server still counts as running (it has
    // not noticed yet that the old connection went) is ended, and asked
    // about again for up to the lock timeout.
    commit_outcome ask_outcome(const doubt& d);
    // After a crash of the server, its witness row tells what the
    // transaction's number no longer can.
    commit_outcome witnessed(const doubt& d);
    // Before a new write begins, finds out what became of earlier commits
    // in doubt, for their callers to be told when they ask; false, with the
    // text, when the server cannot be reached.
    bool settle_pending();
    // What every write does before its BEGIN: refuses a write while one
    // is open, settles earlier doubts and drops what an earlier one queued;
    // false, with the text, when it cannot begin.
    bool start_write();

    // What is held back for the next trip to the server.
    struct queued {
        std::string sql;
        std::vector<value> params;
        write_check check;
    };
    // How a trip ends: with nothing more, a SELECT whose first value is
    // wanted, or the COMMIT.
    enum class trip_end { none, select, commit };
    struct trip_result {
        sql_code code = sql_code::ok;
        bool refused = false;  // the server answered a statement with an error
        std::optional<value> got;
    };
    // Sends the BEGIN still to be sent, the queued statements and the end
    // in one pipeline and reads their answers in order. The first failure
    // is the result, and fails every later statement of the write.
    trip_result send_queue(trip_end end, std::string_view sql = {}, std::span<const value> params = {});
    trip_result pipeline(trip_end end, std::string_view sql, std::span<const value> params);
    // Sends what is held back before a statement that needs the server.
    sql_code flush_queue();
    void forget_queue();

    bool begin_pending_ = false;
    bool register_write_ = false;
    std::vector<std::int32_t> locked_;  // the register locks of the write
    std::vector<queued> queue_;
    std::optional<std::string> queue_failed_;

    pg_conn* conn_;
    std::string conninfo_;
    std::string target_;
    const clock_source& clock_;
    pg_options options_;
    bool in_transaction_ = false;
    // The connection went while a transaction was open: the server rolled
    // it back, and every statement fails until the caller rolls back too,
    // so no later statement of that save is written on its own.
    bool lost_ = false;
    // The server's number of the open write transaction (txid_current()),
    // taken with its BEGIN, so that a commit whose answer is lost can be
    // asked about.
    std::int64_t xact_ = 0;
    std::string life_;
    std::optional<witness> witness_;
    std::vector<doubt> pending_;
    std::uint64_t doubts_ = 0;
    // The number of the last commit() when it ended in doubt, else 0.
    std::uint64_t in_doubt_ = 0;
    // Doubts settled by a write that began before their caller asked.
    std::map<std::uint64_t, commit_outcome> settled_;
    std::string today_sent_;
    // Whether the database has officerecords_highest and
    // officerecords_count (found once it has).
    bool has_highest_ = false;
    bool asks_functions();
    std::vector<std::unique_ptr<prepared>> prepared_;
    std::unique_ptr<prepared> once_;  // the last statement not worth keeping
    std::uint64_t uses_ = 0;
    int next_statement_ = 0;
    pg_cursor* streaming_ = nullptr;  // the cursor whose rows the connection is sending
    std::vector<pg_cursor*> cursors_;  // every open cursor, ended when this goes
};

}  // namespace officerecords
