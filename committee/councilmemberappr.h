// Member appraisal: the yearly appraisal of committee members, its year
// (a code) and its result. The window is entirely the frame's.
#pragma once

#include "committee/personinfo.h"

namespace officerecords {

const dw_object& d_og_councilmemberappr_f();
const dw_object& d_og_councilmemberappr();

class w_m_og_councilmemberappr : public member_side_window {
public:
    explicit w_m_og_councilmemberappr(session& s);
};

}  // namespace officerecords
