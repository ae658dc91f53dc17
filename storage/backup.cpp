#include "storage/backup.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <memory>

#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/migration.h"
#include "storage/server_backend.h"
#include "storage/schema.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

struct closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using connection = std::unique_ptr<sqlite3, closer>;

// A copy under way: finishing one that has not committed rolls back
// whatever it wrote.
struct finisher {
    void operator()(sqlite3_backup* b) const { sqlite3_backup_finish(b); }
};
using copy_under_way = std::unique_ptr<sqlite3_backup, finisher>;

using table_rows = std::map<std::string, long long>;

// Pages copied between two looks at the hook; 1 MB of the usual 4 KB pages.
constexpr int k_pages_per_step = 256;

std::string error_of(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

void at(const step_hook& hook, std::string_view step) {
    if (hook) hook(step);
}

// Every table's row count, as one connection sees its current snapshot:
// every table the file holds, so that a database of an earlier format (one
// without the history, say) is copied and checked as it is.
result<table_rows> row_counts(sqlite3* db) {
    std::vector<std::string> tables;
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                               "'sqlite\\_%' ESCAPE '\\' ORDER BY name",
                               -1, &stmt, nullptr) != SQLITE_OK)
            return status::error(error_of(db));
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) return status::error(error_of(db));
    }
    table_rows counts;
    for (const std::string& name : tables) {
        std::string quoted;
        for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        const std::string sql = "SELECT count(*) FROM \"" + quoted + "\"";
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return status::error(name + "：" + error_of(db));
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) counts[name] = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW) return status::error(name + "：" + error_of(db));
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

// "ok", or the first thing integrity_check found, or why it could not run.
std::string integrity_of(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    std::string check;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        check = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return check.empty() ? error_of(db) : check;
}

// Checks a finished copy: sound, and holding what was counted.
status verify(const std::string& path, const table_rows& expected) {
    auto opened = open_raw(path, SQLITE_OPEN_READONLY);
    if (!opened) return status::error(opened.message());
    sqlite3* db = opened->get();
    if (const std::string check = integrity_of(db); check != "ok")
        return status::error("备份文件检查失败：" + check);
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

// Copies what `source` holds at one moment into `out`, through a temporary
// of `kind` beside it that is checked (sound, and every table holding the
// rows counted in that same moment) before it is published under `out`.
// The counts; on a failure nothing is left at the temporary.
result<table_rows> snapshot_into(sqlite3* source, const std::string& out, temporary_kind kind,
                                 bool replace, const step_hook& hook) {
    // One read transaction: the counts and the copy see the same moment,
    // whatever other workstations commit meanwhile.
    if (sqlite3_exec(source, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return status::error("不能开始备份：" + error_of(source));
    auto counts = row_counts(source);
    const std::string staged = temporary_name(out, kind);
    // The name is this process's alone: a file under it was left by an
    // earlier process that had the same number.
    remove_database_files(staged);
    status st = counts ? copy_into(source, staged) : status::error("不能开始备份：" + counts.message());
    sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    if (st) at(hook, "copied");
    if (st) st = verify(staged, *counts);
    if (st) at(hook, "verified");
    if (st) st = move_into_place(staged, out, replace, "备份文件");
    if (!st) {
        remove_database_files(staged);
        return st;
    }
    at(hook, "published");
    return counts;
}

// A file name as an SQLite URI, so that query parameters can follow it:
// every byte but the unreserved ones and '/' is escaped.
std::string file_uri(const std::string& path) {
    std::error_code ec;
    const std::string absolute = fs::absolute(path, ec).string();
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : ec ? path : absolute) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

struct checked_backup {
    connection db;
    table_rows rows;
};

// Opens a backup read-only through SQLite alone and checks it: one of our
// databases, sound, its rows counted. Nothing is written to it or beside
// it, so it may lie on a write-protected stick.
result<checked_backup> open_backup(const std::string& from) {
    std::error_code ec;
    const fs::file_status st = fs::status(from, ec);
    if (ec || !fs::exists(st)) return status::error("找不到备份文件：" + from);
    if (!fs::is_regular_file(st)) return status::error("这不是一个文件：" + from);
    if (::access(from.c_str(), R_OK) != 0) return status::error("没有读取备份文件的权限：" + from);
    // Without a log beside it the file is the whole backup: read as
    // immutable, it is neither locked nor given a -shm. A log beside it is
    // read too, read-only.
    const bool logged = fs::exists(from + "-wal", ec);
    const std::string uri = file_uri(from) + (logged ? "?mode=ro" : "?mode=ro&immutable=1");
    auto opened = open_raw(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (!opened) return status::error("不能打开备份文件：" + from);
    sqlite3* db = opened->get();

    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)", -1,
        &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, "tc_ge_community", -1, SQLITE_STATIC);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    const bool ours = rc == SQLITE_ROW && sqlite3_column_int(stmt, 0) > 0;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) {
        if ((rc & 0xff) == SQLITE_NOTADB)
            return status::error("这不是数据库文件（文件是空的，或者内容不是数据库）：" + from);
        return status::error("不能读取备份文件：" + error_of(db) + "：" + from);
    }
    if (!ours) return status::error("这不是本系统的数据库（其中没有表 tc_ge_community）：" + from);
    if (const std::string check = integrity_of(db); check != "ok")
        return status::error("备份文件已损坏：" + check + "：" + from);
    // One snapshot for the counts: a backup with a log is read as it stands now.
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    auto rows = row_counts(db);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (!rows) return status::error("备份文件中缺少本系统的表：" + rows.message());
    return checked_backup{std::move(*opened), rows.take()};
}

// A number of the file's header (PRAGMA user_version, application_id).
int header_number(sqlite3* db, const char* pragma) {
    sqlite3_stmt* stmt = nullptr;
    int n = 0;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

// A copy of a backup brought up to this program's format, removed with
// its companions when the restore is done with it.
struct upgraded_copy {
    std::string path;
    ~upgraded_copy() {
        if (!path.empty()) remove_database_files(path);
    }
};

// Copies the backup into `path` and upgrades the copy there; the backup
// itself is only read. The copy ends as one file, without a log.
status upgrade_copy(sqlite3* backup, const std::string& path, const clock_source& clock) {
    remove_database_files(path);
    if (status st = copy_into(backup, path); !st) return st;
    connection_options options;
    options.backup_before_upgrade = false;
    auto upgraded = open_connection(path, clock, options);
    if (!upgraded) return status::error(upgraded.message());
    if ((*upgraded)->execute("PRAGMA journal_mode=DELETE") != sql_code::ok)
        return status::error((*upgraded)->sqlerrtext());
    return status::ok();
}

int page_size_of(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int size = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        size = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return size;
}

// How the restore waits for a save under way on another workstation: as
// long as a save waits for another's lock, and telling its hook once.
struct lock_wait {
    const step_hook* hook;
    bool told = false;
};

int wait_for_lock(void* arg, int tries) {
    constexpr int k_pause_ms = 10;
    auto* wait = static_cast<lock_wait*>(arg);
    if (!wait->told) {
        wait->told = true;
        at(*wait->hook, "waiting for the lock");
    }
    if (tries * k_pause_ms >= connection_options{}.busy_timeout_ms) return 0;
    sqlite3_sleep(k_pause_ms);
    return 1;
}

// Why the copy into the live database stopped, in the clerk's words.
std::string copy_failure(int rc, sqlite3* live) {
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "数据库正被其他工作站使用（已锁定），请稍后再试";
        case SQLITE_FULL:
            return "磁盘空间已满";
        case SQLITE_READONLY:
            return "数据库文件或所在的文件夹是只读的，不能写入";
        default:
            return sqlite3_errstr(rc) + std::string("：") + error_of(live);
    }
}

}  // namespace

result<backup_report> backup_database(const std::string& target, const std::string& out,
                                      const clock_source& clock, const backup_options& options) {
    // Written over the database itself, the backup would take its place
    // under every connection that has it open.
    const publish_target at = check_target(out, "备份文件", is_server_target(target) ? std::string() : target);
    if (at.state == target_state::refused) return status::error(at.text);
    const bool there = at.state == target_state::replaceable;
    if (there && !options.replace) return status::error("备份文件已经存在，不会覆盖它：" + out);
    if (is_server_target(target)) {
        auto server = server_backend_module();
        if (!server) return status::error(server.message());
        if (!there) return (*server)->backup(target, out, clock);
        // The archive replaces the file only once it is whole and checked.
        (void)remove_stale_temporaries(containing_folder(out));
        const std::string staged = temporary_name(out, temporary_kind::backup);
        auto made = (*server)->backup(target, staged, clock);
        if (!made) return made;
        if (status st = move_into_place(staged, out, true, "备份文件"); !st) {
            ::unlink(staged.c_str());
            return st;
        }
        return made;
    }
    // Opened as the program opens it: a file that is not ours is refused.
    if (auto ours = open_connection(target, clock, as_it_is()); !ours) return status::error(ours.message());
    auto source = open_raw(target, SQLITE_OPEN_READWRITE);
    if (!source) return status::error(source.message());
    // What a killed backup left in the folder goes first: daily backups are
    // named after the day, so nobody would ever finish or remove it.
    (void)remove_stale_temporaries(containing_folder(out));
    auto counts = snapshot_into(source->get(), out, temporary_kind::backup, options.replace, options.at_step);
    if (!counts) return status::error(counts.message());
    backup_report report;
    for (const auto& [table, rows] : *counts) {
        ++report.tables;
        report.rows += rows;
    }
    return report;
}

status restore_database(const std::string& target, const std::string& from,
                        const std::string& replaced_as, const clock_source& clock,
                        const step_hook& at_step) {
    if (is_server_target(target)) {
        auto server = server_backend_module();
        if (!server) return status::error(server.message());
        return (*server)->restore(target, from, replaced_as, clock);
    }
    std::error_code ec;
    if (fs::exists(replaced_as, ec)) return status::error("文件已经存在，不会覆盖它：" + replaced_as);
    // Told apart by the file itself, before either is opened: another name
    // (a link, "./office.db") may stand for the same file.
    if (fs::equivalent(from, target, ec))
        return status::error("这个备份就是要恢复的数据库本身，不能用它恢复：" + from);
    // The backup must be sound before anything is touched.
    auto backup = open_backup(from);
    if (!backup) return status::error("这个备份不能恢复：" + backup.message());
    // A backup of an earlier format goes in as this program's: brought up to
    // date in a copy of its own first, so that no workstation ever sees the
    // database in the earlier format. One of a later format is refused.
    const int version = header_number(backup->db.get(), "PRAGMA user_version");
    if (version > k_schema_version) return status::error("这个备份不能恢复：" + newer_database_message(version, from));
    upgraded_copy upgraded;
    if (version < k_schema_version) {
        (void)remove_stale_temporaries(containing_folder(target));
        upgraded.path = temporary_name(target, temporary_kind::backup);
        if (status st = upgrade_copy(backup->db.get(), upgraded.path, clock); !st)
            return status::error("这个备份不能恢复：" + st.message());
        backup = open_backup(upgraded.path);
        if (!backup) return status::error("这个备份不能恢复：" + backup.message());
    }
    at(at_step, "backup checked");
    if (auto ours = open_connection(target, clock, as_it_is()); !ours) return status::error(ours.message());
    (void)remove_stale_temporaries(containing_folder(target));
    if (!fs::equivalent(containing_folder(replaced_as), containing_folder(target), ec))
        (void)remove_stale_temporaries(containing_folder(replaced_as));

    // Outlives the connection whose busy handler it serves.
    lock_wait waiting{&at_step};
    auto opened = open_raw(target, SQLITE_OPEN_READWRITE);
    if (!opened) return status::error(opened.message());
    sqlite3* live = opened->get();
    if (sqlite3_exec(live, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK)
        return status::error("不能恢复：" + error_of(live));
    sqlite3_busy_handler(live, wait_for_lock, &waiting);
    // Pages are copied as they are, and a database in WAL mode keeps its
    // page size: a backup with another one cannot go in while it is open.
    const int backup_page = page_size_of(backup->db.get());
    const int live_page = page_size_of(live);
    if (backup_page != live_page)
        return status::error("这个备份不能恢复：备份的页大小（" + std::to_string(backup_page) +
                             " 字节）与数据库的（" + std::to_string(live_page) +
                             " 字节）不同：" + from);

    copy_under_way copy(sqlite3_backup_init(live, "main", backup->db.get(), "main"));
    if (!copy) return status::error("不能恢复：" + error_of(live));
    // The first page takes the database's write lock (waiting for a save
    // under way as any save does) and keeps it, uncommitted, to the end:
    // from now on no workstation commits, and all of them read what was
    // committed before. A database of ours has more than one page, so the
    // copy cannot end (and commit) here.
    int rc = sqlite3_backup_step(copy.get(), 1);
    if (rc != SQLITE_OK)
        return status::error("不能恢复：" + copy_failure(rc, live));
    at(at_step, "live locked");

    // What is replaced is kept first, read by a connection of its own:
    // everything committed up to the lock, nothing after it.
    {
        auto reader = open_raw(target, SQLITE_OPEN_READONLY);
        if (!reader) return status::error("不能保留原来的数据库：" + reader.message());
        auto kept = snapshot_into(reader->get(), replaced_as, temporary_kind::keep, false,
                                  [&](std::string_view step) { at(at_step, "keep " + std::string(step)); });
        if (!kept) return status::error("不能保留原来的数据库：" + kept.message());
    }

    do {
        rc = sqlite3_backup_step(copy.get(), k_pages_per_step);
        if (rc == SQLITE_OK) at(at_step, "copying");
    } while (rc == SQLITE_OK);
    if (rc != SQLITE_DONE) {
        // Finishing rolls the uncommitted pages back: the database is as it
        // was, and a copy of it is no use beside it.
        copy.reset();
        ::unlink(replaced_as.c_str());
        return status::error("不能把备份放回原处：" + copy_failure(rc, live));
    }
    at(at_step, "committed");
    rc = sqlite3_backup_finish(copy.release());
    if (rc != SQLITE_OK)
        return status::error("恢复以后的检查失败：" + std::string(sqlite3_errstr(rc)) + "；原来的数据库保存为 " +
                             replaced_as);
    // Counted in one snapshot taken at once: another workstation's saves
    // (each refused once first) come after it.
    sqlite3_exec(live, "BEGIN", nullptr, nullptr, nullptr);
    auto now = row_counts(live);
    sqlite3_exec(live, "COMMIT", nullptr, nullptr, nullptr);
    if (!now || *now != backup->rows)
        return status::error("恢复以后的检查失败：" + (now ? "记录数与备份不符" : now.message()) +
                             "；原来的数据库保存为 " + replaced_as);
    at(at_step, "verified");
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
