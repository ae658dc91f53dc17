// Values that travel between the database, the data window and the windows.
//
// A value is null or one of: text (UTF-8), whole number, general number,
// fixed-point decimal, calendar date, or a blob. Dates are whole days and
// compare as dates; decimals keep their scale so that money prints and
// compares exactly. Conversions from user text return std::nullopt when the
// text is not a valid value of the kind, never a guess.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace officerecords {

// A calendar date as days since 1970-01-01 (proleptic Gregorian).
class date {
public:
    constexpr date() = default;
    static constexpr date from_days(std::int32_t days) {
        date d;
        d.days_ = days;
        return d;
    }
    // Returns nullopt unless y-m-d names a real day in years 1..9999.
    static std::optional<date> from_ymd(int y, int m, int d);
    // Parses exactly "YYYY-MM-DD" (also the date part of "YYYY-MM-DD hh:mm:ss").
    static std::optional<date> parse(std::string_view text);

    std::int32_t days() const { return days_; }
    int year() const;
    int month() const;
    int day() const;
    std::string iso() const;  // "YYYY-MM-DD"

    friend constexpr auto operator<=>(date, date) = default;

private:
    std::int32_t days_ = 0;
};

// A fixed-point decimal: units * 10^-scale.
class decimal {
public:
    // Digits a decimal column holds in all. SQLite keeps an amount as a
    // number, which holds 15 significant digits exactly (9,999,999,999,999.99
    // at two decimals); every database takes the same, so that what one
    // accepts the other does too.
    static constexpr int k_column_digits = 15;

    constexpr decimal() = default;
    constexpr decimal(std::int64_t units, int scale) : units_(units), scale_(scale) {}
    // Parses "-12.5", "3", "1,234.50". Returns nullopt for anything else or
    // when the value does not fit. The result keeps the digits it was given.
    static std::optional<decimal> parse(std::string_view text);
    static decimal from_double(double v, int scale);

    std::int64_t units() const { return units_; }
    int scale() const { return scale_; }
    // The same value at another scale, rounded half away from zero.
    decimal rescaled(int scale) const;
    double to_double() const;
    std::int64_t truncated() const;  // toward zero
    std::string str() const;         // plain, with exactly scale() fraction digits
    // Whether the value, rounded to `scale` fraction digits, fits a column
    // of k_column_digits digits: at most k_column_digits - scale before the point.
    bool fits_column(int scale) const;

    friend bool operator==(const decimal& a, const decimal& b);
    friend std::strong_ordering operator<=>(const decimal& a, const decimal& b);

private:
    std::int64_t units_ = 0;
    int scale_ = 0;
};

using blob = std::vector<unsigned char>;

class value {
public:
    value() = default;
    value(std::nullptr_t) {}
    value(std::string s) : v_(std::move(s)) {}
    value(std::string_view s) : v_(std::string(s)) {}
    value(const char* s) : v_(std::string(s)) {}
    value(std::int64_t i) : v_(i) {}
    value(int i) : v_(static_cast<std::int64_t>(i)) {}
    value(double d) : v_(d) {}
    value(decimal d) : v_(d) {}
    value(date d) : v_(d) {}
    value(blob b) : v_(std::move(b)) {}

    bool is_null() const { return v_.index() == 0; }
    bool is_text() const { return std::holds_alternative<std::string>(v_); }
    bool is_integer() const { return std::holds_alternative<std::int64_t>(v_); }
    bool is_double() const { return std::holds_alternative<double>(v_); }
    bool is_decimal() const { return std::holds_alternative<decimal>(v_); }
    bool is_date() const { return std::holds_alternative<date>(v_); }
    bool is_blob() const { return std::holds_alternative<blob>(v_); }

    const std::string& text() const { return std::get<std::string>(v_); }
    std::int64_t integer() const { return std::get<std::int64_t>(v_); }
    double real() const { return std::get<double>(v_); }
    decimal dec() const { return std::get<decimal>(v_); }
    date day() const { return std::get<date>(v_); }
    const blob& bytes() const { return std::get<blob>(v_); }

    // Any numeric kind as a double; nullopt for null and non-numbers.
    std::optional<double> as_double() const;
    // The value as text the way a user would read it back: dates ISO,
    // decimals with their scale, null as "".
    std::string to_text() const;

    friend bool operator==(const value& a, const value& b);

private:
    std::variant<std::monostate, std::string, std::int64_t, double, decimal, date, blob> v_;
};

// A whole number typed or stored as text ("12", "1,200", "3.0"); nullopt
// for a fraction, anything else, or a number beyond 64 bits.
std::optional<std::int64_t> parse_whole(std::string_view text);
// The whole number a text begins with, as a script's long() reads it:
// leading blanks, a sign and digits, up to the first other character; 0
// when there is none. Saturates at the 64-bit limits instead of overflowing.
std::int64_t leading_whole(std::string_view text);
// a + b, held at the 64-bit limits.
std::int64_t saturated_add(std::int64_t a, std::int64_t b);
// A general number: a decimal, or a floating-point literal ("1e3").
std::optional<double> parse_number(std::string_view text);

// Number of characters (code points) of UTF-8 text; column widths count these.
std::size_t utf8_length(std::string_view text);
// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing beyond U+10FFFF.
bool valid_utf8(std::string_view text);
// A control character other than tab, line feed and carriage return,
// including NUL: nothing a clerk types means one.
bool has_control_character(std::string_view text);

// ASCII case-insensitive comparison; names of columns, objects and
// properties ignore letter case.
bool iequals(std::string_view a, std::string_view b);
std::string lower(std::string_view s);

}  // namespace officerecords
