// The chart beside a table of the office's figures: its figure columns as
// series over its rows (a row labelled "合计" is left out, it would dwarf
// the rest). Drawn to survive a black-and-white printer: every series has
// its own grey and fill pattern (or line dash) with a dark outline, never
// colour alone.
#pragma once

#include <QString>

#include "statistics/statistics.h"

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QWidget;
QT_END_NAMESPACE

namespace officerecords::app {

// The chart of `table`, nullptr for a table drawn without one (chart none,
// no figure column or no row to draw). The caller owns it.
QChart* make_stats_chart(const stats_table& table);
// A view of that chart (the view owns it), nullptr when there is none.
QChartView* make_stats_chart_view(const stats_table& table, QWidget* parent);

// The row labels the chart draws, in order: every row but a "合计" one.
std::vector<int> charted_rows(const stats_table& table);
// A figure cell's value as the chart draws it; 0 without a number.
double chart_value(const stats_cell& cell);

}  // namespace officerecords::app
