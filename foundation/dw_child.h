// The drop-down child of a column: the rows of its code table (tcode, tname)
// or of its value list, and the filter that decides which it offers now.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

class transaction;

struct code_row {
    std::string tcode;
    std::string tname;
};

class dw_child {
public:
    dw_child() = default;
    // Rows of a value list such as "是\t1/否\t0/" (display, TAB, data, "/").
    static dw_child from_values(std::string_view values);
    // Rows of a code table, in ascending tcode order.
    static result<dw_child> load(transaction& t, std::string_view code_table);
    static dw_child from_rows(std::vector<code_row> rows);

    // Sets the filter text; an empty text removes the filter. 1 on success,
    // -1 when the expression does not parse (the old filter stays).
    int setfilter(std::string_view expression);
    // Applies the filter set last; 1 on success, -1 on an evaluation error.
    int filter();

    long rowcount() const { return static_cast<long>(shown_.size()); }
    // "tcode" or "tname" of a row the drop-down offers (1-based).
    std::optional<std::string> getitemstring(long row, std::string_view column) const;

    bool offers(std::string_view code) const;
    // Display text of a code among all rows, filtered or not.
    std::optional<std::string> display_of(std::string_view code) const;
    std::vector<std::string> offered_codes() const;
    const std::vector<code_row>& all_rows() const { return rows_; }

private:
    std::vector<code_row> rows_;
    std::vector<int> shown_;
    std::string filter_text_;
};

}  // namespace officerecords
