#include "committee/councilmemberappr.h"

namespace officerecords {

namespace {
constexpr const char* k_member = "居委会成员基本信息";
constexpr const char* k_appraisal = "居委会成员评议信息";
}  // namespace

const dw_object& d_og_councilmemberappr_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilmemberappr_f";
        o.select =
            "SELECT a.commno, a.orderno, m.falldue, a.personno, p.personname, p.idcard, p.sex, "
            "p.birthdate, p.presentaddr1, p.contactphone, a.assessyear, a.assessresult, a.issave, "
            "a.note, a.prepare1, a.prepare2, a.prepare3, a.prepare4, a.prepare5, a.prepare6 FROM "
            "tc_og_councilmemberappr a, tc_ge_personinfo p, tc_og_councilmemberinfo m WHERE "
            "a.personno = p.personno AND p.personno = m.personno";
        o.update_table = "tc_og_councilmemberappr";
        o.naming = {"personname", "assessyear", "assessresult"};
        o.columns = member_side_columns({10, 20, 40, 30, 50, 60, 70}, k_member);
        for (column_def c : std::vector<column_def>{
                 column("assessyear").text(2).update().label("考核评议年度:").dropdown("dddw_og_assessyear").tab(80).group(k_appraisal),
                 column("assessresult").text(2).update().label("考核评议结果:").dropdown("dddw_og_assessresult").tab(90).group(k_appraisal),
                 column("issave").text(1).update(),
                 column("note").text(254).update().label("备注:").multiline().tab(100).group(k_appraisal),
             })
            o.columns.push_back(std::move(c));
        append_reserved(o.columns);
        o.groups = {k_member, k_appraisal};
        return o;
    }();
    return form;
}

const dw_object& d_og_councilmemberappr() {
    static const dw_object list = make_list(d_og_councilmemberappr_f(), "d_og_councilmemberappr",
                                            {{"assessyear", "考核评议年度"},
                                             {"assessresult", "考核评议结果"},
                                             {"note", "备注"},
                                             joined_list_column("personname", "姓名"),
                                             joined_list_column("sex", "性别"),
                                             joined_list_column("idcard", "身份证号码"),
                                             joined_list_column("birthdate", "出生日期"),
                                             joined_list_column("presentaddr1", "居住地址"),
                                             joined_list_column("contactphone", "联系电话"),
                                             joined_list_column("falldue", "届次")});
    return list;
}

w_m_og_councilmemberappr::w_m_og_councilmemberappr(session& s)
    : member_side_window(s, "w_m_og_councilmemberappr", d_og_councilmemberappr_f()) {}

}  // namespace officerecords
