#include "committee/councilorgduty.h"

namespace officerecords {

const dw_object& d_og_councilorgduty_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilorgduty_f";
        o.select =
            "SELECT commno, orgno, falldue, orgname, organtype, orgpost, issave, note, prepare1, "
            "prepare2, prepare3, prepare4, prepare5, prepare6 FROM tc_og_councilorgduty";
        o.update_table = "tc_og_councilorgduty";
        o.naming = {"orgname", "falldue"};
        o.columns = {
            column("commno").text(12).key(),
            column("orgno").whole().key(),
            column("falldue").text(2).update().label("届次:").dropdown("dddw_ds_falldue").initial("06").tab(10),
            column("orgname").text(60).update().label("机构名称:").tab(20),
            column("organtype").text(2).update().label("机构类别:").dropdown("dddw_og_organtype").tab(30),
            column("orgpost").text(2000).update().label("机构职责:").multiline().tab(40),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(50),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_councilorgduty() {
    static const dw_object list = make_list(d_og_councilorgduty_f(), "d_og_councilorgduty",
                                            {{"falldue", "届次"},
                                             {"orgname", "机构名称"},
                                             {"organtype", "机构类别"},
                                             {"orgpost", "机构职责"},
                                             {"note", "备注"}});
    return list;
}

w_m_og_councilorgduty::w_m_og_councilorgduty(session& s)
    : w_modify(s, "w_m_og_councilorgduty", d_og_councilorgduty_f()) {}

int w_m_og_councilorgduty::wf_dw_verify() {
    const auto term = dw_1.getitemstring(1, "falldue");
    const auto name = dw_1.getitemstring(1, "orgname");
    // A null term or name matches no body; a failed count finds none.
    // Bodies of another community may bear the same names as this one's.
    long count = 0;
    if (term && name) {
        const value same[] = {dw_1.getitem(1, "commno"), value(*term), value(*name)};
        const auto n = sqlca().select_value(
            "select count(*) from TC_OG_CouncilOrgDuty where CommNo = ? and FallDue = ? and "
            "OrgName = ?",
            same);
        count = n ? static_cast<long>(n->as_double().value_or(0)) : 0;
    }
    if (count <= 0) return 0;
    const auto old_term = dw_1.getitemstring(1, "falldue", true);
    const auto old_name = dw_1.getitemstring(1, "orgname", true);
    // A change from or to null is no change: comparisons with null are false.
    const bool changed = (old_term && *old_term != *term) || (old_name && *old_name != *name);
    if (is_stringparm == k_mode_add || changed) {
        host().message_box("提示信息", "已存在相同名称与届次的居委会组织机构，不能重复录入！",
                           icon::exclamation);
        return 1;
    }
    return 0;
}

}  // namespace officerecords
