// A transaction object: one database connection the windows talk through.
//
// `sqlca` and `photosqlca` are two of these, on two separate connections,
// so committing one never commits the other. Every statement takes its
// values as bound parameters ("?" placeholders, in order); after each call
// `sqlcode()` is 0 (success), 100 (no row) or -1 (error) and `sqlerrtext()`
// holds the database's message for an error. Nothing here throws for a
// failed statement: the status is the result.
//
// A write (INSERT, UPDATE, DELETE) opens a transaction that stays open until
// commit() or rollback(); reads outside it see the latest committed data and
// hold no lock. begin_write() opens the transaction up front and takes the
// database's write lock, so that numbers read inside it (the next record
// number) cannot be taken by another workstation before the commit; it
// refuses to join a transaction that is still open, so one unit of work
// never commits another's half-done statements. A write_guard ties such a
// transaction to a scope: it rolls back on every way out but commit().
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "foundation/value.h"

namespace officerecords {

// Every result is looked at: a write that failed unnoticed is a lost record.
enum class [[nodiscard]] sql_code : int { ok = 0, not_found = 100, error = -1 };

// What became of a commit whose answer was lost with the connection; told
// to the clerk as it is, so never left unread.
enum class [[nodiscard]] commit_outcome { committed, rolled_back, unknown };

// What the clerk is told while that cannot be found out.
inline constexpr const char* k_save_in_doubt =
    "保存时与数据库服务器的连接中断了，还不知道这次保存是否已经写入数据库。"
    "窗口中的内容都还在；请在服务器恢复后再按保存：会先查明结果，已经写入的不会再写一次。";

// The kind of a value as the database delivered it.
enum class db_type { null, integer, real, text, blob };

// A cursor over the rows of one SELECT. Column accessors read the current
// row without copying; the views stay valid until the next fetch().
class cursor {
public:
    virtual ~cursor() = default;
    // Moves to the next row: true with sqlcode 0, false with 100 at the end
    // or -1 on an error (the owning transaction has the text).
    virtual bool fetch() = 0;
    virtual int column_count() const = 0;
    virtual std::string column_name(int i) const = 0;
    virtual db_type column_type(int i) const = 0;
    virtual std::int64_t column_integer(int i) const = 0;
    virtual double column_real(int i) const = 0;
    virtual std::string_view column_text(int i) const = 0;
    // A blob column's bytes; empty for a null or any other type.
    virtual blob column_blob(int i) const = 0;
    // The item as its type reads it: integer, real, text, blob or null.
    value column_value(int i) const;
    // The scale of a result column that is a table's decimal column, so
    // that it prints with its declared fraction digits; -1 otherwise.
    virtual int column_scale(int i) const = 0;
};

class transaction {
public:
    virtual ~transaction() = default;

    // Runs a statement that returns no rows.
    virtual sql_code execute(std::string_view sql, std::span<const value> params = {}) = 0;
    // Opens a cursor; nullptr with sqlcode -1 when the statement fails.
    virtual std::unique_ptr<cursor> open_cursor(std::string_view sql,
                                                std::span<const value> params = {}) = 0;
    // First row of a SELECT: nullopt with sqlcode 100 (no row) or -1 (error).
    std::optional<std::vector<value>> select_row(std::string_view sql,
                                                 std::span<const value> params = {});
    // First column of the first row.
    std::optional<value> select_value(std::string_view sql, std::span<const value> params = {});
    // The highest value of a numbering column over the whole table, every
    // community's rows included (null for an empty table), as a new number
    // is taken from it under the write lock. A server that shows each
    // clerk only his communities' rows asks a function of its own that
    // sees them all. nullopt with sqlcode -1 on an error.
    virtual std::optional<value> highest(std::string_view table, std::string_view column);
    // The number of rows of `table` whose `columns` equal `values`, over the
    // whole table, for a rule that holds across communities (a person sits
    // on one committee a term). Asked the same way as highest().
    virtual std::optional<value> count_everywhere(std::string_view table, std::span<const std::string_view> columns,
                                                  std::span<const value> values);
    // Reads one blob column in one piece (null blob gives an empty vector).
    virtual std::optional<blob> select_blob(std::string_view sql,
                                            std::span<const value> params = {}) = 0;
    // Writes one blob; the blob is the first parameter of the statement. A
    // backend may bind the bytes where they lie instead of copying them.
    virtual sql_code update_blob(std::string_view sql, const blob& bytes,
                                 std::span<const value> params = {});

    // Fails, without touching the open transaction, when one is still open.
    virtual sql_code begin_write() = 0;
    // A write to one register: a server lets saves to different registers
    // go on side by side, while saves to the same register (and every
    // begin_write()) still follow one another, so a number read inside is
    // still the save's alone. A backend may send the BEGIN with the first
    // statement that follows; a lock not had in time then fails that one.
    virtual sql_code begin_register_write(std::string_view table) {
        (void)table;
        return begin_write();
    }
    // Takes, inside the open write, the lock of another register whose
    // rows the write reads for a rule or a number (the owner of a side
    // register's records; the change history, numbered across every
    // register), held to the end of the write. A no-op where the write
    // holds the whole database already.
    virtual sql_code lock_register(std::string_view table) {
        (void)table;
        return set_status(sql_code::ok);
    }
    // An expression for the highest value of a numbering column, to stand
    // inside an INSERT … SELECT, over every community's rows as highest()
    // reads it (null for an empty table). Names only, never a value.
    virtual std::string highest_expression(std::string_view table, std::string_view column);
    // A write inside the open write transaction whose answer the caller
    // needs only at the commit: a backend may send it later, together with
    // the rest of the save and the COMMIT. A statement that fails, or that
    // changes another number of rows than `check.rows` (when not -1),
    // fails the save: nothing after it takes effect, and the statement
    // that next speaks to the database (commit() at the latest) fails
    // with its text, `check.failed_prefix` before it, or `check.otherwise`
    // for a wrong row count. A backend that runs it at once fails it here.
    struct write_check {
        long long rows = -1;
        std::string otherwise;
        std::string failed_prefix;
    };
    virtual sql_code queue_write(std::string_view sql, std::span<const value> params,
                                 const write_check& check);
    virtual sql_code commit() = 0;
    virtual sql_code rollback() = 0;
    virtual bool in_transaction() const = 0;
    // After a failed commit(): true when the connection went while the
    // server had the COMMIT and whether it was written could not be found
    // out. The caller must not write the same change again until
    // resolve_commit() has told.
    virtual bool commit_in_doubt() const { return false; }
    // The number of the commit in doubt, which its caller keeps to ask about
    // it later: another unit of work on the connection may settle the doubt
    // first (a new write finds out before it begins). 0 when none is in doubt.
    virtual std::uint64_t doubt_number() const { return 0; }
    // Asks what became of the commit in doubt numbered `number`. committed
    // and rolled_back end the doubt and are told once; unknown (the server
    // still cannot be reached) keeps it. A number never in doubt: committed.
    virtual commit_outcome resolve_commit(std::uint64_t number) {
        (void)number;
        return commit_outcome::committed;
    }
    // Names a row that exists once the open transaction has committed and
    // not before (a query and its values), such as its history entry. A
    // server that started again after a crash may have handed the lost
    // transaction's number to another one; then only this row tells
    // whether a commit in doubt was written. Without one, such a commit
    // stays in doubt. Forgotten when the next write begins.
    virtual void witness_commit(std::string sql, std::vector<value> params) {
        (void)sql;
        (void)params;
    }
    // Rolls back after a failure and keeps that failure's status and text,
    // which the rollback would otherwise replace.
    void rollback_keeping_error();

    int sqlcode() const { return static_cast<int>(code_); }
    const std::string& sqlerrtext() const { return errtext_; }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    long long sqlnrows() const { return nrows_; }

    // Who this connection is for, e.g. the file; never a password.
    virtual std::string describe_target() const = 0;

protected:
    sql_code set_status(sql_code c, std::string text = {}) {
        code_ = c;
        errtext_ = std::move(text);
        return c;
    }
    void set_nrows(long long n) { nrows_ = n; }

private:
    sql_code code_ = sql_code::ok;
    std::string errtext_;
    long long nrows_ = 0;
};

// One write on a transaction, from begin_write() to commit(). Whatever
// leaves the scope before commit() succeeded (a failed statement, a return,
// an exception) rolls the transaction back.
class [[nodiscard]] write_guard {
public:
    explicit write_guard(transaction& t);
    // A write to the register `table` (see begin_register_write).
    write_guard(transaction& t, std::string_view table);
    ~write_guard();
    write_guard(const write_guard&) = delete;
    write_guard& operator=(const write_guard&) = delete;

    // Whether begin_write() succeeded; when not, the transaction has the text.
    bool began() const { return began_; }
    sql_code commit();
    // Rolls back now, keeping the transaction's error text of the failure
    // that led here, so a message can still quote it.
    void abandon();

private:
    transaction& t_;
    bool began_ = false;
    bool done_ = false;
};

}  // namespace officerecords
