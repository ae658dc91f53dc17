#include "postgres/pg_transaction.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>
#include <utility>

namespace officerecords {

namespace {

// The type numbers of the server's built-in types (pg_type.oid), fixed
// since the first releases.
constexpr Oid k_bool = 16, k_bytea = 17, k_int8 = 20, k_int2 = 21, k_int4 = 23, k_oid = 26,
              k_float4 = 700, k_float8 = 701, k_numeric = 1700;

// Every write takes this one advisory lock, so saves queue as they do on
// one SQLite file; the number is ours alone within the office's database.
// The transaction's number comes back in the same round trip: should the
// answer to its COMMIT be lost, the server can still be asked about it.
// With it comes the server's life: when it started, and when its counters
// were last reset, which a recovery from a crash does too.
constexpr const char* k_begin =
    "BEGIN; SELECT pg_advisory_xact_lock(7243010601); SELECT txid_current(), "
    "pg_postmaster_start_time()::text || ' ' || coalesce(pg_stat_get_bgwriter_stat_reset_time()::text, '')";
// A register write takes the whole database's lock shared, so that a
// write of the whole database (begin_write, and every earlier version of
// the program) still excludes it, and the register's own lock, keyed in
// the two-number space by the table's name, as every program derives it.
constexpr const char* k_begin_register =
    "SELECT pg_advisory_xact_lock_shared(7243010601), pg_advisory_xact_lock(7243, $1::integer), "
    "txid_current(), "
    "pg_postmaster_start_time()::text || ' ' || coalesce(pg_stat_get_bgwriter_stat_reset_time()::text, '')";
constexpr const char* k_lock_register = "SELECT pg_advisory_xact_lock(7243, ?::integer)";
constexpr const char* k_ask =
    "SELECT txid_status($1::bigint), "
    "pg_postmaster_start_time()::text || ' ' || coalesce(pg_stat_get_bgwriter_stat_reset_time()::text, '')";

constexpr const char* k_rolled_back_text = "正在进行的保存已由服务器撤销，没有写入任何数据";
constexpr const char* k_in_doubt_text =
    "与数据库服务器的连接在提交时中断了，还不知道这次保存是否已经写入";

constexpr std::size_t k_prepared_limit = 256;

// What a failure means to the clerk, by the server's SQLSTATE class; the
// same sentences the embedded backend uses, the server's text after them.
std::string explained(std::string_view state, bool connection_gone, const std::string& detail) {
    const char* what = "数据库操作失败";
    if (connection_gone || state.starts_with("08") || state == "57P01" || state == "57P02" ||
        state == "57P03") {
        what = "与数据库服务器的连接中断了，请检查网络和服务器后再试";
    } else if (state == "55P03" || state == "40P01" || state == "40001") {
        what = "数据库正被其他工作站使用（已锁定），请稍后再试";
    } else if (state == "53100") {
        what = "磁盘空间已满，数据没有写入，请清理磁盘后再试";
    } else if (state == "25006") {
        what = "数据库是只读的，不能写入";
    } else if (state == "42501" || state.starts_with("28")) {
        what = "没有访问数据库的权限";
    } else if (state.starts_with("23")) {
        what = "数据不符合数据库的约束";
    } else if (state == "XX001" || state == "XX002") {
        what = "数据库已损坏";
    } else if (state == "53200") {
        what = "内存不足";
    } else if (state == "54000") {
        what = "数据太大，数据库不能保存";
    }
    return std::string(what) + "：" + detail;
}

// The register's lock: FNV-1a over the table's name in lower case, the
// same in every program and on every server.
std::int32_t register_key(std::string_view table) {
    std::uint32_t h = 2166136261u;
    for (char c : table) {
        h ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
        h *= 16777619u;
    }
    return static_cast<std::int32_t>(h);
}

bool is_name(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool is_word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           u >= 0x80;
}

// Where the text goes on after a ";" with more than blanks, semicolons and
// comments: the start of a second statement, or npos.
std::size_t second_statement(std::string_view sql, std::size_t pos) {
    while (pos < sql.size()) {
        if (std::string_view(" \t\n\r\f\v;").find(sql[pos]) != std::string_view::npos) {
            ++pos;
        } else if (sql.compare(pos, 2, "--") == 0) {
            pos = sql.find('\n', pos);
        } else if (sql.compare(pos, 2, "/*") == 0) {
            const std::size_t end = sql.find("*/", pos + 2);
            pos = end == std::string_view::npos ? end : end + 2;
        } else {
            return pos;
        }
    }
    return std::string_view::npos;
}

// The statement as the server takes it: "?" placeholders become $1, $2, …
// and X'0A0B' blob literals become bytea literals, outside quotes and
// comments. `count` receives the number of placeholders, `second` where a
// second statement begins (npos: there is none).
std::string server_text(std::string_view sql, int& count, std::size_t& second) {
    std::string out;
    out.reserve(sql.size() + 16);
    count = 0;
    second = std::string_view::npos;
    std::size_t i = 0;
    auto copy_until = [&](std::size_t end) {
        out.append(sql.substr(i, end - i));
        i = end;
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c) {
                    if (end + 1 < sql.size() && sql[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            copy_until(std::min(sql.size(), end + 1));
        } else if (sql.compare(i, 2, "--") == 0) {
            const std::size_t end = sql.find('\n', i);
            copy_until(end == std::string_view::npos ? sql.size() : end);
        } else if (sql.compare(i, 2, "/*") == 0) {
            const std::size_t end = sql.find("*/", i + 2);
            copy_until(end == std::string_view::npos ? sql.size() : end + 2);
        } else if (sql.compare(i, 2, "$$") == 0) {
            const std::size_t end = sql.find("$$", i + 2);
            copy_until(end == std::string_view::npos ? sql.size() : end + 2);
        } else if (c == ';' && second == std::string_view::npos) {
            second = second_statement(sql, i);
            out += c;
            ++i;
        } else if (c == '?') {
            out += '$';
            out += std::to_string(++count);
            ++i;
        } else if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'' &&
                   (i == 0 || !is_word_char(sql[i - 1]))) {
            const std::size_t end = sql.find('\'', i + 2);
            if (end == std::string_view::npos) {
                copy_until(sql.size());
            } else {
                out += "'\\x";
                out.append(sql.substr(i + 2, end - i - 2));
                out += "'::bytea";
                i = end + 1;
            }
        } else if (is_word_char(c)) {
            std::size_t end = i;
            while (end < sql.size() && is_word_char(sql[end])) ++end;
            copy_until(end);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string_view first_word(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\n' || sql[i] == '\r' ||
                              sql[i] == '('))
        ++i;
    std::size_t end = i;
    while (end < sql.size() && is_word_char(sql[end])) ++end;
    return sql.substr(i, end - i);
}

// "ROLLBACK TO [SAVEPOINT] name": the word after ROLLBACK is TO.
bool rolls_back_to_savepoint(std::string_view sql) {
    const std::string_view first = first_word(sql);
    const std::size_t after = static_cast<std::size_t>(first.data() + first.size() - sql.data());
    return iequals(first_word(sql.substr(after)), "TO");
}

bool is_write(std::string_view sql) {
    const std::string_view w = first_word(sql);
    for (const char* keyword :
         {"INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "TRUNCATE", "COMMENT", "GRANT"})
        if (iequals(w, keyword)) return true;
    return false;
}

// Statements worth keeping prepared: the ones the windows run again and again.
bool is_repeated_kind(std::string_view sql) {
    const std::string_view w = first_word(sql);
    for (const char* keyword : {"SELECT", "INSERT", "UPDATE", "DELETE", "WITH"})
        if (iequals(w, keyword)) return true;
    return false;
}

// A parameter as text in the server's input syntax.
std::string parameter_text(const value& v) {
    if (v.is_text()) return v.text();
    if (v.is_integer()) return std::to_string(v.integer());
    if (v.is_decimal()) return v.dec().str();
    if (v.is_date()) return v.day().iso();
    if (v.is_double()) {
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v.real());
        return std::string(buffer, r.ptr);
    }
    return {};
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// bytea in the text result format: "\x" and two hex digits a byte.
blob bytea_from_text(std::string_view text) {
    blob out;
    if (!text.starts_with("\\x")) return blob(text.begin(), text.end());
    out.reserve((text.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<unsigned char>(hex_digit(text[i]) * 16 + hex_digit(text[i + 1])));
    return out;
}

struct conninfo_parts {
    std::string description;  // user@host:port/dbname, never the password
    bool has_timeout = false;
    bool has_keepalives = false;
};

conninfo_parts parse_conninfo(const std::string& conninfo, std::string& error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &message);
    conninfo_parts parts;
    if (!options) {
        error = message ? trimmed(message) : "连接字符串不能识别";
        PQfreemem(message);
        return parts;
    }
    std::string user, host, port, dbname;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        const std::string_view k = o->keyword;
        if (k == "user") user = o->val;
        if (k == "host" || (k == "hostaddr" && host.empty())) host = o->val;
        if (k == "port") port = o->val;
        if (k == "dbname") dbname = o->val;
        if (k == "connect_timeout") parts.has_timeout = true;
        if (k == "keepalives_idle" || k == "tcp_user_timeout") parts.has_keepalives = true;
    }
    PQconninfoFree(options);
    parts.description = "postgresql://" + (user.empty() ? "" : user + "@") +
                        (host.empty() ? "localhost" : host) + (port.empty() ? "" : ":" + port) + "/" +
                        dbname;
    return parts;
}

}  // namespace

// ---- prepared statements ----------------------------------------------------

struct pg_transaction::prepared {
    std::string key;   // the caller's text and the kinds of its parameters
    std::string name;  // empty: parsed anew at every use
    std::string text;  // as sent to the server
    int parameters = 0;
    std::vector<Oid> types;
    std::uint64_t last_used = 0;
};

// ---- cursor -----------------------------------------------------------------

class pg_cursor final : public cursor {
public:
    explicit pg_cursor(pg_transaction& owner) : owner_(&owner) { owner_->cursors_.push_back(this); }
    ~pg_cursor() override {
        if (owner_) std::erase(owner_->cursors_, this);
        clear_row();
        for (PGresult* r : ahead_) PQclear(r);
        if (owner_ && owner_->streaming_ == this) {
            // The connection serves one statement at a time: the rest of
            // this one is read and dropped before the next can be sent.
            while (PGresult* r = PQgetResult(owner_->conn_)) PQclear(r);
            owner_->streaming_ = nullptr;
        }
    }
    pg_cursor(const pg_cursor&) = delete;
    pg_cursor& operator=(const pg_cursor&) = delete;

    // Reads the statement's first result, which carries the columns; false
    // with the owner's error when the statement failed.
    bool start() {
        owner_->streaming_ = this;
        PGresult* first = next_result();
        if (!first) return !failed_;
        take_columns(first);
        if (PQresultStatus(first) == PGRES_SINGLE_TUPLE) {
            ahead_.push_back(first);
        } else {
            PQclear(first);
        }
        return true;
    }

    // Another statement needs the connection: the rows still to come are
    // read now and kept.
    void read_ahead() {
        while (PGresult* r = next_result()) ahead_.push_back(r);
    }

    // The transaction is going away: the cursor ends with it, with no row
    // and no columns left, as an SQLite cursor does with its connection.
    void detach() {
        clear_row();
        for (PGresult* r : ahead_) PQclear(r);
        ahead_.clear();
        types_.clear();
        scales_.clear();
        names_.clear();
        owner_ = nullptr;
    }

    bool fetch() override {
        clear_row();
        if (!owner_) return false;
        if (!ahead_.empty()) {
            row_ = ahead_.front();
            ahead_.pop_front();
        } else if (owner_ && owner_->streaming_ == this) {
            row_ = next_result();
        }
        if (!row_) {
            if (owner_ && !failed_) (void)owner_->set_status(sql_code::not_found);
            if (owner_ && failed_) (void)owner_->set_status(sql_code::error, error_);
            return false;
        }
        (void)owner_->set_status(sql_code::ok);
        return true;
    }

    int column_count() const override { return static_cast<int>(types_.size()); }
    std::string column_name(int i) const override {
        return i >= 0 && i < column_count() ? names_[static_cast<std::size_t>(i)] : std::string();
    }
    db_type column_type(int i) const override {
        if (!readable(i) || PQgetisnull(row_, 0, i)) return db_type::null;
        switch (types_[static_cast<std::size_t>(i)]) {
            case k_int2:
            case k_int4:
            case k_int8:
            case k_oid:
            case k_bool:
                return db_type::integer;
            case k_float4:
            case k_float8:
                return db_type::real;
            case k_bytea:
                return db_type::blob;
            case k_numeric: {
                // A whole number arrives as an integer, as it does from SQLite.
                const std::string_view t = column_text(i);
                const bool whole = t.size() <= 18 && t.find_first_not_of("-0123456789") == std::string_view::npos;
                return whole ? db_type::integer : db_type::text;
            }
            default:
                return db_type::text;
        }
    }
    std::int64_t column_integer(int i) const override {
        if (!readable(i)) return 0;
        const std::string_view t = column_text(i);
        if (types_[static_cast<std::size_t>(i)] == k_bool) return t == "t" ? 1 : 0;
        std::int64_t v = 0;
        if (std::from_chars(t.data(), t.data() + t.size(), v).ec == std::errc()) return v;
        return static_cast<std::int64_t>(column_real(i));
    }
    double column_real(int i) const override {
        if (!readable(i)) return 0.0;
        return std::strtod(PQgetvalue(row_, 0, i), nullptr);
    }
    std::string_view column_text(int i) const override {
        if (!readable(i)) return {};
        return {PQgetvalue(row_, 0, i), static_cast<std::size_t>(PQgetlength(row_, 0, i))};
    }
    blob column_blob(int i) const override {
        return column_type(i) == db_type::blob ? bytea_from_text(column_text(i)) : blob{};
    }
    int column_scale(int i) const override {
        return i >= 0 && i < column_count() ? scales_[static_cast<std::size_t>(i)] : -1;
    }

private:
    bool readable(int i) const { return row_ && i >= 0 && i < column_count(); }
    void clear_row() {
        if (row_) PQclear(row_);
        row_ = nullptr;
    }

    // The next row's result; nullptr at the end or on an error, after which
    // the connection is free again.
    PGresult* next_result() {
        if (!owner_ || owner_->streaming_ != this) return nullptr;
        PGresult* r = PQgetResult(owner_->conn_);
        if (r && PQresultStatus(r) == PGRES_SINGLE_TUPLE) return r;
        if (r && PQresultStatus(r) == PGRES_COMMAND_OK) {
            // A statement without rows run as a cursor: it simply ends.
            owner_->set_nrows(std::atoll(PQcmdTuples(r)));
            PQclear(r);
            r = nullptr;
        } else if (r && PQresultStatus(r) == PGRES_TUPLES_OK) {
            if (types_.empty()) take_columns(r);
            PQclear(r);
            r = nullptr;
        } else if (r) {
            (void)owner_->fail_from(r);
            failed_ = true;
            error_ = owner_->sqlerrtext();
            PQclear(r);
            r = nullptr;
        } else if (PQstatus(owner_->conn_) != CONNECTION_OK) {
            (void)owner_->fail_from(nullptr);
            failed_ = true;
            error_ = owner_->sqlerrtext();
        }
        while (PGresult* rest = PQgetResult(owner_->conn_)) PQclear(rest);
        owner_->streaming_ = nullptr;
        return nullptr;
    }

    void take_columns(const PGresult* r) {
        const int n = PQnfields(r);
        types_.resize(static_cast<std::size_t>(n));
        scales_.resize(static_cast<std::size_t>(n));
        names_.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const auto at = static_cast<std::size_t>(i);
            types_[at] = PQftype(r, i);
            names_[at] = PQfname(r, i);
            const int mod = PQfmod(r, i);
            // numeric(p, s) keeps ((p << 16) | s) + 4 as its modifier.
            scales_[at] = types_[at] == k_numeric && mod >= 4 ? ((mod - 4) & 0xffff) : -1;
        }
    }

    pg_transaction* owner_;
    PGresult* row_ = nullptr;
    std::deque<PGresult*> ahead_;
    std::vector<Oid> types_;
    std::vector<int> scales_;
    std::vector<std::string> names_;
    bool failed_ = false;
    std::string error_;
};

// ---- transaction ------------------------------------------------------------

result<std::unique_ptr<pg_transaction>> pg_transaction::open(const std::string& conninfo,
                                                             const clock_source& clock,
                                                             const pg_options& options) {
    std::string error;
    const conninfo_parts parts = parse_conninfo(conninfo, error);
    if (!error.empty()) return status::error("数据库连接字符串有误：" + error);

    // Unreachable servers fail after a bounded wait, and a connection whose
    // network went away is noticed instead of waited on for ever.
    std::vector<const char*> keys = {"dbname", "client_encoding", "application_name"};
    std::vector<const char*> values = {conninfo.c_str(), "UTF8", "officerecords"};
    const std::string timeout = std::to_string(options.connect_timeout_s);
    if (!parts.has_timeout && !std::getenv("PGCONNECT_TIMEOUT")) {
        keys.push_back("connect_timeout");
        values.push_back(timeout.c_str());
    }
    if (!parts.has_keepalives) {
        for (auto [k, v] : {std::pair{"keepalives_idle", "10"}, std::pair{"keepalives_interval", "5"},
                            std::pair{"keepalives_count", "3"}, std::pair{"tcp_user_timeout", "30000"}}) {
            keys.push_back(k);
            values.push_back(v);
        }
    }
    if (!options.password.empty()) {
        keys.push_back("password");
        values.push_back(options.password.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 1);
    std::unique_ptr<pg_transaction> t(
        new pg_transaction(conn, conninfo, parts.description, clock, options));
    // No password given, or a wrong one: either way the clerk is asked.
    const std::string refused = conn ? PQerrorMessage(conn) : "";
    if (conn && PQstatus(conn) != CONNECTION_OK &&
        (PQconnectionNeedsPassword(conn) || refused.find("password authentication failed") != std::string::npos))
        return status::error(std::string(k_password_needed) + " " + parts.description + "：" +
                             trimmed(PQerrorMessage(conn)));
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return status::error("不能连接数据库服务器 " + parts.description + "：" +
                             trimmed(conn ? PQerrorMessage(conn) : "out of memory"));
    if (t->apply_settings() != sql_code::ok)
        return status::error(parts.description + "：" + t->sqlerrtext());
    if (!options.required_table.empty()) {
        const value name(options.required_table);
        auto found = t->select_value("SELECT to_regclass(?) IS NOT NULL", std::span(&name, 1));
        if (!found) return status::error(parts.description + "：" + t->sqlerrtext());
        if (found->is_integer() && found->integer() == 0)
            return status::error("这不是" + options.required_what + "（其中没有表 " +
                                 options.required_table + "）：" + parts.description);
    }
    return t;
}

pg_transaction::pg_transaction(PGconn* conn, std::string conninfo, std::string target,
                               const clock_source& clock, const pg_options& options)
    : conn_(conn),
      conninfo_(std::move(conninfo)),
      target_(std::move(target)),
      clock_(clock),
      options_(options) {}

pg_transaction::~pg_transaction() {
    // Cursors still open end with their connection, as SQLite's do.
    for (pg_cursor* c : cursors_) c->detach();
    cursors_.clear();
    streaming_ = nullptr;
    // Closing the connection ends an open transaction with a rollback.
    if (conn_) PQfinish(conn_);
}

sql_code pg_transaction::apply_settings() {
    const std::string settings = "SET DateStyle = ISO; SET extra_float_digits = 3; "
                                 "SET client_min_messages = warning; SET lock_timeout = " +
                                 std::to_string(options_.busy_timeout_ms);
    today_sent_.clear();
    return run_control(settings.c_str());
}

bool pg_transaction::asks_functions() {
    if (!has_highest_) {
        // A database not yet brought up to this format has no such function.
        const auto found = select_value("SELECT to_regprocedure('officerecords_highest(text, text)') IS NOT NULL");
        has_highest_ = found && (found->is_integer() ? found->integer() != 0 : found->to_text() == "t");
    }
    return has_highest_;
}

std::optional<value> pg_transaction::highest(std::string_view table, std::string_view column) {
    if (!asks_functions()) return sqlcode() < 0 ? std::nullopt : transaction::highest(table, column);
    const value params[] = {value(std::string(table)), value(std::string(column))};
    // A save's number travels with its BEGIN and its lock.
    if (in_transaction_ && register_write_) {
        trip_result r = send_queue(trip_end::select, "SELECT officerecords_highest(?, ?)", params);
        if (r.code != sql_code::ok) return std::nullopt;
        return std::move(r.got);
    }
    return select_value("SELECT officerecords_highest(?, ?)", params);
}

std::string pg_transaction::highest_expression(std::string_view table, std::string_view column) {
    // Names only, checked to be names: they stand in the text.
    if (!is_name(table) || !is_name(column) || !asks_functions())
        return transaction::highest_expression(table, column);
    return "officerecords_highest('" + std::string(table) + "', '" + std::string(column) + "')";
}

std::optional<value> pg_transaction::count_everywhere(std::string_view table,
                                                      std::span<const std::string_view> columns,
                                                      std::span<const value> values) {
    if (!asks_functions()) return sqlcode() < 0 ? std::nullopt : transaction::count_everywhere(table, columns, values);
    std::string names;
    for (std::string_view c : columns) names += (names.empty() ? "" : ",") + lower(std::string(c));
    std::vector<value> params = {value(std::string(table)), value(names)};
    for (const value& v : values) {
        if (v.is_null())
            params.emplace_back();
        else
            params.emplace_back(v.to_text());
    }
    std::string sql = "SELECT officerecords_count(?, ?";
    for (std::size_t i = 0; i < values.size(); ++i) sql += ", ?";
    return select_value(sql + ")", params);
}

result<std::string> pg_transaction::encrypt_password(const std::string& user, const std::string& password) {
    if (ready() != sql_code::ok) return status::error(sqlerrtext());
    char* made = PQencryptPasswordConn(conn_, password.c_str(), user.c_str(), nullptr);
    if (!made) return status::error("不能加密密码：" + trimmed(PQerrorMessage(conn_)));
    std::string out(made);
    PQfreemem(made);
    return out;
}

void pg_transaction::connection_lost() {
    // Statements prepared on the old connection are gone with it. A write
    // whose BEGIN was not sent yet has lost nothing.
    if (in_transaction_ && !begin_pending_) lost_ = true;
    prepared_.clear();
    today_sent_.clear();
}

bool pg_transaction::reconnect() {
    connection_lost();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        (void)set_status(sql_code::error,
                         explained("08006", true, "不能连接数据库服务器 " + target_ + "：" +
                                                      trimmed(PQerrorMessage(conn_))));
        return false;
    }
    return apply_settings() == sql_code::ok;
}

sql_code pg_transaction::ready() {
    if (streaming_) streaming_->read_ahead();
    if (lost_ || (in_transaction_ && !begin_pending_ && PQstatus(conn_) != CONNECTION_OK)) {
        lost_ = true;
        return set_status(sql_code::error, explained("08006", true, k_rolled_back_text));
    }
    if (PQstatus(conn_) != CONNECTION_OK && !reconnect()) return sql_code::error;
    const std::string today = clock_.today().iso();
    if (today != today_sent_) {
        const char* values[] = {today.c_str()};
        PGresult* r = PQexecParams(conn_, "SELECT set_config('officerecords.today', $1, false)", 1,
                                   nullptr, values, nullptr, nullptr, 0);
        const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
        const sql_code code = ok ? set_status(sql_code::ok) : fail_from(r);
        PQclear(r);
        if (!ok) return code;
        today_sent_ = today;
    }
    return set_status(sql_code::ok);
}

sql_code pg_transaction::fail_from(const PGresult* res) {
    const bool gone = PQstatus(conn_) != CONNECTION_OK;
    const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    std::string detail = primary ? primary : trimmed(PQerrorMessage(conn_));
    if (detail.empty()) detail = "服务器没有回答";
    if (gone) connection_lost();
    return set_status(sql_code::error, explained(state ? state : "", gone, detail));
}

sql_code pg_transaction::run_control(const char* sql) {
    PGresult* r = PQexec(conn_, sql);
    const ExecStatusType s = PQresultStatus(r);
    const sql_code code = s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK ? set_status(sql_code::ok)
                                                                         : fail_from(r);
    PQclear(r);
    return code;
}

const pg_transaction::prepared* pg_transaction::prepare(std::string_view sql,
                                                        std::span<const value> params,
                                                        const blob* leading) {
    std::string key(sql);
    key += '\0';
    if (leading) key += 'b';
    for (const value& v : params) key += v.is_blob() ? 'b' : '.';
    for (const auto& p : prepared_) {
        if (p->key == key) {
            p->last_used = ++uses_;
            return p.get();
        }
    }
    auto p = std::make_unique<prepared>();
    p->key = std::move(key);
    std::size_t second = 0;
    p->text = server_text(sql, p->parameters, second);
    // The server would refuse it as a prepared statement, in its own words;
    // the caller learns what the embedded backend tells, before anything runs.
    if (second != std::string_view::npos) {
        (void)set_status(sql_code::error,
                         "only one statement can run at a time; the text continues after it: " +
                             std::string(sql.substr(second)));
        return nullptr;
    }
    const std::size_t given = params.size() + (leading ? 1 : 0);
    if (static_cast<std::size_t>(p->parameters) != given) {
        (void)set_status(sql_code::error, "the statement has " + std::to_string(p->parameters) +
                                              " placeholders but " + std::to_string(given) +
                                              " values were given");
        return nullptr;
    }
    if (leading) p->types.push_back(k_bytea);
    for (const value& v : params) p->types.push_back(v.is_blob() ? k_bytea : 0);
    p->last_used = ++uses_;
    if (!is_repeated_kind(sql)) {
        // Parsed at each use; such statements (schema, settings) run once.
        once_ = std::move(p);
        return once_.get();
    }
    if (prepared_.size() >= k_prepared_limit) {
        auto oldest = std::min_element(prepared_.begin(), prepared_.end(), [](const auto& a, const auto& b) {
            return a->last_used < b->last_used;
        });
        if (!(*oldest)->name.empty())
            PQclear(PQexec(conn_, ("DEALLOCATE " + (*oldest)->name).c_str()));
        prepared_.erase(oldest);
    }
    p->name = "or" + std::to_string(++next_statement_);
    PGresult* r = PQprepare(conn_, p->name.c_str(), p->text.c_str(), p->parameters,
                            p->types.empty() ? nullptr : p->types.data());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) (void)fail_from(r);
    PQclear(r);
    if (!ok) return nullptr;
    prepared_.push_back(std::move(p));
    return prepared_.back().get();
}

bool pg_transaction::send(const prepared& p, std::span<const value> params, const blob* leading,
                          int result_format) {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    texts.reserve(params.size());
    auto add_bytes = [&](const blob& b) {
        // An empty vector's data() may be null, which libpq sends as NULL:
        // an empty blob must stay empty, not become a missing one.
        static const char no_bytes = 0;
        values.push_back(b.empty() ? &no_bytes : reinterpret_cast<const char*>(b.data()));
        lengths.push_back(static_cast<int>(b.size()));
        formats.push_back(1);
    };
    if (leading) add_bytes(*leading);
    for (const value& v : params) {
        if (v.is_blob()) {
            add_bytes(v.bytes());
        } else if (v.is_null()) {
            values.push_back(nullptr);
            lengths.push_back(0);
            formats.push_back(0);
        } else {
            texts.push_back(parameter_text(v));
            values.push_back(nullptr);  // pointed at below, once `texts` stops growing
            lengths.push_back(0);
            formats.push_back(0);
        }
    }
    std::size_t next_text = 0;
    for (std::size_t i = 0, v = leading ? 1 : 0; i < params.size(); ++i, ++v)
        if (!params[i].is_blob() && !params[i].is_null()) values[v] = texts[next_text++].c_str();
    const int n = static_cast<int>(values.size());
    const int sent =
        p.name.empty()
            ? PQsendQueryParams(conn_, p.text.c_str(), n, p.types.empty() ? nullptr : p.types.data(),
                                values.data(), lengths.data(), formats.data(), result_format)
            : PQsendQueryPrepared(conn_, p.name.c_str(), n, values.data(), lengths.data(),
                                  formats.data(), result_format);
    if (!sent) (void)fail_from(nullptr);
    return sent == 1;
}

sql_code pg_transaction::begin_if_write(std::string_view sql) {
    if (in_transaction_ || !is_write(sql)) return set_status(sql_code::ok);
    return begin_write();
}

sql_code pg_transaction::run(std::string_view sql, std::span<const value> params,
                             const blob* leading) {
    const std::string_view word = first_word(sql);
    if (iequals(word, "BEGIN")) return begin_write();
    if (iequals(word, "COMMIT") || iequals(word, "END")) return commit();
    // ROLLBACK TO SAVEPOINT undoes part of the transaction, which goes on.
    if (iequals(word, "ROLLBACK") && !rolls_back_to_savepoint(sql)) return rollback();
    if (flush_queue() != sql_code::ok || ready() != sql_code::ok) return sql_code::error;
    // A statement that does not even prepare opens no write transaction.
    if (!prepare(sql, params, leading)) {
        // Nothing ran yet: a connection the server dropped while idle is
        // simply renewed, as for a read.
        if (in_transaction_ || PQstatus(conn_) == CONNECTION_OK || ready() != sql_code::ok ||
            !prepare(sql, params, leading))
            return sql_code::error;
    }
    if (begin_if_write(sql) != sql_code::ok) return sql_code::error;
    set_nrows(0);
    // Asked again: opening the transaction may have renewed the connection.
    const prepared* p = prepare(sql, params, leading);
    if (!p || !send(*p, params, leading, 0)) return sql_code::error;
    sql_code code = sql_code::ok;
    bool failed = false;
    while (PGresult* r = PQgetResult(conn_)) {
        const ExecStatusType s = PQresultStatus(r);
        if (!failed && s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            code = fail_from(r);
            failed = true;
        } else if (!failed) {
            const std::string_view command = PQcmdStatus(r);
            if (command.starts_with("INSERT") || command.starts_with("UPDATE") ||
                command.starts_with("DELETE"))
                set_nrows(std::atoll(PQcmdTuples(r)));
        }
        PQclear(r);
    }
    if (!failed && PQstatus(conn_) != CONNECTION_OK) code = fail_from(nullptr);
    if (!failed && code == sql_code::ok) code = set_status(sql_code::ok);
    return code;
}

sql_code pg_transaction::execute(std::string_view sql, std::span<const value> params) {
    return run(sql, params, nullptr);
}

sql_code pg_transaction::update_blob(std::string_view sql, const blob& bytes,
                                     std::span<const value> params) {
    return run(sql, params, &bytes);
}

std::unique_ptr<cursor> pg_transaction::open_cursor(std::string_view sql,
                                                    std::span<const value> params) {
    if (flush_queue() != sql_code::ok) return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool outside = !in_transaction_;
        if (ready() != sql_code::ok) return nullptr;
        const prepared* p = prepare(sql, params, nullptr);
        if (p && is_write(sql) && !in_transaction_) {
            if (begin_write() != sql_code::ok) return nullptr;
            p = prepare(sql, params, nullptr);
        }
        if (!p) {
            if (outside && attempt == 0 && PQstatus(conn_) != CONNECTION_OK) continue;
            return nullptr;
        }
        if (!send(*p, params, nullptr, 0)) return nullptr;
        PQsetSingleRowMode(conn_);
        auto c = std::make_unique<pg_cursor>(*this);
        if (c->start()) return c;
        // A read outside a transaction is tried once more on a new
        // connection: the server may have been restarted since the last one.
        if (!(outside && attempt == 0 && PQstatus(conn_) != CONNECTION_OK)) return nullptr;
    }
    return nullptr;
}

std::optional<blob> pg_transaction::select_blob(std::string_view sql,
                                                std::span<const value> params) {
    if (flush_queue() != sql_code::ok) return std::nullopt;
    const bool outside = !in_transaction_;
    if (ready() != sql_code::ok) return std::nullopt;
    const prepared* p = prepare(sql, params, nullptr);
    // Binary results: the bytes as stored, without the text form's hex.
    if (!p || !send(*p, params, nullptr, 1)) {
        // As for any read: once more after the server was restarted.
        if (outside && PQstatus(conn_) != CONNECTION_OK && ready() == sql_code::ok)
            return select_blob(sql, params);
        return std::nullopt;
    }
    std::optional<blob> bytes;
    bool done = false;
    while (PGresult* r = PQgetResult(conn_)) {
        if (!done) {
            done = true;
            if (PQresultStatus(r) != PGRES_TUPLES_OK) {
                (void)fail_from(r);
            } else if (PQntuples(r) == 0 || PQnfields(r) == 0) {
                (void)set_status(sql_code::not_found);
            } else {
                const auto* data = reinterpret_cast<const unsigned char*>(PQgetvalue(r, 0, 0));
                const auto size = static_cast<std::size_t>(PQgetlength(r, 0, 0));
                bytes = PQgetisnull(r, 0, 0) ? blob{} : blob(data, data + size);
                (void)set_status(sql_code::ok);
            }
        }
        PQclear(r);
    }
    if (!done) (void)fail_from(nullptr);
    return bytes;
}

bool pg_transaction::start_write() {
    if (in_transaction_) {
        (void)set_status(sql_code::error, "上一次的数据库操作还没有结束，不能开始新的保存");
        return false;
    }
    in_doubt_ = 0;
    witness_.reset();
    if (!settle_pending()) return false;
    forget_queue();
    return true;
}

sql_code pg_transaction::begin_register_write(std::string_view table) {
    if (!start_write()) return sql_code::error;
    in_transaction_ = true;
    begin_pending_ = true;
    register_write_ = true;
    locked_ = {register_key(table)};
    return set_status(sql_code::ok);
}

sql_code pg_transaction::lock_register(std::string_view table) {
    if (!in_transaction_ || !register_write_) return set_status(sql_code::ok);
    const std::int32_t key = register_key(table);
    if (std::find(locked_.begin(), locked_.end(), key) != locked_.end()) return set_status(sql_code::ok);
    locked_.push_back(key);
    queue_.push_back({k_lock_register, {value(std::int64_t{key})}, {}});
    return set_status(sql_code::ok);
}

sql_code pg_transaction::queue_write(std::string_view sql, std::span<const value> params,
                                     const write_check& check) {
    // Outside a register write (an import's rows, each in a savepoint of
    // its own) a statement is answered at once, as the caller expects.
    if (!in_transaction_ || !register_write_) return transaction::queue_write(sql, params, check);
    if (queue_failed_) return set_status(sql_code::error, *queue_failed_);
    queue_.push_back({std::string(sql), std::vector<value>(params.begin(), params.end()), check});
    set_nrows(0);
    return set_status(sql_code::ok);
}

void pg_transaction::forget_queue() {
    begin_pending_ = false;
    register_write_ = false;
    locked_.clear();
    queue_.clear();
    queue_failed_.reset();
}

sql_code pg_transaction::flush_queue() {
    if (queue_failed_) return set_status(sql_code::error, *queue_failed_);
    if (!begin_pending_ && queue_.empty()) return sql_code::ok;
    return send_queue(trip_end::none).code;
}

pg_transaction::trip_result pg_transaction::send_queue(trip_end end, std::string_view sql,
                                                       std::span<const value> params) {
    if (queue_failed_) return {set_status(sql_code::error, *queue_failed_), true, {}};
    // A trip that carries the BEGIN carries the whole write: should the
    // connection turn out dead, nothing was written and it is sent again
    // on a new one, as a BEGIN alone was.
    const bool whole_write = begin_pending_ && end != trip_end::commit;
    trip_result r = pipeline(end, sql, params);
    if (r.code != sql_code::ok && !r.refused && whole_write && PQstatus(conn_) != CONNECTION_OK) {
        lost_ = false;
        begin_pending_ = true;
        r = pipeline(end, sql, params);
    }
    queue_.clear();
    if (r.code != sql_code::ok && end != trip_end::commit) queue_failed_ = sqlerrtext();
    return r;
}

pg_transaction::trip_result pg_transaction::pipeline(trip_end end, std::string_view sql,
                                                     std::span<const value> params) {
    trip_result out;
    if (ready() != sql_code::ok) {
        out.code = sql_code::error;
        return out;
    }
    // Every statement is prepared before the pipeline opens: preparing
    // waits for the server's answer, which a pipeline does not allow. A
    // statement the server refuses to prepare fails the write here.
    const bool begins = begin_pending_;
    for (const queued& q : queue_) {
        if (!prepare(q.sql, q.params, nullptr)) {
            out.code = sql_code::error;
            out.refused = PQstatus(conn_) == CONNECTION_OK;
            if (!q.check.failed_prefix.empty())
                (void)set_status(sql_code::error, q.check.failed_prefix + sqlerrtext());
            return out;
        }
    }
    if (end == trip_end::select && !prepare(sql, params, nullptr)) {
        out.code = sql_code::error;
        out.refused = PQstatus(conn_) == CONNECTION_OK;
        return out;
    }
    if (PQenterPipelineMode(conn_) != 1) {
        out.code = fail_from(nullptr);
        return out;
    }
    // What each answer is for, in the order sent.
    enum class role { begin, locks, queued, select, commit };
    std::vector<std::pair<role, const queued*>> sent;
    bool sending = true;
    auto send_text = [&](const char* text, std::span<const value> values, role what) {
        if (!sending) return;
        const prepared* p = prepare(text, values, nullptr);
        sending = p && send(*p, values, nullptr, 0);
        if (sending) sent.emplace_back(what, nullptr);
    };
    if (begins) {
        sending = PQsendQueryParams(conn_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
        if (sending) sent.emplace_back(role::begin, nullptr);
        const value key(std::int64_t{locked_.front()});
        const std::string text = std::to_string(key.integer());
        const char* values[] = {text.c_str()};
        sending = sending && PQsendQueryParams(conn_, k_begin_register, 1, nullptr, values, nullptr, nullptr, 0) == 1;
        if (sending) sent.emplace_back(role::locks, nullptr);
    }
    for (const queued& q : queue_) {
        if (!sending) break;
        const prepared* p = prepare(q.sql, q.params, nullptr);
        sending = p && send(*p, q.params, nullptr, 0);
        if (sending) sent.emplace_back(role::queued, &q);
    }
    if (end == trip_end::select) {
        const std::string text(sql);
        send_text(text.c_str(), params, role::select);
    } else if (end == trip_end::commit && sending) {
        sending = PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
        if (sending) sent.emplace_back(role::commit, nullptr);
    }
    if (sending) sending = PQpipelineSync(conn_) == 1;
    begin_pending_ = false;

    // The answers, one result each and then a null, in the order sent.
    bool failed = false;
    std::string failure;
    for (const auto& [what, q] : sent) {
        PGresult* r = PQgetResult(conn_);
        if (!r) {
            // The connection went, or the answers are not the statements'
            // own: either way nothing read from here on may be trusted.
            if (!failed && PQstatus(conn_) == CONNECTION_OK) {
                failed = true;
                failure = "数据库服务器的回答与发出的语句对不上，本次保存没有写入";
            }
            break;
        }
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_FATAL_ERROR && !failed) {
            failed = true;
            // libpq reports a lost connection as an error result too.
            out.refused = PQstatus(conn_) == CONNECTION_OK;
            (void)fail_from(r);
            failure = (q && !q->check.failed_prefix.empty() ? q->check.failed_prefix : std::string()) + sqlerrtext();
        } else if ((st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_SINGLE_TUPLE) && !failed) {
            // libpq keeps the single-row mode of the last cursor's query for
            // the first statement of a pipeline: its row comes alone, and
            // the empty end of its result is read below with the rest.
            if (what == role::locks && PQntuples(r) == 1) {
                xact_ = std::atoll(PQgetvalue(r, 0, 2));
                life_ = PQgetvalue(r, 0, 3);
            } else if (what == role::queued && q->check.rows >= 0 &&
                       std::atoll(PQcmdTuples(r)) != q->check.rows) {
                // Another workstation changed or removed the row: the
                // statements after it ran, inside the write that is now
                // rolled back, never with a COMMIT.
                failed = true;
                out.refused = true;
                failure = q->check.otherwise;
            } else if (what == role::select) {
                if (PQntuples(r) >= 1 && PQnfields(r) >= 1) {
                    out.got = PQgetisnull(r, 0, 0) ? value() : value(std::string(PQgetvalue(r, 0, 0)));
                    // A number arrives as one, as the cursor gives it.
                    if (!out.got->is_null()) {
                        const std::string_view t = PQgetvalue(r, 0, 0);
                        std::int64_t n = 0;
                        if (t.find_first_not_of("-0123456789") == std::string_view::npos &&
                            std::from_chars(t.data(), t.data() + t.size(), n).ec == std::errc())
                            out.got = value(n);
                    }
                } else {
                    out.got = value();
                }
            }
        }
        PQclear(r);
        while (PGresult* rest = PQgetResult(conn_)) PQclear(rest);
    }
    // The pipeline's end, when the connection still stands.
    if (PQstatus(conn_) == CONNECTION_OK) {
        for (;;) {
            PGresult* r = PQgetResult(conn_);
            if (!r) {
                if (PQstatus(conn_) != CONNECTION_OK) break;
                continue;
            }
            const bool synced = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
            PQclear(r);
            if (synced) break;
        }
        (void)PQexitPipelineMode(conn_);
    }
    if (!failed && end == trip_end::select && !out.got && PQstatus(conn_) == CONNECTION_OK) {
        failed = true;
        failure = "数据库服务器没有回答查询，本次保存没有写入";
    }
    if (failed) {
        out.code = set_status(sql_code::error, failure);
        return out;
    }
    if (!sending || PQstatus(conn_) != CONNECTION_OK || sent.empty()) {
        out.code = fail_from(nullptr);
        return out;
    }
    out.code = set_status(sql_code::ok);
    return out;
}

sql_code pg_transaction::begin_write() {
    if (!start_write()) return sql_code::error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (ready() != sql_code::ok) return sql_code::error;
        PGresult* r = PQexec(conn_, k_begin);
        const bool began = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
        if (began) {
            xact_ = std::atoll(PQgetvalue(r, 0, 0));
            life_ = PQgetvalue(r, 0, 1);
            PQclear(r);
            in_transaction_ = true;
            return set_status(sql_code::ok);
        }
        (void)fail_from(r);
        PQclear(r);
        if (PQstatus(conn_) == CONNECTION_OK) {
            // The lock was not had in time: leave no half-open transaction.
            const std::string why = sqlerrtext();
            PQclear(PQexec(conn_, "ROLLBACK"));
            return set_status(sql_code::error, why);
        }
        // Nothing was written yet, so a broken connection is simply renewed.
    }
    return sql_code::error;
}

sql_code pg_transaction::commit() {
    in_doubt_ = 0;
    if (!in_transaction_) return set_status(sql_code::ok);
    auto failed_before = [&] {
        const std::string why = sqlerrtext();
        (void)rollback();
        return set_status(sql_code::error, why);
    };
    if (queue_failed_) {
        (void)set_status(sql_code::error, *queue_failed_);
        return failed_before();
    }
    if (begin_pending_ && queue_.empty()) {
        // Nothing was sent: there is nothing to commit.
        forget_queue();
        in_transaction_ = false;
        return set_status(sql_code::ok);
    }
    // The COMMIT goes with the held-back statements unless one's row count
    // is still to be checked, or the BEGIN is still to be sent: the
    // transaction's number must be known before a COMMIT is out, to ask
    // about it should the answer be lost.
    const bool along = !begin_pending_ && !queue_.empty() &&
                       std::none_of(queue_.begin(), queue_.end(), [](const queued& q) { return q.check.rows >= 0; });
    if (!along && flush_queue() != sql_code::ok) return failed_before();
    if (streaming_) streaming_->read_ahead();
    if (lost_ || PQstatus(conn_) != CONNECTION_OK) {
        lost_ = false;
        in_transaction_ = false;
        connection_lost();
        return set_status(sql_code::error, explained("08006", true, k_rolled_back_text));
    }
    if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
        // The server would answer COMMIT with a rollback: report it as the
        // failure it is, never as a save.
        const std::string why = sqlerrtext();
        PQclear(PQexec(conn_, "ROLLBACK"));
        in_transaction_ = false;
        return set_status(sql_code::error, "数据库操作失败：前面的语句已经失败，没有写入任何数据" +
                                               (why.empty() ? std::string() : "（" + why + "）"));
    }
    const doubt d{++doubts_, xact_, PQbackendPID(conn_), life_, std::exchange(witness_, std::nullopt)};
    bool refused = false;
    sql_code code = sql_code::ok;
    if (along) {
        const trip_result r = send_queue(trip_end::commit);
        code = r.code;
        refused = r.refused;
    } else {
        code = run_control("COMMIT");
    }
    in_transaction_ = false;
    lost_ = false;
    forget_queue();
    // An error the server answered with is a rollback (a statement before
    // the COMMIT failed, and the server skipped the rest); only a COMMIT
    // whose answer went with the connection may have been written.
    if (code == sql_code::ok) return code;
    if (refused || PQstatus(conn_) == CONNECTION_OK) {
        // The write the failed statement left open is ended; its text stays.
        if (along && PQstatus(conn_) == CONNECTION_OK) {
            const std::string why = sqlerrtext();
            PQclear(PQexec(conn_, "ROLLBACK"));
            return set_status(sql_code::error, why);
        }
        return code;
    }
    const std::string why = sqlerrtext();
    switch (ask_outcome(d)) {
        case commit_outcome::committed:
            return set_status(sql_code::ok);
        case commit_outcome::rolled_back:
            return set_status(sql_code::error, explained("08006", true, k_rolled_back_text));
        case commit_outcome::unknown:
            break;
    }
    pending_.push_back(d);
    in_doubt_ = d.number;
    return set_status(sql_code::error, std::string(k_in_doubt_text) + "：" + why);
}

commit_outcome pg_transaction::ask_outcome(const doubt& d) {
    const std::string xact = std::to_string(d.xact);
    // pg_stat_activity shows the number without its epoch.
    const std::string xid = std::to_string(static_cast<std::uint64_t>(d.xact) & 0xffffffffu);
    const std::string backend = std::to_string(d.backend);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.busy_timeout_ms);
    bool ended = false;
    for (bool retried = false;;) {
        if (streaming_) streaming_->read_ahead();
        // Inside a transaction a new connection would lose it: not asked then.
        if (PQstatus(conn_) != CONNECTION_OK && (in_transaction_ || !reconnect()))
            return commit_outcome::unknown;
        const char* values[] = {xact.c_str()};
        PGresult* r = PQexecParams(conn_, k_ask, 1, nullptr, values, nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1) {
            const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
            // A number the server has not handed out since it started again:
            // the transaction was lost with the server and never committed.
            const bool unheard_of = state && std::string_view(state) == "22023";
            PQclear(r);
            if (unheard_of) return commit_outcome::rolled_back;
            // A connection that looked alive but was not is made once more.
            if (PQstatus(conn_) == CONNECTION_OK || retried) return commit_outcome::unknown;
            retried = true;
            continue;
        }
        // Null: the server no longer keeps the status of a number this old.
        const std::string status = PQgetisnull(r, 0, 0) ? "" : PQgetvalue(r, 0, 0);
        const bool same_life = d.life == PQgetvalue(r, 0, 1);
        PQclear(r);
        // Committed before a crash, a transaction's number is on disk and
        // never handed out again; lost in one, it may have gone to another
        // transaction, whose commit would answer for it: the witness row
        // tells then. Any other answer holds whatever happened meanwhile.
        if (status == "committed") return same_life ? commit_outcome::committed : witnessed(d);
        if (status == "aborted") return commit_outcome::rolled_back;
        if (status != "in progress") return commit_outcome::unknown;
        // The server has not noticed yet that the old connection went, and
        // would keep the transaction (and the write lock) until it does. It
        // is ours to end, and only while it is still that transaction: after
        // a restart the number and the process may be another's.
        if (!ended && same_life) {
            ended = true;
            const char* which[] = {backend.c_str(), xid.c_str()};
            PQclear(PQexecParams(conn_,
                                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                 "WHERE pid = $1::integer AND backend_xid = $2::xid",
                                 2, nullptr, which, nullptr, nullptr, 0));
        }
        if (std::chrono::steady_clock::now() >= deadline) return commit_outcome::unknown;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

commit_outcome pg_transaction::witnessed(const doubt& d) {
    if (!d.written) return commit_outcome::unknown;
    const auto row = select_value(d.written->sql, d.written->params);
    if (row) return commit_outcome::committed;
    return sqlcode() == 100 ? commit_outcome::rolled_back : commit_outcome::unknown;
}

void pg_transaction::witness_commit(std::string sql, std::vector<value> params) {
    witness_ = witness{std::move(sql), std::move(params)};
}

bool pg_transaction::settle_pending() {
    if (pending_.empty()) return true;
    // A server that cannot be reached now is not tried twice in a row.
    if (PQstatus(conn_) != CONNECTION_OK && !reconnect()) return false;
    for (auto it = pending_.begin(); it != pending_.end();) {
        const commit_outcome o = ask_outcome(*it);
        if (o == commit_outcome::unknown) {
            ++it;
            continue;
        }
        settled_[it->number] = o;
        if (in_doubt_ == it->number) in_doubt_ = 0;
        it = pending_.erase(it);
    }
    return true;
}

commit_outcome pg_transaction::resolve_commit(std::uint64_t number) {
    if (auto s = settled_.find(number); s != settled_.end()) {
        const commit_outcome o = s->second;
        settled_.erase(s);
        return o;
    }
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const doubt& d) { return d.number == number; });
    if (it == pending_.end()) return commit_outcome::committed;
    const commit_outcome o = ask_outcome(*it);
    if (o != commit_outcome::unknown) {
        if (in_doubt_ == number) in_doubt_ = 0;
        pending_.erase(it);
    }
    return o;
}

sql_code pg_transaction::rollback() {
    if (!in_transaction_) return set_status(sql_code::ok);
    const bool sent = !begin_pending_;
    forget_queue();
    if (!sent) {
        // The server never heard of this write.
        in_transaction_ = false;
        return set_status(sql_code::ok);
    }
    // A date passed on inside the transaction is undone with it.
    today_sent_.clear();
    if (streaming_) streaming_->read_ahead();
    in_transaction_ = false;
    if (lost_ || PQstatus(conn_) != CONNECTION_OK) {
        // The server ended the transaction when the connection went.
        lost_ = false;
        connection_lost();
        return set_status(sql_code::ok);
    }
    const sql_code code = run_control("ROLLBACK");
    if (PQstatus(conn_) != CONNECTION_OK) return set_status(sql_code::ok);
    return code;
}

}  // namespace officerecords
