// The workstation's clock: the one place the system asks for today's date.
//
// The date rules, SQL's today() and the scripted `today` command all read
// it, so a test or a script that sets the date sets it for all of them.
#pragma once

#include <string>

#include "foundation/value.h"

namespace officerecords {

class clock_source {
public:
    virtual ~clock_source() = default;
    // The current local date, without a time.
    virtual date today() const = 0;
    // The current local date and time, "YYYY-MM-DD hh:mm:ss", for the
    // history; a clock that knows no time of day gives midnight.
    virtual std::string now() const { return today().iso() + " 00:00:00"; }
};

}  // namespace officerecords
