// How the tables of a printed document fit an A4 page. Every column is
// measured with the font it is printed in: a date, a number and a caption
// are as wide as their text and never wrap; a long text takes at most a
// readable measure and wraps at word or character boundaries. When the
// columns do not fit a portrait page, the page turns to landscape, then
// the type shrinks step by step down to k_smallest_points; when a list's
// columns still do not fit, they are printed in parts on pages side by
// side, each part after the list's first columns (the row counter and the
// columns that say which record a row is).
#pragma once

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <vector>

namespace officerecords::app {

// One cell of a printed table.
struct print_cell {
    QString text;
    int span = 1;
    bool caption = false;  // a header or a caption: bold on grey, on one line
    bool right = false;    // numbers line up on the right
    bool whole = false;    // a date or a number: on one line
};

// A table, under its heading when it has one (a group box's caption).
struct print_table {
    QString heading;
    int columns = 0;
    int header_rows = 0;  // repeated at the top of each page
    std::vector<std::vector<print_cell>> rows;
};

// The printed font at a size.
QFont print_font(double points, bool bold = false);

struct print_fit {
    // Columns of a table printed side by side on one page, left to right,
    // with their widths in points, padding included.
    struct part {
        std::vector<int> columns;
        std::vector<double> widths;
    };

    static constexpr double k_largest_points = 10;
    // The floor: a little under 六号 (7.5 pt), the smallest size Chinese
    // tables are commonly printed in. Below it the strokes of a dense
    // character (籍, 赣) run together on an office laser printer, and a
    // list printed in parts side by side is easier to read than one that
    // needs a magnifier.
    static constexpr double k_smallest_points = 7;
    static constexpr double k_margin_mm = 12;
    // Between a cell's border and its text, in points.
    static constexpr double k_padding = 2.5;

    // A list: one table with a header row and no spans; its first
    // `repeated` columns are printed in every part when it is printed in
    // parts.
    static print_fit of_list(const print_table& list, int repeated);
    // A record: tables of caption, value, caption, value, whose values may
    // span the columns to their right. The captions of all tables share
    // one width, so that the values line up from table to table.
    static print_fit of_record(const std::vector<print_table>& tables);

    // The width of an A4 page inside its margins, in points.
    static double page_width(QPageLayout::Orientation orientation);

    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double points = k_largest_points;
    std::vector<std::vector<part>> tables;  // per table, its parts
};

}  // namespace officerecords::app
