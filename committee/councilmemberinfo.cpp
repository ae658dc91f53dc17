#include "committee/councilmemberinfo.h"

#include "committee/personinfo.h"
#include "foundation/column_check.h"

namespace officerecords {

namespace {

constexpr const char* k_basic = "居委会成员基本信息";
constexpr const char* k_related = "居委会成员相关信息";
constexpr const char* k_yes_no = "是\t1/否\t0/";
constexpr const char* k_membership_columns =
    "m.formeridentity, m.havevisadate, m.partypost, m.inhabitstatus, m.duty, m.isresidentagent, "
    "m.iscandidater, m.islinkduty, m.dimissdate, m.dinissionmode, m.jobduty, m.issave, m.note, "
    "m.prepare1, m.prepare2, m.prepare3, m.prepare4, m.prepare5, m.prepare6, m.dutyinparty, "
    "m.ondutydate";

// The membership columns, as both member objects and the candidate list
// read them; `writable` for the register's own objects.
std::vector<column_def> membership_columns(bool writable) {
    auto c = [writable](column b) {
        if (writable) b.update();
        return column_def(b);
    };
    std::vector<column_def> columns = {
        c(column("formeridentity").text(2).label("来源:").dropdown("dddw_ds_formeridentity").tab(40).group(k_related)),
        c(column("havevisadate").date().label("取得证书时间:")
              .ddlb("2006年\t2006-01-01/2003年\t2003-01-01/2000年\t2000-01-01/").tab(50).group(k_related)),
        c(column("partypost").text(2).label("两委任职:").dropdown("dddw_ds_dutyinparty").tab(80).group(k_related)),
        c(column("inhabitstatus").text(2).label("居住情况:").dropdown("dddw_ds_inhabitstatus").tab(60).group(k_related)),
        c(column("duty").text(2).label("职务:").dropdown("dddw_ge_duty").tab(30).group(k_basic)),
        c(column("isresidentagent").text(1).label("是否居民代表:").radio(k_yes_no).tab(100).group(k_related)),
        c(column("iscandidater").text(1).label("是否该职务候选人:").radio(k_yes_no).tab(110).group(k_related)),
        c(column("islinkduty").text(1).label("是否连选连任:").radio(k_yes_no).tab(120).group(k_related)),
        c(column("dimissdate").date().label("离职时间:").tab(130).group(k_related)),
        c(column("dinissionmode").text(2).label("离职方式:").dropdown("dddw_og_dinissionmode").tab(140).group(k_related)),
        c(column("jobduty").text(1000).label("工作职责:").multiline().tab(150).group(k_related)),
        c(column("issave").text(1)),
        c(column("note").text(254).label("备注:").multiline().tab(160).group(k_related)),
    };
    std::vector<column_def> reserved;
    append_reserved(reserved);
    for (column_def& r : reserved) {
        r.updatable = writable;
        columns.push_back(std::move(r));
    }
    columns.push_back(c(column("dutyinparty").text(2).label("社区党组织任职:").dropdown("dddw_ge_duty").tab(70).group(k_related)));
    columns.push_back(c(column("ondutydate").date().label("任职开始时间:").tab(90).group(k_related)));
    return columns;
}

// The two-committee post from the duty and the party post: the first line
// of the table that matches.
std::string two_committee_post(const std::optional<std::string>& duty,
                               const std::optional<std::string>& party_post) {
    if (duty && party_post && *duty == "11" && *party_post == "22") return "02";
    if (party_post && *party_post == "21") return "01";
    if (!duty || !party_post) return "01";
    return "03";
}

std::optional<std::string> text_or_null(const std::string& data) {
    return data.empty() ? std::nullopt : std::optional<std::string>(data);
}

}  // namespace

const dw_object& d_og_councilmemberinfo_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilmemberinfo_f";
        o.select = std::string(
                       "SELECT m.commno, m.orderno, m.falldue, m.personno, p.personname, p.idcard, "
                       "p.sex, p.birthdate, p.rprtype, p.rpraddr, p.nationality, p.polity, "
                       "p.contactphone, p.edulevel, p.presentaddr1, p.personkind, o.isvolunteer, "
                       "f_getpersonage(today(), birthdate) AS age, ") +
                   k_membership_columns +
                   " FROM tc_og_councilmemberinfo m LEFT OUTER JOIN tc_ge_personotherinfo o ON "
                   "m.personno = o.personno, tc_ge_personinfo p WHERE m.personno = p.personno";
        o.update_table = "tc_og_councilmemberinfo";
        o.naming = {"personname", "falldue"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("falldue").text(2).update().label("届次:").dropdown("dddw_ds_falldue").initial("06").tab(10).group(k_basic),
            column("personno").text(24).update(),
        };
        for (column_def& c : person_columns(20, k_basic)) o.columns.push_back(std::move(c));
        for (column_def& c : membership_columns(true)) o.columns.push_back(std::move(c));
        o.groups = {k_basic, k_related};
        o.pictures = {{"p_photo", "bmp\\photo.jpg"}};
        return o;
    }();
    return form;
}

const dw_object& d_og_councilmemberinfo() {
    static const dw_object list = [] {
        std::vector<list_column> shown = {{"falldue", "届次"}};
        for (list_column& c : person_list_columns()) shown.push_back(std::move(c));
        for (list_column c : std::vector<list_column>{
                 {"formeridentity", "来源"},
                 {"havevisadate", "取得证书时间"},
                 {"partypost", "两委任职"},
                 {"inhabitstatus", "居住情况"},
                 {"duty", "职务"},
                 {"isresidentagent", "是否居民代表", {}, {}, "dddw_ge_is"},
                 {"iscandidater", "是否该职务候选人", {}, {}, "dddw_ge_is"},
                 {"islinkduty", "是否连选连任", {}, {}, "dddw_ge_is"},
                 {"dimissdate", "离职时间"},
                 {"dinissionmode", "离职方式"},
                 {"jobduty", "工作职责"},
                 {"note", "备注"},
                 {"dutyinparty", "社区党组织任职"},
                 {"ondutydate", "任职开始时间"}})
            shown.push_back(std::move(c));
        return make_list(d_og_councilmemberinfo_f(), "d_og_councilmemberinfo", shown);
    }();
    return list;
}

const dw_object& d_og_councilmemberinfo_select() {
    static const dw_object candidates = [] {
        dw_object o;
        o.name = "d_og_councilmemberinfo_select";
        // A person whose death flag was never filled in is alive: a NULL
        // compared with 1 would drop every such person from the list.
        o.select = std::string(
                       "SELECT -1 AS isselect, p.personno, p.personname, p.idcard, p.sex, "
                       "p.birthdate, p.rprtype, p.rpraddr, p.nationality, p.polity, "
                       "p.contactphone, p.edulevel, p.presentaddr1, p.personkind, o.isvolunteer, "
                       "f_getpersonage(today(), p.birthdate) AS age, m.falldue, ") +
                   k_membership_columns +
                   " FROM tc_ge_personinfo p LEFT OUTER JOIN tc_og_councilmemberinfo m ON "
                   "p.personno = m.personno LEFT OUTER JOIN tc_ge_personotherinfo o ON p.personno "
                   "= o.personno WHERE f_getpersonage(today(), p.birthdate) >= 18 AND "
                   "isnull(p.isdeath, 0) <> 1";
        o.columns = {
            column("isselect").whole().label("选择").initial("-1").shown(),
            column("personno").text(24),
        };
        for (column_def& c : person_columns(0, {})) o.columns.push_back(std::move(c));
        o.columns.push_back(column("falldue").text(2).label("届次:").dropdown("dddw_ds_falldue").shown());
        for (column_def& c : membership_columns(false)) o.columns.push_back(std::move(c));
        for (column_def& c : o.columns) c.tab = 0;
        return o;
    }();
    return candidates;
}

w_m_og_councilmemberinfo::w_m_og_councilmemberinfo(session& s)
    : w_modify(s, "w_m_og_councilmemberinfo", d_og_councilmemberinfo_f()) {}

std::string w_m_og_councilmemberinfo::label(const char* column) const {
    return dw_1.describe(std::string(column) + "_t.text");
}

void w_m_og_councilmemberinfo::open() {
    w_modify::open();
    // The first duty of the filtered list is also the one a term has once.
    for (auto [column, filter] : {std::pair{"duty", "tcode>'10' and tcode<'14'"},
                                  {"inhabitstatus", "tcode>'10' and tcode<'20'"},
                                  {"dutyinparty", "tcode>'20' and tcode<'30'"}}) {
        auto [child, rc] = dw_1.getchild(column);
        if (rc != 1) continue;
        (void)child->setfilter(filter);
        (void)child->filter();
    }
}

void w_m_og_councilmemberinfo::ue_postopen() {
    w_modify::ue_postopen();
    const std::string sex_colour = dw_1.describe("Sex.background.color");
    if (dw_1.getitemstring(1, "personname")) {
        dw_1.object("personname").protect(1);
        dw_1.object("personname").tag("2");
        set_properties("PersonName.background.color='" + sex_colour + "'");
    }
    if (is_stringparm != k_mode_add) {
        dw_1.object("falldue").protect(1);
        dw_1.object("falldue").tag("2");
        set_properties("FallDue.background.color='" + sex_colour + "'");
    } else {
        dw_1.object("falldue").protect(0);
        dw_1.object("falldue").tag("1");
        set_properties("FallDue.background.color='" + dw_1.describe("duty.background.color") + "'");
    }
}

void w_m_og_councilmemberinfo::ue_loadphoto() {
    w_modify::ue_loadphoto();
    show_member_photo(*this);
}

int w_m_og_councilmemberinfo::itemchanged(long row, const dwo& column, const std::string& data) {
    const int rc = w_modify::itemchanged(row, column, data);
    if (rc != 0) return rc;
    const auto personno = dw_1.getitemstring(1, "personno");
    if (column.name == "falldue" && personno) {
        // A person sits on one committee a term, whichever community's.
        const value same[] = {value(data), value(*personno)};
        const std::string_view by[] = {"falldue", "PersonNo"};
        const auto count = sqlca().count_everywhere("TC_OG_CouncilMemberInfo", by, same);
        if (count && count->as_double().value_or(0) == 1) {
            const value old = dw_1.getitem(1, "falldue");
            auto [terms, found] = dw_1.getchild("falldue");
            const std::string term =
                found == 1 ? terms->display_of(data).value_or(data) : data;
            host().message_box("提示信息",
                               "“" + dw_1.getitemstring(1, "personname").value_or("") + "”已经是" +
                                   term + "居委会成员，修改出错！",
                               icon::exclamation);
            (void)dw_1.setitem(row, column.id, old);
            return 1;
        }
    }
    if (column.name == "personname") {
        if (!dw_1.getitemstring(1, "falldue")) {
            host().message_box("提示信息", "请先选择【" + label("falldue") + "】!", icon::exclamation);
            return 1;
        }
        const member_pick pick = pick_member(*this, "w_select_councilmember", row, column.id, data);
        if (pick == member_pick::abandoned) return 0;
        ue_loadphoto();
        return pick == member_pick::nothing ? 1 : 0;
    }
    std::optional<std::string> duty, party_post;
    if (column.name == "duty") {
        duty = text_or_null(data);
        party_post = dw_1.getitemstring(1, "dutyinparty");
    } else if (column.name == "dutyinparty") {
        duty = dw_1.getitemstring(1, "duty");
        party_post = text_or_null(data);
    } else {
        return 0;
    }
    (void)dw_1.setitem(1, "partypost", value(two_committee_post(duty, party_post)));
    return 0;
}

int w_m_og_councilmemberinfo::wf_dw_verify() {
    auto fail = [this](const char* title, const std::string& text) {
        host().message_box(title, text, icon::exclamation);
        return 1;
    };
    const auto falldue = dw_1.getitem(1, "falldue");
    const auto personno = dw_1.getitem(1, "personno");
    const auto duty = dw_1.getitemstring(1, "duty");
    auto [duties, has_duties] = dw_1.getchild("duty");
    if (has_duties == 1 && duties->rowcount() >= 1 && duty) {
        const auto guarded = duties->getitemstring(1, "tcode");
        if (guarded && *duty == *guarded) {
            // Each community's committee has its own head; another
            // community's holder of the duty is none of this one's business.
            // Null term or person match nothing, as SQL compares them.
            const value params[] = {dw_1.getitem(1, "commno"), falldue, value(*guarded), personno};
            const auto count = sqlca().select_value(
                "select count(*) from TC_OG_CouncilMemberInfo where CommNo = ? and FallDue = ? and "
                "Duty = ? and PersonNo <> ?",
                params);
            if (count && count->as_double().value_or(0) > 0)
                return fail("数据录入错误", "同一届居委会成员中，不能有两个【" + label("duty") + "】为“" +
                                                duties->getitemstring(1, "tname").value_or("") + "”的人!");
        }
    }
    const auto visa = dw_1.getitemdate(1, "havevisadate");
    const auto dimiss = dw_1.getitemdate(1, "dimissdate");
    const auto onduty = dw_1.getitemdate(1, "ondutydate");
    if (visa && dimiss && *visa > *dimiss)
        return fail("提示信息", "【" + label("havevisadate") + "】不能大于【" + label("dimissdate") + "】!");
    if (onduty && dimiss && *onduty > *dimiss)
        return fail("提示信息", "【" + label("ondutydate") + "】不能大于【" + label("dimissdate") + "】!");
    for (const char* column : {"ondutydate", "dimissdate", "havevisadate"})
        if (refuse_future_date(*this, column)) return 1;
    const auto origin = dw_1.getitemstring(1, "formeridentity");
    const auto kind = dw_1.getitemstring(1, "personkind");
    const auto household = dw_1.getitemstring(1, "rprtype");
    auto shown = [this](const char* column) {
        return dw_1.describe(std::string("Evaluate('LookUpDisplay(") + column + ")',1)");
    };
    if (origin && kind && *origin == "03" && *kind != "80")
        return fail("提示信息", "【" + label("personkind") + "】为“" + shown("personkind") + "”的人，【" +
                                    label("formeridentity") + "】不可以是“" + shown("formeridentity") + "”！");
    if (origin && household && *origin == "06" && *household != "05" && *household != "06")
        return fail("提示信息", "【" + label("rprtype") + "】为“" + shown("rprtype") + "”的人，【" +
                                    label("formeridentity") + "】不可以是“" + shown("formeridentity") + "”！");
    return 0;
}

}  // namespace officerecords
