#include "storage/system_clock.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace officerecords {

date system_clock::today() const {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return *date::from_ymd(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

std::string system_clock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm parts{};
    localtime_r(&t, &parts);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
    return buf;
}

workstation_identity this_workstation() {
    workstation_identity id;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) id.workstation = host;
    if (const passwd* pw = getpwuid(geteuid())) id.os_user = pw->pw_name;
    if (id.os_user.empty())
        if (const char* user = std::getenv("USER")) id.os_user = user;
    return id;
}

}  // namespace officerecords
