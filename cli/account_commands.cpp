#include "cli/account_commands.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "storage/database.h"
#include "storage/server_backend.h"
#include "storage/server_accounts.h"
#include "storage/system_clock.h"

namespace officerecords {

namespace {

int fail(std::ostream& err, const std::string& why) {
    err << "error: " << why << '\n';
    return 1;
}

std::vector<std::string> split_communities(const std::string& list) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = list.find(',', at);
        const std::string one = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (!one.empty()) out.push_back(one);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return out;
}

// One line without its line end; on a terminal, typed without echo.
bool read_secret(std::istream& in, std::ostream& err, const char* prompt, std::string& line) {
    const bool terminal = &in == &std::cin && ::isatty(STDIN_FILENO);
    termios before{};
    if (terminal) {
        err << prompt << std::flush;
        ::tcgetattr(STDIN_FILENO, &before);
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(in, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &before);
        err << '\n';
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return got;
}

result<std::string> new_password(std::istream& in, std::ostream& err) {
    std::string first, again;
    if (!read_secret(in, err, "新账号的密码：", first) || first.empty())
        return status::error("没有读到密码（密码是标准输入的第一行）");
    if (&in == &std::cin && ::isatty(STDIN_FILENO)) {
        if (!read_secret(in, err, "再输入一次密码：", again) || again != first)
            return status::error("两次输入的密码不一样，账号没有建立");
    }
    return first;
}

const char* kind_name(account_kind k) { return k == account_kind::clerk ? "营业员" : "监督员"; }

}  // namespace

int account_command(const std::vector<std::string>& words, const std::string& database,
                    const std::string& communities, bool supervisor, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    if (words.empty() || database.empty()) return 2;
    const std::string& action = words[0];
    const bool named = action == "add" || action == "communities" || action == "lock" || action == "unlock";
    if ((named && words.size() != 2) || (action == "list" && words.size() != 1) || (!named && action != "list"))
        return 2;
    if (!is_server_target(database))
        return fail(err, "SQLite 数据库文件没有账号，谁能打开它由文件所在文件夹的权限决定：" + database);
    system_clock clock;
    auto opened = open_connection(database, clock);
    if (!opened) return fail(err, opened.message());
    transaction* server = opened->get();

    if (action == "list") {
        auto accounts = list_accounts(*server);
        if (!accounts) return fail(err, accounts.message());
        for (const account& a : *accounts) {
            std::string list;
            for (const std::string& c : a.communities) list += (list.empty() ? "" : ",") + c;
            out << a.name << ' ' << kind_name(a.kind) << ' ' << (list.empty() ? "-" : list) << ' '
                << (a.locked ? "已锁定" : "可登录") << '\n';
        }
        return 0;
    }
    const std::string& name = words[1];
    status st = status::ok();
    if (action == "add") {
        if (supervisor == !communities.empty()) return 2;
        auto password = new_password(in, err);
        if (!password) return fail(err, password.message());
        st = add_account(*server, name, *password, supervisor ? account_kind::supervisor : account_kind::clerk,
                         split_communities(communities));
        if (st) out << "建立了" << (supervisor ? "监督员" : "营业员") << "账号 " << name << '\n';
    } else if (action == "communities") {
        if (communities.empty() || supervisor) return 2;
        st = set_communities(*server, name, split_communities(communities));
        if (st) out << "账号 " << name << " 的社区改为 " << communities << '\n';
    } else {
        if (!communities.empty() || supervisor) return 2;
        st = lock_account(*server, name, action == "lock");
        if (st) out << "账号 " << name << (action == "lock" ? " 已锁定" : " 已解锁") << '\n';
    }
    return st ? 0 : fail(err, st.message());
}

}  // namespace officerecords
