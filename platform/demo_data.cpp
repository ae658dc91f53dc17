#include "platform/demo_data.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/demo_codes.h"
#include "platform/schema.h"

namespace officerecords {

namespace {

// splitmix64: tiny, well mixed, and the same on every platform, unlike the
// standard distributions whose results differ between library versions.
class demo_random {
  public:
    explicit demo_random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename Items>
    const auto& pick(const Items& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

  private:
    std::uint64_t state_;
};

using cell = std::pair<std::string_view, value>;

const date k_latest = *date::from_ymd(2025, 12, 31);

// "" stands for no date; anything else must be an ISO date.
value day(std::string_view iso) {
    if (iso.empty()) return value();
    return value(*date::parse(iso));
}
value text_or_null(std::string_view s) { return s.empty() ? value() : value(s); }
value yuan(std::int64_t whole, int fen = 0) { return value(decimal(whole * 100 + fen, 2)); }

// Inserts rows through bound parameters and keeps the first failure; rows
// after a failure are skipped so that the caller checks once at the end.
// Each row is checked against the schema first, so a typo or an overlong
// text in the demo content fails loudly instead of being stored.
class row_writer {
  public:
    explicit row_writer(transaction& t) : t_(t) {}

    void insert(std::string_view table, std::initializer_list<cell> cells) {
        insert(table, std::vector<cell>(cells));
    }

    void insert(std::string_view table, const std::vector<cell>& cells) {
        if (!error_.empty()) return;
        const table_def* def = find_table(table);
        if (def == nullptr) return fail(std::string(table) + ": no such table in the schema");
        std::string sql = "INSERT INTO " + std::string(def->name) + " (";
        std::string marks;
        std::vector<value> params;
        for (const auto& [name, v] : cells) {
            const column_def* col = def->find_column(name);
            if (col == nullptr)
                return fail(std::string(table) + "." + std::string(name) + ": no such column");
            if (col->kind == column_kind::text && v.is_text() &&
                utf8_length(v.text()) > static_cast<std::size_t>(col->size)) {
                return fail(std::string(table) + "." + std::string(name) +
                            ": text too long: " + v.text());
            }
            if (v.is_date() && v.day() > k_latest) {
                return fail(std::string(table) + "." + std::string(name) +
                            ": date after 2025-12-31");
            }
            if (!params.empty()) {
                sql += ", ";
                marks += ", ";
            }
            sql += name;
            marks += "?";
            params.push_back(v);
        }
        sql += ") VALUES (" + marks + ")";
        if (t_.execute(sql, params) != sql_code::ok) {
            fail(std::string(table) + ": " + t_.sqlerrtext());
        }
    }

    // A register row: the community, the next record number of the table
    // (unique over the whole table, as the photo store and the member
    // registers find rows by number alone) and the saved-with-checks flag.
    std::int64_t insert_register(std::string_view table, std::string_view commno,
                                 std::initializer_list<cell> cells) {
        const std::int64_t orderno = ++ordernos_[std::string(table)];
        std::vector<cell> row = {{"commno", commno}, {"orderno", decimal(orderno, 0)}};
        row.insert(row.end(), cells);
        row.emplace_back("issave", "1");
        insert(table, row);
        return orderno;
    }

    const std::string& error() const { return error_; }

  private:
    void fail(std::string message) { error_ = std::move(message); }

    transaction& t_;
    std::string error_;
    std::map<std::string, std::int64_t> ordernos_;
};

// ---------------------------------------------------------------- code tables


void write_codes(row_writer& w) {
    for (const demo_code_table& table : demo_code_tables()) {
        if (table.name == "dddw_og_assessyear") {
            // Two-digit year codes 01 .. 25 for 2001 .. 2025.
            for (int year = 2001; year <= 2025; ++year) {
                const std::string code = (year % 100 < 10 ? "0" : "") + std::to_string(year % 100);
                w.insert("tc_ge_code", {{"codetable", table.name},
                                        {"tcode", code},
                                        {"tname", std::to_string(year) + "年度"}});
            }
            continue;
        }
        for (const auto& [code, name] : table.rows) {
            w.insert("tc_ge_code", {{"codetable", table.name}, {"tcode", code}, {"tname", name}});
        }
    }
}

// ---------------------------------------------------------------- persons

struct community {
    std::string_view commno;
    std::string_view name;
    std::array<std::string_view, 4> streets;
    int persons;
};

const std::array<community, 2> k_communities = {{
    {k_demo_commno_1, "水果湖社区", {"东湖路", "水果湖横路", "中北路", "黄鹂路"}, 120},
    {k_demo_commno_2, "东亭社区", {"东亭路", "东亭二路", "岳家嘴路", "徐东大街"}, 80},
}};

struct person {
    std::string personno, name, idcard, sex;
    date birth;
    std::string rprtype, rpraddr, nationality, polity, phone, edulevel, address, personkind;
    bool dead = false;
    int community = 0;
    int age() const { return 2025 - birth.year(); }
};

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

// n written with at least `width` digits, zero-padded.
std::string digits(int n, int width) {
    std::string s = std::to_string(n);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

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
                p.personno = "P" + std::string(k_communities[static_cast<std::size_t>(c)].commno) +
                             digits(i + 1, 4);
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

// ---------------------------------------------------------------- pictures

struct rgb {
    unsigned char r, g, b;
};

void put_le(blob& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An uncompressed 24-bit BMP; `pixel(x, y)` is asked top row first.
template <typename Pixel>
blob make_bmp(int width, int height, Pixel pixel) {
    const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(height);
    blob out;
    out.push_back('B');
    out.push_back('M');
    put_le(out, 54 + image_bytes, 4);
    put_le(out, 0, 4);
    put_le(out, 54, 4);
    put_le(out, 40, 4);
    put_le(out, static_cast<std::uint32_t>(width), 4);
    put_le(out, static_cast<std::uint32_t>(height), 4);
    put_le(out, 1, 2);
    put_le(out, 24, 2);
    put_le(out, 0, 4);
    put_le(out, image_bytes, 4);
    put_le(out, 2835, 4);  // 72 dpi
    put_le(out, 2835, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    // BMP rows run bottom-up, pixels as blue, green, red.
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const rgb c = pixel(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < row_bytes; ++pad)
            out.push_back(0);
    }
    return out;
}

// A 32x40 head-and-shoulders figure on a plain background.
blob portrait(rgb background, rgb shirt) {
    return make_bmp(32, 40, [&](int x, int y) -> rgb {
        const int dx = x - 16, dy = y - 15;
        if (dx * dx * 64 + dy * dy * 49 <= 49 * 64)
            return y < 11 ? rgb{40, 32, 30} : rgb{238, 198, 168};
        if (y >= 26 && (x - 16) * (x - 16) <= (6 + (y - 26)) * (6 + (y - 26))) return shirt;
        return background;
    });
}

// A 48x32 scene: sky, ground and a banner.
blob scene(rgb sky, rgb banner) {
    return make_bmp(48, 32, [&](int x, int y) -> rgb {
        if (y >= 6 && y <= 11 && x >= 8 && x <= 39)
            return (x % 4 == 0 && y == 8) ? rgb{250, 220, 60} : banner;
        if (y > 21) return rgb{static_cast<unsigned char>(60 + y), 150, 70};
        return rgb{sky.r, static_cast<unsigned char>(sky.g - y * 2), sky.b};
    });
}

// ---------------------------------------------------------------- registers

// Finds the persons the registers refer to: the committee people of each
// community (their profiles above, in order) and its other living adults.
class roster {
  public:
    explicit roster(const std::vector<person>& people) : people_(people) {
        for (const person& p : people) {
            const auto c = static_cast<std::size_t>(p.community);
            if (first_[c] < 0) first_[c] = static_cast<int>(&p - people.data());
            const int index = static_cast<int>(&p - people.data()) - first_[c];
            const int board =
                c == 0 ? static_cast<int>(k_board_1.size()) : static_cast<int>(k_board_2.size());
            if (index >= board && !p.dead && p.age() >= 18) residents_[c].push_back(&p);
        }
    }
    const person& board(int community, int index) const {
        return people_[static_cast<std::size_t>(first_[static_cast<std::size_t>(community)] +
                                                index)];
    }
    const person& resident(int community, int index) const {
        return *residents_[static_cast<std::size_t>(community)][static_cast<std::size_t>(index)];
    }

  private:
    const std::vector<person>& people_;
    std::array<int, 2> first_ = {-1, -1};
    std::array<std::vector<const person*>, 2> residents_;
};

std::string_view commno_of(int community) {
    return k_communities[static_cast<std::size_t>(community)].commno;
}

std::string_view code_name(std::string_view table, std::string_view code) {
    for (const demo_code_table& t : demo_code_tables()) {
        if (t.name != table) continue;
        for (const auto& [c, name] : t.rows) {
            if (c == code) return name;
        }
    }
    return {};
}

struct asset_row {
    int community;
    std::string_view sort, name, brand, model;
    int count;
    std::string_view unit;
    std::int64_t yuan;
    std::string_view purchased, keeper, scrapped, recorder, recorded, note;
};

void write_assets(row_writer& w) {
    static const asset_row rows[] = {
        {0, "02", "台式计算机", "联想", "启天M437", 4, "台", 19960, "2019-04-10", "李文静", "",
         "李文静", "2019-04-12", "社区服务大厅窗口使用"},
        {0, "02", "激光打印机", "惠普", "LaserJet Pro M405d", 2, "台", 3580, "2020-06-18", "李文静",
         "", "李文静", "2020-06-18", ""},
        {0, "01", "多功能复印机", "理光", "MP 2014AD", 1, "台", 8600, "2016-09-05", "王建华",
         "2023-11-20", "王建华", "2016-09-08", "主板故障，维修价值低，经街道审核报废"},
        {0, "03", "办公桌椅", "震旦", "1.4米钢木组合", 8, "套", 9600, "2015-03-16", "王建华", "",
         "王建华", "2015-03-20", ""},
        {0, "04", "电动自行车", "雅迪", "DE3", 2, "辆", 5198, "2021-05-08", "张志强", "", "李文静",
         "2021-05-10", "网格巡查专用"},
        {0, "06", "便携式音响", "先科", "SA-8019", 1, "套", 1280, "2022-08-26", "周晓婷", "",
         "周晓婷", "2022-08-26", "广场活动使用"},
        {0, "01", "碎纸机", "得力", "9918", 1, "台", 699, "2023-02-14", "李文静", "", "李文静",
         "2023-02-14", ""},
        {1, "02", "笔记本电脑", "华为", "MateBook D14", 2, "台", 9598, "2022-03-15", "胡斌", "",
         "徐丽娟", "2022-03-16", ""},
        {1, "01", "投影仪", "爱普生", "CB-X06", 1, "台", 3999, "2018-10-22", "徐丽娟", "", "徐丽娟",
         "2018-10-25", "会议室使用"},
        {1, "03", "钢制文件柜", "金虎", "四门对开", 6, "个", 4200, "2014-07-01", "何伟",
         "2024-05-10", "何伟", "2014-07-03", "锈蚀变形，已报废"},
        {1, "02", "空调", "格力", "KFR-35GW", 3, "台", 8970, "2017-06-20", "何伟", "", "徐丽娟",
         "2017-06-22", ""},
        {1, "09", "党群服务中心标识牌", "", "不锈钢烤漆", 1, "块", 1500, "2021-06-28", "胡斌", "",
         "胡斌", "2021-06-30", ""},
    };
    for (const asset_row& r : rows) {
        w.insert_register("tc_og_assetregister", commno_of(r.community),
                          {{"assetsort", r.sort},
                           {"goodsname", r.name},
                           {"namebrand", text_or_null(r.brand)},
                           {"goodstype", r.model},
                           {"goodscount", r.count},
                           {"computeunit", r.unit},
                           {"originvalue", yuan(r.yuan)},
                           {"purchasedate", day(r.purchased)},
                           {"keepperson", r.keeper},
                           {"scrapedate", day(r.scrapped)},
                           {"recorder", r.recorder},
                           {"recorddate", day(r.recorded)},
                           {"note", text_or_null(r.note)}});
    }
}

struct money_row {
    int community;
    std::string_view recorded, sort, source_or_scope, use;
    std::int64_t yuan;
    int fen;
    std::string_view handler, approver, recorder, note;
};

void write_income(row_writer& w) {
    static const money_row rows[] = {
        {0, "2025-01-08", "10", "01", "", 60000, 0, "王建华", "", "李文静",
         "2025年第一季度办公经费"},
        {0, "2024-12-20", "30", "02", "", 150000, 0, "陈红梅", "", "李文静",
         "党群服务阵地适老化改造专项资金"},
        {0, "2025-03-05", "40", "05", "", 8000, 0, "周晓婷", "", "李文静",
         "辖区共建单位资助学雷锋志愿服务活动"},
        {0, "2024-09-18", "40", "04", "", 2600, 0, "周晓婷", "", "李文静",
         "居民自愿捐赠，用于中秋节慰问困难家庭"},
        {0, "2025-04-02", "20", "02", "", 36000, 0, "王建华", "", "李文静",
         "2025年度社区惠民资金（第一批）"},
        {0, "2024-07-15", "50", "03", "", 1250, 50, "张志强", "", "李文静", "废旧物品回收处置收入"},
        {1, "2025-01-10", "10", "01", "", 45000, 0, "徐丽娟", "", "胡斌", "2025年第一季度办公经费"},
        {1, "2024-11-28", "20", "02", "", 30000, 0, "杨建军", "", "胡斌",
         "2024年度社区惠民资金（第二批）"},
        {1, "2025-02-20", "40", "05", "", 5000, 0, "何伟", "", "胡斌",
         "共建单位资助元宵节游园活动"},
        {1, "2024-06-05", "30", "02", "", 80000, 0, "杨建军", "", "胡斌", "老旧小区微改造配套资金"},
    };
    for (const money_row& r : rows) {
        w.insert_register("tc_og_incomemoneyrecord", commno_of(r.community),
                          {{"recorddate", day(r.recorded)},
                           {"outlaysort", r.sort},
                           {"outlaysource", r.source_or_scope},
                           {"moneysum", yuan(r.yuan, r.fen)},
                           {"handleperson", r.handler},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

void write_expenditure(row_writer& w) {
    static const money_row rows[] = {
        {0, "2025-01-15", "10", "11", "购买打印纸、硒鼓、文件盒等办公用品", 1865, 50, "李文静",
         "陈红梅", "李文静", ""},
        {0, "2025-04-08", "10", "12", "2025年第一季度党群服务中心水电费", 4320, 0, "王建华",
         "陈红梅", "李文静", ""},
        {0, "2025-02-26", "30", "31", "党群服务中心无障碍坡道及扶手改造", 46800, 0, "王建华",
         "陈红梅", "李文静", "已通过街道验收"},
        {0, "2024-10-09", "40", "41", "重阳节文艺汇演服装及道具租赁", 3200, 0, "周晓婷", "陈红梅",
         "李文静", ""},
        {0, "2024-09-20", "40", "43", "中秋节走访慰问困难家庭（月饼、食用油）", 2580, 0, "周晓婷",
         "陈红梅", "李文静", "慰问困难家庭12户"},
        {0, "2025-03-18", "50", "50", "困难居民临时救助", 2000, 0, "王建华", "陈红梅", "李文静",
         "经居委会集体研究同意"},
        {1, "2025-01-20", "10", "13", "2025年度宽带网络及电话费", 2160, 0, "胡斌", "杨建军", "胡斌",
         ""},
        {1, "2024-12-12", "20", "21", "社区工作者业务培训会场地及资料费", 1480, 0, "徐丽娟",
         "杨建军", "胡斌", ""},
        {1, "2024-08-22", "30", "32", "背街小巷环境卫生集中整治", 12600, 0, "何伟", "杨建军",
         "胡斌", ""},
        {1, "2025-02-24", "40", "41", "元宵节游园活动奖品", 1950, 0, "何伟", "杨建军", "胡斌", ""},
    };
    for (const money_row& r : rows) {
        w.insert_register("tc_og_moneyoutgorecord", commno_of(r.community),
                          {{"recorddate", day(r.recorded)},
                           {"outlaysort", r.sort},
                           {"usebound", r.source_or_scope},
                           {"usenote", r.use},
                           {"moneysum", yuan(r.yuan, r.fen)},
                           {"handleperson", r.handler},
                           {"examperson", r.approver},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

struct work_row {
    int community;
    std::string_view date, name, place, organise, attendance, content, department, recorder, note;
};

void write_daily_work(row_writer& w) {
    static const work_row rows[] = {
        {0, "2025-01-06", "2025年第一次居委会工作例会", "党群服务中心三楼会议室", "02",
         "陈红梅、王建华、李文静、周晓婷、吴国庆、赵桂英",
         "总结2024年工作，研究部署2025年第一季度重点工作：春节走访慰问、安全生产检查、居民议事会筹"
         "备。",
         "01", "李文静", ""},
        {0, "2025-02-12", "春节前安全生产大检查", "辖区沿街商铺及老旧小区", "02",
         "王建华、吴国庆、辖区派出所民警2人",
         "对沿街32家商铺及东湖路老旧小区开展消防安全检查，发现隐患5处，当场整改3处，其余限期整改。",
         "12", "吴国庆", "隐患台账已上报街道"},
        {0, "2024-11-20", "居民议事会：加装电梯协调会", "中北路居民议事厅", "03",
         "中北路18号1栋居民代表14人、陈红梅、王建华",
         "协调1单元低楼层住户意见，形成加装电梯费用分摊方案，12户签字同意。", "01", "李文静", ""},
        {0, "2025-03-26", "人民调解：邻里漏水纠纷", "社区调解室", "02",
         "王建华、赵桂英、当事人双方", "黄鹂路住户楼上漏水引发纠纷，经调解双方达成维修及赔偿协议。",
         "04", "王建华", "已制作调解协议书"},
        {0, "2024-12-03", "党委会：年度党员民主评议", "党群服务中心三楼会议室", "01",
         "社区党委委员5人、党员代表20人",
         "开展年度党员民主评议，通报评议结果，部署冬季送温暖活动。", "01", "李文静", ""},
        {1, "2025-01-08", "2025年第一次居委会工作例会", "东亭社区党群服务中心会议室", "02",
         "杨建军、徐丽娟、胡斌、郭玉兰、何伟", "部署春节期间值班、走访慰问及烟花爆竹安全宣传工作。",
         "01", "胡斌", ""},
        {1, "2024-10-15", "居民小组长会议", "东亭路社区活动室", "03", "各居民小组长9人、徐丽娟",
         "通报第三季度社区工作，征求老旧小区改造意见。", "01", "胡斌", ""},
        {1, "2025-03-11", "防汛工作部署会", "东亭社区党群服务中心会议室", "02",
         "杨建军、何伟、各楼栋长", "成立防汛应急小分队，排查地势低洼楼栋3处，落实沙袋等物资。",
         "12", "何伟", ""},
        {1, "2024-09-06", "残疾人需求调查", "辖区入户走访", "02", "郭玉兰、胡斌",
         "入户走访持证残疾人26人，更新需求台账。", "08", "胡斌", ""},
    };
    for (const work_row& r : rows) {
        w.insert_register("tc_og_dailyworkrecord", commno_of(r.community),
                          {{"meetdate", day(r.date)},
                           {"meetname", r.name},
                           {"commaddr", r.place},
                           {"organise", r.organise},
                           {"attendperson", r.attendance},
                           {"content", r.content},
                           {"submitdept", r.department},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

struct seal_row {
    int community, resident;
    std::string_view date, sort, detail, handler, approver, note;
};

void write_seal_use(row_writer& w, const roster& people) {
    static const seal_row rows[] = {
        {0, 0, "2025-02-18", "01", "为子女办理小学入学开具居住证明", "李文静", "陈红梅", ""},
        {0, 3, "2024-09-02", "02", "申请大学新生助学金所需家庭经济困难证明", "李文静", "陈红梅",
         ""},
        {0, 6, "2025-04-10", "03", "前往区不动产登记中心办理房屋继承手续", "周晓婷", "陈红梅", ""},
        {0, 9, "2024-12-16", "06", "办理养老保险待遇领取的亲属关系证明", "李文静", "陈红梅", ""},
        {0, 12, "2025-05-06", "04", "申请公共租赁住房的上报材料", "周晓婷", "王建华",
         "主任外出，副主任代批"},
        {1, 0, "2025-01-22", "01", "办理居住证所需居住证明", "胡斌", "杨建军", ""},
        {1, 2, "2024-08-19", "02", "申请临时救助的家庭经济困难证明", "胡斌", "杨建军", ""},
        {1, 5, "2025-03-03", "03", "前往区社保局办理退休手续", "徐丽娟", "杨建军", ""},
        {1, 8, "2024-11-05", "06", "办理遗属补助的亲属关系证明", "胡斌", "杨建军", ""},
    };
    for (const seal_row& r : rows) {
        w.insert_register("tc_og_sealuserecord", commno_of(r.community),
                          {{"personno", people.resident(r.community, r.resident).personno},
                           {"applydate", day(r.date)},
                           {"sealusesort", r.sort},
                           {"detailuse", r.detail},
                           {"dealperson", r.handler},
                           {"confirmperson", r.approver},
                           {"note", text_or_null(r.note)}});
    }
}

struct commin_row {
    int community;
    std::string_view date, type, name, content, agreed, from, until, appraisal, note;
};

void write_move_in(row_writer& w) {
    static const commin_row rows[] = {
        {0, "2024-03-12", "02", "老吴便民修鞋配钥匙点",
         "在东湖路12号楼下设便民服务点，经营修鞋、配钥匙、修伞。", "1", "2024-04-01", "",
         "服务热情，收费合理，居民满意。", "已签订门前三包责任书"},
        {0, "2023-05-20", "03", "武昌区阳光助老服务中心", "申请进驻社区开展居家养老上门服务。", "1",
         "2023-06-01", "2025-05-31", "服务规范，老人反映良好。", "合同期满"},
        {0, "2024-08-06", "05", "小区快递驿站", "申请在水果湖横路小区内设立快递收发点。", "0", "",
         "", "", ""},
        {0, "2025-02-17", "04", "湖北大学青年志愿者协会", "申请每周进社区开展四点半课堂作业辅导。",
         "1", "2025-03-01", "", "大学生志愿者认真负责，家长认可。", ""},
        {0, "2022-10-10", "01", "中国建设银行武汉水果湖支行",
         "申请开展金融知识进社区及防范电信诈骗宣传。", "1", "2022-11-01", "2023-10-31",
         "宣传内容实用，居民防骗意识提高。", "共建协议到期"},
        {1, "2024-04-08", "02", "东亭便民早餐店", "申请在东亭路12号临街门面经营早餐。", "1",
         "2024-05-01", "", "干净卫生，价格实惠。", "已签订食品安全承诺书"},
        {1, "2023-09-14", "03", "武昌区心语心理咨询服务中心",
         "申请进驻社区开展青少年心理健康辅导。", "1", "2023-10-01", "2024-09-30",
         "活动专业，家长满意。", "项目到期"},
        {1, "2025-03-20", "05", "社区团购自提点", "申请在小区门岗设立团购自提点。", "0", "", "", "",
         ""},
        {1, "2024-12-02", "04", "武汉理工大学青年志愿者服务队",
         "申请定期开展老年人智能手机使用教学。", "1", "2025-01-01", "",
         "帮助老人学会网上缴费和视频通话。", ""},
    };
    for (const commin_row& r : rows) {
        w.insert_register("tc_og_comminregister", commno_of(r.community),
                          {{"registdate", day(r.date)},
                           {"commintype", r.type},
                           {"registname", r.name},
                           {"registcontent", r.content},
                           {"isagree", r.agreed},
                           {"incommdate", day(r.from)},
                           {"outcommdate", day(r.until)},
                           {"residentappraise", text_or_null(r.appraisal)},
                           {"note", text_or_null(r.note)}});
    }
}

struct activity_row {
    int community;
    std::string_view mode, date, topic, place, department, plan;
    int units, attendance;
    std::int64_t cost;
    std::string_view source, recorder, publish, big_affair, summary;
};

struct photo_row {
    std::string_view file, note;
    rgb sky, banner;
};

void write_activities(row_writer& w) {
    static const activity_row rows[] = {
        {0, "02", "2025-03-05", "03", "社区党群服务中心广场", "11",
         "联合辖区共建单位和高校志愿者，在社区广场开展义诊、理发、家电维修、法律咨询等便民服务。",
         8, 120, 1860, "05", "李文静", "1", "1",
         "学雷锋志愿服务集中行动顺利开展，8家共建单位、40余名志愿者参与，服务居民120余人次，义务理"
         "发35人次，维修小家电22件。"},
        {0, "01", "2024-10-11", "08", "社区老年活动中心", "02",
         "组织社区文艺队排练节目，邀请80岁以上老人观看演出并发放慰问品。", 3, 150, 3200, "02",
         "周晓婷", "1", "0",
         "重阳节敬老文艺汇演共演出节目12个，为36位80岁以上老人送上慰问品，现场气氛热烈。"},
        {0, "02", "2024-06-26", "05", "东湖路口宣传点", "03",
         "配合辖区派出所开展国际禁毒日宣传，设置展板、发放资料。", 2, 80, 450, "01", "吴国庆", "1",
         "0", "发放禁毒宣传资料300余份，展出禁毒展板10块，解答居民咨询40余人次。"},
        {0, "01", "2024-07-01", "01", "党群服务中心三楼会议室", "01",
         "庆祝中国共产党成立103周年，组织党员重温入党誓词、讲党课、表彰优秀党员。", 1, 65, 800,
         "01", "李文静", "1", "1",
         "社区党委组织65名党员参加主题党日活动，重温入党誓词，书记讲授专题党课，表彰优秀共产党员5名"
         "。"},
        {0, "01", "2025-04-18", "06", "辖区各小区", "06",
         "开展爱国卫生月环境清洁行动，清理楼道杂物和卫生死角。", 4, 90, 600, "03", "王建华", "0",
         "0", "清理楼道堆积物42处、卫生死角15处，清运垃圾约6吨，居民环境意识明显提高。"},
        {0, "04", "2024-08-10", "09", "社区四点半课堂", "10",
         "暑期四点半课堂结业展示，展示书法、绘画和手工作品。", 2, 60, 980, "05", "周晓婷", "1", "0",
         "展出学生书画手工作品50余件，30名学生参加结业展示，家长反响良好。"},
        {1, "01", "2025-01-18", "02", "东亭社区党群服务中心", "01",
         "邀请书法爱好者现场书写春联、福字，免费赠送居民。", 2, 200, 1200, "03", "胡斌", "1", "1",
         "书写春联300余副、福字500余张，赠送居民200余户，营造浓厚节日氛围。"},
        {1, "02", "2024-11-09", "07", "东亭路小区广场", "12",
         "联合消防救援站开展消防安全演练和灭火器使用培训。", 2, 110, 500, "01", "何伟", "1", "0",
         "演示灭火器和消火栓使用方法，组织居民疏散演练，110名居民参加。"},
        {1, "04", "2025-03-28", "04", "东亭社区卫生服务站", "05",
         "联合社区卫生服务中心开展高血压、糖尿病免费筛查和健康讲座。", 2, 85, 300, "05", "徐丽娟",
         "0", "0", "为85名居民测量血压血糖，筛查出疑似高血压患者6人并建立随访档案。"},
        {1, "01", "2024-05-20", "03", "辖区主次干道", "01", "组织党员志愿者开展文明创建志愿服务。",
         1, 40, 0, "03", "胡斌", "0", "0",
         "40名党员志愿者劝导不文明行为60余次，清理小广告200余张。"},
    };
    // The first activity of each community has photos; the others none.
    static const photo_row first_photos[] = {
        {"xueleifeng_01.bmp", "志愿者为居民义务理发", {120, 180, 235}, {200, 30, 40}},
        {"xueleifeng_02.bmp", "共建单位志愿者维修小家电", {140, 190, 240}, {190, 40, 35}},
        {"xueleifeng_03.bmp", "活动现场合影", {110, 170, 230}, {210, 25, 30}},
    };
    static const photo_row spring_photos[] = {
        {"chunlian_01.bmp", "书法爱好者现场书写春联", {150, 200, 245}, {220, 20, 20}},
    };
    bool first[2] = {true, true};
    for (const activity_row& r : rows) {
        const std::int64_t orderno =
            w.insert_register("tc_og_commactivityrecord", commno_of(r.community),
                              {{"buildmode", r.mode},
                               {"activitydate", day(r.date)},
                               {"activitytopic", r.topic},
                               {"activityaddr", r.place},
                               {"submitdept", r.department},
                               {"activityplan", r.plan},
                               {"attendcompnum", r.units},
                               {"attendpersonnum", r.attendance},
                               {"activitysumup", r.summary},
                               {"activitycost", yuan(r.cost)},
                               {"outlaysource", r.source},
                               {"recorder", r.recorder},
                               {"ispublish", r.publish},
                               {"isbigaffair", r.big_affair}});
        // What the activity window's transfer would have written for it.
        if (r.big_affair == "1") {
            w.insert("TC_GE_BigAffair", {{"CommNo", commno_of(r.community)},
                                         {"AffairDate", day(r.date)},
                                         {"Subject", code_name("dddw_og_activitytopic", r.topic)},
                                         {"Content", r.summary},
                                         {"IsSave", "2"}});
        }
        if (!first[r.community]) continue;
        first[r.community] = false;
        const std::span<const photo_row> photos = r.community == 0
                                                      ? std::span<const photo_row>(first_photos)
                                                      : std::span<const photo_row>(spring_photos);
        std::int64_t photono = 0;
        for (const photo_row& p : photos) {
            w.insert("TS_CommActivePhoto", {{"CommNo", commno_of(r.community)},
                                            {"OrderNo", orderno},
                                            {"PhotoNo", ++photono},
                                            {"PhotoFileName", p.file},
                                            {"PhotoNote", p.note},
                                            {"Photo", scene(p.sky, p.banner)}});
        }
    }
}

void write_chronicle(row_writer& w) {
    struct affair {
        int community;
        std::string_view date, subject, content;
    };
    static const affair rows[] = {
        {0, "2021-03-26", "水果湖社区第六届居民委员会换届选举",
         "召开居民代表会议，选举产生第六届社区居民委员会成员7名。"},
        {0, "2024-12-28", "党群服务中心完成适老化改造",
         "社区党群服务中心完成无障碍坡道、扶手和老年食堂改造，并于当日投入使用。"},
        {1, "2021-03-28", "东亭社区第六届居民委员会换届选举",
         "召开居民代表会议，选举产生第六届社区居民委员会成员5名。"},
    };
    for (const affair& r : rows) {
        w.insert("TC_GE_BigAffair", {{"CommNo", commno_of(r.community)},
                                     {"AffairDate", day(r.date)},
                                     {"Subject", r.subject},
                                     {"Content", r.content},
                                     {"IsSave", "1"}});
    }
}

// ---------------------------------------------------------------- committee

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

struct member_row {
    int community, person;
    std::string_view term, origin, certificate, living, duty, party_post;
    std::string_view representative, candidate, reelected, from, until, leaving, work, note;
};

// Within a term only one member of the whole table holds duty 11, so the
// second community's head in each term is recorded as deputy (12).
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

// One row of a member side register: the member, a date, a code, an extra
// column (pass mark or free award name) and a note.
struct side_row {
    int community, person;
    std::string_view date, code, level, extra, note;
};

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

}  // namespace

status fill_demo_data(transaction& t) {
    if (t.begin_write() != sql_code::ok) {
        return status::error("cannot fill the demo data into " + t.describe_target() + ": " +
                             t.sqlerrtext());
    }
    row_writer w(t);
    for (const community& c : k_communities) {
        w.insert("tc_ge_community", {{"commno", c.commno}, {"commname", c.name}});
    }
    write_codes(w);
    const std::vector<person> people = person_builder().build();
    const roster r(people);
    write_persons(w, people);
    write_person_photos(w, r);
    write_assets(w);
    write_income(w);
    write_expenditure(w);
    write_daily_work(w);
    write_seal_use(w, r);
    write_move_in(w);
    write_activities(w);
    write_chronicle(w);
    write_bodies(w, r);
    write_members(w, r);
    write_member_side_registers(w, r);
    if (w.error().empty() && t.commit() == sql_code::ok) return status::ok();
    std::string message = "cannot fill the demo data into " + t.describe_target() + ": " +
                          (w.error().empty() ? "COMMIT: " + t.sqlerrtext() : w.error());
    if (t.in_transaction()) (void)t.rollback();
    return status::error(std::move(message));
}

}  // namespace officerecords
