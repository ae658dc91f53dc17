#include "import/import_rules.h"

#include <map>
#include <string>

namespace officerecords {

namespace {

const std::vector<std::string_view> k_person = {"personname", "idcard", "personno"};

}  // namespace

const import_rules& rules_of(std::string_view window) {
    static const std::map<std::string, import_rules, std::less<>> rules = {
        {"w_m_og_assetregister", {{}, {"purchasedate", "goodsname", "originvalue"}, "添置日期、资产名称和价值"}},
        {"w_m_og_incomemoneyrecord", {{}, {"recorddate", "outlaysort", "moneysum"}, "登记日期、经费类别和金额"}},
        {"w_m_og_moneyoutgorecord", {{}, {"recorddate", "usenote", "moneysum"}, "登记日期、用途和金额"}},
        {"w_m_og_dailyworkrecord", {{}, {"meetdate", "meetname"}, "时间和名称"}},
        {"w_m_og_sealuserecord",
         {{k_person}, {"applydate", "personno", "sealusesort"}, "申请时间、申请人和用章分类", person_use::picker}},
        {"w_m_og_comminregister", {{}, {"registdate", "registname"}, "登记日期和名称"}},
        {"w_m_og_commactivityrecord",
         {{{"activitydate"}, {"activitytopic"}},
          {"activitydate", "activitytopic", "attendpersonnum"},
          "活动时间、主题和参加人数"}},
        {"w_m_og_councilorgduty", {{{"falldue"}, {"orgname"}}, {"falldue", "orgname"}, "届次和机构名称"}},
        {"w_m_og_councilmemberinfo",
         {{{"falldue"}, k_person}, {"falldue", "personno"}, "届次和人员", person_use::picker}},
        {"w_m_og_councilorgmember",
         {{{"falldue"}, {"orgname"}, k_person}, {"orgno", "personno"}, "机构和人员", person_use::picker, true}},
        {"w_m_og_councilmembertrain",
         {{k_person}, {"personno", "traindate", "trainlevel"}, "人员、培训时间和培训级别", person_use::owner}},
        {"w_m_og_councilmemberappr",
         {{k_person}, {"personno", "assessyear"}, "人员和考核评议年度", person_use::owner}},
        {"w_m_og_councilmemberhonor",
         {{k_person}, {"personno", "prizedate", "prizecode", "prizename"}, "人员、时间和奖励名称", person_use::owner}},
        {"w_m_og_parttimejob",
         {{k_person}, {"personno", "holdtime", "parttimejob"}, "人员、任职时间和社会兼职", person_use::owner}},
    };
    static const import_rules none;
    const auto it = rules.find(window);
    return it == rules.end() ? none : it->second;
}

}  // namespace officerecords
