#include "committee/personinfo.h"

#include "foundation/column_check.h"

namespace officerecords {

namespace {

constexpr const char* k_yes_no = "是\t1/否\t0/";

bool is_letter_or_digit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The last three characters of a stored file name, when they can safely
// end a file name under bmp: three ASCII letters or digits, nothing else.
std::optional<std::string> safe_extension(const std::string& name) {
    if (name.size() < 3) return std::nullopt;
    std::string ext = name.substr(name.size() - 3);
    for (char c : ext)
        if (!is_letter_or_digit(c)) return std::nullopt;
    return ext;
}

}  // namespace

std::vector<column_def> person_columns(int name_tab, const std::string& group) {
    return {
        column("personname").text(30).label("姓名:").tab(name_tab).group(group),
        column("idcard").text(20).label("证件号码:").shown().group(group),
        column("sex").text(2).label("性别:").dropdown("dddw_gb_sex").shown().group(group),
        column("birthdate").date().label("出生日期:").format("yyyy-mm-dd").shown().group(group),
        column("rprtype").text(2).label("户口类别:").dropdown("dddw_ge_rprtype").shown().group(group),
        column("rpraddr").text(60).label("户籍地址:").shown().group(group),
        column("nationality").text(2).label("民族:").dropdown("dddw_gb_folk").shown().group(group),
        column("polity").text(2).label("政治面貌:").dropdown("dddw_gb_polity").shown().group(group),
        column("contactphone").text(30).label("联系电话:").shown().group(group),
        column("edulevel").text(2).label("文化程度:").dropdown("dddw_gb_edulevel").shown().group(group),
        column("presentaddr1").text(60).label("居住地址:").shown().group(group),
        column("personkind").text(2).label("从业状况:").dropdown("dddw_gb_jobstatus").shown().group(group),
        column("tc_ge_personotherinfo_isvolunteer").text(1).label("是否是志愿者:").radio(k_yes_no).shown().group(group),
        column("age").whole().label("年龄:").format("###").shown().group(group),
    };
}

std::vector<list_column> person_list_columns() {
    return {
        {"personname", "姓名", {}, "tc_ge_personinfo_personname"},
        {"idcard", "身份证号码", {}, "tc_ge_personinfo_idcard"},
        {"sex", "性别", {}, "tc_ge_personinfo_sex"},
        {"birthdate", "出生日期", "yyyy-mm-dd", "tc_ge_personinfo_birthdate"},
        {"rprtype", "户口类别", {}, "tc_ge_personinfo_rprtype"},
        {"rpraddr", "户籍地址", {}, "tc_ge_personinfo_rpraddr"},
        {"nationality", "民族", {}, "tc_ge_personinfo_nationality"},
        {"polity", "政治面貌", {}, "tc_ge_personinfo_polity"},
        {"contactphone", "联系电话", {}, "tc_ge_personinfo_contactphone"},
        {"edulevel", "文化程度", {}, "tc_ge_personinfo_edulevel"},
        {"presentaddr1", "居住地址", {}, "tc_ge_personinfo_presentaddr1"},
        {"personkind", "从业状况", {}, "tc_ge_personinfo_personkind"},
        {"tc_ge_personotherinfo_isvolunteer", "是否志愿者", {}, {}, "dddw_ge_is"},
        {"age", "年龄", "###"},
    };
}

int refuse_future_date(w_modify& w, const char* column) {
    if (!after_today(w.dw_1.getitemdate(1, column), w.today())) return 0;
    w.host().message_box("提示信息", "【" + w.dw_1.describe(std::string(column) + "_t.text") +
                                         "】不能大于今天的日期！",
                         icon::exclamation);
    return 1;
}

std::vector<column_def> member_side_columns(const member_tabs& t, const std::string& group) {
    return {
        column("commno").text(12).key(),
        column("orderno").decimal(0).key(),
        column("falldue").text(2).label("届次:").dropdown("dddw_ds_falldue").tab(t.falldue).readonly().group(group),
        column("personno").text(24).update(),
        column("personname").text(30).label("姓名:").tab(t.personname).readonly().group(group),
        column("idcard").text(20).label("身份证号码:").tab(t.idcard).readonly().group(group),
        column("sex").text(2).label("性别:").dropdown("dddw_gb_sex").tab(t.sex).readonly().group(group),
        column("birthdate").date().label("出生日期:").tab(t.birthdate).readonly().group(group),
        column("presentaddr1").text(60).label("居住地址:").tab(t.presentaddr1).readonly().group(group),
        column("contactphone").text(30).label("联系电话:").tab(t.contactphone).readonly().group(group),
    };
}

list_column joined_list_column(const std::string& column, std::string header) {
    const char* table = column == "falldue" ? "tc_og_councilmemberinfo_" : "tc_ge_personinfo_";
    return {column, std::move(header), {}, table + column};
}

void show_member_of_new_row(w_modify& w) {
    const long row = w.dw_1.getrow();
    const value personno = w.dw_1.getitem(row, "personno");
    // A term the person served on another community's committee is none
    // of this community's member's.
    const value key[] = {personno, w.dw_1.getitem(row, "commno")};
    auto shown = w.sqlca().select_row(
        "SELECT m.falldue, p.personname, p.idcard, p.sex, p.birthdate, p.presentaddr1, "
        "p.contactphone FROM tc_ge_personinfo p, tc_og_councilmemberinfo m WHERE p.personno = ? "
        "AND m.personno = p.personno AND m.commno = ? ORDER BY m.falldue DESC",
        key);
    if (!shown) return;
    const char* columns[] = {"falldue", "personname", "idcard", "sex", "birthdate", "presentaddr1",
                             "contactphone"};
    for (std::size_t i = 0; i < std::size(columns) && i < shown->size(); ++i)
        w.set_owned_item(row, columns[i], (*shown)[i]);
}

member_pick pick_member(w_modify& w, const char* selection, long row, int column,
                        const std::string& typed) {
    const std::string result = w.host().open_with_parm(selection, typed, w);
    if (result == "close") {
        (void)w.dw_1.setitemstatus(1, 0, row_status::data_modified);
        (void)w.dw_1.setitemstatus(1, 0, row_status::not_modified);
        w.host().close_window(w);
        return member_pick::abandoned;
    }
    (void)w.dw_1.setitem(row, column, value(result));
    if (!result.empty()) return member_pick::picked;
    if (w.sess().guo_tabpg_now) w.host().set_focus("guo_tabpg_now");
    w.host().set_focus(w.name());
    return member_pick::nothing;
}

void show_member_photo(w_modify& w) {
    data_window& dw = w.dw_1;
    const long row = dw.getrow();
    if (row < 1) return;
    const value personno(dw.getitemstring(row, "personno").value_or(""));
    // The normal pointer comes back whichever way this ends.
    busy_pointer busy(w.host());
    transaction& photos = w.photosqlca();
    auto show_default = [&w] { w.set_properties("p_photo.FileName = 'bmp\\photo.jpg'"); };
    // After a warning the default picture, never the photo of the person
    // shown before, stands beside this one.
    auto warn = [&](const std::string& text) {
        w.host().message_box("警告信息", text, icon::exclamation);
        show_default();
    };
    const value key[] = {personno};
    const auto count = photos.select_value("select count(*) from TS_PersonPhoto where PersonNo = ?", key);
    if (photos.sqlcode() != 0 || !count || count->as_double().value_or(0) == 0) return show_default();
    const auto stored = photos.select_value("select PhotoFileName from TS_PersonPhoto where PersonNo = ?", key);
    std::optional<blob> image = photos.select_blob("SELECT Photo FROM TS_PersonPhoto WHERE PersonNo = ?", key);
    if (photos.sqlcode() != 0) return warn("检索照片出错！错误信息为：" + photos.sqlerrtext());
    const std::string name = stored && !stored->is_null() ? stored->to_text() : std::string();
    const std::optional<std::string> extension = safe_extension(name);
    if (!extension) return warn("检索照片出错！上次保存的图片名无法读取！");
    const std::string file = "bmp\\cap_model." + *extension;
    if (w.host().gf_writephotofile(file, image.value_or(blob{})) == -1)
        return warn("检索照片出错！上次保存的图片无法读取！");
    w.set_properties("p_photo.FileName='" + file + "'");
}

}  // namespace officerecords
