#include "foundation/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace officerecords {

namespace {

// Howard Hinnant's days_from_civil / civil_from_days: exact for the whole
// proleptic Gregorian calendar, with no table and no library time zone.
constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct civil {
    int y;
    unsigned m;
    unsigned d;
};

constexpr civil civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), m, d};
}

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : lengths[m - 1];
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly `width` digits at `pos`; -1 if any of them is not a digit.
int fixed_digits(std::string_view s, std::size_t pos, std::size_t width) {
    int n = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (!is_digit(s[i])) return -1;
        n = n * 10 + (s[i] - '0');
    }
    return n;
}

// A time after the date may carry seconds fractions ("10:30:00.000"), but
// nothing that is not part of a clock time.
bool looks_like_time(std::string_view s) {
    if (s.empty() || !is_digit(s.front())) return false;
    for (char c : s) {
        if (!is_digit(c) && c != ':' && c != '.') return false;
    }
    return true;
}

constexpr auto k_max = std::numeric_limits<std::int64_t>::max();
constexpr auto k_min = std::numeric_limits<std::int64_t>::min();

// v * 10 + digit for non-negative v; false when that would not fit.
bool push_digit(std::int64_t& v, int digit) {
    if (v > (k_max - digit) / 10) return false;
    v = v * 10 + digit;
    return true;
}

// v * 10^k; false when that would not fit.
bool times_power_of_ten(std::int64_t& v, std::int64_t k) {
    for (std::int64_t i = 0; i < k && v != 0; ++i) {
        if (v > k_max / 10 || v < k_min / 10) return false;
        v *= 10;
    }
    return true;
}

std::int64_t saturated_times_power_of_ten(std::int64_t v, std::int64_t k) {
    if (times_power_of_ten(v, k)) return v;
    return v > 0 ? k_max : k_min;
}

// v / 10^k rounded half away from zero.
std::int64_t divided_by_power_of_ten(std::int64_t v, std::int64_t k) {
    if (k >= 19) {
        // 10^19 is beyond every int64: only a magnitude of at least half of
        // it still rounds to one.
        constexpr std::int64_t half = 5'000'000'000'000'000'000;
        if (k == 19 && (v >= half || v <= -half)) return v > 0 ? 1 : -1;
        return 0;
    }
    std::int64_t divisor = 1;
    for (std::int64_t i = 0; i < k; ++i) divisor *= 10;
    std::int64_t q = v / divisor;
    const std::int64_t r = v % divisor < 0 ? -(v % divisor) : v % divisor;
    if (r >= divisor - r) q += v < 0 ? -1 : 1;
    return q;
}

// Appends digits (skipping ","); false when the units overflow.
bool accumulate(std::string_view digits, std::int64_t& units) {
    for (char c : digits) {
        if (c != ',' && !push_digit(units, c - '0')) return false;
    }
    return true;
}

// Digits with "," between groups of three, or plain digits; may be empty.
bool valid_integer_part(std::string_view s) {
    if (s.find(',') == std::string_view::npos) {
        for (char c : s) {
            if (!is_digit(c)) return false;
        }
        return true;
    }
    const std::size_t first = s.find(',');
    if (first == 0 || first > 3) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool comma_slot = i >= first && (i - first) % 4 == 0;
        if (comma_slot ? s[i] != ',' : !is_digit(s[i])) return false;
    }
    return (s.size() - first) % 4 == 0;
}

}  // namespace

// ---- date -------------------------------------------------------------------

std::optional<date> date::from_ymd(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days_in_month(y, m)) {
        return std::nullopt;
    }
    return from_days(static_cast<std::int32_t>(
        days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d))));
}

std::optional<date> date::parse(std::string_view text) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !looks_like_time(text.substr(11))) {
            return std::nullopt;
        }
    }
    const int y = fixed_digits(text, 0, 4);
    const int m = fixed_digits(text, 5, 2);
    const int d = fixed_digits(text, 8, 2);
    if (y < 0 || m < 0 || d < 0) return std::nullopt;
    return from_ymd(y, m, d);
}

int date::year() const { return civil_from_days(days_).y; }
int date::month() const { return static_cast<int>(civil_from_days(days_).m); }
int date::day() const { return static_cast<int>(civil_from_days(days_).d); }

std::string date::iso() const {
    const civil c = civil_from_days(days_);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", c.y, c.m, c.d);
    return buf;
}

// ---- decimal ----------------------------------------------------------------

std::optional<decimal> decimal::parse(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    // "5." and "." are half-typed numbers, not values.
    if (dot != std::string_view::npos && fraction.empty()) return std::nullopt;
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (!valid_integer_part(whole)) return std::nullopt;
    for (char c : fraction) {
        if (!is_digit(c)) return std::nullopt;
    }
    std::int64_t units = 0;
    if (!accumulate(whole, units) || !accumulate(fraction, units)) return std::nullopt;
    if (fraction.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return decimal(negative ? -units : units, static_cast<int>(fraction.size()));
}

decimal decimal::from_double(double v, int scale) {
    if (std::isnan(v)) return decimal(0, scale);
    if (std::isinf(v)) {
        return decimal(v > 0 ? k_max : k_min, scale);
    }
    // Round the shortest decimal text that reads back as v, so 2.675 (stored
    // as 2.67499999...) becomes 2.68 as the user who typed it expects.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (res.ec != std::errc{}) return decimal(0, scale);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    const std::size_t dot = s.find('.');
    std::string digits(s.substr(0, dot));
    const auto point = static_cast<std::int64_t>(digits.size());
    if (dot != std::string_view::npos) digits += s.substr(dot + 1);
    const auto count = static_cast<std::int64_t>(digits.size());

    // Keep the digits left of the rounding position, then look at the next.
    const std::int64_t keep = point + scale;
    std::int64_t units = 0;
    bool overflow = false;
    for (std::int64_t i = 0; i < keep && !overflow; ++i) {
        if (i >= count && units == 0) break;  // only zeros follow
        overflow = !push_digit(units, i < count ? digits[static_cast<std::size_t>(i)] - '0' : 0);
    }
    if (!overflow && keep >= 0 && keep < count && digits[static_cast<std::size_t>(keep)] >= '5') {
        overflow = units == k_max;
        ++units;
    }
    if (overflow) units = k_max;
    return decimal(negative ? -units : units, scale);
}

decimal decimal::rescaled(int scale) const {
    const std::int64_t diff = static_cast<std::int64_t>(scale) - scale_;
    // A value too large for the finer scale stays at the largest one there is.
    return decimal(diff >= 0 ? saturated_times_power_of_ten(units_, diff)
                             : divided_by_power_of_ten(units_, -diff),
                   scale);
}

double decimal::to_double() const {
    // Reading the printed digits back gives the correctly rounded double,
    // which dividing by a power of ten does not.
    const std::string s = str();
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::int64_t decimal::truncated() const {
    if (scale_ <= 0)
        return saturated_times_power_of_ten(units_, -static_cast<std::int64_t>(scale_));
    if (scale_ > 18) return 0;
    std::int64_t divisor = 1;
    for (int i = 0; i < scale_; ++i) divisor *= 10;
    return units_ / divisor;
}

std::string decimal::str() const {
    if (scale_ < 0) return rescaled(0).str();
    // Through the unsigned type so the most negative units still print.
    const std::uint64_t magnitude =
        units_ < 0 ? 0 - static_cast<std::uint64_t>(units_) : static_cast<std::uint64_t>(units_);
    std::string digits = std::to_string(magnitude);
    const auto scale = static_cast<std::size_t>(scale_);
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    if (scale > 0) digits.insert(digits.size() - scale, 1, '.');
    if (units_ < 0) digits.insert(0, 1, '-');
    return digits;
}

bool decimal::fits_column(int scale) const {
    if (scale < 0 || scale > k_column_digits) return false;
    std::int64_t limit = 1;  // 10^(digits before the point)
    for (int i = 0; i < k_column_digits - scale; ++i) limit *= 10;
    const std::int64_t whole = truncated();
    if (whole >= limit || whole <= -limit) return false;
    // Rounding at the scale may still carry into one more digit.
    const std::int64_t units = rescaled(scale).units();
    std::int64_t all = 1;
    for (int i = 0; i < k_column_digits; ++i) all *= 10;
    return units < all && units > -all;
}

bool operator==(const decimal& a, const decimal& b) { return (a <=> b) == 0; }

std::strong_ordering operator<=>(const decimal& a, const decimal& b) {
    if (a.scale_ == b.scale_) return a.units_ <=> b.units_;
    // Bring the coarser side to the finer scale. If that overflows, its
    // magnitude is beyond anything the other side holds: its sign decides.
    const bool a_coarser = a.scale_ < b.scale_;
    std::int64_t coarse = a_coarser ? a.units_ : b.units_;
    const std::int64_t fine = a_coarser ? b.units_ : a.units_;
    const std::int64_t diff = a_coarser ? static_cast<std::int64_t>(b.scale_) - a.scale_
                                        : static_cast<std::int64_t>(a.scale_) - b.scale_;
    const std::strong_ordering order =
        times_power_of_ten(coarse, diff)
            ? coarse <=> fine
            : (coarse > 0 ? std::strong_ordering::greater : std::strong_ordering::less);
    return a_coarser ? order : 0 <=> order;
}

// ---- value ------------------------------------------------------------------

std::optional<double> value::as_double() const {
    if (is_integer()) return static_cast<double>(integer());
    if (is_double()) return real();
    if (is_decimal()) return dec().to_double();
    return std::nullopt;
}

std::string value::to_text() const {
    if (is_null()) return {};
    if (is_text()) return text();
    if (is_integer()) return std::to_string(integer());
    if (is_double()) {
        const double d = real();
        if (d == 0) return "0";  // also for -0.0, which no user means
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
        return std::string(buf, res.ptr);
    }
    if (is_decimal()) return dec().str();
    if (is_date()) return day().iso();
    return "<blob " + std::to_string(bytes().size()) + " bytes>";
}

bool operator==(const value& a, const value& b) { return a.v_ == b.v_; }

// ---- numbers from text ------------------------------------------------------

std::optional<std::int64_t> parse_whole(std::string_view text) {
    auto d = decimal::parse(text);
    if (!d) return std::nullopt;
    decimal whole = d->rescaled(0);
    if (whole != *d) return std::nullopt;
    return whole.units();
}

std::int64_t leading_whole(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t v = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        const int digit = text[i] - '0';
        // Accumulated negatively, so the most negative value still fits.
        if (v < (k_min + digit) / 10) return negative ? k_min : k_max;
        v = v * 10 - digit;
    }
    if (negative) return v;
    return v == k_min ? k_max : -v;
}

std::int64_t saturated_add(std::int64_t a, std::int64_t b) {
    if (b > 0 && a > k_max - b) return k_max;
    if (b < 0 && a < k_min - b) return k_min;
    return a + b;
}

std::optional<double> parse_number(std::string_view text) {
    if (auto d = decimal::parse(text)) return d->to_double();
    double v = 0;
    const char* end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, v);
    if (text.empty() || res.ec != std::errc{} || res.ptr != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// ---- text helpers -----------------------------------------------------------

std::size_t utf8_length(std::string_view text) {
    std::size_t n = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        std::uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
        } else {
            return false;  // a continuation byte first, or a lead no UTF-8 uses
        }
        if (text.size() - i <= static_cast<std::size_t>(extra)) return false;  // cut short
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool has_control_character(std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\t' && c != '\n' && c != '\r') || b == 0x7F) return true;
    }
    return false;
}

namespace {
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ascii_lower(c);
    return out;
}

}  // namespace officerecords
