// Shared pieces of the core tests: a scratch database and a host that
// records what the windows show instead of showing it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/host_services.h"
#include "foundation/transaction.h"
#include "demo/demo_data.h"
#include "storage/database.h"
#include "storage/server_backend.h"
#include "storage/server_accounts.h"

namespace officerecords {

// Readable failure messages for values.
inline void PrintTo(const value& v, std::ostream* os) {
    if (v.is_null())
        *os << "null";
    else
        *os << '"' << v.to_text() << '"';
}

}  // namespace officerecords

namespace officerecords::testkit {

class fixed_clock final : public clock_source {
public:
    explicit fixed_clock(date d) : today_(d) {}
    explicit fixed_clock(const char* iso) : today_(*date::parse(iso)) {}
    date today() const override { return today_; }
    date today_;
};

// All rows of a query as "a|b\n" lines, null as "~", blobs as hex and a
// decimal column's numbers with its fraction digits, so a whole table is
// compared in one assertion.
inline std::string dump(transaction& db, std::string_view sql) {
    std::unique_ptr<cursor> rows = db.open_cursor(sql);
    if (!rows) return "error: " + db.sqlerrtext();
    std::string out;
    while (rows->fetch()) {
        for (int i = 0; i < rows->column_count(); ++i) {
            if (i > 0) out += '|';
            const value v = rows->column_value(i);
            if (v.is_null()) {
                out += '~';
            } else if (v.is_blob()) {
                static constexpr char hex[] = "0123456789abcdef";
                for (unsigned char b : v.bytes()) {
                    out += hex[b >> 4];
                    out += hex[b & 15];
                }
            } else if (const int scale = rows->column_scale(i);
                       scale >= 0 && (v.is_double() || v.is_integer()) &&
                       decimal::from_double(*v.as_double(), scale).to_double() == *v.as_double()) {
                // An amount exactly at its column's scale reads alike on
                // every database: SQLite gives 860.5, the server 860.50.
                out += decimal::from_double(*v.as_double(), scale).rescaled(scale).str();
            } else {
                out += v.to_text();
            }
        }
        out += '\n';
    }
    if (db.sqlcode() != 100) out += "error: " + db.sqlerrtext();
    return out;
}

// What a program run by the shell gave: its exit status and what it wrote.
struct outcome {
    int status;
    std::string output;  // stdout and stderr together
};

inline outcome run_command(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, "cannot run " + command};
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) out.append(buf.data(), n);
    const int rc = pclose(pipe);
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
}

// An XLSX file as openpyxl reads it (tests/storage/read_xlsx.py): the
// sheet's name, frozen cell and column widths, then one line per filled
// cell. Status 3 says that python3-openpyxl is missing.
inline outcome read_xlsx(const std::string& path) {
    return run_command(std::string(OFFICERECORDS_PYTHON) + " " + OFFICERECORDS_READ_XLSX + " '" +
                       path + "'");
}

// Runs `body` in a child process, for what must not touch the test's own
// process (a file size limit, another user id): the output is what body
// returned, sent back through a pipe, the status the child's exit status
// (4 when it could not send its answer).
inline outcome said_in_child(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {-1, "cannot make a pipe"};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::string said = body();
        const ssize_t sent = ::write(fds[1], said.data(), said.size());
        _exit(sent == static_cast<ssize_t>(said.size()) ? 0 : 4);
    }
    ::close(fds[1]);
    std::string said;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    ::close(fds[0]);
    int st = 0;
    if (child < 0 || ::waitpid(child, &st, 0) != child) return {-1, said};
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, said};
}

// A folder of its own under the system's temporary folder, removed at the end.
class scratch_dir {
public:
    scratch_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orec-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~scratch_dir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// A host that answers from queues and records every message box; it is
// also the workstation's clock, set by `day`.
class recording_host final : public host_services, public clock_source {
public:
    std::vector<std::string> messages;  // "TITLE | TEXT"
    std::vector<std::string> calendar;  // column, or "hidden"
    std::vector<bool> answers;
    date day = *date::parse("2026-12-08");

    void message_box(std::string_view title, std::string_view text, icon) override {
        messages.push_back(std::string(title) + " | " + std::string(text));
    }
    std::vector<std::string> questions;  // "TITLE | TEXT"
    bool question(std::string_view title, std::string_view text, bool) override {
        questions.push_back(std::string(title) + " | " + std::string(text));
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    // The files the dialog "chooses", in order; none left is a cancel.
    std::vector<std::string> chosen;
    std::optional<std::string> file_open(std::string_view, std::string_view,
                                         std::string_view) override {
        if (chosen.empty()) return std::nullopt;
        std::string path = chosen.front();
        chosen.erase(chosen.begin());
        return path;
    }
    std::string open_with_parm(std::string_view, std::string_view, w_modify&) override {
        return {};
    }
    void open_window(std::string_view, std::string_view, w_modify&) override {}
    void close_window(w_modify&) override { closed = true; }
    // Busy pointers shown and not yet taken back.
    int busy = 0;
    void set_pointer(pointer p) override { busy += p == pointer::hourglass ? 1 : -1; }
    std::string current_directory() override { return "."; }
    bool change_directory(const std::string&) override { return true; }
    date today() const override { return day; }
    // The picture files there are, by path.
    std::map<std::string, blob> files;
    int gf_readphotofile(const std::string& path, blob& bytes) override {
        auto it = files.find(path);
        if (it == files.end()) return -1;
        bytes = it->second;
        return 1;
    }
    // Files written, by path; writing fails while `writes_fail`.
    std::map<std::string, blob> written;
    bool writes_fail = false;
    int gf_writephotofile(const std::string& path, const blob& bytes) override {
        if (writes_fail) return -1;
        written[path] = bytes;
        return 1;
    }
    void calendar_changed(w_modify&, std::string_view column) override {
        calendar.push_back(column.empty() ? "hidden" : std::string(column));
    }
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override {
        ++unsaved_asked;
        messages.push_back("question " + std::string(title) + " | " + std::string(text));
        return unsaved;
    }
    // The fields the windows led the clerk to, in order.
    std::vector<std::string> refused_fields;
    void field_refused(w_modify&, std::string_view column) override {
        refused_fields.push_back(std::string(column));
    }
    bool closed = false;
    unsaved_choice unsaved = unsaved_choice::discard;
    int unsaved_asked = 0;
};

// The database a test runs on: an SQLite file, or a database of its own on
// the PostgreSQL server that scripts/test.sh starts (OFFICERECORDS_PG_URI,
// the server's postgres database); tests of a backend that is not there
// skip with GTEST_SKIP.
enum class backend { sqlite, postgresql };

inline std::string backend_name(const ::testing::TestParamInfo<backend>& info) {
    return info.param == backend::sqlite ? "sqlite" : "postgresql";
}

inline const char* server_uri() {
    const char* uri = std::getenv("OFFICERECORDS_PG_URI");
    return uri && *uri ? uri : nullptr;
}

// An empty database on the server, dropped again when the test is done.
class server_database {
public:
    server_database() {
        static int made = 0;
        name_ = "t_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
        const std::string admin = server_uri();
        target_ = admin.substr(0, admin.rfind('/') + 1) + name_;
        const outcome o = psql({"DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)",
                                "CREATE DATABASE " + name_});
        EXPECT_EQ(o.status, 0) << o.output;
    }
    ~server_database() { (void)psql({"DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)"}); }
    server_database(const server_database&) = delete;
    server_database& operator=(const server_database&) = delete;
    const std::string& target() const { return target_; }
    const std::string& name() const { return name_; }
    // The same database on another login of the server.
    std::string target_as(const std::string& user) const {
        const std::size_t scheme = target_.find("://") + 3;
        const std::size_t at = target_.find('@', scheme);
        return target_.substr(0, scheme) + user +
               (at == std::string::npos ? "@" + target_.substr(scheme) : target_.substr(at));
    }

    // Runs statements on the server's admin database, one after another.
    static outcome psql(const std::vector<std::string>& statements) {
        std::string command = "psql -X -q -v ON_ERROR_STOP=1 '" + std::string(server_uri()) + "'";
        for (const std::string& sql : statements) command += " -c \"" + sql + "\"";
        return run_command(command);
    }

private:
    std::string name_;
    std::string target_;
};

// Skips the running test when its backend is not there.
#define OFFICERECORDS_NEED_BACKEND(b)                                                   \
    do {                                                                                \
        if ((b) == ::officerecords::testkit::backend::postgresql &&                     \
            !::officerecords::testkit::server_uri())                                    \
            GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";      \
    } while (0)

// A fresh database with the schema and, on request, the demo data, on
// either backend.
struct scratch_database {
    scratch_dir dir;
    fixed_clock clock{*date::parse("2026-12-08")};
    std::unique_ptr<server_database> server;
    database db;
    std::string path;

    explicit scratch_database(bool demo = false, backend b = backend::sqlite) {
        if (b == backend::postgresql && server_uri()) {
            server = std::make_unique<server_database>();
            path = server->target();
        } else {
            path = dir.file("office.db");
        }
        status st = demo ? create_demo_database(path, clock) : create_database(path, clock);
        EXPECT_TRUE(st.is_ok()) << st.message();
        if (server && demo) {
            // On the server the windows work as a clerk on his own login,
            // as at an office: the clerk of the demo office's communities,
            // so that the program's own community filters are what the
            // tests see, not hidden behind the server's. An empty database
            // has no community to give him: the tests of the connection
            // itself work on the administrator's login.
            clerk = server->name() + "_clerk";
            (void)server_database::psql({"DROP ROLE IF EXISTS " + clerk});
            auto admin = connect_server(path, clock);
            EXPECT_TRUE(admin.is_ok()) << admin.message();
            if (admin) {
                std::vector<std::string> communities;
                if (auto rows = (*admin)->open_cursor("SELECT commno FROM tc_ge_community ORDER BY commno"))
                    while (rows->fetch()) communities.emplace_back(rows->column_text(0));
                st = add_account(**admin, clerk, clerk + "-pw", account_kind::clerk, communities);
                EXPECT_TRUE(st.is_ok()) << st.message();
            }
            path = server->target_as(clerk);
            // Every connection a test opens to `path` logs in with it.
            ::setenv("PGPASSWORD", (clerk + "-pw").c_str(), 1);
        }
        auto opened = open_database(path, clock);
        EXPECT_TRUE(opened.is_ok()) << opened.message();
        if (opened) db = opened.take();
    }
    ~scratch_database() {
        db = {};
        if (!clerk.empty()) {
            server.reset();
            (void)server_database::psql({"DROP ROLE IF EXISTS " + clerk});
        }
    }
    std::string clerk;
    transaction& sqlca() { return *db.sqlca; }
};

}  // namespace officerecords::testkit
