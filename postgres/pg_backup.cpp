#include "postgres/pg_backup.h"

#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/schema.h"
#include "storage/server_accounts.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

struct connection_closer {
    void operator()(PGconn* c) const { PQfinish(c); }
};
using connection = std::unique_ptr<PGconn, connection_closer>;

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// The connection's parameters as the environment variables libpq reads,
// for the tools started below; and the database's name.
std::vector<std::string> connection_environment(const std::string& target, std::string& dbname) {
    std::vector<std::string> env;
    PQconninfoOption* options = PQconninfoParse(target.c_str(), nullptr);
    if (!options) return env;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val || !o->envvar) continue;
        if (std::string_view(o->keyword) == "dbname") dbname = o->val;
        env.push_back(std::string(o->envvar) + "=" + o->val);
    }
    PQconninfoFree(options);
    if (!std::getenv("PGCONNECT_TIMEOUT")) env.push_back("PGCONNECT_TIMEOUT=5");
    return env;
}

// The newest installed client program of that name, else the one on PATH.
std::string tool(const std::string& name) {
    std::string best;
    int best_version = -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path candidate = entry.path() / "bin" / name;
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > best_version && ::access(candidate.c_str(), X_OK) == 0) {
            best = candidate.string();
            best_version = version;
        }
    }
    return best.empty() ? name : best;
}

struct tool_run {
    int status = -1;
    std::string errors;  // what it wrote to stderr
};

// Runs a client program with the connection in its environment. Its
// standard output goes to `on_output` piece by piece (or is dropped).
tool_run run_tool(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env_extra,
                  const std::function<void(std::string_view)>& on_output = {}) {
    tool_run r;
    int out_pipe[2], err_pipe[2];
    if (::pipe(out_pipe) != 0) return r;
    if (::pipe(err_pipe) != 0) {
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        return r;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), env_extra.begin(), env_extra.end());
    std::vector<char*> envp, argv;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> owned(args);
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        ::execvpe(argv[0], argv.data(), envp.data());
        std::fprintf(stderr, "cannot run %s", argv[0]);
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (pid < 0) {
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        return r;
    }
    // The archive's text can be large: read it as it comes, and stderr
    // after it (the tools write little there).
    char buffer[65536];
    for (ssize_t n; (n = ::read(out_pipe[0], buffer, sizeof buffer)) > 0;)
        if (on_output) on_output(std::string_view(buffer, static_cast<std::size_t>(n)));
    for (ssize_t n; (n = ::read(err_pipe[0], buffer, sizeof buffer)) > 0;)
        r.errors.append(buffer, static_cast<std::size_t>(n));
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.errors = trimmed(r.errors);
    return r;
}

using counts = std::map<std::string, long long>;

result<counts> row_counts(PGconn* c) {
    counts out;
    for (const table_def& t : schema_tables()) {
        const std::string sql = "SELECT count(*) FROM " + std::string(t.name);
        PGresult* r = PQexec(c, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
        if (ok) out[lower(t.name)] = std::atoll(PQgetvalue(r, 0, 0));
        PQclear(r);
        if (!ok) return status::error(std::string(t.name) + "：" + trimmed(PQerrorMessage(c)));
    }
    return out;
}

// The rows of each table in an archive, counted from the data it restores.
result<counts> archive_counts(const std::string& archive, const std::vector<std::string>& env) {
    counts found;
    std::string pending, table;
    bool in_data = false;
    auto line_of = [&](std::string_view line) {
        if (in_data) {
            if (line == "\\.") {
                in_data = false;
            } else {
                ++found[table];
            }
        } else if (line.starts_with("COPY ") && line.ends_with("FROM stdin;")) {
            std::string_view name = line.substr(5, line.find(' ', 5) - 5);
            if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
                name = name.substr(dot + 1);
            table = lower(name);
            found[table] += 0;
            in_data = true;
        }
    };
    const tool_run r = run_tool(tool("pg_restore"), {"--data-only", "--file=-", archive}, env,
                                [&](std::string_view piece) {
                                    pending.append(piece);
                                    std::size_t from = 0;
                                    for (std::size_t nl; (nl = pending.find('\n', from)) != std::string::npos;
                                         from = nl + 1)
                                        line_of(std::string_view(pending).substr(from, nl - from));
                                    pending.erase(0, from);
                                });
    if (r.status != 0)
        return status::error("备份文件检查失败：" + (r.errors.empty() ? "pg_restore 不能运行" : r.errors));
    return found;
}

status same_counts(const counts& expected, const counts& found, const std::string& what) {
    for (const auto& [table, rows] : expected) {
        const auto it = found.find(table);
        if (rows > 0 && (it == found.end() || it->second != rows))
            return status::error(what + table + " 的记录数与数据库不符");
    }
    return status::ok();
}

result<connection> connect(const std::string& target, const clock_source& clock) {
    // Opened as the program opens it first: a database that is not ours is refused.
    if (auto ours = open_connection(target, clock, as_it_is()); !ours) return status::error(ours.message());
    connection c(PQconnectdb(target.c_str()));
    if (PQstatus(c.get()) != CONNECTION_OK)
        return status::error("不能连接数据库服务器：" + trimmed(PQerrorMessage(c.get())));
    return c;
}

// A clerk's login sees his communities only: a backup made with it would
// miss the others' rows, and a restore would put back what it cannot see.
status sees_every_row(PGconn* c, const std::string& what) {
    PGresult* r = PQexec(c, "SELECT row_security_active('tc_ge_community')");
    const bool asked = PQresultStatus(r) == PGRES_TUPLES_OK;
    const bool limited = asked && std::string(PQgetvalue(r, 0, 0)) == "t";
    PQclear(r);
    if (!asked) return status::error(what + "：" + trimmed(PQerrorMessage(c)));
    if (limited)
        return status::error(what + "：只有管理员的账号能看到所有社区的记录，请用管理员的账号" +
                             (what.find("恢复") != std::string::npos ? "恢复" : "备份"));
    return status::ok();
}

// Which communities each clerk keeps is the accounts' state, not the
// registers': a restore keeps it as it is now, not as the archive has it.
using clerk_rows = std::vector<std::pair<std::string, std::string>>;

result<clerk_rows> clerks_now(PGconn* c) {
    PGresult* r = PQexec(c, "SELECT rolname, commno FROM tc_og_clerk ORDER BY rolname, commno");
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        // A database of a format before the accounts has none yet.
        const std::string state = PQresultErrorField(r, PG_DIAG_SQLSTATE) ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : "";
        PQclear(r);
        if (state == "42P01") return clerk_rows{};
        return status::error(trimmed(PQerrorMessage(c)));
    }
    clerk_rows out;
    for (int i = 0; i < PQntuples(r); ++i) out.emplace_back(PQgetvalue(r, i, 0), PQgetvalue(r, i, 1));
    PQclear(r);
    return out;
}

// pg_restore leaves the rights out (the archive is made without them), so
// the clerks' and the supervisor's are granted again, and the clerks get
// back the communities they had before the restore.
status grant_again(const std::string& target, const clock_source& clock, const clerk_rows& clerks) {
    auto t = open_connection(target, clock);
    if (!t) return status::error(t.message());
    transaction& db = **t;
    write_guard guard(db);
    if (!guard.began()) return status::error(db.sqlerrtext());
    if (status st = secure_server_database(db); !st) return st;
    if (db.execute("DELETE FROM tc_og_clerk") != sql_code::ok) return status::error(db.sqlerrtext());
    for (const auto& [clerk, commno] : clerks) {
        const value row[] = {value(clerk), value(commno)};
        if (db.execute("INSERT INTO tc_og_clerk (rolname, commno) VALUES (?, ?)", row) != sql_code::ok)
            return status::error(db.sqlerrtext());
    }
    if (guard.commit() != sql_code::ok) return status::error(db.sqlerrtext());
    return status::ok();
}

status dump(const std::string& target, const std::string& file, const std::string& snapshot) {
    std::string dbname;
    const std::vector<std::string> env = connection_environment(target, dbname);
    std::vector<std::string> args = {"--format=custom", "--no-owner", "--no-privileges",
                                     "--file=" + file};
    if (!snapshot.empty()) args.push_back("--snapshot=" + snapshot);
    const tool_run r = run_tool(tool("pg_dump"), args, env);
    if (r.status != 0)
        return status::error("不能写入备份文件：" + (r.errors.empty() ? "pg_dump 不能运行" : r.errors));
    return status::ok();
}

}  // namespace

std::string database_name_of(const std::string& target) {
    std::string dbname;
    (void)connection_environment(target, dbname);
    return dbname;
}

result<backup_report> backup_server_database(const std::string& target, const std::string& out,
                                             const clock_source& clock) {
    std::error_code ec;
    if (fs::exists(out, ec)) return status::error("备份文件已经存在，不会覆盖它：" + out);
    auto c = connect(target, clock);
    if (!c) return status::error(c.message());
    if (status st = sees_every_row(c->get(), "不能备份"); !st) return st;
    // The counts and the archive see one moment: pg_dump takes the snapshot
    // this transaction exports, whatever other workstations commit meanwhile.
    PGresult* r = PQexec(c->get(), "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; "
                                   "SELECT pg_export_snapshot()");
    const bool began = PQresultStatus(r) == PGRES_TUPLES_OK;
    const std::string snapshot = began ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    if (!began) return status::error("不能开始备份：" + trimmed(PQerrorMessage(c->get())));
    auto expected = row_counts(c->get());
    if (!expected) return status::error("不能开始备份：" + expected.message());
    (void)remove_stale_temporaries(containing_folder(out));
    const std::string staged = temporary_name(out, temporary_kind::backup);
    ::unlink(staged.c_str());
    status st = dump(target, staged, snapshot);
    PQclear(PQexec(c->get(), "COMMIT"));
    if (st) {
        std::string dbname;
        auto found = archive_counts(staged, connection_environment(target, dbname));
        st = found ? same_counts(*expected, *found, "备份文件检查失败：") : status::error(found.message());
    }
    // Synced and named like every file the program publishes: a backup
    // that said done survives a power cut, and nothing is overwritten.
    if (st) st = move_into_place(staged, out, false, "备份文件");
    if (!st) {
        ::unlink(staged.c_str());
        return st;
    }
    backup_report report;
    for (const auto& [table, rows] : *expected) {
        ++report.tables;
        report.rows += rows;
    }
    return report;
}

status restore_server_database(const std::string& target, const std::string& from,
                               const std::string& replaced_as, const clock_source& clock) {
    std::error_code ec;
    if (fs::exists(replaced_as, ec)) return status::error("文件已经存在，不会覆盖它：" + replaced_as);
    std::string dbname;
    const std::vector<std::string> env = connection_environment(target, dbname);
    // The archive must be sound, and its rows countable, before anything changes.
    auto expected = archive_counts(from, env);
    if (!expected) return status::error("这个备份不能恢复：" + expected.message());
    auto c = connect(target, clock);
    if (!c) return status::error(c.message());
    if (status st = sees_every_row(c->get(), "不能恢复"); !st) return st;
    auto clerks = clerks_now(c->get());
    if (!clerks) return status::error("不能读取各营业员的社区：" + clerks.message());
    PGresult* r = PQexec(c->get(), "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                   "current_database() AND pid <> pg_backend_pid()");
    const long long others = PQresultStatus(r) == PGRES_TUPLES_OK ? std::atoll(PQgetvalue(r, 0, 0)) : -1;
    PQclear(r);
    if (others != 0)
        return status::error("还有工作站打开着这个数据库，请所有工作站退出后再恢复：" +
                             database_name_of(target));
    // The kept archive is published as every file is: whole and synced
    // before the restore touches the database, and never over another file.
    {
        (void)remove_stale_temporaries(containing_folder(replaced_as));
        const std::string staged = temporary_name(replaced_as, temporary_kind::keep);
        ::unlink(staged.c_str());
        status st = dump(target, staged, "");
        if (st) st = move_into_place(staged, replaced_as, false, "保留的数据库");
        if (!st) {
            ::unlink(staged.c_str());
            return status::error("不能保留原来的数据库：" + st.message());
        }
    }
    // One transaction: a restore that fails half-way leaves the database as it was.
    const tool_run run = run_tool(tool("pg_restore"),
                                  {"--clean", "--if-exists", "--no-owner", "--no-privileges",
                                   "--single-transaction", "--exit-on-error", "--dbname=" + dbname, from},
                                  env);
    if (run.status != 0)
        return status::error("不能把备份放回原处：" + (run.errors.empty() ? "pg_restore 不能运行" : run.errors));
    auto now = row_counts(c->get());
    if (!now) return status::error("恢复以后的检查失败：" + now.message());
    if (status st = same_counts(*now, *expected, "恢复以后的检查失败："); !st) return st;
    if (status st = grant_again(target, clock, *clerks); !st)
        return status::error("数据已经恢复，但没能重新设置各账号的权限，请再恢复一次或用管理员的账号打开数据库：" + st.message());
    return status::ok();
}

}  // namespace officerecords
