#include "statistics/statistics.h"

#include <algorithm>
#include <array>

#include "statistics/stats_views.h"

namespace officerecords {

namespace {

struct view_names {
    stats_view view;
    std::string_view name;
    std::string_view caption;
};
constexpr std::array<view_names, 5> k_views{{
    {stats_view::money, "money", "收支"},
    {stats_view::assets, "assets", "固定资产"},
    {stats_view::work, "work", "日常工作"},
    {stats_view::activities, "activities", "社区活动"},
    {stats_view::committee, "committee", "居委会组织"},
}};

date day(int y, int m, int d) { return *date::from_ymd(y, m, d); }

date last_day(int y, int m) {
    return m == 12 ? day(y, 12, 31) : date::from_days(day(y, m + 1, 1).days() - 1);
}

// The communities the view covers, by code, with their names; a code the
// connection does not see (not there, or another clerk's) is refused.
result<std::vector<stats_detail::community>> covered(transaction& t, const stats_scope& scope) {
    std::vector<stats_detail::community> all;
    auto rows = t.open_cursor("SELECT commno, commname FROM tc_ge_community ORDER BY commno");
    if (!rows) return status::error("读取社区失败：" + t.sqlerrtext());
    while (rows->fetch()) all.push_back({std::string(rows->column_text(0)), std::string(rows->column_text(1))});
    if (t.sqlcode() != 100) return status::error("读取社区失败：" + t.sqlerrtext());
    if (scope.communities.empty()) {
        if (all.empty()) return status::error("数据库中还没有社区。");
        return all;
    }
    std::vector<stats_detail::community> chosen;
    for (const std::string& code : scope.communities) {
        auto it = std::find_if(all.begin(), all.end(), [&](const auto& c) { return c.commno == code; });
        if (it == all.end()) return status::error("没有这个社区，或者不能查看它的数据：" + code);
        if (std::none_of(chosen.begin(), chosen.end(), [&](const auto& c) { return c.commno == code; }))
            chosen.push_back(*it);
    }
    return chosen;
}

// Columns a character takes in a terminal: two for the wide (CJK) ranges.
int display_width(std::string_view text) {
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t cp = b;
        int n = 1;
        if (b >= 0xF0) {
            cp = b & 0x07;
            n = 4;
        } else if (b >= 0xE0) {
            cp = b & 0x0F;
            n = 3;
        } else if (b >= 0xC0) {
            cp = b & 0x1F;
            n = 2;
        }
        for (int k = 1; k < n && i + k < text.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += n;
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char ch : s) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

}  // namespace

std::optional<stats_view> stats_view_named(std::string_view name) {
    for (const view_names& v : k_views)
        if (v.name == name) return v.view;
    return std::nullopt;
}

std::string_view stats_view_name(stats_view view) {
    for (const view_names& v : k_views)
        if (v.view == view) return v.name;
    return {};
}

std::string_view stats_view_caption(stats_view view) {
    for (const view_names& v : k_views)
        if (v.view == view) return v.caption;
    return {};
}

stats_period year_period(int year) { return {day(year, 1, 1), day(year, 12, 31)}; }

stats_period quarter_period(int year, int quarter) {
    const int first = 3 * (quarter - 1) + 1;
    return {day(year, first, 1), last_day(year, first + 2)};
}

stats_period month_period(int year, int month) { return {day(year, month, 1), last_day(year, month)}; }

std::string period_text(const stats_period& p) {
    const int y = p.from.year();
    if (p.to.year() == y && p.from.day() == 1 && p.to == last_day(y, p.to.month())) {
        if (p.from.month() == 1 && p.to.month() == 12) return std::to_string(y) + "年";
        if (p.from.month() == p.to.month()) return std::to_string(y) + "年" + std::to_string(p.from.month()) + "月";
        if ((p.from.month() - 1) % 3 == 0 && p.to.month() == p.from.month() + 2)
            return std::to_string(y) + "年第" + std::to_string((p.from.month() - 1) / 3 + 1) + "季度";
    }
    return p.from.iso() + " 至 " + p.to.iso();
}

result<stats_result> compute_statistics(transaction& t, stats_view view, const stats_period& period,
                                         const stats_scope& scope) {
    if (period.to < period.from)
        return status::error("统计期间的结束日期 " + period.to.iso() + " 早于开始日期 " + period.from.iso() + "。");
    auto communities = covered(t, scope);
    if (!communities) return status::error(communities.message());
    stats_result r;
    r.view = view;
    r.period = period;
    for (const auto& c : *communities) r.community_names.push_back(c.name);
    stats_detail::stats_context c(t, period, communities.take());
    status done = status::ok();
    switch (view) {
        case stats_view::money:
            done = stats_detail::money_tables(c, r.tables);
            break;
        case stats_view::assets:
            done = stats_detail::asset_tables(c, r.tables);
            break;
        case stats_view::work:
            done = stats_detail::work_tables(c, r.tables);
            break;
        case stats_view::activities:
            done = stats_detail::activity_tables(c, r.tables);
            break;
        case stats_view::committee:
            done = stats_detail::committee_tables(c, scope.term, r.term_name, r.tables);
            break;
    }
    if (!done) return done;
    return r;
}

std::string stats_text(const stats_result& r) {
    std::string out = std::string(stats_view_caption(r.view)) + "统计  " + period_text(r.period);
    if (!r.term_name.empty()) out += "  " + r.term_name;
    out += "\n";
    std::string names;
    for (const std::string& n : r.community_names) names += (names.empty() ? "" : "、") + n;
    out += "社区：" + names + "\n";
    for (const stats_table& t : r.tables) {
        out += "\n" + t.title + "\n";
        std::vector<int> widths(t.header.size(), 0);
        auto measure = [&](const std::vector<std::string>& cells) {
            for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], display_width(cells[i]));
        };
        measure(t.header);
        for (const auto& row : t.rows) {
            std::vector<std::string> texts;
            for (const stats_cell& c : row) texts.push_back(c.text);
            measure(texts);
        }
        auto line = [&](const std::vector<std::string>& cells) {
            std::string l;
            for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
                const std::string pad(static_cast<std::size_t>(widths[i] - display_width(cells[i])), ' ');
                if (i > 0) l += "  ";
                l += static_cast<int>(i) < t.label_columns ? cells[i] + pad : pad + cells[i];
            }
            while (!l.empty() && l.back() == ' ') l.pop_back();
            return l + "\n";
        };
        out += line(t.header);
        for (const auto& row : t.rows) {
            std::vector<std::string> texts;
            for (const stats_cell& c : row) texts.push_back(c.text);
            out += line(texts);
        }
    }
    return out;
}

std::string stats_csv(const stats_result& r) {
    std::string out = "\xEF\xBB\xBF";
    bool first = true;
    for (const stats_table& t : r.tables) {
        if (!first) out += "\r\n";
        first = false;
        out += csv_field(t.title) + "\r\n";
        auto line = [&](const std::vector<std::string>& cells) {
            std::string l;
            for (std::size_t i = 0; i < cells.size(); ++i) l += (i ? "," : "") + csv_field(cells[i]);
            out += l + "\r\n";
        };
        line(t.header);
        for (const auto& row : t.rows) {
            std::vector<std::string> cells;
            // A spreadsheet reads the plain number, not the grouped text.
            for (const stats_cell& c : row) cells.push_back(c.number ? c.number->str() : c.text);
            line(cells);
        }
    }
    return out;
}

}  // namespace officerecords
