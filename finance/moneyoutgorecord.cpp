#include "finance/moneyoutgorecord.h"

#include "foundation/column_check.h"

namespace officerecords {

const dw_object& d_og_moneyoutgorecord_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_moneyoutgorecord_f";
        o.select =
            "SELECT commno, orderno, recorddate, outlaysort, usebound, usenote, moneysum, "
            "handleperson, examperson, recorder, issave, note, prepare1, prepare2, prepare3, "
            "prepare4, prepare5, prepare6 FROM tc_og_moneyoutgorecord";
        o.update_table = "tc_og_moneyoutgorecord";
        o.naming = {"outlaysort", "recorddate", "moneysum"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("recorddate").date().update().label("登记日期:").tab(10),
            column("outlaysort").text(2).update().label("经费类别:").dropdown("dddw_og_outlaysort").tab(20),
            column("usebound").text(2).update().label("经费使用范围:").dropdown("dddw_og_usebound").tab(30),
            column("usenote").text(400).update().label("具体用途说明:").multiline().tab(40),
            column("moneysum").decimal(2).update().label("金额（元）:").format("#,###,###.00").tab(50),
            column("handleperson").text(30).update().label("经手人:").tab(60),
            column("examperson").text(30).update().label("审批人:").tab(70),
            column("recorder").text(30).update().label("记录人:").tab(80),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(90),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_moneyoutgorecord() {
    static const dw_object list = make_list(d_og_moneyoutgorecord_f(), "d_og_moneyoutgorecord",
                                            {{"recorddate", "登记日期"},
                                             {"outlaysort", "经费类别"},
                                             {"usebound", "经费使用范围"},
                                             {"usenote", "具体用途说明"},
                                             {"moneysum", "金额（元）", "#,###,##0.00"},
                                             {"handleperson", "经手人"},
                                             {"examperson", "审批人"},
                                             {"recorder", "记录人"},
                                             {"note", "备注"}});
    return list;
}

w_m_og_moneyoutgorecord::w_m_og_moneyoutgorecord(session& s)
    : w_modify(s, "w_m_og_moneyoutgorecord", d_og_moneyoutgorecord_f()) {}

void w_m_og_moneyoutgorecord::filter_scopes(dw_child& child, const std::string& category) {
    if (category == "50") {
        child.setfilter("tcode = '50'");
    } else {
        // A stored category that is no number reads as 0, as long() reads it;
        // an absurdly long one must not overflow the bound.
        std::string upper = std::to_string(saturated_add(leading_whole(category), 10));
        child.setfilter("tcode > '" + category + "' and tcode < '" + upper + "'");
    }
    child.filter();
}

void w_m_og_moneyoutgorecord::refilter_current() {
    long row = dw_1.getrow();
    auto [child, rc] = dw_1.getchild("usebound");
    if (is_stringparm != k_mode_modify) return;
    auto category = dw_1.getitemstring(row, "outlaysort");
    if (category && rc == 1) filter_scopes(*child, *category);
}

void w_m_og_moneyoutgorecord::open() {
    w_modify::open();
    long row = dw_1.getrow();
    auto [child, rc] = dw_1.getchild("usebound");
    if (is_stringparm == k_mode_add) {
        dw_1.setitem(row, "outlaysort", value("10"));
        if (rc == 1) {
            child->setfilter("tcode > '10' and tcode < '20'");
            child->filter();
        }
    }
    if (is_stringparm == k_mode_modify) refilter_current();
}

void w_m_og_moneyoutgorecord::cb_first_clicked() {
    w_modify::cb_first_clicked();
    refilter_current();
}

void w_m_og_moneyoutgorecord::cb_prior_clicked() {
    w_modify::cb_prior_clicked();
    refilter_current();
}

void w_m_og_moneyoutgorecord::cb_next_clicked() {
    w_modify::cb_next_clicked();
    refilter_current();
}

void w_m_og_moneyoutgorecord::cb_last_clicked() {
    w_modify::cb_last_clicked();
    refilter_current();
}

void w_m_og_moneyoutgorecord::cb_roll_clicked() {
    w_modify::cb_roll_clicked();
    refilter_current();
}

int w_m_og_moneyoutgorecord::itemchanged(long row, const dwo& column, const std::string& data) {
    int rc = w_modify::itemchanged(row, column, data);
    if (column.name != "outlaysort") return rc;
    auto [child, status] = dw_1.getchild("usebound");
    if (status == 1) filter_scopes(*child, data);
    dw_1.setitem(row, "usebound", value());
    return rc;
}

void w_m_og_moneyoutgorecord::cb_save_clicked() {
    if (!generic_column_check(dw_1, host(), today())) return;
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
