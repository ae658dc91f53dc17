#include "app/stats_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLineSeries>
#include <QPen>
#include <QRegularExpression>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

namespace officerecords::app {

namespace {

constexpr const char* k_total_label = "合计";

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Fills that stay apart on paper: grey levels from light to dark, each
// with its own hatching, so neighbours differ in both.
struct fill {
    int grey;
    Qt::BrushStyle pattern;
};
constexpr fill k_fills[] = {
    {90, Qt::SolidPattern},      {200, Qt::SolidPattern},   {150, Qt::BDiagPattern},
    {120, Qt::CrossPattern},     {235, Qt::FDiagPattern},   {60, Qt::Dense4Pattern},
    {170, Qt::HorPattern},       {100, Qt::DiagCrossPattern}, {210, Qt::VerPattern},
    {40, Qt::Dense6Pattern},
};
constexpr Qt::PenStyle k_dashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                     Qt::DashDotDotLine};

QBrush fill_brush(std::size_t i) {
    const fill& f = k_fills[i % std::size(k_fills)];
    return QBrush(QColor(f.grey, f.grey, f.grey), f.pattern);
}

}  // namespace

std::vector<int> charted_rows(const stats_table& table) {
    std::vector<int> rows;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto& row = table.rows[r];
        const bool total = (table.total_row && r + 1 == table.rows.size()) ||
                           (!row.empty() && row.front().text == k_total_label);
        if (!total) rows.push_back(static_cast<int>(r));
    }
    return rows;
}

double chart_value(const stats_cell& cell) { return cell.number ? cell.number->to_double() : 0; }

QChart* make_stats_chart(const stats_table& table) {
    const std::vector<int> rows = charted_rows(table);
    // Counts beside amounts would lie flat under them on one axis: a
    // table with amounts draws its amounts alone.
    std::vector<int> drawn;
    int scale = -1;
    for (int c = table.label_columns; c < static_cast<int>(table.header.size()); ++c) {
        int s = 0;
        for (const auto& row : table.rows)
            if (static_cast<std::size_t>(c) < row.size() && row[static_cast<std::size_t>(c)].number)
                s = std::max(s, row[static_cast<std::size_t>(c)].number->scale());
        if (s > scale) drawn.clear(), scale = s;
        if (s == scale) drawn.push_back(c);
    }
    const int figures = static_cast<int>(drawn.size());
    if (table.chart == stats_chart::none || figures <= 0 || rows.empty()) return nullptr;

    QStringList categories;
    for (int r : rows) {
        const auto& row = table.rows[static_cast<std::size_t>(r)];
        QStringList label;
        for (int c = 0; c < table.label_columns && c < static_cast<int>(row.size()); ++c)
            label << qs(row[static_cast<std::size_t>(c)].text);
        categories << label.join(' ');
    }
    // "2025年1月" … "2025年12月": the year once is enough, in the heading.
    static const QRegularExpression year(R"(^\d{4}年(?=\d))");
    bool same_year = categories.size() > 1;
    const QString first_year = categories.value(0).left(5);
    for (const QString& c : categories)
        same_year = same_year && year.match(c).hasMatch() && c.left(5) == first_year;
    if (same_year)
        for (QString& c : categories) c.remove(0, 5);
    auto figure = [&](int r, int f) -> double {
        const auto& row = table.rows[static_cast<std::size_t>(r)];
        const auto c = static_cast<std::size_t>(drawn[static_cast<std::size_t>(f)]);
        return c < row.size() ? chart_value(row[c]) : 0;
    };

    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(figures > 1);
    double top = 0;
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    // A month's or a category's name stays readable beside its bar.
    qsizetype longest = 0;
    for (const QString& c : categories) longest = std::max(longest, c.size());
    if (categories.size() > 6 && longest > 3) x->setLabelsAngle(-45);
    chart->addAxis(x, Qt::AlignBottom);
    auto* y = new QValueAxis;
    y->setLabelFormat("%.0f");
    chart->addAxis(y, Qt::AlignLeft);

    if (table.chart == stats_chart::lines) {
        for (int f = 0; f < figures; ++f) {
            auto* line = new QLineSeries;
            line->setName(qs(table.header[static_cast<std::size_t>(drawn[static_cast<std::size_t>(f)])]));
            QPen pen(QColor(30, 30, 30));
            pen.setWidthF(2);
            pen.setStyle(k_dashes[static_cast<std::size_t>(f) % std::size(k_dashes)]);
            line->setPen(pen);
            line->setPointsVisible(true);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const double v = figure(rows[i], f);
                top = std::max(top, v);
                line->append(static_cast<double>(i), v);
            }
            chart->addSeries(line);
            line->attachAxis(y);
            // A category axis places point i at the middle of category i.
            line->attachAxis(x);
        }
    } else {
        QAbstractBarSeries* bars = table.chart == stats_chart::stacked_bars
                                       ? static_cast<QAbstractBarSeries*>(new QStackedBarSeries)
                                       : new QBarSeries;
        std::vector<double> stacked(rows.size(), 0);
        for (int f = 0; f < figures; ++f) {
            auto* set = new QBarSet(qs(table.header[static_cast<std::size_t>(drawn[static_cast<std::size_t>(f)])]));
            set->setBrush(fill_brush(static_cast<std::size_t>(f)));
            set->setPen(QPen(QColor(20, 20, 20), 1));
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const double v = figure(rows[i], f);
                stacked[i] += v;
                top = std::max(top, table.chart == stats_chart::stacked_bars ? stacked[i] : v);
                *set << v;
            }
            bars->append(set);
        }
        chart->addSeries(bars);
        bars->attachAxis(x);
        bars->attachAxis(y);
    }
    y->setRange(0, top > 0 ? top * 1.1 : 1);
    y->applyNiceNumbers();
    return chart;
}

QChartView* make_stats_chart_view(const stats_table& table, QWidget* parent) {
    QChart* chart = make_stats_chart(table);
    if (!chart) return nullptr;
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(360, 240);
    return view;
}

}  // namespace officerecords::app
