// The workstation's real clock: today's local date.
#pragma once

#include <string>

#include "foundation/clock.h"

namespace officerecords {

class system_clock final : public clock_source {
public:
    date today() const override;
    std::string now() const override;
};

// This computer's name and the user logged on, for the history.
struct workstation_identity {
    std::string workstation;
    std::string os_user;
};
workstation_identity this_workstation();

}  // namespace officerecords
