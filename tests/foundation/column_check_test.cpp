#include "foundation/column_check.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

// A form with one column of every kind the check knows, in this order.
dw_object every_kind() {
    dw_object o;
    o.name = "d_test_f";
    o.select = "SELECT 1";
    o.columns = {
        column("title").text(20).label("标题:").tab(10),
        column("amount").decimal(2).label("金额:").tab(20),
        column("hidden_amount").decimal(2).label("隐藏:"),
        column("count").whole().label("数量:").tab(30),
        column("ratio").number().label("比例:").tab(40),
        column("happened").date().label("日期:").tab(50),
        column("planned").date().label("计划:").tab(60),
        column("nolabel").decimal(0).tab(70),
    };
    return o;
}

class ColumnCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dw.set_dataobject(every_kind(), db.sqlca()).is_ok());
        dw.setrow(dw.insertrow(0));
    }
    scratch_database db;
    data_window dw;
    recording_host host;
    date today = *date::parse("2026-12-08");
};

TEST_F(ColumnCheckTest, RefusesTheFirstNegativeNumberOrFutureDateAndClearsIt) {
    struct {
        const char* column;
        value v;
        const char* message;  // "" when the value passes
    } cases[] = {
        {"amount", value(decimal(-1, 2)), "金额:不能为负值"},
        {"amount", value(decimal(-50, 2)), "金额:不能为负值"},
        {"amount", value(decimal(0, 2)), ""},
        {"hidden_amount", value(decimal(-500, 2)), ""},
        {"count", value(-1), "数量:不能为负值"},
        {"count", value(0), ""},
        {"ratio", value(-0.5), ""},
        {"ratio", value(-1.0), "比例:不能为负值"},
        {"happened", value(*date::parse("2026-12-09")), "日期:不能大于当前日期"},
        {"happened", value(*date::parse("2026-12-08")), ""},
        {"nolabel", value(decimal(-1, 0)), "!不能为负值"},
        {"title", value("-1"), ""},
    };
    for (const auto& c : cases) {
        dw.reset();
        dw.setrow(dw.insertrow(0));
        dw.setitem(1, c.column, c.v);
        host.messages.clear();
        bool passed = generic_column_check(dw, host, today);
        EXPECT_EQ(passed, std::string(c.message).empty()) << c.column;
        if (passed) {
            EXPECT_TRUE(host.messages.empty());
            EXPECT_FALSE(dw.getitem(1, c.column).is_null()) << c.column << " was cleared";
        } else {
            EXPECT_EQ(host.messages, std::vector<std::string>{std::string("提示 | ") + c.message});
            EXPECT_TRUE(dw.getitem(1, c.column).is_null()) << c.column << " not cleared";
        }
    }
}

TEST_F(ColumnCheckTest, ReportsOnlyTheColumnThatComesFirst) {
    dw.setitem(1, "planned", value(*date::parse("2030-01-01")));
    dw.setitem(1, "count", value(-3));
    dw.setitem(1, "amount", value(decimal(-100, 2)));
    EXPECT_FALSE(generic_column_check(dw, host, today));
    EXPECT_EQ(host.messages, std::vector<std::string>{"提示 | 金额:不能为负值"});
    EXPECT_EQ(*dw.getitemnumber(1, "count"), -3);

    EXPECT_FALSE(generic_column_check(dw, host, today));
    EXPECT_EQ(host.messages.back(), "提示 | 数量:不能为负值");
    EXPECT_FALSE(generic_column_check(dw, host, today, {"happened"}));
    EXPECT_EQ(host.messages.back(), "提示 | 计划:不能大于当前日期");
    EXPECT_TRUE(dw.getitem(1, "planned").is_null());
    EXPECT_TRUE(generic_column_check(dw, host, today));
}

TEST_F(ColumnCheckTest, ExemptDatesMayLieInTheFutureAndHiddenColumnsAreNotLookedAt) {
    dw.setitem(1, "planned", value(*date::parse("2030-01-01")));
    EXPECT_TRUE(generic_column_check(dw, host, today, {"PLANNED"}));
    ASSERT_EQ(dw.modify("amount.visible=0"), "");
    dw.setitem(1, "amount", value(decimal(-1, 2)));
    EXPECT_TRUE(generic_column_check(dw, host, today, {"planned"}));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ColumnCheckTest, AcceptsThePendingEditFirst) {
    dw.setcolumn(dw.column_number("count"));
    dw.settext("-7");
    EXPECT_FALSE(generic_column_check(dw, host, today));
    EXPECT_EQ(host.messages, std::vector<std::string>{"提示 | 数量:不能为负值"});
}

TEST(DateRulesTest, TodayAndTheFoundationDateThemselvesPass) {
    date today = *date::parse("2026-12-08");
    EXPECT_FALSE(after_today(std::nullopt, today));
    EXPECT_FALSE(after_today(today, today));
    EXPECT_TRUE(after_today(*date::parse("2026-12-09"), today));
    EXPECT_FALSE(before_foundation(std::nullopt));
    EXPECT_FALSE(before_foundation(*date::parse("1949-10-01")));
    EXPECT_TRUE(before_foundation(*date::parse("1949-09-30")));
}

}  // namespace
}  // namespace officerecords
