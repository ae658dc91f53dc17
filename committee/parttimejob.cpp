#include "committee/parttimejob.h"

namespace officerecords {

namespace {
constexpr const char* k_member = "居委会成员基本信息";
constexpr const char* k_post = "居委会成员兼职信息";
}  // namespace

const dw_object& d_og_parttimejob_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_parttimejob_f";
        o.select =
            "SELECT j.commno, j.orderno, m.falldue, j.personno, p.personname, p.idcard, p.sex, "
            "p.birthdate, p.presentaddr1, p.contactphone, j.holdtime, j.parttimejob, j.issave, "
            "j.note, j.prepare1, j.prepare2, j.prepare3, j.prepare4, j.prepare5, j.prepare6 FROM "
            "tc_og_parttimejob j, tc_ge_personinfo p, tc_og_councilmemberinfo m WHERE j.personno "
            "= p.personno AND p.personno = m.personno";
        o.update_table = "tc_og_parttimejob";
        o.naming = {"personname", "holdtime", "parttimejob"};
        o.columns = member_side_columns({10, 20, 30, 40, 50, 60, 70}, k_member);
        for (column_def c : std::vector<column_def>{
                 column("holdtime").date().update().label("任职时间:").tab(80).group(k_post),
                 column("parttimejob").text(4).update().label("社会兼职:").dropdown("dddw_gb_parttimejob").tab(90).group(k_post),
                 column("issave").text(1),
                 column("note").text(254).update().label("备注:").multiline().tab(100).group(k_post),
             })
            o.columns.push_back(std::move(c));
        append_reserved(o.columns);
        o.groups = {k_member, k_post};
        return o;
    }();
    return form;
}

const dw_object& d_og_parttimejob() {
    static const dw_object list = make_list(d_og_parttimejob_f(), "d_og_parttimejob",
                                            {{"holdtime", "任职时间"},
                                             {"parttimejob", "社会兼职"},
                                             {"note", "备注"},
                                             joined_list_column("personname", "姓名"),
                                             joined_list_column("sex", "性别"),
                                             joined_list_column("falldue", "届次"),
                                             joined_list_column("idcard", "身份证号码"),
                                             joined_list_column("birthdate", "出生日期"),
                                             joined_list_column("presentaddr1", "居住地址"),
                                             joined_list_column("contactphone", "联系电话")});
    return list;
}

w_m_og_parttimejob::w_m_og_parttimejob(session& s)
    : member_side_window(s, "w_m_og_parttimejob", d_og_parttimejob_f()) {}

}  // namespace officerecords
