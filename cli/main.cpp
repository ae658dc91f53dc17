// officerecords-cli: creates databases and plays scripted sessions headless.
//
//   officerecords-cli init DB [--demo]
//   officerecords-cli run SCRIPT --db DB [--sql-db DB] [--busy-timeout MS]
//   officerecords-cli export WINDOW --db DB [--community COMMNO] --format xlsx|csv
//                             --out FILE [--overwrite]
//   officerecords-cli import WINDOW --db DB [--community C] --from FILE [--sheet NAME]
//       [--map CAPTION=COLUMN]... [--dry-run] [--skip-duplicates] [--rejects FILE.xlsx]
//   officerecords-cli import-photos ACTIVITY --db DB [--community C] --from FOLDER
//   officerecords-cli history WINDOW KEY --db DB [--community COMMNO]
//   officerecords-cli stats money|assets|work|activities|committee --db DB [--community C|--all]
//                             --from DATE --to DATE [--format text|csv|xlsx] [--out FILE]
//   officerecords-cli backup --db DB --out FILE
//   officerecords-cli restore --db DB --from FILE
//   officerecords-cli account add NAME --db URI (--communities C1,C2 | --supervisor)
//   officerecords-cli account communities NAME --db URI --communities C1,C2
//   officerecords-cli account lock|unlock NAME --db URI
//   officerecords-cli account list --db URI
//   officerecords-cli modules
//   officerecords-cli --version | --help
#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/account_commands.h"
#include "cli/maintenance.h"
#include "cli/register_export.h"
#include "cli/register_import_command.h"
#include "cli/script_session.h"
#include "cli/stats_command.h"
#include "demo/demo_data.h"
#include "officerecords_version.h"
#include "storage/database.h"
#include "storage/module_loader.h"
#include "storage/system_clock.h"

namespace {

using namespace officerecords;

// The usage on standard error, exiting 2 (a command line that cannot be
// run), or on standard output for --help.
int usage(std::ostream& out = std::cerr, int code = 2) {
    out << "usage: officerecords-cli init DB [--demo]\n"
           "       officerecords-cli run SCRIPT --db DB [--sql-db DB] [--busy-timeout MS]\n"
           "       officerecords-cli export WINDOW --db DB [--community COMMNO]"
           " --format xlsx|csv --out FILE [--overwrite]\n"
           "       officerecords-cli import WINDOW --db DB [--community C] --from FILE [--sheet "
           "NAME]\n"
           "              [--map CAPTION=COLUMN]... [--dry-run] [--skip-duplicates] [--rejects "
           "FILE.xlsx]\n"
           "       officerecords-cli import-photos ACTIVITY --db DB [--community C] --from FOLDER\n"
           "       officerecords-cli history WINDOW KEY --db DB [--community COMMNO]\n"
           "       officerecords-cli stats money|assets|work|activities|committee --db DB"
           " [--community C|--all]\n"
           "              --from DATE --to DATE [--format text|csv|xlsx] [--out FILE]\n"
           "       officerecords-cli backup --db DB --out FILE\n"
           "       officerecords-cli restore --db DB --from FILE\n"
           "       officerecords-cli account add NAME --db URI (--communities C1,C2 | --supervisor)"
           "   (the password: the first line of standard input)\n"
           "       officerecords-cli account communities NAME --db URI --communities C1,C2\n"
           "       officerecords-cli account lock|unlock NAME --db URI\n"
           "       officerecords-cli account list --db URI\n"
           "       officerecords-cli modules   (loads every module and says where each is)\n"
           "       officerecords-cli --version | --help\n";
    return code;
}

int init(int argc, char** argv) {
    std::string target;
    bool demo = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0)
            demo = true;
        else if (target.empty())
            target = argv[i];
        else
            return usage();
    }
    if (target.empty()) return usage();
    system_clock clock;
    if (status st = demo ? create_demo_database(target, clock) : create_database(target, clock); !st) {
        std::cerr << "error: " << st.message() << '\n';
        return 1;
    }
    std::cout << "created " << target << (demo ? " with the demo data" : "") << '\n';
    return 0;
}

bool read_script(const std::string& path, std::string& text) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        std::cerr << "error: the script " << path << " is a folder, not a file\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    if (in) content << in.rdbuf();
    if (!in || in.bad()) {
        std::cerr << "error: cannot read the script " << path << '\n';
        return false;
    }
    text = content.str();
    return true;
}

int run(int argc, char** argv) {
    std::string script_path, target, sql_target;
    connection_options options;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
            target = argv[++i];
        } else if (std::strcmp(argv[i], "--sql-db") == 0 && i + 1 < argc) {
            sql_target = argv[++i];
        } else if (std::strcmp(argv[i], "--busy-timeout") == 0 && i + 1 < argc) {
            const std::string_view ms(argv[++i]);
            const auto res = std::from_chars(ms.data(), ms.data() + ms.size(), options.busy_timeout_ms);
            if (res.ec != std::errc() || res.ptr != ms.data() + ms.size() || options.busy_timeout_ms < 0)
                return usage();
        } else if (script_path.empty()) {
            script_path = argv[i];
        } else {
            return usage();
        }
    }
    if (script_path.empty() || target.empty()) return usage();
    std::string script;
    if (!read_script(script_path, script)) return 1;
    script_session s(target, std::cout, options);
    if (!sql_target.empty()) s.set_sql_target(sql_target);
    std::string why;
    if (!s.connect(why)) {
        std::cerr << "error: " << why << '\n';
        return 1;
    }
    return s.run(script, std::cerr);
}

int export_list(int argc, char** argv) {
    register_export_request request;
    bool format_given = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--db" && has_value) {
            request.database = argv[++i];
        } else if (arg == "--community" && has_value) {
            request.commno = argv[++i];
        } else if (arg == "--format" && has_value) {
            auto format = export_format_named(argv[++i]);
            if (!format) return usage();
            request.format = *format;
            format_given = true;
        } else if (arg == "--out" && has_value) {
            request.out = argv[++i];
        } else if (arg == "--overwrite") {
            request.overwrite = true;
        } else if (request.window.empty() && !arg.starts_with("--")) {
            request.window = arg;
        } else {
            return usage();
        }
    }
    if (request.window.empty() || request.database.empty() || !format_given || request.out.empty())
        return usage();
    return export_register(request, std::cout, std::cerr);
}

int import_command(int argc, char** argv) {
    register_import_request request;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--db" && has_value) {
            request.database = argv[++i];
        } else if (arg == "--community" && has_value) {
            request.commno = argv[++i];
        } else if (arg == "--from" && has_value) {
            request.import.path = argv[++i];
        } else if (arg == "--sheet" && has_value) {
            request.import.sheet = argv[++i];
        } else if (arg == "--map" && has_value) {
            const std::string pair = argv[++i];
            const std::size_t eq = pair.rfind('=');
            // CAPTION= leaves that column of the file out.
            if (eq == std::string::npos || eq == 0) return usage();
            request.import.mapping.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
        } else if (arg == "--rejects" && has_value) {
            request.rejects = argv[++i];
        } else if (arg == "--dry-run") {
            request.dry_run = true;
        } else if (arg == "--skip-duplicates") {
            request.import.skip_duplicates = true;
        } else if (request.import.window.empty() && !arg.starts_with("--")) {
            request.import.window = arg;
        } else {
            return usage();
        }
    }
    if (request.import.window.empty() || request.database.empty() || request.import.path.empty()) return usage();
    return import_register(request, std::cout, std::cerr);
}

// The words after the command: options with their values, and the rest in order.
struct arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> words;
    bool ok = true;
};

arguments parse(int argc, char** argv, std::initializer_list<const char*> known) {
    arguments a;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!arg.starts_with("--")) {
            a.words.push_back(arg);
            continue;
        }
        const bool named = std::find_if(known.begin(), known.end(),
                                        [&](const char* k) { return arg == k; }) != known.end();
        if (!named || i + 1 >= argc) {
            a.ok = false;
            return a;
        }
        a.options[arg] = argv[++i];
    }
    return a;
}

int history(int argc, char** argv) {
    const arguments a = parse(argc, argv, {"--db", "--community"});
    if (!a.ok || a.words.size() != 2 || !a.options.contains("--db")) return usage();
    const auto community = a.options.find("--community");
    return print_history(a.options.at("--db"), a.words[0], a.words[1],
                         community == a.options.end() ? std::string() : community->second, std::cout,
                         std::cerr);
}

int import_photos_command(int argc, char** argv) {
    const arguments a = parse(argc, argv, {"--db", "--community", "--from"});
    if (!a.ok || a.words.size() != 1 || !a.options.contains("--db") || !a.options.contains("--from")) return usage();
    std::int64_t orderno = 0;
    const std::string& word = a.words[0];
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), orderno);
    if (ec != std::errc() || end != word.data() + word.size() || orderno < 1) return usage();
    const auto community = a.options.find("--community");
    return import_photos(a.options.at("--db"), community == a.options.end() ? std::string() : community->second,
                         orderno, a.options.at("--from"), {}, std::cout, std::cerr);
}

int backup_command(int argc, char** argv) {
    const arguments a = parse(argc, argv, {"--db", "--out"});
    if (!a.ok || !a.words.empty() || a.options.size() != 2) return usage();
    return backup(a.options.at("--db"), a.options.at("--out"), std::cout, std::cerr);
}

int restore_command(int argc, char** argv) {
    const arguments a = parse(argc, argv, {"--db", "--from"});
    if (!a.ok || !a.words.empty() || a.options.size() != 2) return usage();
    return restore(a.options.at("--db"), a.options.at("--from"), std::cout, std::cerr);
}

int stats(int argc, char** argv) {
    stats_request request;
    bool all = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--all") {
            all = true;
        } else if (arg == "--community" && has_value) {
            // Several communities side by side: --community C1,C2 or the option again.
            std::string list = argv[++i];
            for (std::size_t at = 0; at <= list.size();) {
                const std::size_t comma = std::min(list.find(',', at), list.size());
                if (comma > at) request.communities.push_back(list.substr(at, comma - at));
                at = comma + 1;
            }
        } else if (arg == "--db" && has_value) {
            request.database = argv[++i];
        } else if (arg == "--from" && has_value) {
            request.from = argv[++i];
        } else if (arg == "--to" && has_value) {
            request.to = argv[++i];
        } else if (arg == "--format" && has_value) {
            request.format = argv[++i];
        } else if (arg == "--out" && has_value) {
            request.out = argv[++i];
        } else if (request.view.empty() && !arg.starts_with("--")) {
            request.view = arg;
        } else {
            std::cerr << "error: 不认识的参数或缺少它的值：" << arg << '\n';
            return usage();
        }
    }
    if (all && !request.communities.empty()) {
        std::cerr << "error: --community 和 --all 只能用一个\n";
        return usage();
    }
    if (request.view.empty() || request.database.empty() || request.from.empty() || request.to.empty()) {
        std::cerr << "error: stats 需要统计的种类、--db、--from 和 --to\n";
        return usage();
    }
    return stats_command(request, std::cout, std::cerr);
}

int account(int argc, char** argv) {
    // --supervisor takes no value: it is taken out before the others.
    std::vector<char*> rest(argv, argv + argc);
    const auto flag = std::find_if(rest.begin() + 2, rest.end(),
                                   [](const char* a) { return std::strcmp(a, "--supervisor") == 0; });
    const bool supervisor = flag != rest.end();
    if (supervisor) rest.erase(flag);
    const arguments a = parse(static_cast<int>(rest.size()), rest.data(), {"--db", "--communities"});
    if (!a.ok || !a.options.contains("--db")) return usage();
    const auto communities = a.options.find("--communities");
    const int rc = account_command(a.words, a.options.at("--db"),
                                   communities == a.options.end() ? std::string() : communities->second,
                                   supervisor, std::cin, std::cout, std::cerr);
    return rc == 2 ? usage() : rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    if (command == "init") return init(argc, argv);
    if (command == "run") return run(argc, argv);
    if (command == "export") return export_list(argc, argv);
    if (command == "import") return import_command(argc, argv);
    if (command == "import-photos") return import_photos_command(argc, argv);
    if (command == "history") return history(argc, argv);
    if (command == "backup") return backup_command(argc, argv);
    if (command == "restore") return restore_command(argc, argv);
    if (command == "account") return account(argc, argv);
    if (command == "stats") return stats(argc, argv);
    if (command == "--version" && argc == 2) {
        std::cout << "officerecords-cli " << k_version_full << '\n';
        return 0;
    }
    if ((command == "--help" || command == "-h") && argc == 2) return usage(std::cout, 0);
    if (command == "modules" && argc == 2) {
        bool all = false;
        std::cout << describe_modules(all);
        return all ? 0 : 1;
    }
    return usage();
}
