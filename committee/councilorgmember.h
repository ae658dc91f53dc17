// The organisation members: which persons belong to which body of the
// committee organisation and the duty each holds there. The person is
// picked from the person register; one person per body holds the first
// duty; the body's term, name and kind and the person's committee duty in
// that term are shown beside.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_councilorgmember_f();
const dw_object& d_og_councilorgmember();

class w_m_og_councilorgmember : public w_modify {
public:
    explicit w_m_og_councilorgmember(session& s);

    // A new member belongs to the body the host adds it to.
    std::string_view owner_column() const override { return "orgno"; }
    std::string_view owner_caption() const override { return "居委会组织机构"; }
    std::string_view owner_window() const override { return "w_m_og_councilorgduty"; }
    std::string_view owner_table() const override { return "tc_og_councilorgduty"; }
    // Shows the body a new member joins: its term, name and kind.
    void owner_set() override;

    void open() override;
    void ue_postopen() override;
    void ue_loadphoto() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    int wf_dw_verify() override;
};

}  // namespace officerecords
