#include "foundation/value.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

#include <cstdint>
#include <limits>
#include <string>

namespace officerecords {


namespace {

constexpr auto k_max = std::numeric_limits<std::int64_t>::max();
constexpr auto k_min = std::numeric_limits<std::int64_t>::min();

// ---- date -------------------------------------------------------------------

TEST(date_test, known_days_since_epoch) {
    struct known {
        int y, m, d;
        std::int32_t days;
    };
    for (const known& k :
         {known{1970, 1, 1, 0}, known{1969, 12, 31, -1}, known{2000, 3, 1, 11017},
          known{1949, 10, 1, -7397}, known{1, 1, 1, -719162}, known{9999, 12, 31, 2932896}}) {
        SCOPED_TRACE(std::to_string(k.y) + "-" + std::to_string(k.m) + "-" + std::to_string(k.d));
        const std::optional<date> d = date::from_ymd(k.y, k.m, k.d);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->days(), k.days);
        EXPECT_EQ(d->year(), k.y);
        EXPECT_EQ(d->month(), k.m);
        EXPECT_EQ(d->day(), k.d);
    }
}

// Walks every day of the supported calendar: each valid y-m-d is exactly one
// day after the previous one and reads back unchanged, so no month length or
// leap rule can be off anywhere in the range.
TEST(date_test, every_day_from_year_1_to_9999_is_consecutive) {
    std::int32_t expected = date::from_ymd(1, 1, 1)->days();
    int checked = 0;
    for (int y = 1; y <= 9999; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                const std::optional<date> day = date::from_ymd(y, m, d);
                if (!day) continue;
                ASSERT_EQ(day->days(), expected) << y << "-" << m << "-" << d;
                ASSERT_EQ(day->year(), y);
                ASSERT_EQ(day->month(), m);
                ASSERT_EQ(day->day(), d);
                ++expected;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 3652059);  // days from 0001-01-01 to 9999-12-31
}

TEST(date_test, from_ymd_rejects_days_that_do_not_exist) {
    struct ymd {
        int y, m, d;
    };
    for (const ymd& x :
         {ymd{2026, 2, 29}, ymd{1900, 2, 29}, ymd{2026, 4, 31}, ymd{2026, 13, 1}, ymd{2026, 0, 1},
          ymd{2026, 1, 0}, ymd{2026, 1, 32}, ymd{0, 1, 1}, ymd{10000, 1, 1}, ymd{-1, 1, 1}}) {
        EXPECT_FALSE(date::from_ymd(x.y, x.m, x.d)) << x.y << "-" << x.m << "-" << x.d;
    }
    EXPECT_TRUE(date::from_ymd(2024, 2, 29));
    EXPECT_TRUE(date::from_ymd(2000, 2, 29));
}

struct date_parse_case {
    const char* text;
    const char* iso;  // nullptr: not a date
};

void PrintTo(const date_parse_case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class date_parse_test : public testing::TestWithParam<date_parse_case> {};

TEST_P(date_parse_test, parses_or_refuses) {
    const std::optional<date> d = date::parse(GetParam().text);
    if (GetParam().iso) {
        ASSERT_TRUE(d);
        EXPECT_EQ(d->iso(), GetParam().iso);
    } else {
        EXPECT_FALSE(d) << d->iso();
    }
}

INSTANTIATE_TEST_SUITE_P(
    cases, date_parse_test,
    testing::Values(date_parse_case{"2026-03-15", "2026-03-15"},
                    date_parse_case{"0001-01-01", "0001-01-01"},
                    date_parse_case{"2024-02-29", "2024-02-29"},
                    date_parse_case{"2026-03-15 10:30:00", "2026-03-15"},
                    date_parse_case{"2026-03-15T10:30:00", "2026-03-15"},
                    date_parse_case{"2026-03-15 10:30:00.125", "2026-03-15"},
                    date_parse_case{"2026-2-30", nullptr}, date_parse_case{"2026-02-30", nullptr},
                    date_parse_case{"2026-02-3", nullptr}, date_parse_case{"26-02-03", nullptr},
                    date_parse_case{"2026/02/03", nullptr}, date_parse_case{"2026-0a-03", nullptr},
                    date_parse_case{"0000-01-01", nullptr}, date_parse_case{" 2026-02-03", nullptr},
                    date_parse_case{"2026-02-03 ", nullptr},
                    date_parse_case{"2026-02-03x", nullptr},
                    date_parse_case{"2026-02-03 noon", nullptr}, date_parse_case{"abc", nullptr},
                    date_parse_case{"", nullptr}));

TEST(date_test, compares_as_dates) {
    EXPECT_LT(*date::parse("1999-12-31"), *date::parse("2000-01-01"));
    EXPECT_EQ(*date::parse("2000-01-01"), *date::parse("2000-01-01 23:59:59"));
}

// ---- decimal ----------------------------------------------------------------

struct decimal_parse_case {
    const char* text;
    bool valid;
    std::int64_t units;
    int scale;
};

void PrintTo(const decimal_parse_case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class decimal_parse_test : public testing::TestWithParam<decimal_parse_case> {};

TEST_P(decimal_parse_test, parses_or_refuses) {
    const decimal_parse_case& c = GetParam();
    const std::optional<decimal> d = decimal::parse(c.text);
    if (!c.valid) {
        EXPECT_FALSE(d) << d->str();
        return;
    }
    ASSERT_TRUE(d);
    EXPECT_EQ(d->units(), c.units);
    EXPECT_EQ(d->scale(), c.scale);
}

INSTANTIATE_TEST_SUITE_P(
    cases, decimal_parse_test,
    testing::Values(
        decimal_parse_case{"3", true, 3, 0}, decimal_parse_case{"-12.5", true, -125, 1},
        decimal_parse_case{"+7", true, 7, 0}, decimal_parse_case{"1,234.50", true, 123450, 2},
        decimal_parse_case{"12,345,678", true, 12345678, 0}, decimal_parse_case{"0.00", true, 0, 2},
        decimal_parse_case{".5", true, 5, 1}, decimal_parse_case{"-0", true, 0, 0},
        decimal_parse_case{"9223372036854775807", true, k_max, 0},
        decimal_parse_case{"-922337203685477580.7", true, -k_max, 1},
        decimal_parse_case{"9223372036854775808", false, 0, 0},
        decimal_parse_case{"92233720368547758.080", false, 0, 0},
        decimal_parse_case{"", false, 0, 0}, decimal_parse_case{"-", false, 0, 0},
        decimal_parse_case{".", false, 0, 0}, decimal_parse_case{"5.", false, 0, 0},
        decimal_parse_case{"1.2.3", false, 0, 0}, decimal_parse_case{"abc", false, 0, 0},
        decimal_parse_case{"--1", false, 0, 0}, decimal_parse_case{"1e5", false, 0, 0},
        decimal_parse_case{" 1", false, 0, 0}, decimal_parse_case{"1,23", false, 0, 0},
        decimal_parse_case{"1234,567", false, 0, 0}, decimal_parse_case{",123", false, 0, 0},
        decimal_parse_case{"1,234,", false, 0, 0}, decimal_parse_case{"1.2,5", false, 0, 0}));

TEST(decimal_test, rescaled_rounds_half_away_from_zero) {
    struct rescale_case {
        decimal from;
        int scale;
        const char* expected;
    };
    for (const rescale_case& c :
         {rescale_case{{125, 2}, 1, "1.3"}, rescale_case{{-125, 2}, 1, "-1.3"},
          rescale_case{{124, 2}, 1, "1.2"}, rescale_case{{-124, 2}, 1, "-1.2"},
          rescale_case{{-5, 1}, 0, "-1"}, rescale_case{{4, 1}, 0, "0"},
          rescale_case{{15, 1}, 3, "1.500"}, rescale_case{{k_max, 19}, 0, "1"},
          rescale_case{{k_max, 25}, 2, "0.00"}}) {
        EXPECT_EQ(c.from.rescaled(c.scale).str(), c.expected) << c.from.str();
        EXPECT_EQ(c.from.rescaled(c.scale).scale(), c.scale);
    }
}

TEST(decimal_test, str_prints_exactly_the_scale) {
    struct str_case {
        decimal d;
        const char* text;
    };
    for (const str_case& c :
         {str_case{{-50, 2}, "-0.50"}, str_case{{5, 3}, "0.005"}, str_case{{0, 2}, "0.00"},
          str_case{{123450, 2}, "1234.50"}, str_case{{7, 0}, "7"}, str_case{{-7, 0}, "-7"},
          str_case{{k_min, 2}, "-92233720368547758.08"}}) {
        EXPECT_EQ(c.d.str(), c.text);
    }
    EXPECT_EQ(decimal::from_double(-0.001, 2).str(), "0.00");
}

TEST(decimal_test, from_double_rounds_the_number_as_written) {
    struct from_double_case {
        double v;
        int scale;
        const char* text;
    };
    // 2.675 and 1.005 are stored just below the half; they still round up.
    for (const from_double_case& c :
         {from_double_case{2.675, 2, "2.68"}, from_double_case{1.005, 2, "1.01"},
          from_double_case{-0.125, 2, "-0.13"}, from_double_case{0.5, 0, "1"},
          from_double_case{-2.5, 0, "-3"}, from_double_case{12.5, 2, "12.50"},
          from_double_case{1234567.891, 2, "1234567.89"}, from_double_case{1e-9, 2, "0.00"}}) {
        EXPECT_EQ(decimal::from_double(c.v, c.scale).str(), c.text) << c.v;
    }
}

TEST(decimal_test, compares_values_across_scales) {
    EXPECT_EQ(decimal(150, 2), decimal(15, 1));
    EXPECT_EQ(decimal(0, 0), decimal(0, 5));
    EXPECT_NE(decimal(151, 2), decimal(15, 1));
    EXPECT_LT(decimal(999, 3), decimal(1, 0));
    EXPECT_GT(decimal(-999, 3), decimal(-1, 0));
    EXPECT_LT(decimal(-1, 30), decimal(1, 30));
    // Rescaling either side to the other's scale would overflow 64 bits.
    EXPECT_GT(decimal(k_max, 0), decimal(k_max, 1));
    EXPECT_LT(decimal(k_min, 0), decimal(k_min, 1));
    EXPECT_GT(decimal(1, 0), decimal(k_max, 30));
    EXPECT_LT(decimal(-1, 0), decimal(k_min, 30));
    EXPECT_NE(decimal(k_max, 0), decimal(k_max, 40));
}

TEST(decimal_test, to_double_and_truncated) {
    EXPECT_EQ(decimal(123450, 2).to_double(), 1234.5);
    EXPECT_EQ(decimal(1, 1).to_double(), 0.1);  // the nearest double, not 1 / 10.0 by accident
    EXPECT_EQ(decimal(-199, 2).truncated(), -1);
    EXPECT_EQ(decimal(199, 2).truncated(), 1);
    EXPECT_EQ(decimal(k_max, 19).truncated(), 0);
}

// ---- value ------------------------------------------------------------------

TEST(value_test, to_text_reads_back_like_a_user_would) {
    struct text_case {
        value v;
        const char* text;
    };
    for (const text_case& c :
         {text_case{value(), ""}, text_case{value("资产"), "资产"}, text_case{value(-42), "-42"},
          text_case{value(std::int64_t{k_max}), "9223372036854775807"},
          text_case{value(2.5), "2.5"}, text_case{value(3.0), "3"}, text_case{value(0.1), "0.1"},
          text_case{value(-0.0), "0"}, text_case{value(1.0 / 3), "0.333333333333333"},
          text_case{value(decimal(-50, 2)), "-0.50"},
          text_case{value(*date::from_ymd(2026, 3, 5)), "2026-03-05"},
          text_case{value(blob{0, 1, 2}), "<blob 3 bytes>"}}) {
        EXPECT_EQ(c.v.to_text(), c.text);
    }
}

TEST(value_test, equality_needs_the_same_kind_and_content) {
    EXPECT_EQ(value(), value(nullptr));
    EXPECT_EQ(value(decimal(150, 2)), value(decimal(15, 1)));
    EXPECT_EQ(value(blob{0, 0}), value(blob{0, 0}));
    EXPECT_NE(value(1), value(1.0));
    EXPECT_NE(value(1), value("1"));
    EXPECT_NE(value(1), value(decimal(1, 0)));
    EXPECT_NE(value(""), value());
    EXPECT_NE(value(blob{0}), value(blob{0, 0}));
    EXPECT_NE(value(*date::parse("2026-01-01")), value("2026-01-01"));
}

TEST(value_test, as_double_for_numbers_only) {
    EXPECT_EQ(value(3).as_double(), 3.0);
    EXPECT_EQ(value(2.5).as_double(), 2.5);
    EXPECT_EQ(value(decimal(-125, 2)).as_double(), -1.25);
    EXPECT_FALSE(value().as_double());
    EXPECT_FALSE(value("3").as_double());
    EXPECT_FALSE(value(*date::parse("2026-01-01")).as_double());
}

// ---- text helpers -----------------------------------------------------------

TEST(text_test, utf8_length_counts_characters) {
    EXPECT_EQ(utf8_length("资产名称"), 4u);
    EXPECT_EQ(utf8_length("abc"), 3u);
    EXPECT_EQ(utf8_length(""), 0u);
    EXPECT_EQ(utf8_length("a资b"), 3u);
    EXPECT_EQ(utf8_length("\xF0\x9F\x98\x80"), 1u);  // one character outside the BMP
}

TEST(text_test, valid_utf8_refuses_every_malformed_sequence) {
    struct {
        const char* bytes;
        std::size_t size;
        bool valid;
    } cases[] = {
        {"", 0, true},
        {"资产 abc", 10, true},
        {"\xF0\x9F\x98\x80", 4, true},      // outside the BMP
        {"\xF4\x8F\xBF\xBF", 4, true},      // U+10FFFF, the last code point
        {"\xF4\x90\x80\x80", 4, false},     // beyond it
        {"\x80", 1, false},                  // a continuation byte first
        {"\xE8\xB5", 2, false},              // cut short
        {"\xE8\x41\x41", 3, false},          // a lead without its continuations
        {"\xC0\x80", 2, false},              // overlong NUL
        {"\xE0\x80\xAF", 3, false},          // overlong "/"
        {"\xED\xB2\x80", 3, false},          // a surrogate
        {"\xFF", 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(valid_utf8(std::string_view(c.bytes, c.size)), c.valid) << testing::PrintToString(
                                                                                 std::string(c.bytes, c.size));
    EXPECT_TRUE(has_control_character(std::string_view("a\0b", 3)));
    EXPECT_TRUE(has_control_character("\x1B[0m"));
    EXPECT_FALSE(has_control_character("行一\r\n行二\t"));
}

TEST(number_text_test, leading_whole_reads_like_long_and_never_overflows) {
    struct {
        const char* text;
        std::int64_t expected;
    } cases[] = {
        {"20", 20},      {" -7x", -7},  {"AB", 0},  {"", 0},
        {"+3", 3},       {"9223372036854775807", INT64_MAX},
        {"99999999999999999999", INT64_MAX}, {"-99999999999999999999", INT64_MIN},
        {"-9223372036854775808", INT64_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(leading_whole(c.text), c.expected) << c.text;
    EXPECT_EQ(saturated_add(INT64_MAX, 10), INT64_MAX);
    EXPECT_EQ(saturated_add(INT64_MIN, -1), INT64_MIN);
    EXPECT_EQ(saturated_add(20, 10), 30);
}

TEST(decimal_test, fits_column_counts_fifteen_digits) {
    // As a column takes a typed value: one that does not even parse is refused.
    auto fits = [](const char* text, int scale) {
        const auto d = decimal::parse(text);
        return d && d->fits_column(scale);
    };
    EXPECT_TRUE(fits("9999999999999.99", 2));
    EXPECT_TRUE(fits("-9999999999999.99", 2));
    EXPECT_FALSE(fits("10000000000000", 2));
    EXPECT_FALSE(fits("9999999999999.995", 2)) << "rounds to 14 digits before the point";
    EXPECT_TRUE(fits("999999999999.995", 2)) << "rounds to 13 digits before the point";
    EXPECT_FALSE(fits("-10000000000000", 2));
    EXPECT_TRUE(fits("999999999999999", 0));
    EXPECT_FALSE(fits("1000000000000000", 0));
}

// Every amount a column takes is held exactly by the double SQLite stores
// it as: the nearest double reads back as the same digits.
TEST(decimal_test, every_amount_a_column_takes_survives_a_double) {
    for (const char* text : {"9999999999999.99", "-9999999999999.99", "0.01", "0.30", "1234567890123.45",
                             "999999999999999", "8765432109876.54", "0.07"}) {
        const auto d = decimal::parse(text);
        ASSERT_TRUE(d && d->fits_column(d->scale())) << text;
        EXPECT_EQ(decimal::from_double(d->to_double(), d->scale()).str(), d->str()) << text;
    }
}

TEST(text_test, case_folding_is_ascii_only) {
    EXPECT_TRUE(iequals("CommNo", "commno"));
    EXPECT_FALSE(iequals("commno", "commn"));
    EXPECT_FALSE(iequals("a", "b"));
    EXPECT_EQ(lower("DataWindow.Column.Count"), "datawindow.column.count");
    EXPECT_EQ(lower("ÄB资"), "Äb资");  // non-ASCII bytes pass through untouched
    EXPECT_TRUE(iequals("资产A", "资产a"));
}

}  // namespace
}  // namespace officerecords
