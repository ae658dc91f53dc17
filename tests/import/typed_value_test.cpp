// Values as clerks type them: each form a sheet may hold, and the slips
// that must come back as a row's error rather than as an empty value.
#include "import/typed_value.h"

#include <gtest/gtest.h>

namespace officerecords {
namespace {

TEST(TypedValueTest, DatesInEveryFormClerksWrite) {
    struct {
        const char* typed;
        const char* read;  // "" for a text that is not a date
    } cases[] = {
        {"2020-01-01", "2020-01-01"},
        {"2020/1/1", "2020-01-01"},
        {"2020.1.1", "2020-01-01"},
        {"2020年1月1日", "2020-01-01"},
        {"2020年12月31号", "2020-12-31"},
        {"20200101", "2020-01-01"},
        {" 2020/03/15 ", "2020-03-15"},
        {"\xE3\x80\x80" "2024-02-29", "2024-02-29"},
        {"2020-01-01 00:00:00", "2020-01-01"},
        {"2020/1/1 8:30", "2020-01-01"},
        {"２０２０年１月１日", "2020-01-01"},
        {"2023-02-29", ""},
        {"2024-13-45", ""},
        {"2020/1-1", ""},
        {"2020-01-01x", ""},
        {"2020-01", ""},
        {"1/1/2020", ""},
        {"20201301", ""},
        {"", ""},
        {"明天", ""},
    };
    for (const auto& c : cases) {
        const auto d = read_typed_date(c.typed);
        EXPECT_EQ(d ? d->iso() : "", c.read) << c.typed;
    }
}

TEST(TypedValueTest, AnExcelDateCellIsItsCalendarDay) {
    struct {
        double serial;
        const char* read;
    } cases[] = {
        {1, "1900-01-01"},     {59, "1900-02-28"},      {61, "1900-03-01"},
        {43831, "2020-01-01"}, {43831.75, "2020-01-01"}, {2958465, "9999-12-31"},
        {60, ""},              {0, ""},                 {-5, ""},
        {2958466, ""},
    };
    for (const auto& c : cases) {
        const auto d = excel_serial_date(c.serial);
        EXPECT_EQ(d ? d->iso() : "", c.read) << c.serial;
    }
}

TEST(TypedValueTest, AmountsWithSeparatorsAndTheYuanSign) {
    struct {
        const char* typed;
        const char* read;  // the decimal's digits, "" for no amount
    } cases[] = {
        {"19960", "19960"},
        {"19,960.00", "19960.00"},
        {"1,234,567.5", "1234567.5"},
        {"¥1,234.5", "1234.5"},
        {"￥ 12", "12"},
        {"12元", "12"},
        {"-3.50", "-3.50"},
        {"１２３．４", "123.4"},
        {"1,2", ""},
        {"12,34.5", ""},
        {",123", ""},
        {"1,234,56", ""},
        {"12.3.4", ""},
        {"壹佰", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto d = read_typed_amount(c.typed);
        EXPECT_EQ(d ? d->str() : "", c.read) << c.typed;
    }
}

TEST(TypedValueTest, YesAndNoInTheirUsualWords) {
    for (const char* yes : {"是", " 是 ", "1", "Y", "yes", "YES"}) EXPECT_EQ(read_yes_no(yes), true) << yes;
    for (const char* no : {"否", "0", "n", "No"}) EXPECT_EQ(read_yes_no(no), false) << no;
    for (const char* neither : {"", "是的", "2", "ok"}) EXPECT_EQ(read_yes_no(neither), std::nullopt) << neither;
}

}  // namespace
}  // namespace officerecords
