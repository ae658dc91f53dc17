#include "platform/database.h"

#include <filesystem>

#include "platform/demo_data.h"
#include "platform/file_access.h"
#include "platform/pg_transaction.h"
#include "platform/schema.h"
#include "platform/sqlite_transaction.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

// Fills an empty database on a server: the schema and the demo data in one
// transaction, so a failure leaves the database as empty as it was.
status create_server_database(const std::string& target, bool demo, const clock_source& clock,
                              const connection_wrapper& wrap) {
    auto opened = pg_transaction::open(target, clock);
    if (!opened) return status::error(opened.message());
    std::unique_ptr<transaction> t(opened.take());
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
    if (demo) {
        if (status s = fill_demo_data(*t); !s) return s;
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

result<std::unique_ptr<transaction>> open_connection(const std::string& target,
                                                     const clock_source& clock,
                                                     const connection_options& options) {
    if (is_server_target(target)) {
        pg_options o;
        o.busy_timeout_ms = options.busy_timeout_ms;
        o.required_table = "tc_ge_community";
        o.required_what = "本系统的数据库";
        auto t = pg_transaction::open(target, clock, o);
        if (!t) return status::error(t.message());
        return std::unique_ptr<transaction>(t.take());
    }
    sqlite_options o;
    o.busy_timeout_ms = options.busy_timeout_ms;
    // A file without the communities is someone else's database: it is
    // refused before anything (the journal mode, to begin with) is changed.
    o.required_table = "tc_ge_community";
    o.required_what = "本系统的数据库";
    auto t = sqlite_transaction::open(target, open_mode::existing, clock, o);
    if (!t) return status::error(t.message());
    return std::unique_ptr<transaction>(t.take());
}

result<database> open_database(const std::string& target, const clock_source& clock,
                               const connection_options& options) {
    auto a = open_connection(target, clock, options);
    if (!a) return status::error(a.message());
    auto b = open_connection(target, clock, options);
    if (!b) return status::error(b.message());
    return database{a.take(), b.take()};
}

status create_database(const std::string& target, bool demo, const clock_source& clock,
                       const connection_wrapper& wrap) {
    if (is_server_target(target)) return create_server_database(target, demo, clock, wrap);
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
        if (demo) {
            if (status s = fill_demo_data(*t); !s) return s;
        }
        if (guard.commit() != sql_code::ok)
            return status::error("不能新建数据库 " + target + "：" + t->sqlerrtext());
        return status::ok();
    }();
    // Something may have taken the name meanwhile: it is never replaced.
    if (st) st = move_into_place(built, target, false, "数据库");
    if (!st) remove_database_files(built);
    return st;
}

}  // namespace officerecords
