// The export of a register's list to a file other programs open: the rows
// of a list data window, in the order the caller gives (the desktop
// program passes its narrowed and sorted view, the command-line program
// every row in list order), with the columns the list shows, left to
// right, after the row counter "序号", the row's position in the export.
//
// CSV carries the list as the clerk sees it: UTF-8 with a byte order mark
// (so that spreadsheet programs take it for UTF-8), RFC 4180 quoting, CR LF
// line ends, every value its display text. XLSX is a sheet to work with: a
// title row, a bold frozen header, dates as dates and amounts as exact
// numbers so that the sheet sorts and sums, codes as their names, and the
// date the table was made.
//
// A file is written whole or not at all (see storage/file_access.h), and
// an existing file is replaced only when the caller asks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "foundation/data_window.h"
#include "foundation/status.h"

namespace officerecords {

enum class export_format { csv, xlsx };

// "csv" or "xlsx", letter case ignored; nullopt for anything else.
std::optional<export_format> export_format_named(std::string_view name);

// Whether the text is a number a spreadsheet opening a CSV file would
// change: 12 digits or more (an ID number, a phone number with its area
// code) lose their last digits, and digits led by 0 (a code "0012") their
// zeros. An ID number with the check character X is kept as text, but
// counts too: its column holds ID numbers, and the others lose digits.
// Spaces around the text are ignored, as a spreadsheet ignores them.
bool spreadsheet_changes_digits(std::string_view text);

// What the sheet's title names: "固定资产登记 — 水果湖社区".
struct export_title {
    std::string caption;    // the register's
    std::string community;  // the community's name
};

class list_export {
public:
    // `list` holds the rows of a list object and must outlive the export;
    // `rows` are its row numbers, in the order they are exported.
    list_export(const data_window& list, std::vector<long> rows, export_title title,
                const clock_source& clock);

    // Every row of `list`, in list order.
    static std::vector<long> all_rows(const data_window& list);

    // Takes the bytes of a file in pieces, in order; a failure ends the
    // writing and is what the writer reports.
    using byte_sink = std::function<status(std::string_view)>;

    // The CSV file's bytes, byte order mark first, handed to `sink` a piece
    // of about k_csv_piece bytes at a time, so that a list of a million
    // records never stands in memory as one text. A row number that is not
    // a row of the list gives empty cells here; write() refuses it.
    [[nodiscard]] status write_csv(const byte_sink& sink) const;
    // The same bytes as one text, for a list small enough to hold.
    std::string csv() const;
    static constexpr std::size_t k_csv_piece = 256 * 1024;

    // Writes the file at `path`. Fails with a message in Chinese, leaving
    // no file behind and an existing one as it was, when `path` exists and
    // `overwrite` is false, is a folder, or cannot be written whole (a
    // missing folder, a full disk, an error of the XLSX writer), or when a
    // row number is not a row of the list.
    [[nodiscard]] status write(export_format format, const std::string& path,
                               bool overwrite = false) const;

    // "固定资产登记 — 水果湖社区"; the caption alone without a community.
    std::string title_text() const;

    // The captions of the text columns, left to right, holding a value
    // among the rows that a spreadsheet opening the CSV would change.
    std::vector<std::string> columns_a_spreadsheet_changes() const;
    // What the clerk is told before such a list goes to CSV: a spreadsheet
    // opening it loses those digits, an Excel file keeps them. Empty when
    // no column holds such a value.
    std::string csv_digits_warning() const;

private:
    status check_rows() const;
    // Fills the XLSX file `file`, the temporary of `target`.
    status write_xlsx(const std::string& file, const std::string& target) const;

    const data_window& list_;
    std::vector<long> rows_;
    export_title title_;
    const clock_source& clock_;
    std::vector<int> columns_;  // the list's shown columns, left to right
};

}  // namespace officerecords
