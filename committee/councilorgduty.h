// The committee organisation: the bodies the residents' committee sets up
// in each term, with their kind and remit. Within one term no two bodies
// of a community bear the same name; other communities' bodies do not count.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_councilorgduty_f();
const dw_object& d_og_councilorgduty();

class w_m_og_councilorgduty : public w_modify {
public:
    explicit w_m_og_councilorgduty(session& s);
    int wf_dw_verify() override;
};

}  // namespace officerecords
