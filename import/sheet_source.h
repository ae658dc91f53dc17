// A sheet as an import reads it, row by row, whatever file it came from:
// an XLSX or XLS workbook's sheet, or a CSV file. Rows are handed out one
// at a time so that a sheet of any length is never held whole.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

// What a cell held. Number and date cells keep the text the file stored
// them as (never printed again from a double), so that a long number is
// what the file says or visibly not a whole one.
enum class cell_kind {
    empty,
    text,
    number,      // text: the stored number, e.g. "19960.5" or "4.2E+17"
    date,        // a number cell shown as a date: text is Excel's serial day
    boolean,     // text: "1" or "0"
    error,       // a formula's error value: text is e.g. "#DIV/0!"
    no_value,    // a formula without a cached value: text is the formula
};

struct sheet_cell {
    cell_kind kind = cell_kind::empty;
    std::string text;  // UTF-8
};

struct sheet_row {
    long number = 0;  // 1-based, as the file counts rows (a CSV: its line)
    std::vector<sheet_cell> cells;  // column A first; trailing empties may be missing
};

// The longest text a cell may hold: Excel's own limit. A longer cell is
// no sheet a clerk made, and the file is refused.
inline constexpr std::size_t k_max_cell_characters = 32767;
// Files larger than this are refused before they are read.
inline constexpr long long k_max_import_file_bytes = 100LL * 1024 * 1024;

// A cell's length as the limit above counts it: UTF-8 characters.
std::size_t cell_characters(std::string_view text);
// The column's letters as Excel shows them (0-based): "A", "Z", "AA"…
std::string column_letters(int column);
// The refusal of a cell over k_max_cell_characters, the same from every
// kind of file: the file, row, column, length and the limit.
status cell_too_long(const std::string& file, long row, int column, std::size_t characters);
// The refusal of a sheet name the file does not have, listing those it has.
status no_such_sheet(const std::string& file, const std::string& sheet, const std::vector<std::string>& sheets);

class sheet_source {
public:
    virtual ~sheet_source() = default;
    // The next row that has at least one non-empty cell; false at the end.
    // A fault of the file (a broken zip, bad XML, a cell too long) is an
    // error naming the file, and no more rows follow.
    virtual result<bool> next(sheet_row& row) = 0;
    // What the file is, for the clerk: "XLSX", "XLS", "CSV（GB18030）"…
    virtual std::string description() const = 0;
};

// The sheets of a file in the workbook's order; a CSV file has one,
// named after the file.
result<std::vector<std::string>> sheet_names(const std::string& path);

// Opens the sheet `sheet` of the file (the first when empty). The kind of
// file is told by its bytes, not its name. Messages name the file by its
// name without the folders.
result<std::unique_ptr<sheet_source>> open_sheet(const std::string& path, const std::string& sheet);

}  // namespace officerecords
