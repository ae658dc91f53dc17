#include "storage/database.h"

#include <filesystem>

#include "officerecords_version.h"
#include "storage/backup.h"
#include "storage/daily_backup.h"
#include "storage/file_access.h"
#include "storage/migration.h"
#include "storage/schema.h"
#include "storage/server_accounts.h"
#include "storage/server_backend.h"
#include "storage/sqlite_transaction.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

// Fills an empty database on a server: the schema and what `fill` writes in one
// transaction, so a failure leaves the database as empty as it was.
status create_server_database(const std::string& target, const clock_source& clock,
                              const database_filler& fill, const connection_wrapper& wrap) {
    auto opened = connect_server(target, clock);
    if (!opened) return status::error(opened.message());
    std::unique_ptr<transaction> t = opened.take();
    const std::string where = t->describe_target();
    const value community("tc_ge_community");
    auto taken = t->select_value("SELECT to_regclass(?) IS NOT NULL", std::span(&community, 1));
    if (!taken) return status::error("不能新建数据库 " + where + "：" + t->sqlerrtext());
    if (taken->is_integer() && taken->integer() != 0)
        return status::error("数据库中已经有本系统的表，不会覆盖它：" + where);
    if (wrap) t = wrap(std::move(t));
    write_guard guard(*t);
    if (!guard.began()) return status::error("不能新建数据库 " + where + "：" + t->sqlerrtext());
    if (status s = create_schema(*t, sql_dialect::postgresql); !s) return s;
    if (status s = write_database_version(*t, sql_dialect::postgresql, k_schema_version); !s) return s;
    if (status s = secure_server_database(*t); !s) return s;
    if (fill) {
        if (status s = fill(*t); !s) return s;
    }
    if (guard.commit() != sql_code::ok) {
        // Not a failure to report as such: the database may have been built.
        if (t->commit_in_doubt())
            return status::error("新建数据库时与数据库服务器的连接中断了，还不知道是否已经建好，请查看数据库 " +
                                 where + "：" + t->sqlerrtext());
        return status::error("不能新建数据库 " + where + "：" + t->sqlerrtext());
    }
    return status::ok();
}

}  // namespace

namespace {

// The backup an upgrade takes first, beside the daily ones: named after the
// database, the version it leaves, the program that upgrades it and the
// moment ("office-升级前-版本3-程序0.1.0-2026-12-08-10.00.00.db"). Restoring
// takes a backup by any name, so the names of earlier programs still do.
result<std::string> backup_before_upgrade(const std::string& target, transaction& t, sql_dialect d,
                                          const clock_source& clock) {
    auto from = database_version(t, d);
    if (!from) return status::error("不能读取数据库的版本：" + from.message());
    std::string stamp = clock.now();
    for (char& c : stamp)
        if (c == ' ' || c == ':') c = c == ' ' ? '-' : '.';
    const std::string folder = backup_folder_for(target);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return status::error("不能建立备份文件夹 " + folder + "：" + ec.message());
    const std::string stem = is_server_target(target) ? server_database_name(target) : fs::path(target).stem().string();
    // Two tries in one second (one stopped, one after it) each get their own.
    const std::string base = (fs::path(folder) / (stem + "-升级前-版本" + std::to_string(*from) +
                                                  "-程序" + std::string(k_version) + "-" + stamp))
                                 .string();
    const std::string extension = backup_extension(target);
    std::string out = base + extension;
    for (int n = 2; fs::exists(out, ec); ++n) out = base + "-" + std::to_string(n) + extension;
    auto made = backup_database(target, out, clock);
    if (!made) return status::error(made.message());
    return out;
}

// Brings the database on a connection just opened up to this program's
// format, unless asked not to.
status upgrade(std::unique_ptr<transaction>& t, const std::string& target, sql_dialect d,
               const clock_source& clock, const connection_options& options) {
    if (!options.upgrade) return status::ok();
    if (d == sql_dialect::postgresql) {
        // A clerk's login sees only his communities: it can neither back the
        // whole database up nor change its tables, so it does not start.
        auto version = database_version(*t, d);
        if (version && *version < k_schema_version) {
            auto every = sees_every_row(*t);
            if (every && !*every)
                return status::error("数据库需要升级到本程序的格式（数据库版本 " + std::to_string(*version) +
                                     "），只有管理员的账号能升级它；请管理员先用本程序打开数据库：" +
                                     t->describe_target());
        }
    }
    if (options.wrap) t = options.wrap(std::move(t));
    upgrade_options u;
    if (options.backup_before_upgrade) {
        transaction& connection = *t;
        u.backup = [&] { return backup_before_upgrade(target, connection, d, clock); };
    }
    return bring_up_to_date(*t, d, t->describe_target(), clock, u);
}

}  // namespace

result<std::unique_ptr<transaction>> open_connection(const std::string& target,
                                                     const clock_source& clock,
                                                     const connection_options& options) {
    if (is_server_target(target)) {
        pg_options o;
        o.busy_timeout_ms = options.busy_timeout_ms;
        o.required_table = "tc_ge_community";
        o.required_what = "本系统的数据库";
        auto t = connect_server(target, clock, o);
        if (!t) return status::error(t.message());
        std::unique_ptr<transaction> opened = t.take();
        if (status st = upgrade(opened, target, sql_dialect::postgresql, clock, options); !st) return st;
        return opened;
    }
    sqlite_options o;
    o.busy_timeout_ms = options.busy_timeout_ms;
    // A file without the communities is someone else's database: it is
    // refused before anything (the journal mode, to begin with) is changed.
    o.required_table = "tc_ge_community";
    o.required_what = "本系统的数据库";
    if (options.upgrade) {
        o.application_id = k_application_id;
        o.newest_version = k_schema_version;
        o.newer_message = [](int version, const std::string& path) { return newer_database_message(version, path); };
    }
    auto t = sqlite_transaction::open(target, open_mode::existing, clock, o);
    if (!t) return status::error(t.message());
    std::unique_ptr<transaction> opened(t.take());
    if (status st = upgrade(opened, target, sql_dialect::sqlite, clock, options); !st) return st;
    return opened;
}

result<database> open_database(const std::string& target, const clock_source& clock,
                               const connection_options& options) {
    auto a = open_connection(target, clock, options);
    if (!a) return status::error(a.message());
    // The first connection has brought the database up to date.
    connection_options second = options;
    second.upgrade = false;
    second.wrap = {};
    auto b = open_connection(target, clock, second);
    if (!b) return status::error(b.message());
    return database{a.take(), b.take()};
}

status create_database(const std::string& target, const clock_source& clock,
                       const database_filler& fill, const connection_wrapper& wrap) {
    if (is_server_target(target)) return create_server_database(target, clock, fill, wrap);
    std::error_code ec;
    if (fs::exists(fs::path(target), ec)) return status::error("文件已经存在，不会覆盖它：" + target);
    // A build that was killed leaves its file behind; once its process is
    // gone nobody will finish it.
    (void)remove_stale_temporaries(containing_folder(target));
    const std::string built = temporary_name(target, temporary_kind::init);
    // The name is this process's alone; a file under it was left by an
    // earlier process that had the same number.
    remove_database_files(built);

    status st = [&]() -> status {
        auto opened = sqlite_transaction::open(built, open_mode::create, clock);
        if (!opened) return status::error(opened.message());
        std::unique_ptr<transaction> t(opened.take());
        if (wrap) t = wrap(std::move(t));
        write_guard guard(*t);
        if (!guard.began()) return status::error("不能新建数据库 " + target + "：" + t->sqlerrtext());
        if (status s = create_schema(*t, sql_dialect::sqlite); !s) return s;
        if (status s = write_database_version(*t, sql_dialect::sqlite, k_schema_version); !s) return s;
        if (fill) {
            if (status s = fill(*t); !s) return s;
        }
        if (guard.commit() != sql_code::ok)
            return status::error("不能新建数据库 " + target + "：" + t->sqlerrtext());
        return status::ok();
    }();
    if (st) st = take_umask_mode(built);
    // Something may have taken the name meanwhile: it is never replaced.
    if (st) st = move_into_place(built, target, false, "数据库");
    if (!st) remove_database_files(built);
    return st;
}

}  // namespace officerecords
