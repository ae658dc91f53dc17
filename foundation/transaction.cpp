#include "foundation/transaction.h"

namespace officerecords {

std::optional<std::vector<value>> transaction::select_row(std::string_view sql,
                                                          std::span<const value> params) {
    const std::unique_ptr<cursor> rows = open_cursor(sql, params);
    // The cursor has already set the status: -1 when it could not open,
    // 100 or -1 when there is no first row.
    if (!rows || !rows->fetch()) return std::nullopt;
    std::vector<value> row;
    row.reserve(static_cast<std::size_t>(rows->column_count()));
    for (int i = 0; i < rows->column_count(); ++i) row.push_back(rows->column_value(i));
    return row;
}

std::optional<value> transaction::select_value(std::string_view sql,
                                               std::span<const value> params) {
    std::optional<std::vector<value>> row = select_row(sql, params);
    if (!row) return std::nullopt;
    if (row->empty()) {
        set_status(sql_code::error, "the statement returns no columns");
        return std::nullopt;
    }
    return std::move(row->front());
}

sql_code transaction::update_blob(std::string_view sql, const blob& bytes,
                                  std::span<const value> params) {
    std::vector<value> all;
    all.reserve(params.size() + 1);
    all.emplace_back(bytes);
    all.insert(all.end(), params.begin(), params.end());
    return execute(sql, all);
}

}  // namespace officerecords
