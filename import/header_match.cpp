#include "import/header_match.h"

#include "import/typed_value.h"

#include <algorithm>
#include <array>
#include <map>

namespace officerecords {

namespace {

// Punctuation and blanks a caption may carry, as UTF-8: the full-width
// forms Chinese input methods type, and their ASCII twins.
constexpr std::array<std::string_view, 21> k_ignored = {
    "\xE3\x80\x80", "\xC2\xA0", "：", "（", "）", "、", "，", "。", "·", "－", "／", "【", "】",
    "“", "”", "＊", "*", "-", "_", "/", "\\"};

// The export's row counter: never a register's column, never worth a word.
constexpr std::string_view k_row_counter = "序号";

}  // namespace

std::string caption_key(std::string_view caption) {
    std::string out;
    std::size_t i = 0;
    while (i < caption.size()) {
        bool skipped = false;
        for (std::string_view p : k_ignored)
            if (caption.substr(i).starts_with(p)) {
                i += p.size();
                skipped = true;
                break;
            }
        if (skipped) continue;
        const char c = caption[i++];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':' || c == '(' || c == ')' || c == ',' ||
            c == '.')
            continue;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

std::string shown_caption(std::string_view caption) {
    std::string out = trimmed_cell(caption);
    for (bool cut = true; cut;) {
        cut = false;
        for (std::string_view tail : {":", "：", ";", "；"})
            if (out.ends_with(tail)) {
                out.erase(out.size() - tail.size());
                out = trimmed_cell(out);
                cut = true;
            }
    }
    return out;
}

result<header_match> match_header(const std::vector<std::vector<std::string>>& first_records,
                                  const std::vector<register_column>& columns,
                                  const std::vector<std::pair<std::string, std::string>>& overrides) {
    // Each caption's column: a list caption wins over another column's form caption.
    std::map<std::string, std::string> by_caption;
    for (std::size_t rank = 0; rank < 2; ++rank)
        for (const register_column& c : columns)
            if (rank < c.captions.size()) by_caption.emplace(caption_key(c.captions[rank]), c.name);
    std::map<std::string, std::string> forced;
    for (const auto& [caption, column] : overrides) {
        // An empty column leaves that header text out, whatever it matches.
        const bool known = column.empty() || std::any_of(columns.begin(), columns.end(),
                                                         [&](const register_column& c) { return c.name == column; });
        if (!known) return status::error("这个登记表没有“" + column + "”这一列（--map " + caption + "=" + column + "）");
        forced[caption_key(caption)] = column;
    }
    const auto column_of = [&](const std::string& text) -> std::string {
        const std::string key = caption_key(text);
        if (auto it = forced.find(key); it != forced.end()) return it->second;
        if (auto it = by_caption.find(key); it != by_caption.end()) return it->second;
        return {};
    };

    int best = -1;
    std::size_t best_count = 0;
    for (std::size_t r = 0; r < first_records.size(); ++r) {
        std::size_t count = 0;
        for (const std::string& text : first_records[r]) count += column_of(text).empty() ? 0 : 1;
        if (count > best_count) {
            best = static_cast<int>(r);
            best_count = count;
        }
    }
    if (best < 0) return status::error("表格开头几行里没有找到表头：没有一格是这个登记表的列名");

    header_match m;
    m.header_record = best;
    std::map<std::string, std::string> taken;  // column -> the header text that took it
    for (const std::string& text : first_records[static_cast<std::size_t>(best)]) {
        std::string column = column_of(text);
        if (!column.empty()) {
            if (auto it = taken.find(column); it != taken.end())
                return status::error("表头中“" + it->second + "”和“" + text + "”对应同一列，请只留一个，或改正列的对应");
            taken.emplace(column, text);
        } else if (!text.empty() && caption_key(text) != k_row_counter) {
            m.ignored.push_back(text);
        }
        m.columns.push_back(std::move(column));
    }
    for (const auto& [caption, column] : overrides) {
        const std::string key = caption_key(caption);
        const auto& header = first_records[static_cast<std::size_t>(best)];
        const bool there = std::any_of(header.begin(), header.end(),
                                       [&](const std::string& t) { return caption_key(t) == key; });
        if (!there) return status::error("表头中没有“" + caption + "”（--map " + caption + "=" + column + "）");
    }
    return m;
}

}  // namespace officerecords
