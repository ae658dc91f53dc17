#include "bench/raw_sql.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace officerecords {
namespace {

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "raw connection: %s\n", why.c_str());
    std::exit(1);
}

// The asset form's 22 columns in their order, read by each API's getters.
template <typename Text, typename Whole, typename Real>
void read_asset(raw_asset& a, Text text, Whole whole, Real real) {
    a.commno = text(0);
    a.orderno = whole(1);
    a.assetsort = text(2);
    a.goodsname = text(3);
    a.namebrand = text(4);
    a.goodstype = text(5);
    a.goodscount = whole(6);
    a.computeunit = text(7);
    a.originvalue = real(8);
    a.purchasedate = text(9);
    a.keepperson = text(10);
    a.scrapedate = text(11);
    a.recorder = text(12);
    a.recorddate = text(13);
    a.issave = text(14);
    a.note = text(15);
    a.prepare1 = text(16);
    a.prepare2 = real(17);
    a.prepare3 = text(18);
    a.prepare4 = text(19);
    a.prepare5 = real(20);
    a.prepare6 = text(21);
}

// ---- sqlite3 --------------------------------------------------------------------

class raw_sqlite final : public raw_connection {
public:
    explicit raw_sqlite(const std::string& path) : db_(open_raw(path, "FULL")) {}
    ~raw_sqlite() override {
        for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
        sqlite3_close_v2(db_);
    }

    int prepare(const std::string& sql) override {
        sqlite3_stmt* s = nullptr;
        check_sqlite(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), db_, sql.c_str());
        statements_.push_back(s);
        return static_cast<int>(statements_.size()) - 1;
    }

    std::int64_t run(int statement, std::vector<raw_param> params) override {
        sqlite3_stmt* s = bound(statement, params);
        check_sqlite(sqlite3_step(s), db_, "step");
        done(s);
        return sqlite3_changes64(db_);
    }

    std::int64_t number(int statement, std::vector<raw_param> params) override {
        sqlite3_stmt* s = bound(statement, params);
        const int rc = sqlite3_step(s);
        check_sqlite(rc, db_, "step");
        const std::int64_t n = rc == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        done(s);
        return n;
    }

    bool bytes(int statement, std::vector<raw_param> params, std::vector<unsigned char>& out) override {
        sqlite3_stmt* s = bound(statement, params);
        const int rc = sqlite3_step(s);
        check_sqlite(rc, db_, "step");
        if (rc == SQLITE_ROW) {
            const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, 0));
            out.assign(p, p + sqlite3_column_bytes(s, 0));
        }
        done(s);
        return rc == SQLITE_ROW;
    }

    void assets(int statement, std::vector<raw_param> params, std::vector<raw_asset>& out) override {
        sqlite3_stmt* s = bound(statement, params);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            read_asset(
                out.emplace_back(), [&](int i) { return text(s, i); },
                [&](int i) { return sqlite3_column_int64(s, i); }, [&](int i) { return sqlite3_column_double(s, i); });
        }
        check_sqlite(rc, db_, "step");
        done(s);
    }

    const char* begin_write() const override { return "BEGIN IMMEDIATE"; }

private:
    sqlite3_stmt* bound(int statement, const std::vector<raw_param>& params) {
        sqlite3_stmt* s = statements_.at(static_cast<std::size_t>(statement));
        int i = 1;
        for (const raw_param& p : params) {
            switch (p.k) {
                case raw_param::kind::text:
                    sqlite3_bind_text(s, i, p.text.data(), static_cast<int>(p.text.size()), SQLITE_STATIC);
                    break;
                case raw_param::kind::integer:
                    sqlite3_bind_int64(s, i, p.integer);
                    break;
                case raw_param::kind::real:
                    sqlite3_bind_double(s, i, p.real);
                    break;
                case raw_param::kind::bytes:
                    sqlite3_bind_blob64(s, i, p.data, p.size, SQLITE_STATIC);
                    break;
            }
            ++i;
        }
        return s;
    }
    // The statement must not keep pointing at values it does not own.
    static void done(sqlite3_stmt* s) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    static std::string text(sqlite3_stmt* s, int i) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))) : std::string();
    }

    sqlite3* db_;
    std::vector<sqlite3_stmt*> statements_;
};

// ---- libpq ----------------------------------------------------------------------

class raw_pg final : public raw_connection {
public:
    explicit raw_pg(const std::string& uri) : c_(PQconnectdb(uri.c_str())) {
        if (PQstatus(c_) != CONNECTION_OK) fail("connect: " + std::string(PQerrorMessage(c_)));
        PQclear(PQexec(c_, "SET DateStyle = ISO"));
    }
    ~raw_pg() override { PQfinish(c_); }

    int prepare(const std::string& sql) override {
        std::string numbered;
        int n = 0;
        for (char ch : sql) numbered += ch == '?' ? "$" + std::to_string(++n) : std::string(1, ch);
        const std::string name = "s" + std::to_string(count_);
        PGresult* r = PQprepare(c_, name.c_str(), numbered.c_str(), 0, nullptr);
        check(r, numbered);
        PQclear(r);
        return count_++;
    }

    std::int64_t run(int statement, std::vector<raw_param> params) override {
        PGresult* r = exec(statement, params);
        const char* changed = PQcmdTuples(r);
        std::int64_t n = 0;
        std::from_chars(changed, changed + std::char_traits<char>::length(changed), n);
        PQclear(r);
        return n;
    }

    std::int64_t number(int statement, std::vector<raw_param> params) override {
        PGresult* r = exec(statement, params);
        std::int64_t n = 0;
        if (PQntuples(r) > 0 && !PQgetisnull(r, 0, 0)) {
            const char* p = PQgetvalue(r, 0, 0);
            std::from_chars(p, p + PQgetlength(r, 0, 0), n);
        }
        PQclear(r);
        return n;
    }

    bool bytes(int statement, std::vector<raw_param> params, std::vector<unsigned char>& out) override {
        PGresult* r = exec(statement, params, 1);
        const bool found = PQntuples(r) > 0;
        if (found) {
            const auto* p = reinterpret_cast<const unsigned char*>(PQgetvalue(r, 0, 0));
            out.assign(p, p + PQgetlength(r, 0, 0));
        }
        PQclear(r);
        return found;
    }

    // Single-row mode, as the product's backend reads: one row held at a time.
    void assets(int statement, std::vector<raw_param> params, std::vector<raw_asset>& out) override {
        bound_values v(params);
        const std::string name = "s" + std::to_string(statement);
        if (!PQsendQueryPrepared(c_, name.c_str(), v.count(), v.values.data(), v.lengths.data(),
                                 v.formats.data(), 0))
            fail(PQerrorMessage(c_));
        PQsetSingleRowMode(c_);
        while (PGresult* r = PQgetResult(c_)) {
            if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
                read_asset(
                    out.emplace_back(), [&](int i) { return text(r, i); }, [&](int i) { return whole(r, i); },
                    [&](int i) { return real(r, i); });
            } else if (PQresultStatus(r) != PGRES_TUPLES_OK) {
                fail(PQerrorMessage(c_));
            }
            PQclear(r);
        }
    }

    const char* begin_write() const override { return "BEGIN"; }

private:
    // Text parameters, bytes in binary, as the product's backend sends them.
    struct bound_values {
        std::vector<std::string> texts;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        explicit bound_values(const std::vector<raw_param>& params) {
            texts.reserve(params.size());
            for (const raw_param& p : params) {
                switch (p.k) {
                    case raw_param::kind::text:
                        texts.emplace_back(p.text);
                        break;
                    case raw_param::kind::integer:
                        texts.push_back(std::to_string(p.integer));
                        break;
                    case raw_param::kind::real:
                        texts.push_back(std::to_string(p.real));
                        break;
                    case raw_param::kind::bytes:
                        texts.emplace_back();
                        break;
                }
            }
            for (std::size_t i = 0; i < params.size(); ++i) {
                const bool raw = params[i].k == raw_param::kind::bytes;
                values.push_back(raw ? reinterpret_cast<const char*>(params[i].data) : texts[i].c_str());
                lengths.push_back(raw ? static_cast<int>(params[i].size) : static_cast<int>(texts[i].size()));
                formats.push_back(raw ? 1 : 0);
            }
        }
        int count() const { return static_cast<int>(values.size()); }
    };

    PGresult* exec(int statement, const std::vector<raw_param>& params, int result_format = 0) {
        bound_values v(params);
        const std::string name = "s" + std::to_string(statement);
        PGresult* r = PQexecPrepared(c_, name.c_str(), v.count(), v.values.data(), v.lengths.data(),
                                     v.formats.data(), result_format);
        check(r, name);
        return r;
    }
    void check(PGresult* r, const std::string& what) {
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) fail(what + ": " + PQerrorMessage(c_));
    }
    static std::string text(const PGresult* r, int i) {
        return std::string(PQgetvalue(r, 0, i), static_cast<std::size_t>(PQgetlength(r, 0, i)));
    }
    static std::int64_t whole(const PGresult* r, int i) {
        std::int64_t v = 0;
        const char* p = PQgetvalue(r, 0, i);
        std::from_chars(p, p + PQgetlength(r, 0, i), v);
        return v;
    }
    static double real(const PGresult* r, int i) { return std::strtod(PQgetvalue(r, 0, i), nullptr); }

    PGconn* c_;
    int count_ = 0;
};

}  // namespace

std::unique_ptr<raw_connection> raw_connection::open(const std::string& target) {
    if (target.starts_with("postgresql://") || target.starts_with("postgres://"))
        return std::make_unique<raw_pg>(target);
    return std::make_unique<raw_sqlite>(target);
}

}  // namespace officerecords
