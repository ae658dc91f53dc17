#include "foundation/refused_field.h"

namespace officerecords {

namespace {

// A label as messages quote it, without the colon and the spacing of the
// form ("品   牌:" is named "品   牌" or "品牌").
std::string bare_label(std::string label) {
    for (const char* colon : {":", "：", ";", "；"})
        if (label.ends_with(colon)) label.erase(label.size() - std::string_view(colon).size());
    while (!label.empty() && label.back() == ' ') label.pop_back();
    return label;
}

}  // namespace

std::vector<value> row_items(const data_window& dw, long row) {
    std::vector<value> items;
    if (row < 1 || row > dw.rowcount()) return items;
    for (int col = 1; col <= dw.column_count(); ++col) items.push_back(dw.getitem(row, col));
    return items;
}

std::string refused_field(const data_window& dw, long row, const std::vector<value>& before,
                          std::string_view message) {
    if (row < 1 || row > dw.rowcount()) return {};
    if (before.size() == static_cast<std::size_t>(dw.column_count()))
        for (int col = 1; col <= dw.column_count(); ++col)
            if (!before[static_cast<std::size_t>(col - 1)].is_null() &&
                dw.getitem(row, col).is_null() && dw.state(col).visible)
                return dw.column_definition(col).name;
    std::string best;
    std::size_t best_at = std::string_view::npos;
    std::size_t best_length = 0;
    for (int col = 1; col <= dw.column_count(); ++col) {
        if (!dw.state(col).visible) continue;
        const std::string& name = dw.column_definition(col).name;
        const std::string label = bare_label(dw.label_text(name));
        if (label.empty()) continue;
        const std::size_t at = message.find(label);
        if (at == std::string_view::npos) continue;
        if (at < best_at || (at == best_at && label.size() > best_length)) {
            best = name;
            best_at = at;
            best_length = label.size();
        }
    }
    return best;
}

bool is_check_title(std::string_view title) {
    return title == "提示" || title == "提示信息" || title == "数据录入错误";
}

}  // namespace officerecords
