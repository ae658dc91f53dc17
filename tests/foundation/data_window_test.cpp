#include "foundation/data_window.h"

#include <gtest/gtest.h>

#include "finance/assetregister.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::scratch_database;

std::string join(const std::vector<value>& params) {
    std::string out;
    for (const auto& p : params) out += (out.empty() ? "" : "|") + (p.is_null() ? "null" : p.to_text());
    return out;
}

class DataWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        transaction& t = db.sqlca();
        for (auto [code, name] : {std::pair{"01", "办公家具"}, {"02", "电子设备"}, {"03", "交通工具"}}) {
            std::vector<value> p{value("dddw_og_assetsort"), value(code), value(name)};
            ASSERT_EQ(t.execute("INSERT INTO tc_ge_code (codetable, tcode, tname) VALUES (?, ?, ?)", p),
                      sql_code::ok);
        }
        std::vector<value> row{value("420106001001"), value(7), value("02"), value("打印机"),
                               value(decimal(358050, 2)), value(*date::parse("2020-06-18"))};
        ASSERT_EQ(t.execute("INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, "
                            "originvalue, purchasedate) VALUES (?, ?, ?, ?, ?, ?)",
                            row),
                  sql_code::ok);
        ASSERT_EQ(t.commit(), sql_code::ok);
        ASSERT_TRUE(dw.set_dataobject(d_og_assetregister_f(), t).is_ok());
        ASSERT_EQ(dw.retrieve(), 1);
    }

    scratch_database db;
    data_window dw;
};

TEST_F(DataWindowTest, AnswersThePropertyStringsWindowsAsk) {
    struct {
        const char* property;
        const char* expected;
    } cases[] = {
        {"datawindow.column.count", "22"},
        {"DataWindow.Column.Count", "22"},
        {"#1.visible", "0"},
        {"#3.visible", "1"},
        {"#15.visible", "0"},
        {"#2.Coltype", "decimal(0)"},
        {"#4.Coltype", "char(60)"},
        {"#7.coltype", "long"},
        {"#9.Coltype", "decimal(2)"},
        {"#10.Coltype", "date"},
        {"#4.name", "goodsname"},
        {"originvalue_t.text", "价值（元）:"},
        {"namebrand_t.text", "品   牌:"},
        {"GoodsName_t.Text", "资产名称:"},
        {"DataWindow.ReadOnly", "no"},
        {"goodsname.background.color", "16777215"},
        {"purchasedate.editmask.mask", "yyyy-mm-dd"},
        {"goodsname.TabSequence", "20"},
        {"Evaluate('LookUpDisplay(assetsort)',1)", "电子设备"},
        {"Evaluate('LookUpDisplay(goodsname)',1)", "打印机"},
        {"#23.name", "!"},
        {"#0.name", "!"},
        {"nosuch.name", "!"},
        {"commno_t.text", "!"},
    };
    for (const auto& c : cases) EXPECT_EQ(dw.describe(c.property), c.expected) << c.property;
}

TEST_F(DataWindowTest, ModifyChangesWhatDescribeAndEntryAnswer) {
    int col = dw.column_number("goodsname");
    ASSERT_TRUE(dw.can_enter(col));
    EXPECT_EQ(dw.modify("goodsname.TabSequence=0"), "");
    EXPECT_FALSE(dw.can_enter(col));
    EXPECT_EQ(dw.describe("goodsname.tabsequence"), "0");

    EXPECT_EQ(dw.modify("GoodsName.TabSequence=60 goodsname.background.color='12514815' "
                        "goodsname.tag='1'"),
              "");
    EXPECT_EQ(dw.describe("goodsname.background.color"), "12514815");
    EXPECT_EQ(dw.describe("goodsname.tag"), "1");
    EXPECT_TRUE(dw.can_enter(col));

    EXPECT_EQ(dw.modify("goodsname.protect=1"), "");
    EXPECT_FALSE(dw.can_enter(col));
    EXPECT_EQ(dw.modify("goodsname.protect=0 DataWindow.ReadOnly=yes"), "");
    EXPECT_EQ(dw.describe("DataWindow.ReadOnly"), "yes");
    EXPECT_FALSE(dw.can_enter(col));

    EXPECT_EQ(dw.modify("goodsname_t.text='名称:'"), "");
    EXPECT_EQ(dw.describe("goodsname_t.text"), "名称:");
    EXPECT_NE(dw.modify("goodsname.nosuch=1"), "");
    EXPECT_NE(dw.modify("nosuchobject.tag='1'"), "");
}

TEST_F(DataWindowTest, ObjectNotationReachesItemsProtectTagAndLabels) {
    auto name = dw.object("GoodsName");
    EXPECT_EQ(name.item(1).text(), "打印机");
    name.item(1, value("复印机"));
    EXPECT_EQ(*dw.getitemstring(1, "goodsname"), "复印机");
    EXPECT_EQ(dw.getitemstatus(1, 0), row_status::data_modified);
    name.protect(1);
    name.tag("2");
    EXPECT_EQ(dw.describe("goodsname.protect"), "1");
    EXPECT_EQ(dw.describe("goodsname.tag"), "2");
    EXPECT_FALSE(dw.can_enter(dw.column_number("goodsname")));
    auto label = dw.object("purchasedate_t");
    EXPECT_TRUE(label.exists());
    EXPECT_EQ(label.text(), "添置日期:");
    label.text("购置日期:");
    EXPECT_EQ(dw.describe("purchasedate_t.text"), "购置日期:");
    EXPECT_FALSE(dw.object("commno_t").exists());
}

TEST_F(DataWindowTest, PictureFileNameIsSetWithOrWithoutBlanksAroundTheSign) {
    dw_object o = d_og_assetregister_f();
    o.pictures.push_back({"p_photo", "bmp\\photo.jpg"});
    data_window pic;
    ASSERT_TRUE(pic.set_dataobject(o, db.sqlca()).is_ok());
    EXPECT_EQ(pic.describe("p_photo.FileName"), "bmp\\photo.jpg");
    EXPECT_EQ(pic.modify("p_photo.FileName='bmp\\cap_model.jpg'"), "");
    EXPECT_EQ(pic.describe("p_photo.filename"), "bmp\\cap_model.jpg");
    EXPECT_EQ(pic.modify("p_photo.FileName = 'bmp\\photo.jpg'"), "");
    EXPECT_EQ(pic.describe("p_photo.FileName"), "bmp\\photo.jpg");
}

TEST_F(DataWindowTest, ItemStatusFollowsEditsAndSetItemStatus) {
    EXPECT_EQ(dw.getitemstatus(1, 0), row_status::not_modified);
    dw.setitem(1, "goodsname", value("复印机"));
    EXPECT_EQ(dw.getitemstatus(1, 0), row_status::data_modified);
    EXPECT_EQ(dw.getitemstatus(1, dw.column_number("goodsname")), row_status::data_modified);
    EXPECT_EQ(dw.getitemstatus(1, dw.column_number("namebrand")), row_status::not_modified);
    EXPECT_EQ(*dw.getitemstring(1, "goodsname", true), "打印机");

    long r = dw.insertrow(0);
    EXPECT_EQ(dw.getitemstatus(r, 0), row_status::new_row);
    dw.setitem(r, "goodsname", value("电脑"));
    EXPECT_EQ(dw.getitemstatus(r, 0), row_status::new_modified);
    EXPECT_EQ(dw.modifiedcount(), 2);

    // Data-modified then not-modified: the new row will not be inserted.
    EXPECT_EQ(dw.setitemstatus(r, 0, row_status::data_modified), 1);
    EXPECT_EQ(dw.setitemstatus(r, 0, row_status::not_modified), 1);
    EXPECT_EQ(dw.getitemstatus(r, 0), row_status::not_modified);
    for (const auto& s : dw.plan_update()) EXPECT_EQ(s.sql.find("INSERT"), std::string::npos) << s.sql;

    dw.setitemstatus(1, dw.column_number("goodsname"), row_status::not_modified);
    EXPECT_EQ(dw.getitemstatus(1, 0), row_status::not_modified);
    EXPECT_TRUE(dw.plan_update().empty());
}

TEST_F(DataWindowTest, UpdateNamesTheRetrievedValuesOfWhatItChanges) {
    dw.setitem(1, "goodsname", value("复印机"));
    dw.setitem(1, "note", value("O'Brien'; DROP TABLE tc_og_assetregister;--"));
    auto plan = dw.plan_update();
    ASSERT_EQ(plan.size(), 1u);
    // Every written column as it was read, null-safe: a record changed in
    // any way meanwhile matches nothing.
    EXPECT_EQ(plan[0].sql,
              "UPDATE tc_og_assetregister SET goodsname = ?, note = ? "
              "WHERE commno = ? AND orderno = ? AND assetsort = ? AND goodsname = ? AND namebrand "
              "IS NULL AND goodstype IS NULL AND goodscount IS NULL AND computeunit IS NULL AND "
              "originvalue = ? AND purchasedate = ? AND keepperson IS NULL AND scrapedate IS NULL "
              "AND recorder IS NULL AND recorddate IS NULL AND issave IS NULL AND note IS NULL AND "
              "prepare1 IS NULL AND prepare2 IS NULL AND prepare3 IS NULL AND prepare4 IS NULL AND "
              "prepare5 IS NULL AND prepare6 IS NULL");
    EXPECT_EQ(join(plan[0].params),
              "复印机|O'Brien'; DROP TABLE tc_og_assetregister;--|420106001001|7|02|打印机|3580.50|"
              "2020-06-18");
    EXPECT_TRUE(plan[0].expect_one_row);

    ASSERT_TRUE(dw.update().is_ok());
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    dw.resetupdate();
    auto stored = db.sqlca().select_value("SELECT note FROM tc_og_assetregister WHERE orderno = 7");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->text(), "O'Brien'; DROP TABLE tc_og_assetregister;--");

    long r = dw.insertrow(0);
    dw.setitem(r, "commno", value("420106001001"));
    dw.setitem(r, "orderno", value(8));
    dw.setitem(r, "originvalue", value("0.5"));
    dw.deleterow(1);
    plan = dw.plan_update();
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].sql.substr(0, 70),
              "DELETE FROM tc_og_assetregister WHERE commno = ? AND orderno = ? AND a");
    EXPECT_EQ(plan[1].sql,
              "INSERT INTO tc_og_assetregister (commno, orderno, originvalue) VALUES (?, ?, ?)");
    EXPECT_EQ(join(plan[1].params), "420106001001|8|0.50");
}

TEST_F(DataWindowTest, UpdateOfARowChangedMeanwhileWritesNothing) {
    ASSERT_EQ(db.db.photosqlca->execute(
                  "UPDATE tc_og_assetregister SET goodsname = '彩色打印机' WHERE orderno = 7"),
              sql_code::ok);
    ASSERT_EQ(db.db.photosqlca->commit(), sql_code::ok);
    dw.setitem(1, "goodsname", value("复印机"));
    status st = dw.update();
    EXPECT_FALSE(st.is_ok());
    EXPECT_NE(st.message().find("其他工作站"), std::string::npos) << st.message();
    EXPECT_EQ(db.sqlca().rollback(), sql_code::ok);
    auto stored = db.sqlca().select_value("SELECT goodsname FROM tc_og_assetregister WHERE orderno = 7");
    EXPECT_EQ(stored->text(), "彩色打印机");
}

TEST_F(DataWindowTest, TypedTextIsCheckedAgainstTheColumn) {
    struct {
        const char* column;
        const char* text;
        bool accepted;
        const char* stored;  // printed value when accepted
    } cases[] = {
        {"purchasedate", "2024-02-29", true, "2024-02-29"},
        {"purchasedate", "2023-02-29", false, ""},
        {"purchasedate", "2023-2-3", false, ""},
        {"purchasedate", "yesterday", false, ""},
        {"purchasedate", "", true, "null"},
        {"originvalue", "-0.01", true, "-0.01"},
        {"originvalue", "1,234.5", true, "1234.50"},
        {"originvalue", "1.234", false, ""},
        {"originvalue", "abc", false, ""},
        {"goodscount", "1,234", true, "1234"},
        {"goodscount", "1.5", false, ""},
        {"goodscount", "十", false, ""},
        {"goodsname", "资产名称", true, "资产名称"},
        {"computeunit", "一二三四五六七八九十", true, "一二三四五六七八九十"},
        {"computeunit", "一二三四五六七八九十一", false, ""},
        {"assetsort", "03", true, "03"},
        {"assetsort", "04", false, ""},
        // 15 digits in all, two of them after the point: what a number
        // holds exactly, on every database.
        {"originvalue", "9999999999999.99", true, "9999999999999.99"},
        {"originvalue", "-9999999999999.99", true, "-9999999999999.99"},
        {"originvalue", "9,999,999,999,999.99", true, "9999999999999.99"},
        {"originvalue", "10000000000000", false, ""},
        {"originvalue", "99999999999999.99", false, ""},
        {"originvalue", "99999999999999999999999", false, ""},
        {"originvalue", "9999999999999.995", false, ""},
        // Only valid UTF-8 and no control characters but tab and line ends.
        {"note", "第一行\r\n第二行\t完", true, "第一行\r\n第二行\t完"},
        {"note", "\xE8\xB5", false, ""},          // cut in the middle of a character
        {"note", "\xC0\xAF", false, ""},          // an overlong "/"
        {"note", "\xED\xA0\x80", false, ""},      // a surrogate
        {"goodsname", "a\x01b", false, ""},
        {"goodsname", "a\x7F", false, ""},
    };
    for (const auto& c : cases) {
        auto v = dw.parse_input(dw.column_number(c.column), c.text);
        EXPECT_EQ(v.is_ok(), c.accepted) << c.column << " " << c.text;
        if (v && c.accepted) {
            EXPECT_EQ(v->is_null() ? "null" : v->to_text(), c.stored) << c.text;
        }
        if (!v) {
            EXPECT_NE(v.message().find("【"), std::string::npos) << v.message();
        }
    }
}

TEST_F(DataWindowTest, TypedTextWithANulIsRefusedAndWidthsCountCharacters) {
    const int name = dw.column_number("goodsname");
    EXPECT_FALSE(dw.parse_input(name, std::string("资产\0名称", 10)).is_ok());
    auto message = dw.parse_input(dw.column_number("computeunit"), "一二三四五六七八九十一");
    ASSERT_FALSE(message.is_ok());
    EXPECT_EQ(message.message(), "【计量单位:】最多只能输入10个字符，现在输入了11个！");
    auto big = dw.parse_input(dw.column_number("originvalue"), "10000000000000");
    ASSERT_FALSE(big.is_ok());
    EXPECT_EQ(big.message(), "【价值（元）:】“10000000000000”超出范围，整数部分最多只能有13位！");
}

// Money goes into the database and comes back digit for digit, at the
// edges of what the column holds.
TEST_F(DataWindowTest, DecimalsRoundTripExactly) {
    for (const char* typed : {"9999999999999.99", "-9999999999999.99", "1234567890123.45", "0.01",
                              "-0.01", "0.30", "0.10", "19960.00"}) {
        auto v = dw.parse_input(dw.column_number("originvalue"), typed);
        ASSERT_TRUE(v.is_ok()) << typed << ": " << v.message();
        ASSERT_EQ(dw.setitem(1, "originvalue", *v), 1);
        ASSERT_TRUE(dw.update().is_ok()) << typed;
        ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
        dw.resetupdate();
        ASSERT_EQ(dw.retrieve(), 1);
        EXPECT_EQ(dw.getitem(1, "originvalue").to_text(), typed);
    }
    EXPECT_EQ(dw.setitem(1, "originvalue", value(decimal(1'000'000'000'000'000'000, 2))), -1)
        << "a value the column cannot hold is refused, not clipped";
}

// What another program stored in a form the column would not write is read
// for what it means, named as stored in the WHERE, and left as stored.
TEST_F(DataWindowTest, ItemsStoredInAnotherFormAreReadShownAndKept) {
    transaction& other = *db.db.photosqlca;
    ASSERT_EQ(other.execute("UPDATE tc_og_assetregister SET purchasedate = '2019-04-10 00:00:00', "
                            "scrapedate = '2019-13-45', originvalue = '19960.001', goodscount = "
                            "'3.5' WHERE orderno = 7"),
              sql_code::ok);
    ASSERT_EQ(other.commit(), sql_code::ok);
    ASSERT_EQ(dw.retrieve(), 1);
    EXPECT_EQ(dw.getitem(1, "purchasedate"), value(*date::parse("2019-04-10")));
    EXPECT_EQ(dw.getitem(1, "originvalue"), value(decimal(1996000, 2)));
    // Not readable as their types: null to the rules, shown as stored.
    for (const char* column : {"scrapedate", "goodscount"}) {
        const int col = dw.column_number(column);
        EXPECT_TRUE(dw.getitem(1, col).is_null()) << column;
        ASSERT_TRUE(dw.unreadable_item(1, col)) << column;
    }
    EXPECT_EQ(dw.display_text(1, dw.column_number("scrapedate")), "2019-13-45");
    EXPECT_EQ(dw.display_text(1, dw.column_number("goodscount")), "3.5");

    ASSERT_EQ(dw.setitem(1, "goodsname", value("复印机")), 1);
    ASSERT_TRUE(dw.update().is_ok()) << "no false conflict";
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    dw.resetupdate();
    auto row = other.select_row(
        "SELECT goodsname, purchasedate, scrapedate, originvalue, goodscount FROM "
        "tc_og_assetregister WHERE orderno = 7");
    ASSERT_TRUE(row);
    std::string stored;
    for (const value& v : *row) stored += v.to_text() + "|";
    EXPECT_EQ(stored, "复印机|2019-04-10 00:00:00|2019-13-45|19960.001|3.5|");

    // Entering a value in place of an unreadable one writes it.
    ASSERT_EQ(dw.setitem(1, "scrapedate", value(*date::parse("2026-01-02"))), 1);
    EXPECT_FALSE(dw.unreadable_item(1, dw.column_number("scrapedate")));
    ASSERT_TRUE(dw.update().is_ok());
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    dw.resetupdate();
    ASSERT_EQ(dw.setitem(1, "goodsname", value("传真机")), 1);
    ASSERT_TRUE(dw.update().is_ok()) << "what was written is now named as written";
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    EXPECT_EQ(other.select_value("SELECT scrapedate FROM tc_og_assetregister WHERE orderno = 7"),
              value("2026-01-02"));
}

// Property strings come from scripts: none may read outside the text.
TEST_F(DataWindowTest, DescribeAnswersAnythingWithoutReadingPastIt) {
    for (const char* odd : {"", ".", ".text", "..", "#", "#.", "#.name", "#0.name", "#99.name",
                            "#-1.name", "#99999999999999999999.name", "_t.text", "a.", "evaluate(",
                            "Evaluate('LookUpDisplay(assetsort)',", "Evaluate('LookUpDisplay(',1)",
                            "Evaluate('LookUpDisplay(assetsort)',99999999999999999999)",
                            "Evaluate(')',LookUpDisplay(", "datawindow.", "datawindow"}) {
        const std::string answer = dw.describe(odd);
        EXPECT_EQ(answer, "!") << "describe(\"" << odd << "\")";
    }
}

TEST_F(DataWindowTest, ACodeFilteredOutOfTheDropDownIsRefused) {
    auto [child, rc] = dw.getchild("assetsort");
    ASSERT_EQ(rc, 1);
    EXPECT_EQ(child->setfilter("tcode > '01' and tcode < '03'"), 1);
    EXPECT_EQ(child->filter(), 1);
    EXPECT_EQ(child->rowcount(), 1);
    EXPECT_EQ(*child->getitemstring(1, "tcode"), "02");
    EXPECT_FALSE(dw.parse_input(dw.column_number("assetsort"), "01").is_ok());
    EXPECT_TRUE(dw.parse_input(dw.column_number("assetsort"), "02").is_ok());
    // The display of a stored code does not depend on the filter.
    dw.setitem(1, "assetsort", value("03"));
    EXPECT_EQ(dw.describe("Evaluate('LookUpDisplay(assetsort)',1)"), "交通工具");
    EXPECT_EQ(dw.getchild("goodsname").second, -1);
}

TEST_F(DataWindowTest, CodeTablesAreFoundWhateverTheLetterCaseOfTheirName) {
    std::vector<value> p{value("DDDW_OG_AssetSort"), value("04"), value("图书资料")};
    ASSERT_EQ(db.sqlca().execute("INSERT INTO tc_ge_code (codetable, tcode, tname) VALUES (?, ?, ?)", p),
              sql_code::ok);
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    data_window again;
    ASSERT_TRUE(again.set_dataobject(d_og_assetregister_f(), db.sqlca()).is_ok());
    EXPECT_EQ(again.getchild("AssetSort").first->offered_codes(),
              (std::vector<std::string>{"01", "02", "03", "04"}));
}

class scripted_events : public dw_events {
public:
    int answer = 0;
    std::vector<std::string> seen;
    int itemchanged(long, const dwo& c, const std::string& data) override {
        seen.push_back(c.name + "=" + data);
        return answer;
    }
    void itemerror(long, const dwo& c, const std::string&) override { seen.push_back("error " + c.name); }
};

TEST_F(DataWindowTest, AcceptTextStoresOnlyWhatItemChangedAccepts) {
    scripted_events events;
    dw.set_events(&events);
    dw.setcolumn(dw.column_number("goodsname"));
    for (int answer : {1, 2, 0}) {
        events.answer = answer;
        dw.settext("扫描仪" + std::to_string(answer));
        dw.accepttext();
        EXPECT_EQ(dw.last_itemchanged_result(), answer);
    }
    EXPECT_EQ(*dw.getitemstring(1, "goodsname"), "扫描仪0");
    dw.setcolumn(dw.column_number("purchasedate"));
    dw.settext("2020-13-01");
    EXPECT_EQ(dw.accepttext(), -1);
    EXPECT_EQ(*dw.getitemdate(1, "purchasedate"), *date::parse("2020-06-18"));
    EXPECT_EQ(events.seen, (std::vector<std::string>{"goodsname=扫描仪1", "goodsname=扫描仪2",
                                                     "goodsname=扫描仪0", "error purchasedate"}));
}

TEST(DwChildTest, ValueListsOfferTheirDataAndShowTheirDisplay) {
    dw_child yes_no = dw_child::from_values("是\t1/否\t0/");
    EXPECT_EQ(yes_no.offered_codes(), (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(*yes_no.display_of("0"), "否");
    EXPECT_EQ(yes_no.setfilter("tcode = '1'"), 1);
    EXPECT_EQ(yes_no.filter(), 1);
    EXPECT_TRUE(yes_no.offers("1"));
    EXPECT_FALSE(yes_no.offers("0"));
    EXPECT_EQ(yes_no.setfilter("tcode = "), -1);
    EXPECT_EQ(yes_no.setfilter(""), 1);
    EXPECT_EQ(yes_no.filter(), 1);
    EXPECT_EQ(yes_no.rowcount(), 2);
}

}  // namespace
}  // namespace officerecords
