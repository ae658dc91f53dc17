#include "committee/councilorgmember.h"

#include "committee/personinfo.h"

namespace officerecords {

namespace {

std::string select_with(const char* duty1) {
    return std::string(
               "SELECT a.commno, a.orderno, b.falldue, b.orgname, b.organtype, a.orgno, a.issave, "
               "a.note, a.personno, p.personname, p.idcard, p.sex, p.birthdate, p.rprtype, "
               "p.rpraddr, p.nationality, p.polity, p.contactphone, p.edulevel, p.presentaddr1, "
               "p.personkind, o.isvolunteer, f_getpersonage(today(), birthdate) AS age, ") +
           duty1 +
           " AS duty1, a.prepare1, a.prepare2, a.prepare3, a.prepare4, a.prepare5, a.prepare6, "
           "a.duty FROM tc_og_councilorgmember a LEFT OUTER JOIN tc_ge_personotherinfo o ON "
           "a.personno = o.personno, tc_og_councilorgduty b, tc_ge_personinfo p WHERE a.orgno = "
           "b.orgno AND a.personno = p.personno";
}

constexpr const char* k_committee_duty =
    "(SELECT m.duty FROM tc_og_councilmemberinfo m WHERE m.personno = a.personno AND m.falldue = "
    "b.falldue)";

}  // namespace

const dw_object& d_og_councilorgmember_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_councilorgmember_f";
        o.select = select_with(k_committee_duty);
        o.update_table = "tc_og_councilorgmember";
        o.naming = {"personname", "orgname", "falldue"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("falldue").text(2).label("届次:").dropdown("dddw_ds_falldue").shown(),
            column("orgname").text(60).label("机构名称:").shown(),
            column("organtype").text(2).label("机构类别:").dropdown("dddw_og_organtype").shown(),
            column("orgno").whole().update(),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(30),
            column("personno").text(24).update(),
        };
        for (column_def& c : person_columns(10, {})) o.columns.push_back(std::move(c));
        o.columns.push_back(column("duty1").text(2).label("居委会职务:").dropdown("dddw_ge_duty").initial("19").shown());
        append_reserved(o.columns);
        o.columns.push_back(column("duty").text(2).update().label("机构中职务:").dropdown("dddw_ge_duty").tab(20));
        o.pictures = {{"p_photo", "bmp\\photo.jpg"}};
        return o;
    }();
    return form;
}

const dw_object& d_og_councilorgmember() {
    static const dw_object list = [] {
        std::vector<list_column> shown = {
            {"falldue", "届次"}, {"orgname", "机构名称"}, {"organtype", "机构类别"}};
        for (list_column& c : person_list_columns()) shown.push_back(std::move(c));
        shown.push_back({"duty1", "居委会职务"});
        shown.push_back({"duty", "机构中职务"});
        shown.push_back({"note", "备注"});
        dw_object o = make_list(d_og_councilorgmember_f(), "d_og_councilorgmember", shown);
        // Not on the committee in the body's term: "19".
        o.select = select_with((std::string("isnull(") + k_committee_duty + ", '19')").c_str());
        return o;
    }();
    return list;
}

w_m_og_councilorgmember::w_m_og_councilorgmember(session& s)
    : w_modify(s, "w_m_og_councilorgmember", d_og_councilorgmember_f()) {}

void w_m_og_councilorgmember::owner_set() {
    const long row = dw_1.getrow();
    const value key[] = {dw_1.getitem(row, "orgno")};
    auto body = sqlca().select_row(
        "SELECT falldue, orgname, organtype FROM tc_og_councilorgduty WHERE orgno = ?", key);
    if (!body || body->size() < 3) return;
    set_owned_item(row, "falldue", (*body)[0]);
    set_owned_item(row, "orgname", (*body)[1]);
    set_owned_item(row, "organtype", (*body)[2]);
}

void w_m_og_councilorgmember::open() {
    w_modify::open();
    auto [duties, rc] = dw_1.getchild("duty");
    if (rc != 1) return;
    (void)duties->setfilter("tcode>'10' and tcode<'14'");
    (void)duties->filter();
}

void w_m_og_councilorgmember::ue_postopen() {
    w_modify::ue_postopen();
    if (!dw_1.getitemstring(1, "personname")) return;
    dw_1.object("personname").protect(1);
    dw_1.object("personname").tag("2");
    set_properties("PersonName.background.color='" + dw_1.describe("Sex.background.color") + "'");
}

void w_m_og_councilorgmember::ue_loadphoto() {
    w_modify::ue_loadphoto();
    show_member_photo(*this);
}

int w_m_og_councilorgmember::itemchanged(long row, const dwo& column, const std::string& data) {
    const int rc = w_modify::itemchanged(row, column, data);
    if (rc != 0 || column.name != "personname") return rc;
    const member_pick pick = pick_member(*this, "w_select_councilorgmember", row, column.id, data);
    // Unlike the member register, a photo only for a person picked.
    if (pick == member_pick::picked) ue_loadphoto();
    return pick == member_pick::nothing ? 1 : 0;
}

int w_m_og_councilorgmember::wf_dw_verify() {
    auto [duties, rc] = dw_1.getchild("duty");
    const auto duty = dw_1.getitemstring(1, "duty");
    if (rc != 1 || duties->rowcount() < 1 || !duty) return 0;
    const auto guarded = duties->getitemstring(1, "tcode");
    if (!guarded || *duty != *guarded) return 0;
    const value params[] = {dw_1.getitem(1, "orgno"), value(*guarded), dw_1.getitem(1, "personno")};
    const auto count = sqlca().select_value(
        "select count(*) from TC_OG_CouncilOrgMember where OrgNo = ? and Duty = ? and PersonNo <> ?",
        params);
    if (!count || count->as_double().value_or(0) <= 0) return 0;
    host().message_box("数据录入错误",
                       "同一个居委会组织机构中，不能有两个【" + dw_1.describe("duty_t.text") + "】为“" +
                           duties->getitemstring(1, "tname").value_or("") + "”的人!",
                       icon::exclamation);
    return 1;
}

}  // namespace officerecords
