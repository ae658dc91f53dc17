// The workstation's real clock: today's local date.
#pragma once

#include "foundation/clock.h"

namespace officerecords {

class system_clock final : public clock_source {
public:
    date today() const override;
};

}  // namespace officerecords
