// The embedded backend: a transaction object over one SQLite connection.
//
// The connection runs in WAL mode with foreign keys on and a busy timeout,
// so two workstations on one file wait for each other instead of failing,
// and with synchronous=FULL, so a committed save survives a power cut.
// Opening checks the file before anything is written to it: a file that is
// not a database, or not the expected one, is left exactly as it was.
// Error texts begin with what happened in the clerk's language (locked,
// disk full, read-only, damaged), followed by the database's own text.
// It registers the functions the data-window statements use: today(),
// year(d), f_getpersonage(today, birthdate) and isnull(a, b); today()
// answers the workstation's date from the given clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"

struct sqlite3;
struct sqlite3_stmt;

namespace officerecords {

enum class open_mode {
    existing,  // the file must exist and be one of our databases
    create,    // the file must not exist; it is created empty
};

struct sqlite_options {
    // How long a statement waits for another workstation's lock before it
    // fails.
    int busy_timeout_ms = 5000;
    // For an existing file: a table it must have to be taken for ours,
    // checked before the file is changed in any way (empty: no check).
    std::string required_table;
    // What a file without that table is called in the message.
    std::string required_what;
    // For an existing file: the application id its header must carry (or
    // 0, a file made before ids) and the highest format version it may
    // have (-1: none checked). Another program's file, or one a newer
    // version made, is refused before anything is written to it.
    std::int32_t application_id = 0;
    int newest_version = -1;
    // The message for a file of a higher version, given the version.
    std::string (*newer_message)(int version, const std::string& path) = nullptr;
};

class sqlite_cursor;

// Why a save is refused, once, on a connection that was open while the
// database was restored from a backup: what it read may no longer be there.
inline constexpr const char* k_restored_under_save =
    "数据库已经从备份恢复，这次保存没有写入。请重新打开这条记录，看过恢复后的内容再修改。";

class sqlite_transaction final : public transaction {
public:
    // Opens the database; an error names the file and the reason. The
    // clock must outlive the transaction: today() asks it on every call.
    static result<std::unique_ptr<sqlite_transaction>> open(const std::string& path,
                                                            open_mode mode,
                                                            const clock_source& clock,
                                                            const sqlite_options& options = {});
    ~sqlite_transaction() override;
    sqlite_transaction(const sqlite_transaction&) = delete;
    sqlite_transaction& operator=(const sqlite_transaction&) = delete;

    sql_code execute(std::string_view sql, std::span<const value> params = {}) override;
    std::unique_ptr<cursor> open_cursor(std::string_view sql,
                                        std::span<const value> params = {}) override;
    std::optional<blob> select_blob(std::string_view sql,
                                    std::span<const value> params = {}) override;
    sql_code update_blob(std::string_view sql, const blob& bytes,
                         std::span<const value> params = {}) override;
    sql_code begin_write() override;
    sql_code commit() override;
    sql_code rollback() override;
    bool in_transaction() const override;
    std::string describe_target() const override { return path_; }

    // Runs several statements without parameters (schema scripts).
    sql_code execute_script(const std::string& sql);

    // How long a statement waits for another workstation's lock before it
    // fails.
    void set_busy_timeout_ms(int ms);

private:
    struct cached_statement;
    struct lease;

    sqlite_transaction(sqlite3* db, std::string path);
    friend class sqlite_cursor;
    sql_code from_sqlite(int rc);

    // A prepared statement for this call or cursor alone; an empty lease
    // with sqlcode -1 when the text does not prepare.
    lease prepare(const std::string& sql);
    void release(lease& statement);
    sql_code bind(sqlite3_stmt* stmt, std::span<const value> params, const blob* leading = nullptr,
                  bool copy_blobs = true);
    // Runs a statement that returns no rows, `leading` bound first when given.
    sql_code run(std::string_view sql, std::span<const value> params, const blob* leading);
    sql_code begin_if_write(sqlite3_stmt* stmt, std::string_view sql);
    // BEGIN IMMEDIATE, refused once (rolled back, k_restored_under_save)
    // when the database was restored from a backup since this connection
    // last looked.
    sql_code begin_immediate();
    sql_code run_control(const char* sql);
    // The schema cookie (PRAGMA schema_version), -1 when it cannot be read.
    int schema_cookie();
    // A digest of the schema's text; nullopt when it cannot be read.
    std::optional<std::size_t> schema_digest();
    // Takes the schema as it stands now for what this connection has seen.
    bool remember_schema();
    // SQLite's busy handler: waits in short steps until the lock is had or
    // the timeout has passed since the wait began.
    static int wait_for_lock(void* self, int tries);
    void wait_for_locks(int timeout_ms);

    sqlite3* db_;
    std::string path_;
    int busy_timeout_ms_ = 0;
    std::chrono::steady_clock::time_point waiting_since_{};
    // Whether the file is on the process's list of open databases.
    bool noted_ = false;
    std::vector<std::unique_ptr<cached_statement>> cache_;
    std::uint64_t uses_ = 0;
    std::vector<sqlite_cursor*> live_cursors_;
    // The schema as this connection last saw it: a restore moves the
    // cookie on and leaves the text as it was.
    int schema_cookie_ = -1;
    std::size_t schema_digest_ = 0;
};

}  // namespace officerecords
