#include "demo/demo_committee.h"

#include <cstdint>
#include <string_view>

namespace officerecords::demo {

namespace {

// The two-committee post as the member register derives it from the duty
// and the party post.
std::string_view two_committee_post(std::string_view duty, std::string_view party_post) {
    if (duty == "11" && party_post == "22") return "02";
    if (party_post == "21") return "01";
    if (duty.empty() || party_post.empty()) return "01";
    return "03";
}

struct body_row {
    int community;
    std::string_view term, name, type, remit, note;
};

struct body_member_row {
    int body;  // position in the body list, from 0
    bool on_board;
    int person;  // board index, or index among the community's other residents
    std::string_view duty, note;
};

struct member_row {
    int community, person;
    std::string_view term, origin, certificate, living, duty, party_post;
    std::string_view representative, candidate, reelected, from, until, leaving, work, note;
};

// One row of a member side register: the member, a date, a code, an extra
// column (pass mark or free award name) and a note.
struct side_row {
    int community, person;
    std::string_view date, code, level, extra, note;
};

}  // namespace

void write_bodies(row_writer& w, const roster& people) {
    static const body_row bodies[] = {
        {0, "06", "水果湖社区人民调解委员会", "01",
         "排查调处邻里、家庭等矛盾纠纷，开展法治宣传教育。", ""},
        {0, "06", "水果湖社区治安保卫委员会", "01", "组织群防群治，开展治安巡逻和安全防范宣传。",
         ""},
        {0, "06", "水果湖社区公共卫生委员会", "01",
         "组织爱国卫生运动，协助开展传染病防控和健康教育。", ""},
        {0, "06", "水果湖社区妇女联合会", "03", "维护妇女儿童合法权益，开展家庭文明建设。", ""},
        {0, "06", "水果湖社区第一居民小组", "02", "联系东湖路片区居民，收集反映居民意见和建议。",
         "东湖路1至60号"},
        {0, "05", "水果湖社区人民调解委员会", "01", "排查调处矛盾纠纷。", ""},
        {0, "05", "水果湖社区治安保卫委员会", "01", "组织群防群治和治安巡逻。", ""},
        {1, "06", "东亭社区人民调解委员会", "01", "排查调处矛盾纠纷，开展普法宣传。", ""},
        {1, "06", "东亭社区公共卫生委员会", "01", "组织环境卫生整治和健康教育。", ""},
        {1, "06", "东亭社区社会福利委员会", "01", "做好低保、优抚、助残和养老服务工作。", ""},
        {1, "05", "东亭社区人民调解委员会", "01", "排查调处矛盾纠纷。", ""},
    };
    static const body_member_row members[] = {
        {0, true, 1, "11", ""},
        {0, true, 3, "13", ""},
        {0, false, 20, "13", "退休法官，义务参与调解"},
        {1, true, 6, "11", ""},
        {1, true, 2, "12", ""},
        {2, true, 5, "11", ""},
        {2, true, 4, "13", ""},
        {5, true, 7, "11", ""},
        {7, true, 1, "11", ""},
        {7, true, 2, "13", ""},
        {8, true, 3, "11", ""},
        {8, false, 10, "13", "楼栋长"},
        {10, true, 5, "11", ""},
    };
    // Body numbers are unique over the whole table, as members find their
    // body by number alone.
    std::int64_t orgno = 0;
    for (const body_row& b : bodies) {
        w.insert("tc_og_councilorgduty", {{"commno", commno_of(b.community)},
                                          {"orgno", ++orgno},
                                          {"falldue", b.term},
                                          {"orgname", b.name},
                                          {"organtype", b.type},
                                          {"orgpost", b.remit},
                                          {"issave", "1"},
                                          {"note", text_or_null(b.note)}});
    }
    for (const body_member_row& m : members) {
        const int community = bodies[m.body].community;
        const person& p =
            m.on_board ? people.board(community, m.person) : people.resident(community, m.person);
        w.insert_register("tc_og_councilorgmember", commno_of(community),
                          {{"orgno", std::int64_t{m.body + 1}},
                           {"note", text_or_null(m.note)},
                           {"personno", p.personno},
                           {"duty", m.duty}});
    }
}

// The second community's head in each term is recorded as deputy (12): a
// community whose committee has no head yet, for the sessions to appoint one.
void write_members(row_writer& w, const roster& people) {
    static const member_row rows[] = {
        {0, 0, "06", "06", "", "11", "11", "21", "1", "1", "1", "2021-03-26", "", "",
         "主持居委会全面工作，负责社区党建和居民自治", "党组织书记、居委会主任一肩挑"},
        {0, 1, "06", "06", "2006-01-01", "11", "12", "22", "1", "1", "1", "2021-03-26", "", "",
         "协助主任工作，分管民政、社会保障和为老服务", ""},
        {0, 2, "06", "06", "", "11", "13", "23", "1", "1", "0", "2021-03-26", "", "",
         "负责社区文化宣传和妇女儿童工作", ""},
        {0, 3, "06", "02", "", "12", "13", "", "0", "1", "0", "2021-03-26", "2024-09-30", "04",
         "负责社区综治维稳和安全生产", "调往街道综治中心"},
        {0, 4, "06", "03", "2003-01-01", "11", "13", "", "1", "1", "1", "2021-03-26", "", "",
         "负责人民调解和公共卫生工作", ""},
        {0, 5, "06", "05", "", "11", "12", "", "0", "0", "0", "2022-07-01", "", "",
         "分管网格化管理和青少年工作", "2022年补选"},
        {0, 6, "06", "06", "", "12", "13", "23", "1", "1", "0", "2021-03-26", "", "",
         "负责社区治安保卫和物业协调", ""},
        {0, 0, "05", "06", "", "11", "12", "22", "1", "1", "0", "2018-03-20", "2021-03-25", "01",
         "协助主任工作，分管社区党建和组织工作", ""},
        {0, 1, "05", "06", "2006-01-01", "11", "13", "", "1", "1", "1", "2018-03-20", "2021-03-25",
         "01", "负责社区民政和社会保障工作", ""},
        {0, 4, "05", "03", "2003-01-01", "11", "13", "", "1", "1", "0", "2018-03-20", "2021-03-25",
         "01", "负责人民调解工作", ""},
        {0, 7, "05", "03", "2000-01-01", "11", "12", "21", "1", "1", "1", "2018-03-20",
         "2021-03-25", "01", "主持居委会日常工作，兼任社区党组织书记", "因年龄原因不再参选"},
        {0, 8, "05", "06", "", "11", "13", "", "1", "0", "0", "2018-03-20", "2020-06-30", "05",
         "负责社区环境卫生工作", "退休离职"},
        {0, 9, "05", "02", "", "13", "13", "23", "0", "1", "0", "2018-03-20", "2019-08-15", "02",
         "负责社区计生和流动人口工作", "个人原因辞职"},
        {1, 0, "06", "06", "2006-01-01", "11", "12", "21", "1", "1", "1", "2021-03-28", "", "",
         "主持居委会日常工作，兼任社区党组织书记", ""},
        {1, 1, "06", "06", "", "11", "13", "22", "1", "1", "1", "2021-03-28", "", "",
         "负责社区民政和残疾人工作", ""},
        {1, 2, "06", "05", "", "11", "13", "", "0", "0", "0", "2021-03-28", "", "",
         "负责社区网格化管理和信息化工作", ""},
        {1, 3, "06", "03", "", "11", "13", "", "1", "1", "0", "2021-03-28", "", "",
         "负责人民调解和公共卫生工作", ""},
        {1, 4, "06", "06", "", "11", "13", "23", "1", "1", "0", "2021-03-28", "", "",
         "负责社区治安和安全生产工作", ""},
        {1, 0, "05", "06", "2006-01-01", "11", "11", "22", "1", "1", "1", "2018-03-22",
         "2021-03-27", "01", "主持居委会全面工作", ""},
        {1, 1, "05", "06", "", "11", "13", "", "1", "1", "0", "2018-03-22", "2021-03-27", "01",
         "负责社区民政工作", ""},
        {1, 5, "05", "03", "2003-01-01", "11", "12", "", "1", "1", "1", "2018-03-22", "2021-03-27",
         "01", "分管为老服务和文体工作", "届满后不再参选"},
        {1, 6, "05", "02", "", "11", "13", "23", "1", "1", "0", "2018-03-22", "2021-03-27", "01",
         "负责社区综治和物业管理协调", ""},
    };
    for (const member_row& r : rows) {
        w.insert_register("tc_og_councilmemberinfo", commno_of(r.community),
                          {{"falldue", r.term},
                           {"personno", people.board(r.community, r.person).personno},
                           {"formeridentity", r.origin},
                           {"havevisadate", day(r.certificate)},
                           {"partypost", two_committee_post(r.duty, r.party_post)},
                           {"inhabitstatus", r.living},
                           {"duty", r.duty},
                           {"isresidentagent", r.representative},
                           {"iscandidater", r.candidate},
                           {"islinkduty", r.reelected},
                           {"dimissdate", day(r.until)},
                           {"dinissionmode", text_or_null(r.leaving)},
                           {"jobduty", r.work},
                           {"note", text_or_null(r.note)},
                           {"dutyinparty", text_or_null(r.party_post)},
                           {"ondutydate", day(r.from)}});
    }
}

void write_member_side_registers(row_writer& w, const roster& people) {
    static const side_row training[] = {
        {0, 0, "2024-05-16", "", "04", "1", "社区党组织书记和居委会主任轮训"},
        {0, 1, "2023-09-12", "", "05", "1", "社会救助政策业务培训"},
        {0, 2, "2024-11-06", "", "03", "1", "社区工作者职业水平考试辅导"},
        {0, 5, "2022-08-20", "", "05", "1", "新任社区工作者岗前培训"},
        {0, 4, "2021-05-18", "", "04", "0", "人民调解业务培训，未参加结业考核"},
        {0, 6, "2025-03-20", "", "06", "1", "消防安全知识培训"},
        {1, 0, "2024-05-16", "", "04", "1", "社区党组织书记和居委会主任轮训"},
        {1, 1, "2023-10-24", "", "05", "1", "残疾人服务政策培训"},
        {1, 2, "2024-06-12", "", "03", "1", "基层治理数字化应用培训"},
        {1, 4, "2022-04-08", "", "05", "0", "安全生产监管业务培训，考核未通过"},
    };
    for (const side_row& r : training) {
        w.insert_register("tc_og_councilmembertrain", commno_of(r.community),
                          {{"personno", people.board(r.community, r.person).personno},
                           {"traindate", day(r.date)},
                           {"trainlevel", r.level},
                           {"ispass", r.extra},
                           {"note", r.note}});
    }
    static const side_row appraisal[] = {
        {0, 0, "", "24", "01", "", ""}, {0, 1, "", "24", "02", "", ""},
        {0, 2, "", "24", "01", "", ""}, {0, 5, "", "23", "02", "", "补选后首次参加考核"},
        {0, 4, "", "23", "02", "", ""}, {0, 6, "", "24", "03", "", "居民满意度测评偏低"},
        {1, 0, "", "24", "01", "", ""}, {1, 1, "", "24", "02", "", ""},
        {1, 2, "", "23", "02", "", ""}, {1, 3, "", "24", "02", "", ""},
    };
    for (const side_row& r : appraisal) {
        w.insert_register("tc_og_councilmemberappr", commno_of(r.community),
                          {{"personno", people.board(r.community, r.person).personno},
                           {"assessyear", r.code},
                           {"assessresult", r.level},
                           {"note", text_or_null(r.note)}});
    }
    // Award 99 is the one not in the list, whose name is written out.
    static const side_row honours[] = {
        {0, 0, "2024-12-25", "61", "03", "", "武汉市优秀社区工作者"},
        {0, 1, "2023-01-10", "62", "04", "", ""},
        {0, 2, "2025-03-08", "63", "05", "", ""},
        {0, 4, "2022-06-30", "64", "05", "", ""},
        {0, 5, "2024-12-05", "99", "05", "优秀网格员", ""},
        {1, 0, "2023-06-28", "64", "04", "", ""},
        {1, 1, "2024-03-08", "63", "04", "", ""},
        {1, 4, "2022-12-20", "65", "05", "", ""},
        {1, 2, "2025-01-15", "99", "06", "最美社区人", ""},
    };
    for (const side_row& r : honours) {
        w.insert_register("tc_og_councilmemberhonor", commno_of(r.community),
                          {{"personno", people.board(r.community, r.person).personno},
                           {"prizedate", day(r.date)},
                           {"prizelevel", r.level},
                           {"prizename", text_or_null(r.extra)},
                           {"note", text_or_null(r.note)},
                           {"prizecode", r.code}});
    }
    static const side_row posts[] = {
        {0, 0, "2022-01-10", "0104", "", "", "武昌区第十六届人大代表"},
        {0, 1, "2021-12-28", "0204", "", "", ""},
        {0, 4, "2019-04-01", "0801", "", "", ""},
        {0, 6, "2020-07-15", "0701", "", "", ""},
        {0, 2, "2023-05-04", "0501", "", "", ""},
        {1, 0, "2022-01-10", "0104", "", "", ""},
        {1, 1, "2023-04-20", "0501", "", "", ""},
        {1, 3, "2018-06-01", "0801", "", "", ""},
        {1, 2, "2021-09-01", "0901", "", "", ""},
    };
    for (const side_row& r : posts) {
        w.insert_register("tc_og_parttimejob", commno_of(r.community),
                          {{"personno", people.board(r.community, r.person).personno},
                           {"holdtime", day(r.date)},
                           {"parttimejob", r.code},
                           {"note", text_or_null(r.note)}});
    }
}

}  // namespace officerecords::demo
