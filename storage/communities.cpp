#include "storage/communities.h"

#include "foundation/value.h"

namespace officerecords {

namespace {

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool letters_and_digits(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

}  // namespace

std::string community_refusal(const std::string& commno, const std::string& commname) {
    const std::string no = trimmed(commno);
    const std::string name = trimmed(commname);
    if (no.empty()) return "请输入社区编号。";
    if (no.size() > 12 || !letters_and_digits(no)) return "社区编号只能是1到12位字母或数字。";
    if (name.empty()) return "请输入社区名称。";
    if (!valid_utf8(name) || utf8_length(name) > 60) return "社区名称最多60个字。";
    return {};
}

status add_community(transaction& t, const std::string& commno, const std::string& commname) {
    if (std::string why = community_refusal(commno, commname); !why.empty())
        return status::error(why);
    const value row[] = {value(trimmed(commno)), value(trimmed(commname))};
    if (t.begin_write() != sql_code::ok) return status::error("不能写入社区：" + t.sqlerrtext());
    // Counted inside the write: another program adding the same number
    // meanwhile is seen.
    const auto there = t.select_value("SELECT count(*) FROM tc_ge_community WHERE commno = ?",
                                      std::span<const value>(row, 1));
    std::string failed;
    if (!there)
        failed = "不能读取社区：" + t.sqlerrtext();
    else if (there->as_double().value_or(0) > 0)
        failed = "社区编号 " + trimmed(commno) + " 已经有了。";
    else if (t.execute("INSERT INTO tc_ge_community (commno, commname) VALUES (?, ?)", row) !=
             sql_code::ok)
        failed = "不能写入社区：" + t.sqlerrtext();
    else if (t.commit() != sql_code::ok)
        failed = "不能写入社区：" + t.sqlerrtext();
    if (failed.empty()) return status::ok();
    if (t.in_transaction()) (void)t.rollback();
    return status::error(failed);
}

}  // namespace officerecords
