// The committee member register: who sits on the residents' committee in
// which term, with which duty and party post, since and until when. The
// person is picked from the person register, never typed; one member per
// term of each community's committee holds the first committee duty; dates
// keep their order and do not lie after today; the member's origin must fit
// the person; and the two-committee post follows from the duty and the
// party post.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_councilmemberinfo_f();
const dw_object& d_og_councilmemberinfo();
// Every living adult of the person register, with his membership columns
// where he has any: what the member selection window lists.
const dw_object& d_og_councilmemberinfo_select();

class w_m_og_councilmemberinfo : public w_modify {
public:
    explicit w_m_og_councilmemberinfo(session& s);

    void open() override;
    void ue_postopen() override;
    void ue_loadphoto() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    int wf_dw_verify() override;
    int wf_checkdate() override { return 0; }

private:
    std::string label(const char* column) const;
};

}  // namespace officerecords
