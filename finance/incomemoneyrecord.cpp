#include "finance/incomemoneyrecord.h"

#include "foundation/column_check.h"

namespace officerecords {

const dw_object& d_og_incomemoneyrecord_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_incomemoneyrecord_f";
        o.select =
            "SELECT commno, orderno, recorddate, outlaysort, outlaysource, moneysum, handleperson, "
            "recorder, issave, note, prepare1, prepare2, prepare3, prepare4, prepare5, prepare6 "
            "FROM tc_og_incomemoneyrecord";
        o.update_table = "tc_og_incomemoneyrecord";
        o.naming = {"outlaysort", "recorddate", "moneysum"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("recorddate").date().update().label("登记日期:").tab(10),
            column("outlaysort").text(2).update().label("经费类别:").dropdown("dddw_og_outlaysort").tab(20),
            column("outlaysource").text(2).update().label("经费来源:").dropdown("dddw_og_outlaysource").tab(30),
            column("moneysum").decimal(2).update().label("金额（元）:").format("#,###,###.00").tab(40),
            column("handleperson").text(30).update().label("经手人:").tab(50),
            column("recorder").text(30).update().label("登记人:").tab(60),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(70),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_incomemoneyrecord() {
    static const dw_object list = make_list(d_og_incomemoneyrecord_f(), "d_og_incomemoneyrecord",
                                            {{"recorddate", "登记日期"},
                                             {"outlaysort", "经费类别"},
                                             {"outlaysource", "经费来源"},
                                             {"moneysum", "金额（元）", "#,###,##0.00"},
                                             {"handleperson", "经手人"},
                                             {"recorder", "登记人"},
                                             {"note", "备注"}});
    return list;
}

w_m_og_incomemoneyrecord::w_m_og_incomemoneyrecord(session& s)
    : w_modify(s, "w_m_og_incomemoneyrecord", d_og_incomemoneyrecord_f()) {}

void w_m_og_incomemoneyrecord::cb_save_clicked() {
    if (!generic_column_check(dw_1, host(), today())) return;
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
