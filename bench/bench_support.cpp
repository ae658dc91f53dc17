#include "bench/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <thread>

#include "storage/database.h"

namespace officerecords {

namespace fs = std::filesystem;

void bench_host::message_box(std::string_view title, std::string_view text, icon) {
    messages.push_back(std::string(title) + " | " + std::string(text));
}

std::string bench_host::current_directory() { return fs::temp_directory_path().string(); }

void perf_fail(const std::string& why) {
    std::fprintf(stderr, "officerecords_perf: %s\n", why.c_str());
    std::exit(1);
}

void check_sqlite(int rc, sqlite3* db, const char* what) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::exit(1);
}

sqlite3* open_raw(const std::string& path, std::string_view synchronous) {
    sqlite3* db = nullptr;
    check_sqlite(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db, "open");
    sqlite3_busy_timeout(db, 5000);
    const std::string pragmas =
        "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; "
        "PRAGMA synchronous=" +
        std::string(synchronous);
    check_sqlite(sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr), db, "pragmas");
    return db;
}

namespace {

std::string chinese_text(std::mt19937& rng, int chars) {
    // Common characters of office inventories; all three bytes in UTF-8.
    static const std::vector<std::string> pool = [] {
        const std::string all =
            "办公桌椅台式计算机激光打印机多功能复印传真投影仪空调文件柜书架沙发饮水机碎纸"
            "保险箱电视音响话筒会议室长条折叠凳档案密集架扫描仪笔记本电脑显示器交换路由器"
            "摄像头门禁消防灭火器材宣传栏展板健身乒乓球羽毛网电动车三轮自行社区服务中心";
        std::vector<std::string> out;
        for (std::size_t i = 0; i + 3 <= all.size(); i += 3) out.push_back(all.substr(i, 3));
        return out;
    }();
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    std::string s;
    for (int i = 0; i < chars; ++i) s += pool[pick(rng)];
    return s;
}

void insert_codes(sqlite3* db) {
    check_sqlite(sqlite3_exec(db,
                              "INSERT INTO tc_ge_community (commno, commname) VALUES "
                              "('420106001001', '水果湖街道东亭社区'), "
                              "('420106001002', '水果湖街道双湖社区'), "
                              "('420106001003', '水果湖街道茶港社区'), "
                              "('420106001004', '水果湖街道翠柳社区')",
                              nullptr, nullptr, nullptr),
                 db, "community");
    const char* codes[][2] = {{"01", "办公设备"}, {"02", "电子设备"},     {"03", "家具用具"},
                              {"04", "交通工具"}, {"05", "房屋及构筑物"}, {"06", "文体设备"},
                              {"09", "其他资产"}};
    sqlite3_stmt* code = nullptr;
    check_sqlite(sqlite3_prepare_v2(db,
                                    "INSERT INTO tc_ge_code (codetable, tcode, tname) "
                                    "VALUES ('dddw_og_assetsort', ?, ?)",
                                    -1, &code, nullptr),
                 db, "prepare code");
    for (const auto& c : codes) {
        sqlite3_bind_text(code, 1, c[0], -1, SQLITE_STATIC);
        sqlite3_bind_text(code, 2, c[1], -1, SQLITE_STATIC);
        check_sqlite(sqlite3_step(code), db, "code");
        sqlite3_reset(code);
    }
    sqlite3_finalize(code);
}

void insert_assets(sqlite3* db, int rows) {
    sqlite3_stmt* ins = nullptr;
    check_sqlite(sqlite3_prepare_v2(
                     db,
                     "INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, "
                     "namebrand, goodstype, goodscount, computeunit, originvalue, purchasedate, "
                     "keepperson, scrapedate, recorder, recorddate, issave, note) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                     -1, &ins, nullptr),
                 db, "prepare insert");
    const std::vector<std::string> brands = {"联想", "海尔", "得力",   "惠普", "格力", "美的",
                                             "晨光", "佳能", "爱普生", "TCL",  "长虹", "华为"};
    const std::vector<std::string> units = {"台", "件", "张", "把", "套", "个", "辆"};
    const std::vector<std::string> people = {"张建国", "李秀英", "王志强", "刘芳", "陈明",
                                             "杨丽华", "赵卫东", "黄小红", "周敏", "吴建华"};
    const std::vector<std::string> sorts = {"01", "02", "03", "04", "05", "06", "09"};
    std::mt19937 rng(20261208);
    auto one_of = [&](const std::vector<std::string>& v) -> const std::string& {
        return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
    };
    const date first = *date::from_ymd(2000, 1, 1);
    const date last = *date::from_ymd(2026, 11, 30);
    std::uniform_int_distribution<int> day(0, last.days() - first.days());
    const std::int64_t total = bench_total_records(rows);
    const char* const others[] = {"420106001002", "420106001003", "420106001004"};
    for (std::int64_t i = 1; i <= total; ++i) {
        std::string name = chinese_text(rng, std::uniform_int_distribution<int>(4, 8)(rng));
        char type[16];
        std::snprintf(type, sizeof type, "XK-%04d-%05d", static_cast<int>(rng() % 10000),
                      static_cast<int>(rng() % 100000));
        const date bought = date::from_days(first.days() + day(rng));
        const date recorded =
            date::from_days(std::min(bought.days() + static_cast<int>(rng() % 30), last.days()));
        const std::string bought_text = bought.iso(), recorded_text = recorded.iso();
        std::string scrapped;
        if (rng() % 5 == 0) scrapped = date::from_days(bought.days() + 365 * 5).iso();
        std::string note;
        if (rng() % 2 == 0) note = chinese_text(rng, 20);
        const double cost = static_cast<double>(rng() % 2000000) / 100.0;

        int k = 1;
        auto text = [&](const std::string& s) {
            if (s.empty())
                sqlite3_bind_null(ins, k++);
            else
                sqlite3_bind_text(ins, k++, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        };
        text(is_bench_record(rows, i) ? k_bench_commno : others[(i / 6) % 3]);
        sqlite3_bind_int64(ins, k++, i);
        text(one_of(sorts));
        text(name);
        text(one_of(brands));
        text(type);
        sqlite3_bind_int64(ins, k++, 1 + static_cast<int>(rng() % 20));
        text(one_of(units));
        sqlite3_bind_double(ins, k++, cost);
        text(bought_text);
        text(one_of(people));
        text(scrapped);
        text(one_of(people));
        text(recorded_text);
        text("1");
        text(note);
        check_sqlite(sqlite3_step(ins), db, "insert");
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
}

}  // namespace

std::int64_t bench_total_records(int rows) { return rows + rows / 5; }

bool is_bench_record(int rows, std::int64_t orderno) {
    return orderno % 6 != 0 || orderno > 6 * static_cast<std::int64_t>(rows / 5);
}

std::int64_t bench_record_near(int rows, double where) {
    auto n = static_cast<std::int64_t>(static_cast<double>(bench_total_records(rows)) * where);
    n = std::max<std::int64_t>(n, 1);
    while (!is_bench_record(rows, n)) ++n;
    return n;
}

void build_asset_database(const std::string& path, int rows, const clock_source& clock) {
    if (status st = create_database(path, clock); !st) {
        std::fprintf(stderr, "create_database: %s\n", st.message().c_str());
        std::exit(1);
    }
    // Nothing is synced and the whole register fits in the page cache: a
    // crash while filling only loses a scratch file.
    sqlite3* db = open_raw(path, "OFF");
    check_sqlite(sqlite3_exec(db, "PRAGMA cache_size=-524288", nullptr, nullptr, nullptr), db,
                 "cache size");
    check_sqlite(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
    insert_codes(db);
    insert_assets(db, rows);
    check_sqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    // Closing the last connection checkpoints the WAL into the file, so a
    // copy of the file alone is the whole database.
    check_sqlite(sqlite3_close(db), nullptr, "close");
}

fs::path scratch_folder(std::string_view prefix) {
    fs::path dir =
        fs::temp_directory_path() / (std::string(prefix) + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    return dir;
}

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

timing median(std::vector<timing> v) {
    timing m;
    std::sort(v.begin(), v.end(), [](const timing& a, const timing& b) { return a.wall < b.wall; });
    m.wall = v[v.size() / 2].wall;
    std::sort(v.begin(), v.end(), [](const timing& a, const timing& b) { return a.cpu < b.cpu; });
    m.cpu = v[v.size() / 2].cpu;
    return m;
}

void sync_phase() {
    static std::mt19937 rng(20261208);
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 5000)(rng)));
}

std::string duration(double seconds) {
    char buf[32];
    if (seconds >= 1e-3)
        std::snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
    else
        std::snprintf(buf, sizeof buf, "%.1f us", seconds * 1e6);
    return buf;
}

// "1,000,000": how the rows name their sizes.
std::string grouped(long long n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace officerecords
