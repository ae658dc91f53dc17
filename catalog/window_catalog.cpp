#include "catalog/window_catalog.h"

#include "activities/commactivityrecord.h"
#include "activities/commactivityrecord_pic.h"
#include "committee/councilmemberappr.h"
#include "committee/councilmemberhonor.h"
#include "committee/councilmemberinfo.h"
#include "committee/councilmembertrain.h"
#include "committee/councilorgduty.h"
#include "committee/councilorgmember.h"
#include "committee/parttimejob.h"
#include "finance/assetregister.h"
#include "finance/incomemoneyrecord.h"
#include "finance/moneyoutgorecord.h"
#include "office/comminregister.h"
#include "office/dailyworkrecord.h"
#include "office/sealuserecord.h"

namespace officerecords {

namespace {

template <typename W>
std::unique_ptr<w_modify> make(session& s) {
    return std::make_unique<W>(s);
}

}  // namespace

const std::vector<window_entry>& window_catalog() {
    static const std::vector<window_entry> entries = {
        {"w_m_og_assetregister", "固定资产登记", "财务与资产", &d_og_assetregister_f,
         &d_og_assetregister, &make<w_m_og_assetregister>},
        {"w_m_og_incomemoneyrecord", "经费收入登记", "财务与资产", &d_og_incomemoneyrecord_f,
         &d_og_incomemoneyrecord, &make<w_m_og_incomemoneyrecord>},
        {"w_m_og_moneyoutgorecord", "经费支出登记", "财务与资产", &d_og_moneyoutgorecord_f,
         &d_og_moneyoutgorecord, &make<w_m_og_moneyoutgorecord>},
        {"w_m_og_dailyworkrecord", "日常工作记录", "办公登记", &d_og_dailyworkrecord_f,
         &d_og_dailyworkrecord, &make<w_m_og_dailyworkrecord>},
        {"w_m_og_sealuserecord", "印章使用登记", "办公登记", &d_og_sealuserecord_f,
         &d_og_sealuserecord, &make<w_m_og_sealuserecord>},
        {"w_m_og_comminregister", "社区准入登记", "办公登记", &d_og_comminregister_f,
         &d_og_comminregister, &make<w_m_og_comminregister>},
        {"w_m_og_commactivityrecord", "社区活动记录", "社区活动", &d_og_commactivityrecord_f,
         &d_og_commactivityrecord, &make<w_m_og_commactivityrecord>},
        {"w_m_og_councilorgduty", "居委会组织机构", "居委会组织", &d_og_councilorgduty_f,
         &d_og_councilorgduty, &make<w_m_og_councilorgduty>},
        {"w_m_og_councilmemberinfo", "居委会成员", "居委会组织", &d_og_councilmemberinfo_f,
         &d_og_councilmemberinfo, &make<w_m_og_councilmemberinfo>},
        {"w_m_og_councilorgmember", "组织机构成员", "居委会组织", &d_og_councilorgmember_f,
         &d_og_councilorgmember, &make<w_m_og_councilorgmember>},
        {"w_m_og_councilmembertrain", "居委会成员培训", "居委会组织", &d_og_councilmembertrain_f,
         &d_og_councilmembertrain, &make<w_m_og_councilmembertrain>},
        {"w_m_og_councilmemberappr", "居委会成员考核评议", "居委会组织", &d_og_councilmemberappr_f,
         &d_og_councilmemberappr, &make<w_m_og_councilmemberappr>},
        {"w_m_og_councilmemberhonor", "居委会成员荣誉", "居委会组织", &d_og_councilmemberhonor_f,
         &d_og_councilmemberhonor, &make<w_m_og_councilmemberhonor>},
        {"w_m_og_parttimejob", "居委会成员社会兼职", "居委会组织", &d_og_parttimejob_f,
         &d_og_parttimejob, &make<w_m_og_parttimejob>},
    };
    return entries;
}

const std::vector<window_entry>& child_windows() {
    static const std::vector<window_entry> entries = {
        {"w_m_og_commactivityrecord_pic", "社区活动记录照片", "社区活动", nullptr, nullptr,
         &make<w_m_og_commactivityrecord_pic>},
    };
    return entries;
}

const window_entry* find_window_entry(std::string_view window) {
    for (const auto* entries : {&window_catalog(), &child_windows()})
        for (const auto& e : *entries)
            if (iequals(e.window, window)) return &e;
    return nullptr;
}

}  // namespace officerecords
