// The XLSX writer as the list export sees it. Its code is a module of its
// own (xlsx/, linked to libxlsxwriter), loaded by the first export rather
// than when a program starts: with the zip and crypto libraries it pulls
// in, it cost a millisecond of every start, and most runs never export.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/status.h"
#include "foundation/value.h"

namespace officerecords {

// How a cell looks; cells that look alike share one format in the file.
struct cell_look {
    std::string number_format;  // "yyyy-mm-dd", "#,##0.00"; empty: general
    bool bold = false;
    double size = 0;  // points; 0: the default
    bool wrap = false;
};

enum class xlsx_chart_kind { columns, stacked_columns, lines };

struct xlsx_chart {
    struct series {
        std::string name;
        std::uint16_t col = 0;
    };
    xlsx_chart_kind kind = xlsx_chart_kind::columns;
    std::string title;
    std::uint32_t first_row = 0;
    std::uint32_t last_row = 0;
    std::uint16_t category_col = 0;
    std::vector<series> values;
};

// One sheet of a new workbook. The first failure of any call is kept and
// ends the filling; close() reports it.
class xlsx_sheet {
public:
    virtual ~xlsx_sheet() = default;
    virtual void text(std::uint32_t row, std::uint16_t col, const std::string& s, const cell_look* look) = 0;
    virtual void number(std::uint32_t row, std::uint16_t col, double n, const cell_look* look) = 0;
    virtual void day(std::uint32_t row, std::uint16_t col, date d, const cell_look* look) = 0;
    virtual void column_width(std::uint16_t col, double width) = 0;
    // Rows above `row` stay in view when scrolling, and `row - 1` is
    // printed at the top of every page.
    virtual void freeze_above(std::uint32_t row) = 0;
    virtual void document_title(const std::string& title) = 0;
    // The sheet prints on A4 paper; `landscape` turns the page and scales
    // the sheet to one page wide, as many pages long as it runs.
    virtual void print_a4(bool landscape) = 0;
    // Writes the file; the first failure, in the clerk's words.
    [[nodiscard]] virtual status close() = 0;

    // A native chart with its top left corner at (row, col), drawing each
    // series' cells (rows first_row..last_row of its column) over the
    // category labels of `category_col` in the same rows.
    virtual void chart(std::uint32_t row, std::uint16_t col, const xlsx_chart& c) = 0;
};

// How the cells of a sheet are written. A sheet written in row order (each
// row's cells after every cell of the rows above it) keeps only its current
// row in memory, its finished rows going to a temporary file: a list of a
// million records is written in a few megabytes. A cell above the current
// row is then refused, and close() reports it.
enum class xlsx_rows { any_order, in_order };

class xlsx_writer {
public:
    virtual ~xlsx_writer() = default;
    // A workbook at `file` with one sheet named `sheet_name`.
    virtual result<std::unique_ptr<xlsx_sheet>> create(const std::string& file, const std::string& sheet_name,
                                                       xlsx_rows rows = xlsx_rows::any_order) const = 0;
};

// The writer, its module loaded by the first call; a message names the
// module or libxlsxwriter when either is missing.
result<const xlsx_writer*> xlsx_writer_module();

}  // namespace officerecords
