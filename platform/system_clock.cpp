#include "platform/system_clock.h"

#include <ctime>

namespace officerecords {

date system_clock::today() const {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return *date::from_ymd(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

}  // namespace officerecords
