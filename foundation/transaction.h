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
// number) cannot be taken by another workstation before the commit.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"

namespace officerecords {

enum class sql_code : int { ok = 0, not_found = 100, error = -1 };

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
    virtual value column_value(int i) const = 0;  // integer, real, text, blob or null
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
    // Reads one blob column in one piece (null blob gives an empty vector).
    virtual std::optional<blob> select_blob(std::string_view sql,
                                            std::span<const value> params = {}) = 0;
    // Writes one blob; the blob is the first parameter of the statement.
    sql_code update_blob(std::string_view sql, const blob& bytes,
                         std::span<const value> params = {});

    virtual sql_code begin_write() = 0;
    virtual sql_code commit() = 0;
    virtual sql_code rollback() = 0;
    virtual bool in_transaction() const = 0;

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

// The workstation's clock, replaceable by a script or a test.
class clock_source {
public:
    virtual ~clock_source() = default;
    virtual date today() const = 0;
};

}  // namespace officerecords
