#include "office/comminregister.h"

#include "foundation/column_check.h"

namespace officerecords {

namespace {

constexpr long k_locked = 12514815;     // red 255, green 245, blue 190
constexpr long k_open_date = 10210815;  // red 255, green 205, blue 155
constexpr long k_open_text = 15790310;  // red 230, green 240, blue 240

std::string colour(const char* column, long rgb) {
    return std::string(column) + ".background.color='" + std::to_string(rgb) + "'";
}

}  // namespace

const dw_object& d_og_comminregister_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_comminregister_f";
        o.select =
            "SELECT commno, orderno, registdate, commintype, registname, registcontent, isagree, "
            "incommdate, outcommdate, residentappraise, issave, note, prepare1, prepare2, prepare3, "
            "prepare4, prepare5, prepare6 FROM tc_og_comminregister";
        o.update_table = "tc_og_comminregister";
        o.naming = {"registname", "registdate"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("registdate").date().update().label("登记日期:").tab(10),
            column("commintype").text(2).update().label("准入类别:").dropdown("dddw_og_commintype").tab(20),
            column("registname").text(60).update().label("名称:").tab(30),
            column("registcontent").text(2000).update().label("内容:").tab(40),
            column("isagree").text(1).update().label("社区居委会是否同意:").radio("是\t1/否\t0/").tab(50),
            column("incommdate").date().update().label("进入社区起始日期:").tab(60).background(k_open_date),
            column("outcommdate").date().update().label("进入社区终止日期:").tab(70).background(k_open_date),
            column("residentappraise").text(1000).update().label("居民评价:").tab(80).background(k_open_text),
            column("issave").text(1).update(),
            column("note").text(2000).update().label("备注:").tab(90).background(k_open_text),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_comminregister() {
    static const dw_object list = make_list(d_og_comminregister_f(), "d_og_comminregister",
                                            {{"registdate", "登记日期"},
                                             {"commintype", "准入类别"},
                                             {"registname", "名称"},
                                             {"registcontent", "内容"},
                                             {"isagree", "社区居委会是否同意", {}, {}, "dddw_ge_is"},
                                             {"incommdate", "进入社区起始日期"},
                                             {"outcommdate", "进入社区终止日期"},
                                             {"residentappraise", "居民评价"},
                                             {"note", "备注"}});
    return list;
}

w_m_og_comminregister::w_m_og_comminregister(session& s)
    : w_modify(s, "w_m_og_comminregister", d_og_comminregister_f()) {}

void w_m_og_comminregister::lock_agreement_group() {
    set_properties("incommdate.TabSequence=0");
    set_properties("outcommdate.TabSequence=0");
    set_properties("residentappraise.TabSequence=0");
    set_properties("note.TabSequence=0");
}

void w_m_og_comminregister::locked_colours() {
    set_properties(colour("outcommdate", k_locked));
    set_properties(colour("incommdate", k_locked));
    set_properties(colour("residentappraise", k_locked));
    set_properties(colour("note", k_locked));
}

void w_m_og_comminregister::ue_loadphoto() {
    w_modify::ue_loadphoto();
    if (is_stringparm == k_mode_add) {
        lock_agreement_group();
        locked_colours();
        return;
    }
    if (is_stringparm == k_mode_modify) {
        auto answer = dw_1.getitemstring(dw_1.getrow(), "IsAgree");
        if (answer && *answer == "0") {
            lock_agreement_group();
            locked_colours();
            return;
        }
        ib_flag = true;
        set_properties("incommdate.tag='1'");
        set_properties(colour("incommdate", k_open_date));
        set_properties("outcommdate.tag='1'");
        set_properties(colour("outcommdate", k_open_date));
    }
}

int w_m_og_comminregister::itemchanged(long row, const dwo& column, const std::string& data) {
    int rc = w_modify::itemchanged(row, column, data);
    if (column.name != "isagree") return rc;
    if (data == "1") {
        set_properties("incommdate.TabSequence=60");
        set_properties("outcommdate.TabSequence=70");
        set_properties("residentappraise.TabSequence=80");
        set_properties("note.TabSequence=90");
        set_properties(colour("outcommdate", k_open_date));
        set_properties(colour("residentappraise", k_open_text));
        set_properties(colour("note", k_open_text));
        set_properties(colour("incommdate", k_open_date));
        set_properties("incommdate.tag='1'");
        set_properties("outcommdate.tag='1'");
        ib_flag = true;
    } else if (data == "0") {
        lock_agreement_group();
        dw_1.setitem(row, "incommdate", value());
        dw_1.setitem(row, "outcommdate", value());
        dw_1.setitem(row, "residentappraise", value());
        dw_1.setitem(row, "note", value());
        locked_colours();
        set_properties("incommdate.tag='0'");
        set_properties("outcommdate.tag='0'");
        ib_flag = false;
    }
    return rc;
}

bool w_m_og_comminregister::offer_calendar(const dwo& column, bool* qualifies) {
    *qualifies = false;
    if (dw_1.describe("DataWindow.ReadOnly") == "yes") return false;
    if (column.name != "registdate" && !ib_flag) return false;
    *qualifies = column.coltype.substr(0, 4) == "date" && column.editmask.size() > 8;
    if (*qualifies) ii_col = column.id;
    return true;
}

void w_m_og_comminregister::itemfocuschanged(long, const dwo& column) {
    bool qualifies = false;
    if (!offer_calendar(column, &qualifies)) return;
    if (!qualifies) {
        mc_1.set_visible(false);
        return;
    }
    // The emptiness test looks at row 1, whatever row raised the event.
    if (dw_1.getitem(1, ii_col).is_null()) wf_opencalendar();
}

void w_m_og_comminregister::doubleclicked(int, int, long, const dwo& column) {
    bool qualifies = false;
    if (offer_calendar(column, &qualifies) && qualifies) wf_opencalendar();
}

void w_m_og_comminregister::cb_save_clicked() {
    if (!generic_column_check(dw_1, host(), today())) return;
    long row = dw_1.getrow();
    auto from = dw_1.getitemdate(row, "incommdate");
    auto to = dw_1.getitemdate(row, "outcommdate");
    if (from && to && *from > *to) {
        host().message_box("提示", "进入社区开始日期不能大于进入社区终止日期");
        return;
    }
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
