#include "storage/schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "demo/demo_data.h"
#include "storage/sqlite_transaction.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::dump;

namespace fs = std::filesystem;



std::string key_order(const table_def& t) {
    std::string order;
    for (std::string_view k : t.key) order += (order.empty() ? "" : ", ") + std::string(k);
    return order;
}

// The whole database, table by table in key order.
std::string dump_all(transaction& db) {
    std::string out;
    for (const table_def& t : schema_tables()) {
        out += "## " + std::string(t.name) + "\n";
        out += dump(db, "SELECT * FROM " + std::string(t.name) + " ORDER BY " + key_order(t));
    }
    return out;
}

long long count(transaction& db, const std::string& sql, std::vector<value> params = {}) {
    const std::optional<value> v = db.select_value(sql, params);
    if (!v) return -1;
    return static_cast<long long>(v->as_double().value_or(-1));
}

class schema_test : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("officerecords_schema_" + std::to_string(std::random_device{}()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<sqlite_transaction> create(const std::string& file) {
        auto t = sqlite_transaction::open((dir_ / file).string(), open_mode::create, clock_);
        EXPECT_TRUE(t.is_ok()) << t.message();
        if (!t) return nullptr;
        return t.take();
    }

    std::unique_ptr<sqlite_transaction> create_with_schema(const std::string& file) {
        std::unique_ptr<sqlite_transaction> db = create(file);
        if (!db) return nullptr;
        write_guard guard(*db);
        const status st = create_schema(*db, sql_dialect::sqlite);
        EXPECT_TRUE(st.is_ok()) << st.message();
        EXPECT_EQ(guard.commit(), sql_code::ok);
        return db;
    }

    std::unique_ptr<sqlite_transaction> create_demo(const std::string& file) {
        std::unique_ptr<sqlite_transaction> db = create_with_schema(file);
        if (!db) return nullptr;
        write_guard guard(*db);
        const status st = fill_demo_data(*db);
        EXPECT_TRUE(st.is_ok()) << st.message();
        EXPECT_EQ(guard.commit(), sql_code::ok);
        return db;
    }

    testkit::fixed_clock clock_{"2025-12-31"};
    fs::path dir_;
};

// ---------------------------------------------------------------- schema

TEST_F(schema_test, every_table_has_its_columns_in_order_and_its_key) {
    auto db = create_with_schema("office.db");
    ASSERT_TRUE(db);
    EXPECT_EQ(schema_tables().size(), 23u);
    for (const table_def& t : schema_tables()) {
        std::string expected_columns, expected_key;
        for (const table_column& c : t.columns) expected_columns += std::string(c.name) + "\n";
        for (std::size_t i = 0; i < t.key.size(); ++i)
            expected_key += std::to_string(i + 1) + " " + std::string(t.key[i]) + "\n";
        const std::string info = "pragma_table_info('" + std::string(t.name) + "')";
        EXPECT_EQ(dump(*db, "SELECT name FROM " + info + " ORDER BY cid"), expected_columns)
            << t.name;
        EXPECT_EQ(dump(*db, "SELECT pk || ' ' || name FROM " + info + " WHERE pk > 0 ORDER BY pk"),
                  expected_key)
            << t.name;
    }
}

TEST_F(schema_test, declared_types_follow_the_column_kinds) {
    auto db = create_with_schema("office.db");
    ASSERT_TRUE(db);
    const auto type_of = [&](const char* table, const char* column) {
        return dump(*db, std::string("SELECT type FROM pragma_table_info('") + table +
                             "') WHERE name = '" + column + "'");
    };
    EXPECT_EQ(type_of("tc_og_assetregister", "goodsname"), "VARCHAR(60)\n");
    EXPECT_EQ(type_of("tc_og_assetregister", "goodscount"), "INTEGER\n");
    EXPECT_EQ(type_of("tc_og_assetregister", "purchasedate"), "DATE\n");
    EXPECT_EQ(type_of("tc_og_comminregister", "registcontent"), "VARCHAR(2000)\n");
    EXPECT_EQ(type_of("tc_og_parttimejob", "parttimejob"), "VARCHAR(4)\n");
    EXPECT_EQ(type_of("tc_og_councilorgduty", "orgno"), "INTEGER\n");
    EXPECT_EQ(type_of("TS_CommActivePhoto", "Photo"), "BLOB\n");
    EXPECT_EQ(type_of("tc_ge_personinfo", "isdeath"), "INTEGER\n");

    const table_def* asset = find_table("tc_og_assetregister");
    ASSERT_NE(asset, nullptr);
    EXPECT_EQ(asset->find_column("GOODSNAME")->size, 60);
    EXPECT_EQ(asset->columns[16].name, "prepare1");
    EXPECT_EQ(asset->columns[21].name, "prepare6");
}

TEST_F(schema_test, postgresql_ddl_uses_its_own_types_and_no_quotes) {
    const std::vector<std::string> ddl = schema_ddl(sql_dialect::postgresql);
    std::string all;
    for (const std::string& s : ddl) all += s + ";\n";
    // Only the byte-order collation's name is quoted: unquoted, the server
    // would look for a collation "c", which it does not have.
    std::string unquoted = all;
    for (std::size_t at; (at = unquoted.find("COLLATE \"C\"")) != std::string::npos;) unquoted.erase(at, 11);
    EXPECT_EQ(unquoted.find('"'), std::string::npos);
    EXPECT_NE(all.find("AffairNo BIGINT GENERATED BY DEFAULT AS IDENTITY"), std::string::npos);
    EXPECT_NE(all.find("Photo BYTEA"), std::string::npos);
    EXPECT_NE(all.find("goodscount BIGINT"), std::string::npos);
    EXPECT_NE(all.find("PRIMARY KEY (OrderNo, PhotoNo)"), std::string::npos);
    EXPECT_NE(all.find("CREATE INDEX ix_tc_og_councilmemberinfo_falldue_duty ON "
                       "tc_og_councilmemberinfo (falldue, duty)"),
              std::string::npos);
    EXPECT_EQ(all.find("INTEGER PRIMARY KEY"), std::string::npos);
}

TEST_F(schema_test, the_chronicle_numbers_its_own_entries) {
    auto db = create_with_schema("office.db");
    ASSERT_TRUE(db);
    const std::string insert =
        "INSERT INTO TC_GE_BigAffair (CommNo, AffairDate, Subject, Content, IsSave) "
        "VALUES (?, ?, ?, ?, '2')";
    for (const char* content : {"甲", "乙"}) {
        const std::vector<value> params = {"420106001001", *date::from_ymd(2025, 3, 5), "志愿服务",
                                           content};
        ASSERT_EQ(db->execute(insert, params), sql_code::ok) << db->sqlerrtext();
    }
    ASSERT_EQ(db->commit(), sql_code::ok);
    EXPECT_EQ(dump(*db, "SELECT affairno, content, issave FROM tc_ge_bigaffair ORDER BY 1"),
              "1|甲|2\n2|乙|2\n");
}

// Adding a record numbers it with MAX over the whole table: an index must
// answer that, or each save reads every row of the register.
TEST_F(schema_test, the_next_record_number_comes_from_an_index) {
    auto db = create_with_schema("office.db");
    ASSERT_TRUE(db);
    for (const table_def& t : schema_tables()) {
        if (t.key.size() != 2 || !iequals(t.key[0], "commno")) continue;
        const std::string plan = dump(*db, "EXPLAIN QUERY PLAN SELECT MAX(" + std::string(t.key[1]) +
                                               ") FROM " + std::string(t.name));
        EXPECT_NE(plan.find("USING COVERING INDEX ix_" + lower(t.name) + "_" + lower(t.key[1])),
                  std::string::npos)
            << t.name << ": " << plan;
    }
}

TEST_F(schema_test, integrity_check_passes_on_the_demo_database) {
    auto db = create_demo("office.db");
    ASSERT_TRUE(db);
    EXPECT_EQ(dump(*db, "PRAGMA integrity_check"), "ok\n");
}

TEST_F(schema_test, creating_the_schema_twice_fails_and_keeps_the_first) {
    auto db = create_with_schema("office.db");
    ASSERT_TRUE(db);
    status again = status::ok();
    {
        write_guard guard(*db);
        ASSERT_TRUE(guard.began());
        again = create_schema(*db, sql_dialect::sqlite);
    }
    ASSERT_FALSE(again.is_ok());
    EXPECT_NE(again.message().find("CREATE TABLE tc_og_assetregister"), std::string::npos)
        << again.message();
    EXPECT_NE(again.message().find("already exists"), std::string::npos) << again.message();
    EXPECT_FALSE(db->in_transaction());
    EXPECT_EQ(count(*db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'"), 23);
}

// A transaction that fails its n-th statement, to see the rollback.
class failing_transaction final : public transaction {
  public:
    explicit failing_transaction(int fail_at) : fail_at_(fail_at) {}
    sql_code execute(std::string_view sql, std::span<const value>) override {
        log += std::string(sql.substr(0, sql.find(" ("))) + "\n";
        if (++executed_ == fail_at_) return set_status(sql_code::error, "disk I/O error");
        return set_status(sql_code::ok);
    }
    std::unique_ptr<cursor> open_cursor(std::string_view, std::span<const value>) override {
        return nullptr;
    }
    std::optional<blob> select_blob(std::string_view, std::span<const value>) override {
        return std::nullopt;
    }
    sql_code begin_write() override {
        open_ = true;
        log += "BEGIN\n";
        return set_status(sql_code::ok);
    }
    sql_code commit() override {
        open_ = false;
        log += "COMMIT\n";
        return set_status(sql_code::ok);
    }
    sql_code rollback() override {
        open_ = false;
        log += "ROLLBACK\n";
        return set_status(sql_code::ok);
    }
    bool in_transaction() const override { return open_; }
    std::string describe_target() const override { return "fault.db"; }

    std::string log;

  private:
    int fail_at_;
    int executed_ = 0;
    bool open_ = false;
};

// Both run inside the caller's transaction: they stop at the first failed
// statement, say which, and leave the rollback to the caller's guard.
TEST_F(schema_test, a_failed_statement_stops_the_schema_and_says_which) {
    failing_transaction t(3);
    const status st = create_schema(t, sql_dialect::postgresql);
    ASSERT_FALSE(st.is_ok());
    EXPECT_EQ(st.message(),
              "不能在 fault.db 中建表：CREATE TABLE tc_og_moneyoutgorecord：disk I/O error");
    EXPECT_EQ(t.log,
              "CREATE TABLE tc_og_assetregister\nCREATE TABLE tc_og_incomemoneyrecord\n"
              "CREATE TABLE tc_og_moneyoutgorecord\n");
}

TEST_F(schema_test, a_failed_insert_stops_the_demo_data_and_says_where) {
    failing_transaction t(40);
    const status st = fill_demo_data(t);
    ASSERT_FALSE(st.is_ok());
    EXPECT_EQ(st.message(), "不能写入示例数据 fault.db：tc_ge_code: disk I/O error");
    EXPECT_EQ(t.log.find("COMMIT"), std::string::npos);
    EXPECT_EQ(t.log.find("BEGIN"), std::string::npos);
}

// ---------------------------------------------------------------- demo data

class demo_data_test : public schema_test {
  protected:
    void SetUp() override {
        schema_test::SetUp();
        db_ = create_demo("demo.db");
        ASSERT_TRUE(db_);
    }
    long long count(const std::string& sql, std::vector<value> params = {}) {
        return officerecords::count(*db_, sql, std::move(params));
    }
    std::string dump(const std::string& sql) { return officerecords::dump(*db_, sql); }

    std::unique_ptr<sqlite_transaction> db_;
};

const std::vector<std::string_view> k_registers = {
    "tc_og_assetregister",      "tc_og_incomemoneyrecord", "tc_og_moneyoutgorecord",
    "tc_og_dailyworkrecord",    "tc_og_sealuserecord",     "tc_og_comminregister",
    "tc_og_commactivityrecord", "tc_og_councilmemberinfo", "tc_og_councilorgmember",
    "tc_og_councilmembertrain", "tc_og_councilmemberappr", "tc_og_councilmemberhonor",
    "tc_og_parttimejob"};

TEST_F(demo_data_test, the_same_bytes_every_run) {
    auto other = create_demo("again.db");
    ASSERT_TRUE(other);
    const std::string first = dump_all(*db_);
    EXPECT_EQ(first.find("error:"), std::string::npos);
    EXPECT_EQ(first, dump_all(*other));
}

TEST_F(demo_data_test, every_register_has_rows_in_both_communities) {
    std::vector<std::string_view> tables = k_registers;
    tables.push_back("tc_og_councilorgduty");
    for (std::string_view t : tables) {
        const std::string sql = "SELECT count(*) FROM " + std::string(t) + " WHERE commno = ?";
        EXPECT_GE(count(sql, {std::string(k_demo_commno_1)}), 4) << t;
        EXPECT_GE(count(sql, {std::string(k_demo_commno_2)}), 4) << t;
    }
    EXPECT_EQ(dump("SELECT commno, commname FROM tc_ge_community ORDER BY commno"),
              "420106001001|水果湖社区\n420106001002|东亭社区\n");
    EXPECT_GE(count("SELECT count(DISTINCT CommNo) FROM TC_GE_BigAffair"), 2);
}

TEST_F(demo_data_test, record_numbers_are_unique_per_table) {
    for (std::string_view t : k_registers) {
        const std::string table(t);
        EXPECT_EQ(count("SELECT count(*) FROM " + table),
                  count("SELECT count(DISTINCT orderno) FROM " + table))
            << t;
        EXPECT_EQ(count("SELECT min(orderno) FROM " + table), 1) << t;
        EXPECT_EQ(count("SELECT max(orderno) FROM " + table),
                  count("SELECT count(*) FROM " + table))
            << t;
    }
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilorgduty"),
              count("SELECT count(DISTINCT orgno) FROM tc_og_councilorgduty"));
}

TEST_F(demo_data_test, every_stored_code_is_in_its_code_table) {
    struct coded {
        const char* table;
        const char* column;
        const char* codes;
    };
    static const coded columns[] = {
        {"tc_og_assetregister", "assetsort", "dddw_og_assetsort"},
        {"tc_og_incomemoneyrecord", "outlaysort", "dddw_og_outlaysort"},
        {"tc_og_incomemoneyrecord", "outlaysource", "dddw_og_outlaysource"},
        {"tc_og_moneyoutgorecord", "outlaysort", "dddw_og_outlaysort"},
        {"tc_og_moneyoutgorecord", "usebound", "dddw_og_usebound"},
        {"tc_og_dailyworkrecord", "organise", "dddw_og_organise"},
        {"tc_og_dailyworkrecord", "submitdept", "dddw_og_relatedept"},
        {"tc_og_sealuserecord", "sealusesort", "dddw_og_sealusesort"},
        {"tc_og_comminregister", "commintype", "dddw_og_commintype"},
        {"tc_og_comminregister", "isagree", "dddw_ge_is"},
        {"tc_og_commactivityrecord", "buildmode", "dddw_og_organisemode"},
        {"tc_og_commactivityrecord", "activitytopic", "dddw_og_activitytopic"},
        {"tc_og_commactivityrecord", "submitdept", "dddw_og_relatedept"},
        {"tc_og_commactivityrecord", "outlaysource", "dddw_og_outlaysource"},
        {"tc_og_commactivityrecord", "ispublish", "dddw_ge_is"},
        {"tc_og_commactivityrecord", "isbigaffair", "dddw_ge_is"},
        {"tc_og_councilorgduty", "falldue", "dddw_ds_falldue"},
        {"tc_og_councilorgduty", "organtype", "dddw_og_organtype"},
        {"tc_og_councilmemberinfo", "falldue", "dddw_ds_falldue"},
        {"tc_og_councilmemberinfo", "formeridentity", "dddw_ds_formeridentity"},
        {"tc_og_councilmemberinfo", "partypost", "dddw_ds_dutyinparty"},
        {"tc_og_councilmemberinfo", "inhabitstatus", "dddw_ds_inhabitstatus"},
        {"tc_og_councilmemberinfo", "duty", "dddw_ge_duty"},
        {"tc_og_councilmemberinfo", "dutyinparty", "dddw_ge_duty"},
        {"tc_og_councilmemberinfo", "isresidentagent", "dddw_ge_is"},
        {"tc_og_councilmemberinfo", "dinissionmode", "dddw_og_dinissionmode"},
        {"tc_og_councilorgmember", "duty", "dddw_ge_duty"},
        {"tc_og_councilmembertrain", "trainlevel", "dddw_ge_level"},
        {"tc_og_councilmembertrain", "ispass", "dddw_ge_is"},
        {"tc_og_councilmemberappr", "assessyear", "dddw_og_assessyear"},
        {"tc_og_councilmemberappr", "assessresult", "dddw_og_assessresult"},
        {"tc_og_councilmemberhonor", "prizelevel", "dddw_ge_level"},
        {"tc_og_councilmemberhonor", "prizecode", "dddw_ge_prizename"},
        {"tc_og_parttimejob", "parttimejob", "dddw_gb_parttimejob"},
        {"tc_ge_personinfo", "sex", "dddw_gb_sex"},
        {"tc_ge_personinfo", "rprtype", "dddw_ge_rprtype"},
        {"tc_ge_personinfo", "nationality", "dddw_gb_folk"},
        {"tc_ge_personinfo", "polity", "dddw_gb_polity"},
        {"tc_ge_personinfo", "edulevel", "dddw_gb_edulevel"},
        {"tc_ge_personinfo", "personkind", "dddw_gb_jobstatus"},
        {"tc_ge_personotherinfo", "isvolunteer", "dddw_ge_is"},
    };
    for (const coded& c : columns) {
        EXPECT_EQ(count(std::string("SELECT count(*) FROM ") + c.table + " WHERE " + c.column +
                            " NOT IN (SELECT tcode FROM tc_ge_code WHERE codetable = ?)",
                        {c.codes}),
                  0)
            << c.table << "." << c.column;
        EXPECT_GT(count(std::string("SELECT count(*) FROM ") + c.table + " WHERE " + c.column +
                        " IS NOT NULL"),
                  0)
            << c.table << "." << c.column;
    }
}

TEST_F(demo_data_test, code_tables_are_lower_case_and_of_fixed_width) {
    EXPECT_EQ(count("SELECT count(*) FROM tc_ge_code WHERE codetable <> lower(codetable)"), 0);
    EXPECT_EQ(dump("SELECT codetable FROM tc_ge_code GROUP BY codetable "
                   "HAVING min(length(tcode)) <> max(length(tcode))"),
              "");
    // Every drop-down the windows and the person register name.
    EXPECT_EQ(dump("SELECT DISTINCT codetable FROM tc_ge_code ORDER BY codetable"),
              "dddw_ds_dutyinparty\ndddw_ds_falldue\ndddw_ds_formeridentity\n"
              "dddw_ds_inhabitstatus\ndddw_gb_edulevel\ndddw_gb_folk\ndddw_gb_jobstatus\n"
              "dddw_gb_parttimejob\ndddw_gb_polity\ndddw_gb_sex\ndddw_ge_duty\ndddw_ge_is\n"
              "dddw_ge_level\ndddw_ge_prizename\ndddw_ge_rprtype\ndddw_og_activitytopic\n"
              "dddw_og_assessresult\ndddw_og_assessyear\ndddw_og_assetsort\n"
              "dddw_og_commintype\ndddw_og_dinissionmode\ndddw_og_organise\n"
              "dddw_og_organisemode\ndddw_og_organtype\ndddw_og_outlaysort\n"
              "dddw_og_outlaysource\ndddw_og_relatedept\ndddw_og_sealusesort\n"
              "dddw_og_usebound\n");
    EXPECT_EQ(dump("SELECT tcode || ' ' || tname FROM tc_ge_code WHERE codetable = 'dddw_gb_sex' "
                   "ORDER BY tcode"),
              "0 未知的性别\n1 男\n2 女\n9 未说明的性别\n");
    EXPECT_EQ(count("SELECT count(*) FROM tc_ge_code WHERE codetable = 'dddw_gb_parttimejob' AND "
                    "length(tcode) <> 4"),
              0);
    // The honours window reads the last award above 60 as "not in the list".
    EXPECT_EQ(dump("SELECT tcode || ' ' || tname FROM tc_ge_code WHERE codetable = "
                   "'dddw_ge_prizename' AND tcode > '60' ORDER BY tcode DESC LIMIT 1"),
              "99 其它奖励\n");
    EXPECT_EQ(count("SELECT count(*) FROM tc_ge_code WHERE codetable = 'dddw_ge_prizename' AND "
                    "tcode <= '60'"),
              7);
    for (const char* table_code :
         {"dddw_gb_jobstatus/80", "dddw_ge_rprtype/05", "dddw_ge_rprtype/06",
          "dddw_ds_formeridentity/03", "dddw_ds_formeridentity/06", "dddw_ge_duty/19",
          "dddw_ds_falldue/06", "dddw_og_usebound/50"}) {
        const std::string s(table_code);
        const std::size_t slash = s.find('/');
        EXPECT_EQ(count("SELECT count(*) FROM tc_ge_code WHERE codetable = ? AND tcode = ?",
                        {s.substr(0, slash), s.substr(slash + 1)}),
                  1)
            << s;
    }
}

TEST_F(demo_data_test, persons_are_consistent) {
    EXPECT_GE(count("SELECT count(*) FROM tc_ge_personinfo"), 190);
    EXPECT_GE(count("SELECT count(*) FROM tc_ge_personinfo WHERE isdeath = 1"), 1);
    EXPECT_GE(count("SELECT count(*) FROM tc_ge_personinfo WHERE birthdate > '2007-12-31'"), 5);
    EXPECT_EQ(count("SELECT count(*) FROM tc_ge_personinfo WHERE birthdate < '1935-01-01' OR "
                    "birthdate > '2015-12-31'"),
              0);
    EXPECT_EQ(count("SELECT count(DISTINCT idcard) FROM tc_ge_personinfo"),
              count("SELECT count(*) FROM tc_ge_personinfo"));
    EXPECT_EQ(count("SELECT count(*) FROM tc_ge_personinfo WHERE length(personno) > 24"), 0);

    std::unique_ptr<cursor> rows =
        db_->open_cursor("SELECT idcard, birthdate, sex, contactphone FROM tc_ge_personinfo");
    ASSERT_TRUE(rows);
    static constexpr int weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int checked = 0;
    while (rows->fetch()) {
        const std::string id(rows->column_text(0));
        const std::string birth(rows->column_text(1));
        const std::string sex(rows->column_text(2));
        ASSERT_EQ(id.size(), 18u) << id;
        int sum = 0;
        for (int i = 0; i < 17; ++i) sum += (id[static_cast<std::size_t>(i)] - '0') * weights[i];
        EXPECT_EQ(id[17], "10X98765432"[sum % 11]) << id;
        EXPECT_EQ(id.substr(6, 8), birth.substr(0, 4) + birth.substr(5, 2) + birth.substr(8, 2));
        EXPECT_EQ((id[16] - '0') % 2 == 1 ? "1" : "2", sex) << id;
        if (rows->column_type(3) != db_type::null) {
            const std::string phone(rows->column_text(3));
            EXPECT_EQ(phone.size(), 11u);
            EXPECT_EQ(phone[0], '1');
        }
        ++checked;
    }
    EXPECT_GE(checked, 190);
}

TEST_F(demo_data_test, no_date_lies_after_2025) {
    for (const table_def& t : schema_tables()) {
        for (const table_column& c : t.columns) {
            if (c.kind != column_kind::date) continue;
            EXPECT_EQ(count("SELECT count(*) FROM " + std::string(t.name) + " WHERE " +
                            std::string(c.name) + " > '2025-12-31' OR " + std::string(c.name) +
                            " < '1900-01-01'"),
                      0)
                << t.name << "." << c.name;
        }
    }
}

TEST_F(demo_data_test, no_term_has_two_chairmen) {
    EXPECT_EQ(dump("SELECT falldue FROM tc_og_councilmemberinfo WHERE duty = '11' "
                   "GROUP BY falldue HAVING count(DISTINCT personno) > 1"),
              "");
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo WHERE duty = '11'"), 2);
    EXPECT_EQ(dump("SELECT orgno FROM tc_og_councilorgmember WHERE duty = '11' "
                   "GROUP BY orgno HAVING count(DISTINCT personno) > 1"),
              "");
}

TEST_F(demo_data_test, members_follow_the_member_register_rules) {
    // Members are living adults of the person register.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo m LEFT JOIN tc_ge_personinfo p "
                    "ON m.personno = p.personno WHERE p.personno IS NULL OR p.isdeath = 1 "
                    "OR p.birthdate > '2007-12-31'"),
              0);
    // Origin 03 needs employment status 80, origin 06 household type 05 or 06.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo m JOIN tc_ge_personinfo p "
                    "ON m.personno = p.personno WHERE (m.formeridentity = '03' AND "
                    "p.personkind <> '80') OR (m.formeridentity = '06' AND p.rprtype NOT IN "
                    "('05', '06'))"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo WHERE havevisadate > dimissdate "
                    "OR ondutydate > dimissdate"),
              0);
    // The two-committee post as the window derives it.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo WHERE partypost <> CASE "
                    "WHEN duty = '11' AND dutyinparty = '22' THEN '02' "
                    "WHEN dutyinparty = '21' THEN '01' "
                    "WHEN duty IS NULL OR dutyinparty IS NULL THEN '01' ELSE '03' END"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberinfo WHERE duty NOT IN "
                    "('11', '12', '13') OR inhabitstatus NOT BETWEEN '11' AND '19' "
                    "OR dutyinparty NOT BETWEEN '21' AND '29'"),
              0);
    // No body name repeats within a term, over every community.
    EXPECT_EQ(dump("SELECT falldue, orgname FROM tc_og_councilorgduty GROUP BY falldue, orgname "
                   "HAVING count(*) > 1"),
              "");
    // The side registers' persons are members, so their rows are listed.
    for (const char* t : {"tc_og_councilmembertrain", "tc_og_councilmemberappr",
                          "tc_og_councilmemberhonor", "tc_og_parttimejob"}) {
        EXPECT_EQ(count(std::string("SELECT count(*) FROM ") + t +
                        " WHERE personno NOT IN (SELECT personno FROM tc_og_councilmemberinfo)"),
                  0)
            << t;
    }
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilorgmember a LEFT JOIN tc_og_councilorgduty "
                    "b ON a.orgno = b.orgno WHERE b.orgno IS NULL OR a.commno <> b.commno"),
              0);
    // A written-out award name only for the award not in the list.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_councilmemberhonor WHERE prizecode <= '60' OR "
                    "(prizename IS NOT NULL) <> (prizecode = '99')"),
              0);
}

TEST_F(demo_data_test, register_rows_pass_the_windows_checks) {
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_assetregister WHERE scrapedate < purchasedate "
                    "OR goodscount < 0 OR originvalue < 0"),
              0);
    EXPECT_GE(count("SELECT count(*) FROM tc_og_assetregister WHERE scrapedate IS NOT NULL"), 2);
    // Scopes of use lie strictly between the category and category + 10.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_moneyoutgorecord WHERE NOT ("
                    "(outlaysort = '50' AND usebound = '50') OR (outlaysort <> '50' AND "
                    "usebound > outlaysort AND CAST(usebound AS INTEGER) < "
                    "CAST(outlaysort AS INTEGER) + 10))"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_comminregister WHERE incommdate > outcommdate OR "
                    "(isagree = '0' AND (incommdate IS NOT NULL OR outcommdate IS NOT NULL OR "
                    "residentappraise IS NOT NULL OR note IS NOT NULL))"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_dailyworkrecord WHERE meetdate < '1949-10-01'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_commactivityrecord WHERE activitydate IS NULL OR "
                    "activitytopic IS NULL OR activitysumup IS NULL"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_sealuserecord WHERE personno NOT IN "
                    "(SELECT personno FROM tc_ge_personinfo)"),
              0);
    // Each big affair is in the chronicle once, under its topic's name.
    EXPECT_EQ(count("SELECT count(*) FROM tc_og_commactivityrecord a WHERE isbigaffair = '1' AND "
                    "(SELECT count(*) FROM TC_GE_BigAffair b JOIN tc_ge_code c ON c.codetable = "
                    "'dddw_og_activitytopic' AND c.tcode = a.activitytopic WHERE b.Subject = "
                    "c.tname AND b.AffairDate = a.activitydate AND b.Content = a.activitysumup) "
                    "<> 1"),
              0);
}

TEST_F(demo_data_test, photos_are_bitmaps_of_the_first_activity) {
    EXPECT_EQ(dump("SELECT OrderNo, PhotoNo, PhotoFileName FROM TS_CommActivePhoto WHERE "
                   "CommNo = '420106001001' ORDER BY OrderNo, PhotoNo"),
              "1|1|xueleifeng_01.bmp\n1|2|xueleifeng_02.bmp\n1|3|xueleifeng_03.bmp\n");
    EXPECT_EQ(count("SELECT count(*) FROM TS_CommActivePhoto WHERE OrderNo = 2"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM TS_PersonPhoto"), 5);
    for (const char* sql : {"SELECT PhotoFileName, Photo FROM TS_CommActivePhoto",
                            "SELECT PhotoFileName, Photo FROM TS_PersonPhoto"}) {
        std::unique_ptr<cursor> rows = db_->open_cursor(sql);
        ASSERT_TRUE(rows);
        while (rows->fetch()) {
            EXPECT_TRUE(std::string(rows->column_text(0)).ends_with(".bmp"));
            const value photo = rows->column_value(1);
            ASSERT_TRUE(photo.is_blob());
            const blob& b = photo.bytes();
            ASSERT_GT(b.size(), 54u);
            EXPECT_EQ(b[0], 'B');
            EXPECT_EQ(b[1], 'M');
            const std::size_t declared =
                b[2] | (b[3] << 8) | (b[4] << 16) | (static_cast<std::size_t>(b[5]) << 24);
            EXPECT_EQ(declared, b.size());
        }
    }
}

}  // namespace
}  // namespace officerecords
