#include <algorithm>

#include "statistics/statistics.h"
#include "storage/xlsx_writer.h"

namespace officerecords {

status stats_xlsx(const stats_result& r, const std::string& file) {
    auto writer = xlsx_writer_module();
    if (!writer) return status::error(writer.message());
    auto made = (*writer)->create(file, std::string(stats_view_caption(r.view)));
    if (!made) return status::error(made.message());
    xlsx_sheet& sheet = **made;
    const cell_look heading{"", true, 14, false};
    const cell_look bold{"", true, 0, false};
    const cell_look count{"0", false, 0, false};
    const cell_look amount{"#,##0.00", false, 0, false};
    std::string title = std::string(stats_view_caption(r.view)) + "统计  " + period_text(r.period);
    if (!r.term_name.empty()) title += "  " + r.term_name;
    sheet.document_title(title);
    sheet.text(0, 0, title, &heading);
    std::uint32_t row = 2;
    std::size_t widest = 1;
    for (const stats_table& t : r.tables) {
        widest = std::max(widest, t.header.size());
        const std::uint32_t title_row = row;
        sheet.text(row++, 0, t.title, &bold);
        for (std::size_t c = 0; c < t.header.size(); ++c)
            sheet.text(row, static_cast<std::uint16_t>(c), t.header[c], &bold);
        ++row;
        const std::uint32_t first = row;
        std::uint32_t last_charted = row;
        for (const auto& cells : t.rows) {
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const stats_cell& cell = cells[c];
                if (cell.number)
                    sheet.number(row, static_cast<std::uint16_t>(c), cell.number->to_double(),
                                 cell.number->scale() > 0 ? &amount : &count);
                else
                    sheet.text(row, static_cast<std::uint16_t>(c), cell.text, nullptr);
            }
            if (cells.empty() || cells[0].text != "合计") last_charted = row;
            ++row;
        }
        if (t.chart != stats_chart::none && row > first && static_cast<std::size_t>(t.label_columns) < t.header.size()) {
            xlsx_chart chart;
            chart.kind = t.chart == stats_chart::lines          ? xlsx_chart_kind::lines
                         : t.chart == stats_chart::stacked_bars ? xlsx_chart_kind::stacked_columns
                                                                : xlsx_chart_kind::columns;
            chart.title = t.title;
            chart.first_row = first;
            chart.last_row = last_charted;
            chart.category_col = static_cast<std::uint16_t>(t.label_columns - 1);
            for (std::size_t c = static_cast<std::size_t>(t.label_columns); c < t.header.size(); ++c)
                chart.values.push_back({t.header[c], static_cast<std::uint16_t>(c)});
            sheet.chart(title_row, static_cast<std::uint16_t>(t.header.size() + 1), chart);
            // The chart is about fifteen rows high: the next table starts below it.
            row = std::max(row, title_row + 16);
        }
        ++row;
    }
    for (std::size_t c = 0; c < widest; ++c) sheet.column_width(static_cast<std::uint16_t>(c), c == 0 ? 16 : 14);
    return sheet.close();
}

}  // namespace officerecords
