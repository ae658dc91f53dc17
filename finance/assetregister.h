// The asset register: the office's fixed assets, what each is, how many,
// what it cost, when it was acquired and scrapped, and who keeps it.
#pragma once

#include "foundation/w_modify.h"

namespace officerecords {

const dw_object& d_og_assetregister_f();
const dw_object& d_og_assetregister();

class w_m_og_assetregister : public w_modify {
public:
    explicit w_m_og_assetregister(session& s);
    // Generic column check with scrapedate allowed in the future, then the
    // scrap date may not precede the purchase date.
    void cb_save_clicked() override;
    int wf_checkdate() override { return 0; }
};

}  // namespace officerecords
