#include "foundation/refused_field.h"

namespace officerecords {

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
        // As messages quote it, with or without the label's colon.
        const std::string label = label_caption(dw.label_text(name));
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
