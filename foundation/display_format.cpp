#include "foundation/display_format.h"

#include <cmath>
#include <cstdio>

namespace officerecords {

std::string format_number(const value& v, std::string_view picture) {
    if (v.is_null()) return {};
    if (picture.empty()) return v.to_text();
    auto dot = picture.find('.');
    int fraction = dot == std::string_view::npos ? 0 : static_cast<int>(picture.size() - dot - 1);
    bool group = picture.find(',') != std::string_view::npos;

    decimal d = v.is_decimal() ? v.dec().rescaled(fraction)
                               : decimal::from_double(v.as_double().value_or(0), fraction);
    std::string plain = d.str();  // "-1234.50"
    bool negative = !plain.empty() && plain[0] == '-';
    if (negative) plain.erase(0, 1);
    auto pdot = plain.find('.');
    std::string whole = plain.substr(0, pdot);
    std::string frac = pdot == std::string::npos ? "" : plain.substr(pdot);
    if (group) {
        std::string grouped;
        int n = static_cast<int>(whole.size());
        for (int i = 0; i < n; ++i) {
            grouped += whole[i];
            int left = n - i - 1;
            if (left > 0 && left % 3 == 0) grouped += ',';
        }
        whole = grouped;
    }
    return (negative ? "-" : "") + whole + frac;
}

std::string format_date(date d, std::string_view picture) {
    std::string out(picture);
    char buf[8];
    auto put = [&out](std::string_view token, const char* text) {
        auto p = out.find(token);
        if (p != std::string::npos) out.replace(p, token.size(), text);
    };
    std::snprintf(buf, sizeof buf, "%04d", d.year());
    put("yyyy", buf);
    std::snprintf(buf, sizeof buf, "%02d", d.month());
    put("mm", buf);
    std::snprintf(buf, sizeof buf, "%02d", d.day());
    put("dd", buf);
    return out;
}

}  // namespace officerecords
