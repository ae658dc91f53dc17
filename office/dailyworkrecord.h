// The daily work record: the office's log of meetings and work items. Its
// Save checks only the date: not after today, not before the foundation
// date.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_dailyworkrecord_f();
const dw_object& d_og_dailyworkrecord();

class w_m_og_dailyworkrecord : public w_modify {
public:
    explicit w_m_og_dailyworkrecord(session& s);
    void cb_save_clicked() override;
};

}  // namespace officerecords
