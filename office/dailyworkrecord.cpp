#include "office/dailyworkrecord.h"

#include "foundation/column_check.h"

namespace officerecords {

const dw_object& d_og_dailyworkrecord_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_dailyworkrecord_f";
        o.select =
            "SELECT commno, orderno, meetdate, meetname, commaddr, organise, attendperson, content, "
            "submitdept, issave, recorder, note, prepare1, prepare2, prepare3, prepare4, prepare5, "
            "prepare6 FROM tc_og_dailyworkrecord";
        o.update_table = "tc_og_dailyworkrecord";
        o.naming = {"meetname", "meetdate"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("meetdate").date().update().label("时间:").tab(10),
            column("meetname").text(100).update().label("名称:").tab(20),
            column("commaddr").text(60).update().label("地点:").tab(30),
            column("organise").text(2).update().label("所属组织:").dropdown("dddw_og_organise").tab(40),
            column("attendperson").text(400).update().label("参加人员:").multiline().tab(50),
            column("content").text(4000).update().label("内容:").multiline().tab(60),
            column("submitdept").text(2).update().label("呈报职能部门:").dropdown("dddw_og_relatedept").tab(70),
            column("issave").text(1).update(),
            column("recorder").text(30).update().label("记录人:").tab(80),
            column("note").text(254).update().label("备注:").multiline().tab(90),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_dailyworkrecord() {
    static const dw_object list = make_list(d_og_dailyworkrecord_f(), "d_og_dailyworkrecord",
                                            {{"meetdate", "时间"},
                                             {"meetname", "名称"},
                                             {"commaddr", "地点"},
                                             {"organise", "所属组织"},
                                             {"attendperson", "参加人员"},
                                             {"content", "内容"},
                                             {"submitdept", "呈报职能部门"},
                                             {"recorder", "记录人"},
                                             {"note", "备注"}});
    return list;
}

w_m_og_dailyworkrecord::w_m_og_dailyworkrecord(session& s)
    : w_modify(s, "w_m_og_dailyworkrecord", d_og_dailyworkrecord_f()) {}

void w_m_og_dailyworkrecord::cb_save_clicked() {
    dw_1.accepttext();
    long row = dw_1.getrow();
    auto met = dw_1.getitemdate(row, "meetdate");
    if (met) {
        if (after_today(met, today())) {
            host().message_box("提示", "日期不能大于当前日期");
            dw_1.setitem(row, "meetdate", value());
            return;
        }
        if (before_foundation(met)) {
            host().message_box("提示", "日期不能小于建国日期!");
            dw_1.setitem(row, "meetdate", value());
            return;
        }
    }
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
