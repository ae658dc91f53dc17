#include "office/sealuserecord.h"

#include "foundation/column_check.h"

namespace officerecords {

const dw_object& d_og_sealuserecord_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_sealuserecord_f";
        o.select =
            "SELECT s.commno, s.orderno, s.personno, s.applydate, s.sealusesort, s.detailuse, "
            "s.dealperson, s.confirmperson, s.issave, s.note, s.prepare1, s.prepare2, s.prepare3, "
            "s.prepare4, s.prepare5, s.prepare6, p.personname, p.idcard, p.sex, p.birthdate, "
            "p.presentaddr1, p.contactphone, year(today()) - year( birthdate) as age FROM "
            "tc_og_sealuserecord s, tc_ge_personinfo p WHERE s.personno = p.personno";
        o.update_table = "tc_og_sealuserecord";
        o.naming = {"personname", "sealusesort", "applydate"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("personno").text(24).update(),
            column("applydate").date().update().label("申请时间:").tab(10),
            column("sealusesort").text(2).update().label("用章分类:").dropdown("dddw_og_sealusesort").tab(80),
            column("detailuse").text(2000).update().label("具体说明:").multiline().tab(90),
            column("dealperson").text(30).update().label("办理人:").tab(100),
            column("confirmperson").text(30).update().label("批准人:").tab(110),
            // The window never writes the save-state flag.
            column("issave").text(1),
            column("note").text(254).update().label("备注:").multiline().tab(120),
        };
        append_reserved(o.columns);
        // The applicant's register data: entered only to pick a person,
        // never written back.
        for (column_def c : std::vector<column_def>{
                 column("personname").text(30).label("申请人姓名:").tab(20),
                 column("idcard").text(20).label("身份证号码:").tab(40),
                 column("sex").text(2).label("性别:").dropdown("dddw_gb_sex").tab(30),
                 column("birthdate").date().label("出生日期:").tab(50),
                 column("presentaddr1").text(60).label("居住地址:").tab(70),
                 column("contactphone").text(30).label("联系电话:").tab(60),
                 column("age").whole().label("年龄:").format("###").shown(),
             })
            o.columns.push_back(std::move(c));
        return o;
    }();
    return form;
}

const dw_object& d_og_sealuserecord() {
    static const dw_object list = make_list(d_og_sealuserecord_f(), "d_og_sealuserecord",
                                            {{"applydate", "申请时间"},
                                             {"sealusesort", "用章分类"},
                                             {"detailuse", "具体说明"},
                                             {"dealperson", "办理人"},
                                             {"confirmperson", "批准人"},
                                             {"note", "备注"},
                                             {"personname", "申请人姓名"},
                                             {"idcard", "身份证号码"},
                                             {"sex", "性别"},
                                             {"presentaddr1", "居住地址"},
                                             {"contactphone", "联系电话"},
                                             {"birthdate", "出生日期"},
                                             {"age", "年龄", "###"}});
    return list;
}

w_m_og_sealuserecord::w_m_og_sealuserecord(session& s)
    : w_modify(s, "w_m_og_sealuserecord", d_og_sealuserecord_f()) {}

void w_m_og_sealuserecord::ue_loadphoto() {
    w_modify::ue_loadphoto();
    // A stored record's applicant stays who applied.
    if (is_stringparm == k_mode_modify) set_properties("personname.tabsequence=0");
}

int w_m_og_sealuserecord::itemchanged(long row, const dwo& column, const std::string& data) {
    const int rc = w_modify::itemchanged(row, column, data);
    if (column.name != "personname") return rc;
    (void)dw_1.setitem(row, "PersonNo", value(std::string()));
    (void)dw_1.setitem(row, "PersonNo", value());
    (void)host().open_with_parm("w_selectperson",
                                data + ",personno,personname,sex,idcard,birthdate,age," +
                                    "contactphone,presentaddr1",
                                *this);
    (void)dw_1.accepttext();
    // The typed text is never the applicant: only what the picker wrote stands.
    return 2;
}

void w_m_og_sealuserecord::cb_save_clicked() {
    // What is still being typed is checked too, not saved past the checks.
    if (dw_1.accepttext() < 0) return;
    const long row = dw_1.getrow();
    if (after_today(dw_1.getitemdate(row, "applydate"), today())) {
        host().message_box("提示", "申请时间不能大于当前日期!");
        return;
    }
    const auto personno = dw_1.getitemstring(row, "personno");
    if (!personno || personno->empty()) {
        host().message_box("提示", "在个人信息中不存在，请选择个人信息中存在的人员!");
        return;
    }
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
