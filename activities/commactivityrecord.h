// The activity record: the community activities the office organises, one
// form each. Saving checks the activity's date, topic and summary; a record
// marked as a big affair is carried into the community chronicle
// (TC_GE_BigAffair) inside the same transaction as the record itself, and
// an identical entry of the community's chronicle is never written twice.
// An indicator shows whether photos are stored, and the photo album opens
// for a saved record; an activity whose album still holds photos is not
// deleted.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_commactivityrecord_f();
const dw_object& d_og_commactivityrecord();

class w_m_og_commactivityrecord : public w_modify {
public:
    explicit w_m_og_commactivityrecord(session& s);

    // Photos may outlive an activity deleted before its album was
    // emptied: their number is never a new activity's.
    std::vector<numbered_along> numbers_also_in() const override {
        return {{"TS_CommActivePhoto", "OrderNo"}};
    }
    void open() override;
    void ue_loadphoto() override;
    // Generic column check, the activity checks, then the frame's Save.
    void cb_save_clicked() override;
    // The chronicle transfer, on sqlca inside the saving transaction.
    int wf_age_check() override;
    void cb_photo_clicked();

    control st_1;
    control cbx_photo;
    control cb_photo;

private:
    // cb_photo follows the edit mode: a stored record takes photos.
    void follow_mode();
    // The first failed activity rule, shown with title "提示"; false when one failed.
    bool activity_rules_hold(long row, bool with_summary);
};

}  // namespace officerecords
