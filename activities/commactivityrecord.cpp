#include "activities/commactivityrecord.h"

#include "activities/photo_store.h"
#include "foundation/column_check.h"

namespace officerecords {

namespace {

constexpr const char* k_yes_no = "是\t1/否\t0/";

// Photos are records of their own and never go by the way: an activity is
// deleted only once its album is empty, so no photo is left to an
// activity that no longer exists.
result<std::string> refuse_while_photos(transaction& t, const value& commno, const value& orderno) {
    const auto number = orderno.as_double();
    if (!number) return std::string();
    const std::optional<long> photos =
        photo_store(t, commno.to_text()).count(static_cast<std::int64_t>(*number));
    if (!photos) return status::error(t.sqlerrtext());
    if (*photos < 1) return std::string();
    return std::string("该活动记录还有照片，请先在相册中删除照片，再删除活动记录！");
}

}  // namespace

const dw_object& d_og_commactivityrecord_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_commactivityrecord_f";
        o.select =
            "SELECT commno, orderno, buildmode, activitydate, activitytopic, activityaddr, "
            "submitdept, activityplan, attendcompnum, attendpersonnum, activitysumup, "
            "activitycost, outlaysource, recorder, ispublish, isbigaffair, issave, note, prepare1, "
            "prepare2, prepare3, prepare4, prepare5, prepare6 FROM tc_og_commactivityrecord";
        o.update_table = "tc_og_commactivityrecord";
        o.naming = {"activitytopic", "activitydate"};
        o.refuse_deletion = &refuse_while_photos;
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("buildmode").text(2).update().label("组织方式:").dropdown("dddw_OG_OrganiseMode").tab(10),
            column("activitydate").date().update().label("活动时间:").format("yyyy-mm-dd").tab(20),
            column("activitytopic").text(2).update().label("活动主题:").dropdown("dddw_og_activitytopic").tab(30),
            column("activityaddr").text(60).update().label("活动地点:").tab(40),
            column("submitdept").text(100).update().label("提出和指导部门:").dropdown("dddw_og_relatedept").tab(50),
            column("activityplan").text(4000).update().label("活动计划:").multiline().tab(60),
            column("attendcompnum").whole().update().label("参加单位（个）:").format("#,###,##0").tab(70),
            column("attendpersonnum").whole().update().label("参加人数（人）:").tab(80),
            column("activitysumup").text(4000).update().label("活动总结:").multiline().tab(90),
            column("activitycost").decimal(2).update().label("活动经费（元）:").format("#,###,##0.00").tab(100),
            column("outlaysource").text(2).update().label("经费来源:").dropdown("dddw_og_outlaysource").tab(110),
            column("recorder").text(30).update().label("记录人:").tab(120),
            column("ispublish").text(1).update().label("是否允许网站发布:").radio(k_yes_no).tab(130),
            column("isbigaffair").text(1).update().label("是否转存社区大事记:").radio(k_yes_no).tab(140),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(150),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_commactivityrecord() {
    static const dw_object list = make_list(
        d_og_commactivityrecord_f(), "d_og_commactivityrecord",
        {{"buildmode", "组织方式"},
         {"activitydate", "活动时间"},
         {"activitytopic", "活动主题"},
         {"submitdept", "提出和指导部门"},
         {"activityplan", "活动计划"},
         {"attendcompnum", "参加单位（个）", "###,###,###"},
         {"attendpersonnum", "参加人数（人）"},
         {"activitysumup", "活动总结"},
         {"activitycost", "活动经费（元）", "#,###,###.00"},
         {"outlaysource", "经费来源"},
         {"recorder", "记录人"},
         {"ispublish", "是否允许网站发布", {}, {}, "dddw_ge_is"},
         {"isbigaffair", "是否转存社区大事记", {}, {}, "dddw_ge_is"},
         {"note", "备注"},
         {"activityaddr", "活动地点"}});
    return list;
}

w_m_og_commactivityrecord::w_m_og_commactivityrecord(session& s)
    : w_modify(s, "w_m_og_commactivityrecord", d_og_commactivityrecord_f()),
      st_1("st_1", control_kind::label, {}, {}, "包含图片"),
      cbx_photo("cbx_photo", control_kind::picture, "bmp\\no.bmp"),
      cb_photo("cb_photo", control_kind::button, "bmp\\cb_photo.bmp") {
    add_control(st_1);
    add_control(cbx_photo);
    add_control(cb_photo);
    cb_photo.clicked = [this] { cb_photo_clicked(); };
}

void w_m_og_commactivityrecord::open() {
    w_modify::open();
    follow_mode();
}

void w_m_og_commactivityrecord::follow_mode() {
    const bool stored = is_stringparm == k_mode_modify;
    cb_photo.uf_setenabled(stored);
    // A disabled button says why.
    cb_photo.set_tooltip(stored ? std::string() : "请先保存当前数据！再录入图片资料。");
}

void w_m_og_commactivityrecord::ue_loadphoto() {
    w_modify::ue_loadphoto();
    // A new record once saved takes photos.
    follow_mode();
    long row = dw_1.getrow();
    if (row < 1) return;
    const auto orderno = dw_1.getitemnumber(row, "orderno");
    // A failed count is no photo.
    std::optional<long> count;
    if (orderno)
        count =
            photo_store(photosqlca(), sess().gs_commno).count(static_cast<std::int64_t>(*orderno));
    cbx_photo.set_picture(!count || *count < 1 ? "bmp\\no.bmp" : "bmp\\yes.bmp");
}

bool w_m_og_commactivityrecord::activity_rules_hold(long row, bool with_summary) {
    auto refuse = [this](const char* text) {
        host().message_box("提示", text);
        return false;
    };
    const auto when = dw_1.getitemdate(row, "activitydate");
    if (!when) return refuse("活动时间不能为空!");
    if (after_today(when, today())) return refuse("活动时间不能大于当前日期");
    if (before_foundation(when)) return refuse("活动时间不能小于建国时间");
    if (!dw_1.getitemstring(row, "activitytopic")) return refuse("主题不能为空");
    if (with_summary && !dw_1.getitemstring(row, "activitysumup")) return refuse("活动总结不能为空");
    return true;
}

void w_m_og_commactivityrecord::cb_save_clicked() {
    if (!generic_column_check(dw_1, host(), today())) return;
    if (!activity_rules_hold(dw_1.getrow(), true)) return;
    w_modify::cb_save_clicked();
}

int w_m_og_commactivityrecord::wf_age_check() {
    const long row = dw_1.getrow();
    if (row < 1) return 1;
    const auto big_affair = dw_1.getitemstring(row, "isbigaffair");
    if (!big_affair || *big_affair != "1") return 0;
    if (!activity_rules_hold(row, false)) return 1;
    // The chronicle speaks of the topic by its name, not its code.
    const std::string subject =
        dw_1.describe("Evaluate('LookUpDisplay(activitytopic)'," + std::to_string(row) + ")");
    const auto content = dw_1.getitemstring(row, "activitysumup");
    if (!content) {
        host().message_box("提示", "活动总结不能为空");
        return 1;
    }
    transaction& t = sqlca();
    const value when(*dw_1.getitemdate(row, "activitydate"));
    // Each community keeps its own chronicle: the same event in another
    // community's chronicle is no entry of this one's, and stays untouched.
    const value commno(sess().gs_commno);
    const std::vector<value> same{commno, value(subject), when, value(*content)};
    const auto count = t.select_value(
        "SELECT COUNT(*) FROM TC_GE_BigAffair WHERE CommNo = ? AND subject = ? AND affairdate = ? "
        "AND content = ?",
        same);
    // An identical entry is touched, not written again.
    sql_code rc = sql_code::ok;
    if (count && count->as_double().value_or(0) >= 1) {
        const std::vector<value> params{value(*content), commno, value(subject), when,
                                        value(*content)};
        rc = t.execute(
            "UPDATE TC_GE_BigAffair SET content = ? WHERE CommNo = ? AND subject = ? AND "
            "affairdate = ? AND content = ?",
            params);
    } else {
        const std::vector<value> params{commno, when, value(subject), value(*content)};
        rc = t.execute("INSERT INTO TC_GE_BigAffair (CommNo, AffairDate, Subject, Content, IsSave) "
                       "VALUES (?, ?, ?, ?, '2')",
                       params);
    }
    if (rc == sql_code::ok) return 0;
    // The rollback goes first, so the message quotes the text the
    // transaction holds after it, with the failure kept in it.
    t.rollback_keeping_error();
    host().message_box("警告信息", "自动转存大事记失败！\r\n" + t.sqlerrtext(), icon::stop);
    return 1;
}

void w_m_og_commactivityrecord::cb_photo_clicked() {
    const auto orderno = dw_1.getitemnumber(dw_1.getrow(), "orderno");
    if (!orderno || *orderno == 0) {
        host().message_box("警告信息", "请先保存当前数据！再录入图片资料。", icon::stop);
        return;
    }
    host().open_window("w_m_og_commactivityrecord_pic", "", *this);
    ue_loadphoto();
}

}  // namespace officerecords
