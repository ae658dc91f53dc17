// Member training: the courses committee members attended, when, at which
// level and whether they passed. The training date may not lie after today.
#pragma once

#include "committee/personinfo.h"

namespace officerecords {

const dw_object& d_og_councilmembertrain_f();
const dw_object& d_og_councilmembertrain();

class w_m_og_councilmembertrain : public member_side_window {
public:
    explicit w_m_og_councilmembertrain(session& s);
    int wf_dw_verify() override;
    int wf_checkdate() override { return 0; }
};

}  // namespace officerecords
