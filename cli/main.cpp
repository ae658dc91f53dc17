// officerecords-cli: creates databases and plays scripted sessions headless.
//
//   officerecords-cli init DB [--demo]
//   officerecords-cli run SCRIPT --db DB
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/script_session.h"
#include "platform/database.h"

namespace {

using namespace officerecords;

class system_clock final : public clock_source {
public:
    date today() const override {
        std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        return *date::from_ymd(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    }
};

int usage() {
    std::cerr << "usage: officerecords-cli init DB [--demo]\n"
                 "       officerecords-cli run SCRIPT --db DB\n";
    return 2;
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
    if (status st = create_database(target, demo, clock); !st) {
        std::cerr << "error: " << st.message() << '\n';
        return 1;
    }
    std::cout << "created " << target << (demo ? " with the demo data" : "") << '\n';
    return 0;
}

int run(int argc, char** argv) {
    std::string script_path, target;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc)
            target = argv[++i];
        else if (script_path.empty())
            script_path = argv[i];
        else
            return usage();
    }
    if (script_path.empty() || target.empty()) return usage();
    std::ifstream script(script_path);
    if (!script) {
        std::cerr << "error: cannot read the script " << script_path << '\n';
        return 1;
    }
    script_session s(target, std::cout);
    std::string why;
    if (!s.connect(why)) {
        std::cerr << "error: " << why << '\n';
        return 1;
    }
    return s.run(script, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    if (command == "init") return init(argc, argv);
    if (command == "run") return run(argc, argv);
    return usage();
}
