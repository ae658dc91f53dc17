// A transaction that fails on purpose: it stands in front of a real one and
// passes every call through, except the one it was told to fail, which
// reports an error without reaching the database. Steps are the calls that
// can fail in use: statements, cursors, begin_write and commit (a rollback
// is never failed: it is what the code under test must get right).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/transaction.h"

namespace officerecords::testkit {

inline constexpr const char* k_injected_fault = "注入的故障：磁盘写入失败";

class faulty_transaction final : public transaction {
public:
    explicit faulty_transaction(transaction& inner) : inner_(inner) {}
    explicit faulty_transaction(std::unique_ptr<transaction> owned)
        : owned_(std::move(owned)), inner_(*owned_) {}
    ~faulty_transaction() override {
        if (on_close) on_close();
    }

    // The n-th step from now fails (0: none does).
    void fail_at(int n) {
        fail_at_ = n;
        steps_ = 0;
    }
    int steps() const { return steps_; }
    // Called before each step with its number; a test may stop the process.
    std::function<void(int)> on_step;
    // Called when the connection is let go.
    std::function<void()> on_close;

    sql_code execute(std::string_view sql, std::span<const value> params = {}) override {
        if (injected()) return sql_code::error;
        return mirror(inner_.execute(sql, params));
    }
    std::unique_ptr<cursor> open_cursor(std::string_view sql,
                                        std::span<const value> params = {}) override {
        if (injected()) return nullptr;
        std::unique_ptr<cursor> c = inner_.open_cursor(sql, params);
        (void)mirror(static_cast<sql_code>(inner_.sqlcode()));
        if (!c) return nullptr;
        return std::make_unique<mirrored_cursor>(std::move(c), *this);
    }
    sql_code update_blob(std::string_view sql, const blob& bytes,
                         std::span<const value> params = {}) override {
        if (injected()) return sql_code::error;
        return mirror(inner_.update_blob(sql, bytes, params));
    }
    std::optional<blob> select_blob(std::string_view sql,
                                    std::span<const value> params = {}) override {
        if (injected()) return std::nullopt;
        std::optional<blob> b = inner_.select_blob(sql, params);
        (void)mirror(static_cast<sql_code>(inner_.sqlcode()));
        return b;
    }
    std::optional<value> highest(std::string_view table, std::string_view column) override {
        if (injected()) return std::nullopt;
        std::optional<value> v = inner_.highest(table, column);
        (void)mirror(static_cast<sql_code>(inner_.sqlcode()));
        return v;
    }
    std::optional<value> count_everywhere(std::string_view table, std::span<const std::string_view> columns,
                                          std::span<const value> values) override {
        if (injected()) return std::nullopt;
        std::optional<value> v = inner_.count_everywhere(table, columns, values);
        (void)mirror(static_cast<sql_code>(inner_.sqlcode()));
        return v;
    }
    sql_code begin_write() override {
        if (injected()) return sql_code::error;
        return mirror(inner_.begin_write());
    }
    sql_code begin_register_write(std::string_view table) override {
        if (injected()) return sql_code::error;
        return mirror(inner_.begin_register_write(table));
    }
    sql_code lock_register(std::string_view table) override {
        return mirror(inner_.lock_register(table));
    }
    std::string highest_expression(std::string_view table, std::string_view column) override {
        return inner_.highest_expression(table, column);
    }
    sql_code commit() override {
        if (injected()) return sql_code::error;
        return mirror(inner_.commit());
    }
    sql_code rollback() override { return mirror(inner_.rollback()); }
    bool in_transaction() const override { return inner_.in_transaction(); }
    bool commit_in_doubt() const override { return inner_.commit_in_doubt(); }
    std::uint64_t doubt_number() const override { return inner_.doubt_number(); }
    commit_outcome resolve_commit(std::uint64_t number) override {
        return inner_.resolve_commit(number);
    }
    void witness_commit(std::string sql, std::vector<value> params) override {
        inner_.witness_commit(std::move(sql), std::move(params));
    }
    std::string describe_target() const override { return inner_.describe_target(); }

private:
    // A cursor whose fetches report on the faulty transaction, where the
    // caller looks for the status.
    class mirrored_cursor final : public cursor {
    public:
        mirrored_cursor(std::unique_ptr<cursor> c, faulty_transaction& t) : c_(std::move(c)), t_(t) {}
        bool fetch() override {
            const bool row = c_->fetch();
            (void)t_.mirror(static_cast<sql_code>(t_.inner_.sqlcode()));
            return row;
        }
        int column_count() const override { return c_->column_count(); }
        std::string column_name(int i) const override { return c_->column_name(i); }
        db_type column_type(int i) const override { return c_->column_type(i); }
        std::int64_t column_integer(int i) const override { return c_->column_integer(i); }
        double column_real(int i) const override { return c_->column_real(i); }
        std::string_view column_text(int i) const override { return c_->column_text(i); }
        blob column_blob(int i) const override { return c_->column_blob(i); }
        int column_scale(int i) const override { return c_->column_scale(i); }

    private:
        std::unique_ptr<cursor> c_;
        faulty_transaction& t_;
    };

    bool injected() {
        ++steps_;
        if (on_step) on_step(steps_);
        if (steps_ != fail_at_) return false;
        (void)set_status(sql_code::error, k_injected_fault);
        return true;
    }
    sql_code mirror(sql_code c) {
        set_nrows(inner_.sqlnrows());
        return set_status(c, inner_.sqlerrtext());
    }

    std::unique_ptr<transaction> owned_;
    transaction& inner_;
    int fail_at_ = 0;
    int steps_ = 0;
};

}  // namespace officerecords::testkit
