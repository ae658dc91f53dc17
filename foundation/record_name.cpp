#include "foundation/record_name.h"

#include "foundation/register_page.h"

namespace officerecords {

std::string record_name(const data_window& dw, long row) {
    if (row < 1 || row > dw.rowcount()) return {};
    std::string name;
    for (const std::string& column : dw.object().naming) {
        const int col = dw.column_number(column);
        if (col < 1) continue;
        const std::string shown = dw.display_text(row, col);
        if (shown.empty()) continue;
        if (!name.empty()) name += "，";
        name += shown;
    }
    return name;
}

std::string record_label(const std::string& number, const std::string& name) {
    if (number.empty()) return {};
    return "记录号 " + number + (name.empty() ? std::string() : "（" + name + "）");
}

std::string record_label(const data_window& dw, long row) {
    if (row < 1 || row > dw.rowcount()) return {};
    const value number = dw.getitem(row, record_key_column(dw.object()));
    return record_label(number.is_null() ? std::string() : number.to_text(), record_name(dw, row));
}

}  // namespace officerecords
