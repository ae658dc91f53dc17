// The move-in register: applications to enter the community. Only an
// agreed application carries the period of presence, the residents'
// appraisal and a note, so those four columns open and lock, change colour
// and are tagged as the committee's answer changes; the date columns offer
// the calendar.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_comminregister_f();
const dw_object& d_og_comminregister();

class w_m_og_comminregister : public w_modify {
public:
    explicit w_m_og_comminregister(session& s);

    void ue_loadphoto() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    void itemfocuschanged(long row, const dwo& column) override;
    void doubleclicked(int x, int y, long row, const dwo& column) override;
    void cb_save_clicked() override;

    // True while the agreement dates are open for the calendar.
    bool ib_flag = false;

private:
    void lock_agreement_group();
    void locked_colours();
    // The calendar offer shared by focus change and double-click; returns
    // whether the column qualified.
    bool offer_calendar(const dwo& column, bool* qualifies);
};

}  // namespace officerecords
