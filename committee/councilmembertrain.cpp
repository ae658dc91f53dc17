#include "committee/councilmembertrain.h"

namespace officerecords {

namespace {
constexpr const char* k_member = "居委会成员基本信息";
constexpr const char* k_training = "居委会成员培训信息";
}  // namespace

const dw_object& d_og_councilmembertrain_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilmembertrain_f";
        o.select =
            "SELECT t.commno, t.orderno, m.falldue, t.personno, p.personname, p.idcard, p.sex, "
            "p.birthdate, p.presentaddr1, p.contactphone, t.traindate, t.trainlevel, t.ispass, "
            "t.issave, t.note, t.prepare1, t.prepare2, t.prepare3, t.prepare4, t.prepare5, "
            "t.prepare6 FROM tc_og_councilmembertrain t, tc_ge_personinfo p, "
            "tc_og_councilmemberinfo m WHERE t.personno = p.personno AND m.personno = p.personno";
        o.update_table = "tc_og_councilmembertrain";
        o.naming = {"personname", "traindate", "trainlevel"};
        o.columns = member_side_columns({10, 20, 30, 40, 50, 60, 70}, k_member);
        for (column_def c : std::vector<column_def>{
                 // The form's label ends in a semicolon, and messages quote it so.
                 column("traindate").date().update().label("培训时间;").tab(80).group(k_training),
                 column("trainlevel").text(2).update().label("培训级别:").dropdown("dddw_ge_level").tab(90).group(k_training),
                 column("ispass").text(1).update().label("是否合格:").radio("是\t1/否\t0/").tab(100).group(k_training),
                 column("issave").text(1),
                 column("note").text(254).update().label("备注:").multiline().tab(110).group(k_training),
             })
            o.columns.push_back(std::move(c));
        append_reserved(o.columns);
        o.groups = {k_member, k_training};
        return o;
    }();
    return form;
}

const dw_object& d_og_councilmembertrain() {
    static const dw_object list = make_list(
        d_og_councilmembertrain_f(), "d_og_councilmembertrain",
        {{"traindate", "培训时间"},
         {"trainlevel", "培训级别"},
         {"ispass", "是否合格", {}, {}, "dddw_ge_is"},
         {"note", "备注"},
         joined_list_column("falldue", "届次"),
         joined_list_column("personname", "姓名"),
         joined_list_column("idcard", "身份证号码"),
         joined_list_column("sex", "性别"),
         joined_list_column("birthdate", "出生日期"),
         joined_list_column("presentaddr1", "居住地址"),
         joined_list_column("contactphone", "联系电话")});
    return list;
}

w_m_og_councilmembertrain::w_m_og_councilmembertrain(session& s)
    : member_side_window(s, "w_m_og_councilmembertrain", d_og_councilmembertrain_f()) {}

int w_m_og_councilmembertrain::wf_dw_verify() { return refuse_future_date(*this, "traindate"); }

}  // namespace officerecords
