// Types one row of a sheet into a register's record window as a clerk
// would: the person or body it belongs to first, then each of its values
// in the window's tab order, every value turned into what the clerk types
// (a code for its name, a date as yyyy-mm-dd, an amount without its
// separators).
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/transaction.h"
#include "foundation/w_modify.h"
#include "import/header_match.h"
#include "import/import_host.h"
#include "import/import_rules.h"
#include "import/sheet_source.h"

namespace officerecords {

struct typed_row {
    bool ok = true;
    std::string message;  // why not, when the window said nothing
};

// A cell as the text a clerk would type into the column: an error for a
// value that cannot be read, naming the column by `caption`. `child` is the
// column's code table or value list, when it has one.
result<std::string> typed_text(const sheet_cell& cell, const column_def& column, const dw_child* child,
                               const std::string& caption);

class row_typist {
public:
    // `header_columns`: each header field's column, "" for an ignored one.
    row_typist(w_modify& window, const import_rules& rules, const std::vector<register_column>& columns,
               const std::vector<std::string>& header_columns, transaction& t, std::string commno);

    // The captions of what shown() gives.
    std::vector<std::string> preview_captions() const;
    // Whether the row has anything in a column of the register: a line of
    // its own (a footer, a note under the table) is no record.
    bool has_values(const sheet_row& row) const;
    // Types the row into the window's new record; the host keeps what the
    // window said.
    typed_row type(const sheet_row& row, import_host& host);
    // Reads the community's records as the duplicate rule compares them,
    // once, inside the import's write: a sheet of any length is then
    // compared row by row without reading the register again.
    status read_existing();
    // Records of the community already stored, and earlier rows of this
    // file, with the values the row has in every column of the rule.
    struct duplicate_of {
        std::vector<long> records;
        std::vector<long> rows;
        bool empty() const { return records.empty() && rows.empty(); }
    };
    duplicate_of duplicates() const;
    // The row of the file just saved, for the rows after it.
    void saved(long sheet_row);
    const std::string& duplicate_rule() const { return rule_text_; }
    // The row as it would be stored, as the window shows it.
    std::vector<std::string> shown() const;

private:
    struct field {
        int col = 0;          // in dw_1
        std::size_t at = 0;   // in the sheet's row
        std::string caption;  // for messages
    };
    const sheet_cell* cell_of(const sheet_row& row, std::string_view column) const;
    std::string caption_of(std::string_view column) const;
    // The row's person: its personno and name, by key, or the reason not.
    result<std::pair<std::string, std::string>> find_person(const sheet_row& row);
    result<value> find_body(const sheet_row& row);

    w_modify& w_;
    const import_rules& rules_;
    const std::vector<register_column>& columns_;
    std::vector<std::string> header_columns_;
    transaction& t_;
    std::string commno_;
    std::vector<field> typed_;   // in tab order
    std::vector<field> preview_;
    std::string rule_text_;
    // The rule's values of a row, as one text, and the records that have them.
    std::string duplicate_key(const std::vector<value>& values) const;
    std::vector<int> rule_cols_;  // in dw_1
    std::unordered_map<std::string, std::vector<long>> existing_;
    std::unordered_map<std::string, std::vector<long>> file_rows_;
};

}  // namespace officerecords
