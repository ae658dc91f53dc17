#include "committee/councilmemberhonor.h"

namespace officerecords {

namespace {
constexpr const char* k_member = "居委会成员基本信息";
constexpr const char* k_honour = "居委会成员荣誉信息";
}  // namespace

const dw_object& d_og_councilmemberhonor_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilmemberhonor_f";
        o.select =
            "SELECT h.commno, h.orderno, m.falldue, h.personno, p.personname, p.idcard, p.sex, "
            "p.birthdate, p.presentaddr1, p.contactphone, h.prizedate, h.prizelevel, h.prizename, "
            "h.issave, h.note, h.prepare1, h.prepare2, h.prepare3, h.prepare4, h.prepare5, "
            "h.prepare6, h.prizecode FROM tc_og_councilmemberhonor h, tc_ge_personinfo p, "
            "tc_og_councilmemberinfo m WHERE h.personno = p.personno AND m.personno = p.personno";
        o.update_table = "tc_og_councilmemberhonor";
        o.naming = {"personname", "prizedate", "prizecode"};
        o.columns = member_side_columns({10, 20, 40, 30, 50, 60, 70}, k_member);
        for (column_def c : std::vector<column_def>{
                 column("prizedate").date().update().label("时间:").tab(80).group(k_honour),
                 column("prizelevel").text(2).update().label("奖励级别:").dropdown("dddw_ge_level").tab(90).group(k_honour),
                 column("prizename").text(40).update().label("其它奖励名称:").tab(110).group(k_honour),
                 column("issave").text(1),
                 column("note").text(254).update().label("备注:").multiline().tab(120).group(k_honour),
             })
            o.columns.push_back(std::move(c));
        append_reserved(o.columns);
        o.columns.push_back(column("prizecode").text(2).update().label("奖励名称:").dropdown("dddw_ge_prizename").tab(100).group(k_honour));
        o.groups = {k_member, k_honour};
        return o;
    }();
    return form;
}

const dw_object& d_og_councilmemberhonor() {
    static const dw_object list = make_list(d_og_councilmemberhonor_f(), "d_og_councilmemberhonor",
                                            {{"prizedate", "时间"},
                                             {"prizename", "其它奖励名称"},
                                             {"note", "备注"},
                                             joined_list_column("personname", "姓名"),
                                             joined_list_column("sex", "性别"),
                                             joined_list_column("idcard", "身份证号码"),
                                             joined_list_column("birthdate", "出生日期"),
                                             joined_list_column("presentaddr1", "居住地址"),
                                             joined_list_column("contactphone", "联系电话"),
                                             joined_list_column("falldue", "届次"),
                                             {"prizelevel", "奖励级别"},
                                             {"prizecode", "奖励名称"}});
    return list;
}

w_m_og_councilmemberhonor::w_m_og_councilmemberhonor(session& s)
    : member_side_window(s, "w_m_og_councilmemberhonor", d_og_councilmemberhonor_f()) {}

void w_m_og_councilmemberhonor::open() {
    member_side_window::open();
    idw_child = dw_1.getchild("prizecode").first;
    if (!idw_child) return;
    (void)idw_child->setfilter("tcode>'60'");
    (void)idw_child->filter();
    is_prizecode = idw_child->getitemstring(idw_child->rowcount(), "tcode").value_or("");
}

// Open only for the award not in the list; with no such award (no code
// above "60") the free name stays locked.
bool w_m_og_councilmemberhonor::opens_prizename(const std::optional<std::string>& code) const {
    if (is_prizecode.empty()) return false;
    return !code || *code == is_prizecode;
}

void w_m_og_councilmemberhonor::present_prizename(bool open) {
    dw_1.object("prizename").protect(open ? 0 : 1);
    dw_1.object("prizename").tag(open ? "1" : "2");
    const std::string colour = dw_1.describe(open ? "PrizeCode.background.color" : "Sex.background.color");
    set_properties("PrizeName.background.color='" + colour + "'");
}

void w_m_og_councilmemberhonor::ue_postopen() {
    member_side_window::ue_postopen();
    const auto code = dw_1.getitemstring(1, "prizecode");
    // No award chosen yet: locked until the award not in the list is chosen.
    present_prizename(code && opens_prizename(code));
}

int w_m_og_councilmemberhonor::itemchanged(long row, const dwo& column, const std::string& data) {
    const int rc = member_side_window::itemchanged(row, column, data);
    if (column.name != "prizecode") return rc;
    const std::optional<std::string> code =
        data.empty() ? std::nullopt : std::optional<std::string>(data);
    if (opens_prizename(code)) {
        present_prizename(true);
    } else if (!is_prizecode.empty()) {
        // Another award has no free name.
        present_prizename(false);
        (void)dw_1.setitem(1, "prizename", value());
    } else {
        present_prizename(false);
    }
    return rc;
}

}  // namespace officerecords
