#include "import/typed_value.h"

#include <array>
#include <cmath>

namespace officerecords {

namespace {

// The blanks a cell may carry around its value, as UTF-8.
constexpr std::array<std::string_view, 6> k_blanks = {" ", "\t", "\r", "\n", "\xE3\x80\x80", "\xC2\xA0"};

// Takes one blank off the front (or the back) of `text`; false when none is there.
bool strip_blank(std::string_view& text, bool front) {
    for (std::string_view b : k_blanks)
        if (front ? text.starts_with(b) : text.ends_with(b)) {
            if (front)
                text.remove_prefix(b.size());
            else
                text.remove_suffix(b.size());
            return true;
        }
    return false;
}

// Full-width digits, signs, comma and point (U+FF0B..U+FF19, as UTF-8
// EF BC 8B..99) become their ASCII twins; every other byte is kept.
std::string half_width(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBC) {
            const auto last = static_cast<unsigned char>(text[i + 2]);
            if (last >= 0x8B && last <= 0x99) {
                out += static_cast<char>(last - 0x8B + '+');
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Reads 1 to `most` digits at `text`'s front, taking them off.
std::optional<int> take_number(std::string_view& text, std::size_t most) {
    std::size_t n = 0;
    int v = 0;
    while (n < text.size() && n < most && text[n] >= '0' && text[n] <= '9') v = v * 10 + (text[n++] - '0');
    if (n == 0) return std::nullopt;
    text.remove_prefix(n);
    return v;
}

bool take(std::string_view& text, std::string_view what) {
    if (!text.starts_with(what)) return false;
    text.remove_prefix(what.size());
    return true;
}

// What may follow a date: nothing, or a time of day after a blank.
bool only_time_left(std::string_view rest) {
    if (rest.empty()) return true;
    if (rest.front() != ' ' && rest.front() != 'T') return false;
    rest.remove_prefix(1);
    const auto h = take_number(rest, 2);
    if (!h || *h > 23 || !take(rest, ":")) return false;
    const auto m = take_number(rest, 2);
    if (!m || *m > 59) return false;
    if (rest.empty()) return true;
    if (!take(rest, ":")) return false;
    const auto s = take_number(rest, 2);
    if (!s || *s > 59) return false;
    if (take(rest, ".")) {
        while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') rest.remove_prefix(1);
    }
    return rest.empty();
}

}  // namespace

std::string trimmed_cell(std::string_view text) {
    while (strip_blank(text, true)) {
    }
    while (strip_blank(text, false)) {
    }
    return std::string(text);
}

std::optional<date> read_typed_date(std::string_view typed) {
    const std::string whole = half_width(trimmed_cell(typed));
    std::string_view text = whole;
    // 20200101: eight digits and nothing else.
    if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos) {
        const int v = std::stoi(std::string(text));
        return date::from_ymd(v / 10000, v / 100 % 100, v % 100);
    }
    const auto y = take_number(text, 4);
    if (!y || *y < 1000) return std::nullopt;
    const bool chinese = take(text, "年");
    char separator = 0;
    if (!chinese) {
        if (text.empty() || (text.front() != '-' && text.front() != '/' && text.front() != '.'))
            return std::nullopt;
        separator = text.front();
        text.remove_prefix(1);
    }
    const auto m = take_number(text, 2);
    if (!m) return std::nullopt;
    if (chinese ? !take(text, "月") : !take(text, std::string_view(&separator, 1))) return std::nullopt;
    const auto d = take_number(text, 2);
    if (!d) return std::nullopt;
    if (chinese) (void)(take(text, "日") || take(text, "号"));
    if (!only_time_left(text)) return std::nullopt;
    return date::from_ymd(*y, *m, *d);
}

std::optional<date> excel_serial_date(double serial) {
    if (!std::isfinite(serial) || serial < 1 || serial >= 2958466) return std::nullopt;
    auto day = static_cast<std::int32_t>(std::floor(serial));
    // Day 60 is Excel's 1900-02-29, which never was; the days after it are
    // one ahead of the calendar.
    if (day == 60) return std::nullopt;
    if (day > 60) --day;
    // Serial 1 is 1900-01-01, 25,567 days before 1970-01-01.
    return date::from_days(day - 25568);
}

std::optional<decimal> read_typed_amount(std::string_view typed) {
    std::string text = half_width(trimmed_cell(typed));
    for (std::string_view currency : {"¥", "￥", "RMB", "元"}) {
        std::string_view view = text;
        if (view.starts_with(currency)) {
            text = trimmed_cell(view.substr(currency.size()));
        } else if (currency == "元" && view.ends_with(currency)) {
            text = trimmed_cell(view.substr(0, view.size() - currency.size()));
        }
    }
    // Thousands separators stand every three digits of the whole part, or
    // the text is not an amount ("1,2" is a typing slip, not 12).
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) {
        const std::size_t point = text.find('.');
        const std::size_t end = point == std::string::npos ? text.size() : point;
        std::size_t start = text.find_first_of("0123456789");
        if (start == std::string::npos || start > comma) return std::nullopt;
        std::size_t run = 0;
        bool first_group = true;
        for (std::size_t i = start; i < end; ++i) {
            if (text[i] == ',') {
                if (run == 0 || run > 3 || (!first_group && run != 3)) return std::nullopt;
                first_group = false;
                run = 0;
            } else {
                ++run;
            }
        }
        if (run != 3) return std::nullopt;
        std::erase(text, ',');
    }
    return decimal::parse(text);
}

std::optional<bool> read_yes_no(std::string_view typed) {
    std::string text = trimmed_cell(typed);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (text == "是" || text == "1" || text == "y" || text == "yes") return true;
    if (text == "否" || text == "0" || text == "n" || text == "no") return false;
    return std::nullopt;
}

}  // namespace officerecords
