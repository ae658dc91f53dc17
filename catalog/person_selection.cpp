#include "catalog/person_selection.h"

#include <algorithm>
#include <set>

#include "committee/councilmemberinfo.h"

namespace officerecords {

namespace {

constexpr const char* k_person = "w_selectperson";
constexpr const char* k_member = "w_select_councilmember";
constexpr const char* k_org_member = "w_select_councilorgmember";

// The columns the seal window names after the typed text.
constexpr std::size_t k_named_columns = 8;

// Everybody in the person register, as the seal window computes the age.
const dw_object& d_selectperson() {
    static const dw_object o = [] {
        dw_object d;
        d.name = "d_selectperson";
        d.select =
            "SELECT p.personno, p.personname, p.idcard, p.sex, p.birthdate, year(today()) - "
            "year( p.birthdate) AS age, p.contactphone, p.presentaddr1 FROM tc_ge_personinfo p";
        d.columns = {
            column("personno").text(24).shown(),
            column("personname").text(30).label("姓名").shown(),
            column("idcard").text(20).label("身份证号码").shown(),
            column("sex").text(2).label("性别").dropdown("dddw_gb_sex").shown(),
            column("birthdate").date().label("出生日期").shown(),
            column("age").whole().label("年龄").shown(),
            column("contactphone").text(30).label("联系电话").shown(),
            column("presentaddr1").text(60).label("居住地址").shown(),
        };
        return d;
    }();
    return o;
}

// A typed text as a LIKE pattern that matches it anywhere, literally.
std::string contains(std::string_view text) {
    std::string p = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') p += '\\';
        p += c;
    }
    return p + "%";
}

std::vector<std::string> split(std::string_view s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = s.find(',', start);
        parts.emplace_back(s.substr(start, comma - start));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

}  // namespace

bool person_selection::handles(std::string_view window) {
    return iequals(window, k_person) || iequals(window, k_member) || iequals(window, k_org_member);
}

person_selection::person_selection(std::string_view window, std::string_view parm, w_modify& caller)
    : window_(lower(window)), caller_(caller) {
    if (window_ == k_person) {
        // The columns are the last pieces: a typed text may hold a comma.
        std::vector<std::string> parts = split(parm);
        const std::size_t named = std::min(parts.size() - 1, k_named_columns);
        fill_.assign(parts.end() - static_cast<std::ptrdiff_t>(named), parts.end());
        parts.resize(parts.size() - named);
        for (std::size_t i = 0; i < parts.size(); ++i) typed_ += (i ? "," : "") + parts[i];
        target_row_ = caller.dw_1.getrow();
    } else {
        typed_ = std::string(parm);
        fill_ = {"personno", "personname", "idcard", "sex", "birthdate", "rprtype", "rpraddr",
                 "nationality", "polity", "contactphone", "edulevel", "presentaddr1", "personkind",
                 "tc_ge_personotherinfo_isvolunteer", "age"};
        target_row_ = 1;
    }
}

status person_selection::search() {
    const bool anyone = window_ == k_person;
    const dw_object& object = anyone ? d_selectperson() : d_og_councilmemberinfo_select();
    if (status st = list_.set_dataobject(object, caller_.sqlca()); !st) return st;
    const value pattern(contains(typed_));
    std::vector<value> params{pattern};
    std::string condition = "personname LIKE ? ESCAPE '\\'";
    if (anyone) {
        condition += " OR idcard LIKE ? ESCAPE '\\' OR personno LIKE ? ESCAPE '\\'";
        params = {pattern, pattern, pattern};
    }
    if (list_.retrieve(condition, params, "personname, personno") < 0)
        return status::error("查找人员失败！" + list_.last_error());
    // A candidate with several memberships is one person to choose.
    rows_.clear();
    std::set<std::string> seen;
    for (long r = 1; r <= list_.rowcount(); ++r)
        if (seen.insert(list_.getitemstring(r, "personno").value_or("")).second) rows_.push_back(r);
    return status::ok();
}

std::string person_selection::shown(long n, std::string_view column) const {
    if (n < 1 || n > count()) return {};
    const int col = list_.column_number(column);
    return col > 0 ? list_.display_text(row_of(n), col) : std::string();
}

value person_selection::item(long n, std::string_view column) const {
    if (n < 1 || n > count()) return value();
    return list_.getitem(row_of(n), column);
}

long person_selection::find(std::string_view personno) const {
    for (long n = 1; n <= count(); ++n)
        if (list_.getitemstring(row_of(n), "personno").value_or("") == personno) return n;
    return 0;
}

std::string person_selection::pick(long n) {
    if (n < 1 || n > count()) return {};
    data_window& target = caller_.dw_1;
    for (const std::string& name : fill_) {
        if (target.column_number(name) == 0 || list_.column_number(name) == 0) continue;
        (void)target.setitem(target_row_, name, list_.getitem(row_of(n), name));
    }
    return list_.getitemstring(row_of(n), "personname").value_or("");
}

}  // namespace officerecords
