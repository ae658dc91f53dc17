// The seal use record: every use of the office seal, against an applicant
// of the person register. The applicant is never typed: a typed name opens
// the host's person picker, which fills in the person; a stored record's
// applicant cannot be changed.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_sealuserecord_f();
const dw_object& d_og_sealuserecord();

class w_m_og_sealuserecord : public w_modify {
public:
    explicit w_m_og_sealuserecord(session& s);

    void ue_loadphoto() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    // The application date may not lie after today, and the applicant must
    // be a person of the register; then the frame's Save.
    void cb_save_clicked() override;
};

}  // namespace officerecords
