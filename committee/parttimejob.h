// Part-time posts: the social posts committee members hold besides their
// committee duty, a four-character code each, and since when. The date of
// taking up a post may not lie after today.
#pragma once

#include "committee/personinfo.h"

namespace officerecords {

const dw_object& d_og_parttimejob_f();
const dw_object& d_og_parttimejob();

class w_m_og_parttimejob : public member_side_window {
public:
    explicit w_m_og_parttimejob(session& s);
    int wf_dw_verify() override { return refuse_future_date(*this, "holdtime"); }
    int wf_checkdate() override { return 0; }
};

}  // namespace officerecords
