// The income record: money the office receives, in which category of
// funds, from which source, how much, and who handled and registered it.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_incomemoneyrecord_f();
const dw_object& d_og_incomemoneyrecord();

class w_m_og_incomemoneyrecord : public w_modify {
public:
    explicit w_m_og_incomemoneyrecord(session& s);
    // The generic column check, then the frame's Save.
    void cb_save_clicked() override;
};

}  // namespace officerecords
