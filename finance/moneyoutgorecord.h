// The expenditure record: the office's spending, from which category of
// funds and for which scope of use. The scopes offered follow the chosen
// category: those strictly between its code and its code plus ten, or
// scope "50" alone for category "50".
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_moneyoutgorecord_f();
const dw_object& d_og_moneyoutgorecord();

class w_m_og_moneyoutgorecord : public w_modify {
public:
    explicit w_m_og_moneyoutgorecord(session& s);

    void open() override;
    void cb_first_clicked() override;
    void cb_prior_clicked() override;
    void cb_next_clicked() override;
    void cb_last_clicked() override;
    // Reverting reloads the record: its category's scopes are offered again.
    void cb_roll_clicked() override;
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    // The generic column check, then the frame's Save.
    void cb_save_clicked() override;

private:
    void filter_scopes(dw_child& child, const std::string& category);
    // In "修改", the scopes of the newly current row's category.
    void refilter_current();
};

}  // namespace officerecords
