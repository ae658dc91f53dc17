#include "foundation/transaction.h"

namespace officerecords {

value cursor::column_value(int i) const {
    switch (column_type(i)) {
        case db_type::integer:
            return column_integer(i);
        case db_type::real:
            return column_real(i);
        case db_type::text:
            return column_text(i);
        case db_type::blob:
            return column_blob(i);
        case db_type::null:
            break;
    }
    return {};
}

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
        (void)set_status(sql_code::error, "the statement returns no columns");
        return std::nullopt;
    }
    return std::move(row->front());
}

std::optional<value> transaction::highest(std::string_view table, std::string_view column) {
    return select_value("SELECT MAX(" + std::string(column) + ") FROM " + std::string(table));
}

std::optional<value> transaction::count_everywhere(std::string_view table,
                                                   std::span<const std::string_view> columns,
                                                   std::span<const value> values) {
    std::string sql = "SELECT count(*) FROM " + std::string(table);
    for (std::size_t i = 0; i < columns.size(); ++i)
        sql += (i ? " AND " : " WHERE ") + std::string(columns[i]) + " = ?";
    return select_value(sql, values);
}

std::string transaction::highest_expression(std::string_view table, std::string_view column) {
    return "(SELECT MAX(" + std::string(column) + ") FROM " + std::string(table) + ")";
}

sql_code transaction::queue_write(std::string_view sql, std::span<const value> params,
                                  const write_check& check) {
    if (execute(sql, params) != sql_code::ok) {
        if (!check.failed_prefix.empty()) (void)set_status(sql_code::error, check.failed_prefix + errtext_);
        return sql_code::error;
    }
    if (check.rows >= 0 && nrows_ != check.rows) return set_status(sql_code::error, check.otherwise);
    return sql_code::ok;
}

sql_code transaction::update_blob(std::string_view sql, const blob& bytes,
                                  std::span<const value> params) {
    std::vector<value> all;
    all.reserve(params.size() + 1);
    all.emplace_back(bytes);
    all.insert(all.end(), params.begin(), params.end());
    return execute(sql, all);
}

void transaction::rollback_keeping_error() {
    const sql_code code = code_;
    std::string text = errtext_;
    if (rollback() != sql_code::ok) text += "；回滚也失败了：" + errtext_;
    (void)set_status(code, std::move(text));
}

write_guard::write_guard(transaction& t) : t_(t) { began_ = t_.begin_write() == sql_code::ok; }

write_guard::write_guard(transaction& t, std::string_view table) : t_(t) {
    began_ = t_.begin_register_write(table) == sql_code::ok;
}

write_guard::~write_guard() { abandon(); }

sql_code write_guard::commit() {
    if (!began_ || done_) return sql_code::error;
    const sql_code rc = t_.commit();
    done_ = rc == sql_code::ok;
    return rc;
}

void write_guard::abandon() {
    if (!began_ || done_) return;
    done_ = true;
    if (t_.in_transaction()) t_.rollback_keeping_error();
}

}  // namespace officerecords
