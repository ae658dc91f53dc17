#include "demo/demo_persons.h"

#include <cstdint>
#include <set>
#include <span>

#include "demo/demo_pictures.h"

namespace officerecords::demo {

namespace {

// The people who sit on the committees: fixed so that the member rows can
// satisfy the member register's rules (origin 03 needs status 80, origin 06
// needs household type 05 or 06).
struct profile {
    std::string_view name, sex, birth, polity, edulevel, personkind, rprtype;
};

const std::array<profile, 10> k_board_1 = {{
    {"陈红梅", "2", "1977-04-12", "01", "21", "17", "06"},
    {"王建华", "1", "1969-09-03", "01", "31", "17", "06"},
    {"李文静", "2", "1985-02-18", "01", "21", "17", "06"},
    {"张志强", "1", "1980-11-25", "13", "61", "24", "01"},
    {"赵桂英", "2", "1958-06-07", "01", "41", "80", "06"},
    {"周晓婷", "2", "1997-08-15", "03", "21", "17", "03"},
    {"吴国庆", "1", "1963-10-01", "01", "31", "21", "06"},
    {"孙立新", "1", "1955-03-14", "01", "61", "80", "06"},
    {"黄淑珍", "2", "1956-12-02", "13", "71", "80", "05"},
    {"马俊", "1", "1983-07-21", "13", "21", "17", "02"},
}};

const std::array<profile, 7> k_board_2 = {{
    {"杨建军", "1", "1966-05-20", "01", "21", "17", "06"},
    {"徐丽娟", "2", "1974-01-30", "01", "31", "17", "06"},
    {"胡斌", "1", "1988-10-09", "13", "21", "17", "04"},
    {"郭玉兰", "2", "1957-08-18", "01", "41", "80", "06"},
    {"何伟", "1", "1979-03-03", "01", "31", "21", "06"},
    {"罗秀英", "2", "1954-11-11", "01", "61", "80", "06"},
    {"郑国华", "1", "1962-02-14", "01", "31", "24", "06"},
}};

// clang-format off
constexpr std::array<std::string_view, 60> k_surnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
    "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
    "彭", "曾", "肖", "田", "董", "袁", "潘", "蔡", "蒋", "余", "杜", "叶", "程", "魏", "苏",
    "吕", "丁", "任", "沈", "姚", "卢", "熊", "万", "汪", "范", "金", "石", "夏", "付", "雷"};

// Given names by generation (born before 1960, 1960-1984, from 1985) and sex.
constexpr std::array<std::string_view, 20> k_given_old_m = {
    "建国", "国庆", "建华", "志明", "德明", "文华", "永祥", "福生", "长海", "振华",
    "国强", "保国", "援朝", "学文", "家骏", "春生", "明德", "树林", "金宝", "汉生"};
constexpr std::array<std::string_view, 20> k_given_old_f = {
    "秀英", "桂兰", "淑华", "玉兰", "凤英", "秀兰", "桂英", "玉珍", "翠兰", "素芳",
    "桂芳", "秀珍", "美华", "丽华", "月娥", "春梅", "惠芬", "金凤", "爱华", "凤兰"};
constexpr std::array<std::string_view, 20> k_given_mid_m = {
    "伟", "强", "军", "勇", "斌", "杰", "涛", "明", "超", "磊",
    "建军", "志刚", "海涛", "晓东", "文斌", "俊杰", "卫东", "红兵", "永刚", "建平"};
constexpr std::array<std::string_view, 20> k_given_mid_f = {
    "丽", "静", "敏", "燕", "艳", "娟", "霞", "芳", "丽娟", "红霞",
    "晓燕", "海燕", "春燕", "雪梅", "丽萍", "慧敏", "小红", "玉梅", "晓红", "琳"};
constexpr std::array<std::string_view, 20> k_given_young_m = {
    "浩然", "子轩", "宇轩", "俊熙", "博文", "梓豪", "浩宇", "一鸣", "天佑", "子墨",
    "思远", "皓轩", "睿", "晨阳", "家乐", "嘉豪", "宇航", "泽宇", "铭", "梓睿"};
constexpr std::array<std::string_view, 20> k_given_young_f = {
    "欣怡", "梓涵", "诗涵", "雨萱", "可馨", "若曦", "佳怡", "梦琪", "思琪", "雨桐",
    "紫萱", "语嫣", "一诺", "子涵", "心怡", "晓萌", "悦", "婷", "佳琪", "思雨"};

constexpr std::array<std::string_view, 30> k_phone_prefixes = {
    "130", "131", "132", "133", "135", "136", "137", "138", "139", "150",
    "151", "152", "153", "155", "156", "157", "158", "159", "166", "173",
    "176", "177", "180", "181", "182", "183", "186", "187", "188", "189"};

constexpr std::array<std::string_view, 6> k_home_towns = {
    "河南省信阳市浉河区", "湖南省岳阳市岳阳楼区", "江西省九江市浔阳区",
    "安徽省安庆市迎江区", "四川省达州市通川区", "重庆市万州区"};
// clang-format on

// The 18th character of a resident identity card: ISO 7064 MOD 11-2.
char id_check_digit(std::string_view first17) {
    static constexpr std::array<int, 17> weights = {7, 9, 10, 5,  8, 4, 2, 1, 6,
                                                    3, 7, 9,  10, 5, 8, 4, 2};
    int sum = 0;
    for (std::size_t i = 0; i < 17; ++i) sum += (first17[i] - '0') * weights[i];
    return "10X98765432"[sum % 11];
}

class person_builder {
  public:
    person_builder() : rng_(0x4F52'4543'4F52'4453ull) {}

    std::vector<person> build() {
        std::vector<person> people;
        for (int c = 0; c < static_cast<int>(k_communities.size()); ++c) {
            const std::span<const profile> board =
                c == 0 ? std::span<const profile>(k_board_1) : std::span<const profile>(k_board_2);
            for (const profile& p : board) used_names_.insert(std::string(p.name));
            for (int i = 0; i < k_communities[static_cast<std::size_t>(c)].persons; ++i) {
                person p = i < static_cast<int>(board.size())
                               ? from_profile(board[static_cast<std::size_t>(i)])
                               : random_person();
                p.community = c;
                p.personno = "P";
                p.personno += k_communities[static_cast<std::size_t>(c)].commno;
                p.personno += digits(i + 1, 4);
                p.address = address(c);
                if (p.rprtype == "05" || p.rprtype == "06") {
                    p.rpraddr = "湖北省武汉市武昌区" + p.address;
                } else {
                    p.rpraddr = origin_address(p.rprtype);
                }
                p.idcard = id_card(p);
                people.push_back(std::move(p));
            }
        }
        return people;
    }

  private:
    person from_profile(const profile& f) {
        person p;
        p.name = f.name;
        p.sex = f.sex;
        p.birth = *date::parse(f.birth);
        p.polity = f.polity;
        p.edulevel = f.edulevel;
        p.personkind = f.personkind;
        p.rprtype = f.rprtype;
        p.nationality = "01";
        p.phone = phone();
        return p;
    }

    person random_person() {
        person p;
        p.sex = rng_.chance(50) ? "1" : "2";
        const int bucket = rng_.below(100);
        const int year = bucket < 12   ? rng_.between(2008, 2015)
                         : bucket < 30 ? rng_.between(1990, 2007)
                         : bucket < 62 ? rng_.between(1965, 1989)
                         : bucket < 86 ? rng_.between(1950, 1964)
                                       : rng_.between(1935, 1949);
        p.birth = *date::from_ymd(year, rng_.between(1, 12), rng_.between(1, 28));
        p.name = unique_name(p);
        const int age = p.age();
        p.dead = age >= 80 && rng_.chance(25);
        const int r = rng_.below(100);
        p.rprtype = r < 60   ? "06"
                    : r < 65 ? "05"
                    : r < 80 ? "01"
                    : r < 85 ? "02"
                    : r < 95 ? "03"
                             : "04";
        static constexpr std::array<std::string_view, 6> minorities = {"03", "08", "11",
                                                                       "15", "06", "10"};
        p.nationality = rng_.chance(90) ? "01" : std::string(rng_.pick(minorities));
        if (age < 14) {
            p.polity = "13";
        } else if (age < 28) {
            p.polity = rng_.chance(45) ? "03" : rng_.chance(8) ? "01" : "13";
        } else {
            const int k = rng_.below(100);
            p.polity = k < 24 ? "01" : k < 26 ? "02" : k < 28 ? "12" : k < 29 ? "05" : "13";
        }
        p.phone = age < 12 ? "" : phone();
        p.edulevel = education(age);
        p.personkind = job_status(age, p.edulevel);
        return p;
    }

    std::string unique_name(const person& p) {
        const int year = p.birth.year();
        const bool male = p.sex == "1";
        const auto& given = year < 1960   ? (male ? k_given_old_m : k_given_old_f)
                            : year < 1985 ? (male ? k_given_mid_m : k_given_mid_f)
                                          : (male ? k_given_young_m : k_given_young_f);
        std::string name;
        for (int attempt = 0; attempt < 20; ++attempt) {
            name = std::string(rng_.pick(k_surnames)) + std::string(rng_.pick(given));
            if (used_names_.insert(name).second) break;
        }
        return name;
    }

    std::string education(int age) {
        if (age <= 12) return "80";
        if (age <= 15) return "70";
        if (age <= 18) return "60";
        const int k = rng_.below(100);
        if (age >= 60) return k < 25 ? "81" : k < 55 ? "71" : k < 80 ? "61" : k < 90 ? "41" : "31";
        if (age <= 22) return k < 70 ? "20" : "30";
        return k < 4    ? "14"
               : k < 34 ? "21"
               : k < 56 ? "31"
               : k < 66 ? "41"
               : k < 70 ? "47"
               : k < 88 ? "61"
                        : "71";
    }

    std::string job_status(int age, const std::string& edulevel) {
        if (age < 18 || edulevel == "20" || edulevel == "30") return "31";
        if (age >= 60) return rng_.chance(92) ? "80" : "90";
        static constexpr std::array<std::string_view, 12> working = {
            "11", "13", "13", "17", "17", "17", "21", "24", "24", "51", "54", "70"};
        return std::string(rng_.pick(working));
    }

    std::string phone() {
        return std::string(rng_.pick(k_phone_prefixes)) + digits(rng_.below(100000000), 8);
    }

    std::string address(int c) {
        const community& comm = k_communities[static_cast<std::size_t>(c)];
        return std::string(rng_.pick(comm.streets)) + std::to_string(rng_.between(1, 160)) + "号" +
               std::to_string(rng_.between(1, 12)) + "栋" + std::to_string(rng_.between(1, 4)) +
               "单元" + std::to_string(rng_.between(1, 9)) + digits(rng_.between(1, 4), 2) + "室";
    }

    std::string origin_address(const std::string& rprtype) {
        // Other districts of the city, each with one of its own streets.
        static constexpr std::array<std::string_view, 4> wuhan_addresses = {
            "江汉区新华路", "江岸区解放大道", "硚口区中山大道", "洪山区珞喻路"};
        static constexpr std::array<std::string_view, 4> villages = {"李家湾村", "新桥村", "杨店村",
                                                                     "河口村"};
        if (rprtype == "01") {
            return "湖北省武汉市" + std::string(rng_.pick(wuhan_addresses)) +
                   std::to_string(rng_.between(1, 999)) + "号";
        }
        if (rprtype == "02") {
            return "湖北省武汉市黄陂区前川街道" + std::string(rng_.pick(villages)) +
                   std::to_string(rng_.between(1, 9)) + "组";
        }
        const std::string town(rng_.pick(k_home_towns));
        if (rprtype == "04") {
            return town + std::string(rng_.pick(villages)) + std::to_string(rng_.between(1, 9)) +
                   "组";
        }
        return town + "人民路" + std::to_string(rng_.between(1, 300)) + "号";
    }

    // Region 420106 (Wuchang), the birth date, a sequence number that is odd
    // for men and even for women, and the check digit; never repeated.
    std::string id_card(const person& p) {
        for (;;) {
            int seq = rng_.between(0, 499) * 2 + (p.sex == "1" ? 1 : 0);
            if (seq == 0) seq = 2;
            const std::string first17 = "420106" + digits(p.birth.year(), 4) +
                                        digits(p.birth.month(), 2) + digits(p.birth.day(), 2) +
                                        digits(seq, 3);
            std::string id = first17 + id_check_digit(first17);
            if (used_ids_.insert(id).second) return id;
        }
    }

    demo_random rng_;
    std::set<std::string> used_names_;
    std::set<std::string> used_ids_;
};

}  // namespace

std::string_view commno_of(int community) {
    return k_communities[static_cast<std::size_t>(community)].commno;
}

std::vector<person> build_persons() { return person_builder().build(); }

roster::roster(const std::vector<person>& people) : people_(people) {
    for (const person& p : people) {
        const auto c = static_cast<std::size_t>(p.community);
        if (first_[c] < 0) first_[c] = static_cast<int>(&p - people.data());
        const int index = static_cast<int>(&p - people.data()) - first_[c];
        const int board =
            c == 0 ? static_cast<int>(k_board_1.size()) : static_cast<int>(k_board_2.size());
        if (index >= board && !p.dead && p.age() >= 18) residents_[c].push_back(&p);
    }
}

void write_persons(row_writer& w, const std::vector<person>& people) {
    demo_random rng(0x50455253'4F4E5321ull);
    for (const person& p : people) {
        w.insert("tc_ge_personinfo", {{"personno", p.personno},
                                      {"personname", p.name},
                                      {"idcard", p.idcard},
                                      {"sex", p.sex},
                                      {"birthdate", p.birth},
                                      {"rprtype", p.rprtype},
                                      {"rpraddr", p.rpraddr},
                                      {"nationality", p.nationality},
                                      {"polity", p.polity},
                                      {"contactphone", text_or_null(p.phone)},
                                      {"edulevel", p.edulevel},
                                      {"presentaddr1", p.address},
                                      {"personkind", p.personkind},
                                      {"isdeath", p.dead ? 1 : 0}});
        // The supplement exists only for people the volunteer survey reached.
        if (p.age() >= 18 && !p.dead && rng.chance(45)) {
            w.insert("tc_ge_personotherinfo",
                     {{"personno", p.personno}, {"isvolunteer", rng.chance(60) ? "1" : "0"}});
        }
    }
}

void write_person_photos(row_writer& w, const roster& people) {
    struct photo {
        int community, person;
        rgb background, shirt;
    };
    static const photo photos[] = {
        {0, 0, {70, 130, 200}, {180, 30, 40}},  {0, 1, {70, 130, 200}, {40, 50, 70}},
        {0, 2, {220, 220, 225}, {90, 60, 140}}, {1, 0, {70, 130, 200}, {30, 40, 60}},
        {1, 1, {220, 220, 225}, {200, 90, 60}},
    };
    for (const photo& p : photos) {
        const person& who = people.board(p.community, p.person);
        w.insert("TS_PersonPhoto", {{"PersonNo", who.personno},
                                    {"PhotoFileName", who.personno + ".bmp"},
                                    {"Photo", portrait(p.background, p.shirt)}});
    }
}

}  // namespace officerecords::demo
