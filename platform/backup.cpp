#include "platform/backup.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>

#include "platform/database.h"
#include "platform/file_access.h"
#include "platform/pg_backup.h"
#include "platform/pg_transaction.h"
#include "platform/schema.h"
#include "platform/sqlite_transaction.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

struct closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using connection = std::unique_ptr<sqlite3, closer>;

std::string error_of(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

// Every table's row count, as one connection sees its current snapshot.
result<std::map<std::string, long long>> row_counts(sqlite3* db) {
    std::map<std::string, long long> counts;
    for (const table_def& t : schema_tables()) {
        const std::string sql = "SELECT count(*) FROM " + std::string(t.name);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return status::error(std::string(t.name) + "：" + error_of(db));
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) counts[std::string(t.name)] = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW) return status::error(std::string(t.name) + "：" + error_of(db));
    }
    return counts;
}

result<connection> open_raw(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    connection c(db);
    if (rc != SQLITE_OK) return status::error(path + "：" + error_of(db));
    sqlite3_busy_timeout(db, 5000);
    return c;
}

// Checks a finished copy: sound, and holding what was counted.
status verify(const std::string& path, const std::map<std::string, long long>& expected) {
    auto opened = open_raw(path, SQLITE_OPEN_READONLY);
    if (!opened) return status::error(opened.message());
    sqlite3* db = opened->get();
    sqlite3_stmt* stmt = nullptr;
    std::string check;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        check = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    if (check != "ok") return status::error("备份文件检查失败：" + (check.empty() ? error_of(db) : check));
    auto counts = row_counts(db);
    if (!counts) return status::error("备份文件检查失败：" + counts.message());
    for (const auto& [table, rows] : expected) {
        const auto it = counts->find(table);
        if (it == counts->end() || it->second != rows)
            return status::error("备份文件检查失败：" + table + " 的记录数与数据库不符");
    }
    return status::ok();
}

// Copies `from` (a connection positioned on its snapshot) into a new file.
status copy_into(sqlite3* from, const std::string& path) {
    auto dest = open_raw(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!dest) return status::error(dest.message());
    sqlite3_backup* b = sqlite3_backup_init(dest->get(), "main", from, "main");
    if (!b) return status::error("不能写入备份文件：" + error_of(dest->get()));
    const int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) return status::error("不能写入备份文件：" + std::string(sqlite3_errstr(rc)));
    // The copy is one file on its own: no log beside it.
    if (sqlite3_exec(dest->get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return status::error("不能写入备份文件：" + error_of(dest->get()));
    return status::ok();
}

void remove_database_files(const std::string& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
}

}  // namespace

result<backup_report> backup_database(const std::string& target, const std::string& out,
                                      const clock_source& clock) {
    if (is_server_target(target)) return backup_server_database(target, out, clock);
    std::error_code ec;
    if (fs::exists(out, ec)) return status::error("备份文件已经存在，不会覆盖它：" + out);
    // Opened as the program opens it: a file that is not ours is refused.
    if (auto ours = open_connection(target, clock); !ours) return status::error(ours.message());
    auto source = open_raw(target, SQLITE_OPEN_READWRITE);
    if (!source) return status::error(source.message());
    sqlite3* db = source->get();
    // One read transaction: the counts and the copy see the same moment,
    // whatever other workstations commit meanwhile.
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return status::error("不能开始备份：" + error_of(db));
    auto counts = row_counts(db);
    const std::string staged = out + ".part";
    remove_database_files(staged);
    status st = counts ? copy_into(db, staged) : status::error("不能开始备份：" + counts.message());
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (st) st = verify(staged, *counts);
    if (st && std::rename(staged.c_str(), out.c_str()) != 0)
        st = status::error("不能把备份文件改名为 " + out);
    if (!st) {
        remove_database_files(staged);
        return st;
    }
    backup_report report;
    for (const auto& [table, rows] : *counts) {
        ++report.tables;
        report.rows += rows;
    }
    return report;
}

status restore_database(const std::string& target, const std::string& from,
                        const std::string& replaced_as, const clock_source& clock) {
    if (is_server_target(target)) return restore_server_database(target, from, replaced_as, clock);
    std::error_code ec;
    if (fs::exists(replaced_as, ec)) return status::error("文件已经存在，不会覆盖它：" + replaced_as);
    // The backup must be sound before anything is replaced.
    auto backup = open_connection(from, clock);
    if (!backup) return status::error("这个备份不能恢复：" + backup.message());
    backup->reset();
    auto source = open_raw(from, SQLITE_OPEN_READONLY);
    if (!source) return status::error("这个备份不能恢复：" + source.message());
    sqlite3_exec(source->get(), "BEGIN", nullptr, nullptr, nullptr);
    auto counts = row_counts(source->get());
    if (!counts) return status::error("这个备份不能恢复：" + counts.message());
    const std::string staged = target + ".restoring";
    remove_database_files(staged);
    status st = copy_into(source->get(), staged);
    sqlite3_exec(source->get(), "COMMIT", nullptr, nullptr, nullptr);
    if (st) st = verify(staged, *counts);
    if (!st) {
        remove_database_files(staged);
        return st;
    }
    // Leaving the log mode needs the file to itself: it fails while any
    // other workstation has the database open.
    {
        auto current = open_raw(target, SQLITE_OPEN_READWRITE);
        if (!current) {
            remove_database_files(staged);
            return status::error(current.message());
        }
        sqlite3_busy_timeout(current->get(), 0);
        sqlite3_stmt* stmt = nullptr;
        std::string mode;
        if (sqlite3_prepare_v2(current->get(), "PRAGMA journal_mode=DELETE", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        if (mode != "delete") {
            remove_database_files(staged);
            return status::error("还有工作站打开着这个数据库，请所有工作站退出后再恢复：" + target);
        }
    }
    if (std::rename(target.c_str(), replaced_as.c_str()) != 0) {
        remove_database_files(staged);
        return status::error("不能保留原来的数据库：" + replaced_as);
    }
    if (std::rename(staged.c_str(), target.c_str()) != 0) {
        // Put the old file back rather than leave no database at all.
        std::rename(replaced_as.c_str(), target.c_str());
        remove_database_files(staged);
        return status::error("不能把备份放回原处：" + target);
    }
    return status::ok();
}

std::string replaced_database_name(const std::string& target, const clock_source& clock) {
    std::string stamp = clock.now();
    for (char& c : stamp)
        if (c == ' ' || c == ':') c = c == ' ' ? '-' : '.';
    // A server's database is kept as an archive in the current folder.
    if (is_server_target(target)) return server_database_name(target) + ".before-restore-" + stamp;
    return target + ".before-restore-" + stamp;
}

}  // namespace officerecords
