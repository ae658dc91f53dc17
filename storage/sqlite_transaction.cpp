#include "storage/sqlite_transaction.h"

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "storage/file_access.h"

namespace officerecords {

namespace {

constexpr std::size_t k_statement_cache_size = 64;

// What a result code means to the clerk. The one place sqlite3's codes
// become words: each cause its own sentence, the database's text after it.
std::string explained(int rc, const std::string& detail) {
    const char* what = nullptr;
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            what = "数据库正被其他工作站使用（已锁定），请稍后再试";
            break;
        case SQLITE_FULL:
            what = "磁盘空间已满，数据没有写入，请清理磁盘后再试";
            break;
        case SQLITE_READONLY:
            what = "数据库文件或所在的文件夹是只读的，不能写入";
            break;
        case SQLITE_CORRUPT:
            what = "数据库文件已损坏";
            break;
        case SQLITE_NOTADB:
            what = "这不是数据库文件";
            break;
        case SQLITE_IOERR:
            what = "读写数据库文件时出错";
            break;
        case SQLITE_CANTOPEN:
            what = "无法打开数据库文件";
            break;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            what = "没有访问数据库文件的权限";
            break;
        case SQLITE_CONSTRAINT:
            what = "数据不符合数据库的约束";
            break;
        case SQLITE_TOOBIG:
            what = "数据太大，数据库不能保存";
            break;
        case SQLITE_NOMEM:
            what = "内存不足";
            break;
        default:
            what = "数据库操作失败";
            break;
    }
    return std::string(what) + "：" + detail;
}

// The fraction digits of a declared type such as "NUMERIC(18,2)"; -1 for
// anything else.
int declared_scale(const char* decltype_text) {
    if (!decltype_text) return -1;
    const std::string_view t(decltype_text);
    const std::size_t open = t.find('(');
    const std::string_view name = t.substr(0, open);
    if (!iequals(name.substr(0, 7), "numeric") && !iequals(name.substr(0, 7), "decimal")) return -1;
    const std::size_t comma = t.find(',', open);
    if (open == std::string_view::npos || comma == std::string_view::npos) return 0;
    int scale = -1;
    const std::string_view digits = t.substr(comma + 1);
    std::from_chars(digits.data(), digits.data() + digits.size(), scale);
    return scale;
}

bool is_word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || u >= 0x80;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Position just past the quoted part that opens at `pos` ('…', "…", `…`
// or […]); a doubled quote inside simply reads as two adjacent quotes.
std::size_t skip_quoted(std::string_view sql, std::size_t pos) {
    const char close = sql[pos] == '[' ? ']' : sql[pos];
    const std::size_t end = sql.find(close, pos + 1);
    return end == std::string_view::npos ? sql.size() : end + 1;
}

// Position just past the comment that opens at `pos`, or `pos` if none does.
std::size_t skip_comment(std::string_view sql, std::size_t pos) {
    if (sql.compare(pos, 2, "--") == 0) {
        const std::size_t end = sql.find('\n', pos);
        return end == std::string_view::npos ? sql.size() : end + 1;
    }
    if (sql.compare(pos, 2, "/*") == 0) {
        const std::size_t end = sql.find("*/", pos + 2);
        return end == std::string_view::npos ? sql.size() : end + 2;
    }
    return pos;
}

// Skips white space, comments and, when asked, the ";" between statements.
std::size_t skip_blank(std::string_view sql, std::size_t pos, bool semicolons) {
    while (pos < sql.size()) {
        if (is_space(sql[pos]) || (semicolons && sql[pos] == ';')) {
            ++pos;
            continue;
        }
        const std::size_t next = skip_comment(sql, pos);
        if (next == pos) break;
        pos = next;
    }
    return pos;
}

// SQLite parses ISNULL as the postfix operator ("x ISNULL"), so the
// statements' isnull(a, b) would be syntax errors; ifnull is the same
// function under a name the parser accepts.
std::string rewrite_isnull(std::string_view sql) {
    std::string out(sql);
    // Most statements never call it; they are passed on without a scan.
    bool mentioned = false;
    for (std::size_t k = 0; k + 6 <= out.size() && !mentioned; ++k)
        mentioned = (out[k] | 0x20) == 'i' && iequals(std::string_view(out).substr(k, 6), "isnull");
    if (!mentioned) return out;
    std::size_t i = 0;
    while (i < out.size()) {
        const char c = out[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            i = skip_quoted(out, i);
        } else if (const std::size_t next = skip_comment(out, i); next != i) {
            i = next;
        } else if (is_word_char(c)) {
            const std::size_t start = i;
            while (i < out.size() && is_word_char(out[i])) ++i;
            if (i - start == 6 && iequals(std::string_view(out).substr(start, 6), "isnull")) {
                std::size_t j = i;
                while (j < out.size() && is_space(out[j])) ++j;
                if (j < out.size() && out[j] == '(') out.replace(start, 6, "ifnull");
            }
        } else {
            ++i;
        }
    }
    return out;
}

// Statements that manage the transaction themselves must not open the lazy
// one first; PRAGMA and VACUUM are no-ops or errors inside a transaction.
bool controls_transaction(std::string_view sql) {
    std::size_t pos = skip_blank(sql, 0, false);
    const std::size_t start = pos;
    while (pos < sql.size() && is_word_char(sql[pos])) ++pos;
    const std::string_view word = sql.substr(start, pos - start);
    for (const char* keyword :
         {"BEGIN", "COMMIT", "ROLLBACK", "END", "SAVEPOINT", "RELEASE", "PRAGMA", "VACUUM"}) {
        if (iequals(word, keyword)) return true;
    }
    return false;
}

// ---- SQL functions ----------------------------------------------------------

void result_text(sqlite3_context* ctx, const std::string& text) {
    sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

std::optional<date> date_argument(sqlite3_value* arg) {
    if (sqlite3_value_type(arg) == SQLITE_NULL) return std::nullopt;
    const unsigned char* text = sqlite3_value_text(arg);
    if (!text) return std::nullopt;
    return date::parse(std::string_view(reinterpret_cast<const char*>(text),
                                        static_cast<std::size_t>(sqlite3_value_bytes(arg))));
}

void sql_today(sqlite3_context* ctx, int, sqlite3_value**) {
    const auto* clock = static_cast<const clock_source*>(sqlite3_user_data(ctx));
    result_text(ctx, clock->today().iso());
}

void sql_year(sqlite3_context* ctx, int, sqlite3_value** args) {
    const std::optional<date> d = date_argument(args[0]);
    if (d) {
        sqlite3_result_int(ctx, d->year());
    } else {
        sqlite3_result_null(ctx);
    }
}

// Whole years between birth and the given day: one less while that year's
// birthday is still to come.
void sql_personage(sqlite3_context* ctx, int, sqlite3_value** args) {
    const std::optional<date> today = date_argument(args[0]);
    const std::optional<date> birth = date_argument(args[1]);
    if (!today || !birth) {
        sqlite3_result_null(ctx);
        return;
    }
    int age = today->year() - birth->year();
    if (today->month() < birth->month() ||
        (today->month() == birth->month() && today->day() < birth->day())) {
        --age;
    }
    sqlite3_result_int(ctx, age);
}

int register_functions(sqlite3* db, const clock_source& clock) {
    constexpr int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    // today() changes at midnight and with the clock, so it is not
    // deterministic: SQLite must not fold it into an index or a constant.
    int rc = sqlite3_create_function_v2(db, "today", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                                        const_cast<clock_source*>(&clock), sql_today, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "year", 1, pure, nullptr, sql_year, nullptr, nullptr,
                                        nullptr);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "f_getpersonage", 2, pure, nullptr, sql_personage,
                                        nullptr, nullptr, nullptr);
    }
    return rc;
}

}  // namespace

// ---- statements -------------------------------------------------------------

struct sqlite_transaction::cached_statement {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    bool in_use = false;  // lent to a running call or a live cursor
    std::uint64_t last_used = 0;
};

// A statement lent out; `slot` is null for one prepared for this use alone,
// which release() finalizes.
struct sqlite_transaction::lease {
    sqlite3_stmt* stmt = nullptr;
    cached_statement* slot = nullptr;
};

sqlite_transaction::lease sqlite_transaction::prepare(const std::string& sql) {
    const auto found = std::find_if(cache_.begin(), cache_.end(),
                                    [&](const auto& entry) { return entry->sql == sql; });
    if (found != cache_.end() && !(*found)->in_use) {
        (*found)->in_use = true;
        (*found)->last_used = ++uses_;
        return {(*found)->stmt, found->get()};
    }
    // A statement held by a live cursor cannot serve a second caller, who
    // gets a private copy instead.
    const bool keep = found == cache_.end();

    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                      keep ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, &tail);
    if (rc != SQLITE_OK) {
        (void)from_sqlite(rc);
        return {};
    }
    if (!stmt) {
        (void)set_status(sql_code::error, "the statement is empty");
        return {};
    }
    const std::size_t rest = skip_blank(sql, static_cast<std::size_t>(tail - sql.data()), true);
    if (rest != sql.size()) {
        sqlite3_finalize(stmt);
        (void)set_status(sql_code::error,
                   "only one statement can run at a time; the text continues after it: " +
                       sql.substr(rest));
        return {};
    }
    if (!keep) return {stmt, nullptr};

    cached_statement* slot = nullptr;
    if (cache_.size() < k_statement_cache_size) {
        cache_.push_back(std::make_unique<cached_statement>());
        slot = cache_.back().get();
    } else {
        for (const auto& entry : cache_) {
            if (!entry->in_use && (!slot || entry->last_used < slot->last_used)) {
                slot = entry.get();
            }
        }
        if (!slot) return {stmt, nullptr};  // every cached statement is busy
        sqlite3_finalize(slot->stmt);
    }
    slot->sql = sql;
    slot->stmt = stmt;
    slot->in_use = true;
    slot->last_used = ++uses_;
    return {stmt, slot};
}

void sqlite_transaction::release(lease& statement) {
    if (!statement.stmt) return;
    // The reset ends the statement's read, so no lock outlives the call.
    sqlite3_reset(statement.stmt);
    sqlite3_clear_bindings(statement.stmt);
    if (statement.slot) {
        statement.slot->in_use = false;
    } else {
        sqlite3_finalize(statement.stmt);
    }
    statement = {};
}

// Binds `leading` (when given) as the first placeholder and `params` after
// it. Blobs are bound without a copy unless `copy_blobs`: a statement run
// and reset within the call never holds them past it, while a cursor does.
sql_code sqlite_transaction::bind(sqlite3_stmt* stmt, std::span<const value> params,
                                  const blob* leading, bool copy_blobs) {
    const int first = leading ? 2 : 1;
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != static_cast<int>(params.size()) + first - 1) {
        return set_status(sql_code::error,
                          "the statement has " + std::to_string(expected) + " placeholders but " +
                              std::to_string(params.size() + static_cast<std::size_t>(first - 1)) +
                              " values were given");
    }
    const auto blob_lifetime = copy_blobs ? SQLITE_TRANSIENT : SQLITE_STATIC;
    auto bind_bytes = [&](int i, const blob& bytes) {
        // bind_blob with no data would store NULL, not an empty blob.
        return bytes.empty() ? sqlite3_bind_zeroblob(stmt, i, 0)
                             : sqlite3_bind_blob64(stmt, i, bytes.data(), bytes.size(), blob_lifetime);
    };
    if (leading) {
        if (const int rc = bind_bytes(1, *leading); rc != SQLITE_OK) return from_sqlite(rc);
    }
    for (int i = first; i <= expected; ++i) {
        const value& v = params[static_cast<std::size_t>(i - first)];
        int rc = SQLITE_OK;
        if (v.is_null()) {
            rc = sqlite3_bind_null(stmt, i);
        } else if (v.is_text()) {
            rc = sqlite3_bind_text64(stmt, i, v.text().data(), v.text().size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
        } else if (v.is_integer()) {
            rc = sqlite3_bind_int64(stmt, i, v.integer());
        } else if (v.is_double()) {
            rc = sqlite3_bind_double(stmt, i, v.real());
        } else if (v.is_decimal()) {
            // An amount is stored as a number, so that any reader of the file
            // compares, sorts and adds it as one: a whole amount as an
            // integer, any other as the double nearest its digits, which
            // reads back as the same digits within the column's 15.
            const decimal d = v.dec();
            if (d.rescaled(0) == d) {
                rc = sqlite3_bind_int64(stmt, i, d.rescaled(0).units());
            } else {
                rc = sqlite3_bind_double(stmt, i, d.to_double());
            }
        } else if (v.is_date()) {
            const std::string iso = v.day().iso();
            rc =
                sqlite3_bind_text64(stmt, i, iso.data(), iso.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else {
            rc = bind_bytes(i, v.bytes());
        }
        if (rc != SQLITE_OK) return from_sqlite(rc);
    }
    return set_status(sql_code::ok);
}

// The first write opens the transaction, and opens it IMMEDIATE: the write
// lock is taken (or waited for) now, never half-way through a save.
sql_code sqlite_transaction::begin_if_write(sqlite3_stmt* stmt, std::string_view sql) {
    if (sqlite3_stmt_readonly(stmt) || !sqlite3_get_autocommit(db_) || controls_transaction(sql)) {
        return set_status(sql_code::ok);
    }
    return begin_immediate();
}

// A restore copies a backup over the database in place and moves the
// schema cookie on, while every other workstation stays connected. Their
// windows still hold what they read before it, so each connection's first
// save after a restore is refused; read here, under the write lock, no
// restore can come between this look and the commit. Another connection's
// CREATE or DROP moves the cookie too, but changes the schema's text: that
// save goes on.
sql_code sqlite_transaction::begin_immediate() {
    if (run_control("BEGIN IMMEDIATE") != sql_code::ok) return sql_code::error;
    const int cookie = schema_cookie();
    if (cookie >= 0 && cookie == schema_cookie_) return set_status(sql_code::ok);
    const std::optional<std::size_t> digest = cookie >= 0 ? schema_digest() : std::nullopt;
    if (!digest) {
        rollback_keeping_error();
        return sql_code::error;
    }
    const bool restored = *digest == schema_digest_;
    schema_cookie_ = cookie;
    schema_digest_ = *digest;
    if (!restored) return set_status(sql_code::ok);
    (void)run_control("ROLLBACK");
    return set_status(sql_code::error, k_restored_under_save);
}

int sqlite_transaction::schema_cookie() {
    lease statement = prepare("PRAGMA schema_version");
    if (!statement.stmt) return -1;
    const int rc = sqlite3_step(statement.stmt);
    const int cookie = rc == SQLITE_ROW ? sqlite3_column_int(statement.stmt, 0) : -1;
    if (rc != SQLITE_ROW) (void)from_sqlite(rc);
    release(statement);
    return cookie;
}

std::optional<std::size_t> sqlite_transaction::schema_digest() {
    lease statement = prepare("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
    if (!statement.stmt) return std::nullopt;
    std::string text;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement.stmt)) == SQLITE_ROW) {
        for (int i = 0; i < 4; ++i) {
            const unsigned char* item = sqlite3_column_text(statement.stmt, i);
            if (item) text += reinterpret_cast<const char*>(item);
            text += '\x1f';
        }
        text += '\x1e';
    }
    if (rc != SQLITE_DONE) (void)from_sqlite(rc);
    release(statement);
    if (rc != SQLITE_DONE) return std::nullopt;
    return std::hash<std::string>{}(text);
}

bool sqlite_transaction::remember_schema() {
    const int cookie = schema_cookie();
    if (cookie < 0) return false;
    if (cookie == schema_cookie_) return true;
    const std::optional<std::size_t> digest = schema_digest();
    if (!digest) return false;
    schema_cookie_ = cookie;
    schema_digest_ = *digest;
    return true;
}

sql_code sqlite_transaction::run_control(const char* sql) {
    return from_sqlite(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

sql_code sqlite_transaction::from_sqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return set_status(sql_code::ok);
        default:
            break;
    }
    const std::string detail =
        sqlite3_errcode(db_) != SQLITE_OK ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    return set_status(sql_code::error, explained(rc, detail));
}

// ---- cursor -----------------------------------------------------------------

class sqlite_cursor final : public cursor {
public:
    sqlite_cursor(sqlite_transaction& owner, sqlite_transaction::lease statement)
        : owner_(&owner),
          statement_(statement),
          count_(statement.stmt ? sqlite3_column_count(statement.stmt) : 0),
          items_(static_cast<std::size_t>(count_), nullptr) {
        owner_->live_cursors_.push_back(this);
    }
    ~sqlite_cursor() override {
        if (!owner_) return;
        auto& live = owner_->live_cursors_;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        owner_->release(statement_);
    }
    sqlite_cursor(const sqlite_cursor&) = delete;
    sqlite_cursor& operator=(const sqlite_cursor&) = delete;

    // The connection is closing: give the statement back while it can be.
    void detach() {
        owner_->release(statement_);
        owner_ = nullptr;
        has_row_ = false;
    }

    bool fetch() override {
        if (!owner_) return false;
        if (done_) {
            (void)owner_->set_status(sql_code::not_found);
            return false;
        }
        const int rc = sqlite3_step(statement_.stmt);
        std::fill(items_.begin(), items_.end(), nullptr);
        if (rc == SQLITE_ROW) {
            has_row_ = true;
            (void)owner_->set_status(sql_code::ok);
            return true;
        }
        has_row_ = false;
        done_ = true;
        if (rc == SQLITE_DONE) {
            (void)owner_->set_status(sql_code::not_found);
        } else {
            (void)owner_->from_sqlite(rc);
        }
        return false;
    }

    int column_count() const override { return statement_.stmt ? count_ : 0; }
    std::string column_name(int i) const override {
        if (i < 0 || i >= column_count()) return {};
        const char* name = sqlite3_column_name(statement_.stmt, i);
        return name ? name : "";
    }
    db_type column_type(int i) const override {
        sqlite3_value* v = item(i);
        if (!v) return db_type::null;
        switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER:
                return db_type::integer;
            case SQLITE_FLOAT:
                return db_type::real;
            case SQLITE_TEXT:
                return db_type::text;
            case SQLITE_BLOB:
                return db_type::blob;
            default:
                return db_type::null;
        }
    }
    std::int64_t column_integer(int i) const override {
        sqlite3_value* v = item(i);
        return v ? sqlite3_value_int64(v) : 0;
    }
    double column_real(int i) const override {
        sqlite3_value* v = item(i);
        return v ? sqlite3_value_double(v) : 0.0;
    }
    std::string_view column_text(int i) const override {
        sqlite3_value* v = item(i);
        const unsigned char* text = v ? sqlite3_value_text(v) : nullptr;
        if (!text) return {};
        return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_value_bytes(v))};
    }
    int column_scale(int i) const override {
        if (!statement_.stmt || i < 0 || i >= column_count()) return -1;
        return declared_scale(sqlite3_column_decltype(statement_.stmt, i));
    }
    blob column_blob(int i) const override {
        if (column_type(i) != db_type::blob) return {};
        const auto* data = static_cast<const unsigned char*>(sqlite3_value_blob(item(i)));
        const auto size = static_cast<std::size_t>(sqlite3_value_bytes(item(i)));
        return data ? blob(data, data + size) : blob{};
    }

private:
    // The row's item, looked up once: a data window asks each column for
    // its type and then its value, and every sqlite3_column_* call finds
    // the column anew. The connection is used by one thread only, so the
    // unprotected value may be read directly; it lives until the next step.
    sqlite3_value* item(int i) const {
        if (!has_row_ || !statement_.stmt || i < 0 || i >= count_) return nullptr;
        sqlite3_value*& v = items_[static_cast<std::size_t>(i)];
        if (!v) v = sqlite3_column_value(statement_.stmt, i);
        return v;
    }

    sqlite_transaction* owner_;
    sqlite_transaction::lease statement_;
    int count_;
    mutable std::vector<sqlite3_value*> items_;
    bool has_row_ = false;
    bool done_ = false;
};

// ---- transaction ------------------------------------------------------------

namespace {

namespace fs = std::filesystem;

// SQLite takes names as UTF-8; read them the same way here, or a Chinese
// folder name would be looked up in the wrong code page.
fs::path utf8_path(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

// Everything that can be told about an existing file without opening it.
// Nothing here opens a descriptor of the file: closing any descriptor of a
// database drops every POSIX lock this process holds on it, and another
// program then takes the file for unused and removes its log under us.
status check_existing_file(const std::string& path) {
    std::error_code ec;
    const fs::path p = utf8_path(path);
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st)) return status::error("找不到数据库文件：" + path);
    if (fs::is_directory(st)) return status::error("这是一个文件夹，不是数据库文件：" + path);
    if (access(path.c_str(), R_OK) != 0) return status::error("没有读取数据库文件的权限：" + path);
    return status::ok();
}

// Whether the file SQLite opened begins as a database does. Read through
// SQLite's own descriptor: an empty file or a document must be refused
// before a query would take it for an empty database.
bool has_database_header(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    char header[16] = {};
    // A short read fills the rest with zeros: an empty file reads as none.
    const int rc = file->pMethods->xRead(file, header, sizeof header, 0);
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return false;
    return std::memcmp(header, "SQLite format 3", sizeof header) == 0;
}

// What keeps an existing database from taking saves, checked without
// touching the file: the file or its folder (where the log goes) read-only.
status check_writable(const std::string& path) {
    if (access(path.c_str(), W_OK) != 0)
        return status::error("数据库文件是只读的，不能保存记录：" + path);
    const fs::path p = utf8_path(path);
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    if (access(folder.c_str(), W_OK) != 0)
        return status::error("数据库所在的文件夹不能写入，不能保存记录：" + folder.string());
    return status::ok();
}

// A number SQLite keeps in the file's header (its application id, its
// user version); 0 when it cannot be read.
int header_number(sqlite3* db, const char* pragma) {
    sqlite3_stmt* stmt = nullptr;
    int n = 0;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

// Whether the database has the table; -1 with the result code when it
// cannot even be asked (damaged, locked).
int has_table(sqlite3* db, const std::string& table) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)", -1,
        &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    const int found = rc == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    const int code = rc == SQLITE_ROW ? SQLITE_OK : rc;
    sqlite3_finalize(stmt);
    return found >= 0 ? found : -(code == SQLITE_OK ? SQLITE_ERROR : code);
}

}  // namespace

result<std::unique_ptr<sqlite_transaction>> sqlite_transaction::open(const std::string& path,
                                                                     open_mode mode,
                                                                     const clock_source& clock,
                                                                     const sqlite_options& options) {
    if (mode == open_mode::existing) {
        if (status st = check_existing_file(path); !st) return st;
    } else {
        std::error_code ec;
        if (fs::exists(utf8_path(path), ec)) return status::error("文件已经存在，不会覆盖它：" + path);
    }
    // Without CREATE a mistyped path fails instead of leaving an empty
    // database behind that the next start would take for the real one.
    // Each connection is used by one thread only, so SQLite's own mutex is
    // pure cost.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
                      (mode == open_mode::create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    std::unique_ptr<sqlite_transaction> t(new sqlite_transaction(db, path));
    if (rc == SQLITE_OK) {
        note_database_opened(path);
        t->noted_ = true;
    }
    if (rc != SQLITE_OK)
        return status::error(explained(rc, path + "：" + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
    // Set before the first read, so that a workstation starting while
    // another one writes waits for it instead of failing.
    t->wait_for_locks(options.busy_timeout_ms);
    // Opening reads nothing; the first query is what finds a damaged or
    // locked file. Nothing is written before the file is known to be ours.
    if (mode == open_mode::existing) {
        if (!has_database_header(db))
            return status::error("这不是数据库文件（文件是空的，或者内容不是数据库）：" + path);
        if (status st = check_writable(path); !st) return st;
        const std::string table = options.required_table.empty() ? "sqlite_master" : options.required_table;
        const int found = has_table(db, table);
        if (found < 0) return status::error(explained(-found, path + "：" + sqlite3_errmsg(db)));
        if (found == 0 && !options.required_table.empty())
            return status::error("这不是" + options.required_what + "（其中没有表 " + table + "）：" + path);
    }
    if (sqlite3_db_readonly(db, "main") == 1)
        return status::error("数据库文件是只读的，不能保存记录：" + path);
    if (mode == open_mode::existing && options.newest_version >= 0) {
        // Read from the header before the log mode below writes to it.
        const int id = header_number(db, "PRAGMA application_id");
        const int version = header_number(db, "PRAGMA user_version");
        if (id != 0 && id != options.application_id)
            return status::error("这不是" + options.required_what + "（文件的应用程序标识不符）：" + path);
        if (version > options.newest_version)
            return status::error(options.newer_message ? options.newer_message(version, path)
                                                       : "数据库的版本太新，本程序不能打开：" + path);
    }
    // FULL syncs the log at every commit, not only at checkpoints: a save
    // the clerk was told is done survives a power cut, for about 0.1 ms.
    const char* settings =
        "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL";
    if (const int set = sqlite3_exec(db, settings, nullptr, nullptr, nullptr); set != SQLITE_OK)
        return status::error(explained(set, path + "：" + sqlite3_errmsg(db)));
    if (const int fn = register_functions(db, clock); fn != SQLITE_OK)
        return status::error(explained(fn, path + "：" + sqlite3_errmsg(db)));
    if (!t->remember_schema()) return status::error(path + "：" + t->sqlerrtext());
    return t;
}

sqlite_transaction::sqlite_transaction(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

sqlite_transaction::~sqlite_transaction() {
    for (sqlite_cursor* c : live_cursors_) c->detach();
    live_cursors_.clear();
    for (const auto& entry : cache_) sqlite3_finalize(entry->stmt);
    cache_.clear();
    sqlite3_close_v2(db_);
    if (noted_) note_database_closed(path_);
}

sql_code sqlite_transaction::execute(std::string_view sql, std::span<const value> params) {
    return run(sql, params, nullptr);
}

sql_code sqlite_transaction::update_blob(std::string_view sql, const blob& bytes,
                                         std::span<const value> params) {
    return run(sql, params, &bytes);
}

sql_code sqlite_transaction::run(std::string_view sql, std::span<const value> params,
                                 const blob* leading) {
    const std::string text = rewrite_isnull(sql);
    lease statement = prepare(text);
    if (!statement.stmt) return sql_code::error;
    set_nrows(0);
    sql_code code = bind(statement.stmt, params, leading, false);
    if (code == sql_code::ok) code = begin_if_write(statement.stmt, text);
    if (code == sql_code::ok) {
        const sqlite3_int64 before = sqlite3_total_changes64(db_);
        int rc = SQLITE_ROW;
        while (rc == SQLITE_ROW) rc = sqlite3_step(statement.stmt);
        code = from_sqlite(rc);
        // sqlite3_changes still holds the last INSERT/UPDATE/DELETE's count
        // after a CREATE or a SELECT; only a statement that changed rows
        // moves the total.
        if (code == sql_code::ok && sqlite3_total_changes64(db_) != before) {
            set_nrows(sqlite3_changes64(db_));
        }
    }
    release(statement);
    // A VACUUM (or a COMMIT of its own BEGIN) moves the cookie on without a
    // change of the schema's text: no news to this connection.
    if (code == sql_code::ok && sqlite3_get_autocommit(db_) && controls_transaction(text) && !remember_schema())
        return sql_code::error;
    return code;
}

std::unique_ptr<cursor> sqlite_transaction::open_cursor(std::string_view sql,
                                                        std::span<const value> params) {
    const std::string text = rewrite_isnull(sql);
    lease statement = prepare(text);
    if (!statement.stmt) return nullptr;
    sql_code code = bind(statement.stmt, params);
    if (code == sql_code::ok) code = begin_if_write(statement.stmt, text);
    if (code != sql_code::ok) {
        release(statement);
        return nullptr;
    }
    return std::make_unique<sqlite_cursor>(*this, statement);
}

std::optional<blob> sqlite_transaction::select_blob(std::string_view sql,
                                                    std::span<const value> params) {
    const std::string text = rewrite_isnull(sql);
    lease statement = prepare(text);
    if (!statement.stmt) return std::nullopt;
    std::optional<blob> bytes;
    sql_code code = bind(statement.stmt, params, nullptr, false);
    if (code == sql_code::ok) code = begin_if_write(statement.stmt, text);
    if (code == sql_code::ok) {
        const int rc = sqlite3_step(statement.stmt);
        if (rc == SQLITE_ROW) {
            const auto* data =
                static_cast<const unsigned char*>(sqlite3_column_blob(statement.stmt, 0));
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement.stmt, 0));
            bytes = data ? blob(data, data + size) : blob{};
            (void)set_status(sql_code::ok);
        } else if (rc == SQLITE_DONE) {
            (void)set_status(sql_code::not_found);
        } else {
            (void)from_sqlite(rc);
        }
    }
    release(statement);
    return bytes;
}

sql_code sqlite_transaction::begin_write() {
    // Joining would make this unit's commit also commit statements of one
    // that has not finished, or one that failed and was never rolled back.
    if (!sqlite3_get_autocommit(db_))
        return set_status(sql_code::error, "上一次的数据库操作还没有结束，不能开始新的保存");
    return begin_immediate();
}

sql_code sqlite_transaction::commit() {
    if (sqlite3_get_autocommit(db_)) return set_status(sql_code::ok);
    // This connection's own change of the schema is no news to it: the
    // cookie it leaves is read before the lock is let go.
    const int cookie = schema_cookie();
    const std::optional<std::size_t> digest =
        cookie >= 0 && cookie != schema_cookie_ ? schema_digest() : std::nullopt;
    if (run_control("COMMIT") != sql_code::ok) return sql_code::error;
    if (digest) {
        schema_cookie_ = cookie;
        schema_digest_ = *digest;
    }
    return sql_code::ok;
}

sql_code sqlite_transaction::rollback() {
    if (sqlite3_get_autocommit(db_)) return set_status(sql_code::ok);
    return run_control("ROLLBACK");
}

bool sqlite_transaction::in_transaction() const { return sqlite3_get_autocommit(db_) == 0; }

sql_code sqlite_transaction::execute_script(const std::string& sql) {
    if (run_control(rewrite_isnull(sql).c_str()) != sql_code::ok) return sql_code::error;
    // A schema script's own tables are no news to this connection either.
    if (sqlite3_get_autocommit(db_) && !remember_schema()) return sql_code::error;
    return set_status(sql_code::ok);
}

void sqlite_transaction::set_busy_timeout_ms(int ms) { wait_for_locks(ms); }

void sqlite_transaction::wait_for_locks(int timeout_ms) {
    busy_timeout_ms_ = std::max(0, timeout_ms);
    sqlite3_busy_handler(db_, &sqlite_transaction::wait_for_lock, this);
}

// SQLite's own timeout sleeps ever longer between tries, 100 ms at a time
// after the first few: among many workstations saving at once, one that
// sleeps that long keeps losing the lock to those that came after it, and
// is refused at the timeout although the lock was free most of the time.
// Short sleeps, a little random so that waiters do not try in step, give
// each one its turn.
int sqlite_transaction::wait_for_lock(void* self, int tries) {
    auto* t = static_cast<sqlite_transaction*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (tries == 0) t->waiting_since_ = now;
    if (now - t->waiting_since_ >= std::chrono::milliseconds(t->busy_timeout_ms_)) return 0;
    thread_local std::minstd_rand jitter(static_cast<unsigned>(::getpid()) ^
                                         static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(self)));
    // 0.2 to 1 ms at first, up to 2 ms once the wait has gone on a while.
    const int most = tries < 20 ? 800 : 1800;
    std::this_thread::sleep_for(std::chrono::microseconds(200 + static_cast<int>(jitter() % most)));
    return 1;
}

}  // namespace officerecords
