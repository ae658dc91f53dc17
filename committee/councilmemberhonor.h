// Member honours: the awards committee members received, when and at
// which level. The award is chosen from the list of codes above "60"; the
// last of them stands for an award not in the list, whose name is then
// written out in prizename, which is open only for that code.
#pragma once

#include "committee/personinfo.h"

namespace officerecords {

const dw_object& d_og_councilmemberhonor_f();
const dw_object& d_og_councilmemberhonor();

class w_m_og_councilmemberhonor : public member_side_window {
public:
    explicit w_m_og_councilmemberhonor(session& s);

    void open() override;
    void ue_postopen() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    int wf_dw_verify() override { return refuse_future_date(*this, "prizedate"); }
    int wf_checkdate() override { return 0; }

    dw_child* idw_child = nullptr;
    // The award not in the list; empty when no code lies above "60".
    std::string is_prizecode;

private:
    void present_prizename(bool open);
    bool opens_prizename(const std::optional<std::string>& code) const;
};

}  // namespace officerecords
