#include "app/stats_report.h"

#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QFile>
#include <algorithm>
#include <memory>

#include "app/print_fit.h"
#include "app/stats_chart.h"

namespace officerecords::app {

namespace {

constexpr double k_points = 9;
constexpr double k_footer_points = 9;
// A chart's size on the page, in points: as wide as the text, a little
// under half as tall, drawn from a view of this many pixels across.
constexpr double k_chart_height = 230;
constexpr int k_chart_pixels = 900;
// Beside a table, at least this tall.
constexpr double k_side_chart_height = 170;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString names(const stats_result& r) {
    QStringList all;
    for (const std::string& n : r.community_names) all << qs(n);
    return all.join("、");
}

bool is_figure(const stats_table& t, std::size_t column) {
    return static_cast<int>(column) >= t.label_columns;
}

// The document walked once to count its pages and once to paint them.
class painter_run {
public:
    painter_run(const stats_report& report, QPagedPaintDevice& device, QPainter* painter, int pages)
        : r_(report), device_(device), p_(painter), pages_(pages),
          plain_(print_font(k_points)), bold_(print_font(k_points, true)),
          title_(print_font(k_points + 7, true)), sub_(print_font(k_points + 2)),
          footer_(print_font(k_footer_points)) {
        width_ = device.width();
        per_point_ = device.logicalDpiY() / 72.0;
        line_ = QFontMetricsF(bold_, &device).lineSpacing();
        row_ = line_ + 3 * per_point_;
        pad_ = 3 * per_point_;
        bottom_ = device.height() - 2.5 * QFontMetricsF(footer_, &device).lineSpacing();
    }

    // Returns the number of pages, 0 when a page could not be begun.
    int run() {
        heading();
        for (const stats_table& t : r_.result.tables) {
            if (beside(t)) continue;
            if (!table(t)) return 0;
            if (!chart(t)) return 0;
        }
        foot();
        return page_;
    }

private:
    bool need(double height) {
        if (y_ + height <= bottom_ || y_ == 0) return true;
        foot();
        if (p_ && !device_.newPage()) return false;
        ++page_;
        y_ = 0;
        return true;
    }

    void text(const QRectF& box, const QFont& font, int align, const QString& s) {
        if (!p_) return;
        p_->setFont(font);
        p_->setPen(Qt::black);
        p_->drawText(box, align, s);
    }

    void heading() {
        const double t = QFontMetricsF(title_, &device_).lineSpacing();
        const double s = QFontMetricsF(sub_, &device_).lineSpacing();
        text(QRectF(0, y_, width_, t), title_, Qt::AlignHCenter, r_.title());
        y_ += t + 6 * per_point_;
        text(QRectF(0, y_, width_, s), sub_, Qt::AlignHCenter, "社区：" + names(r_.result));
        y_ += s;
        text(QRectF(0, y_, width_, s), sub_, Qt::AlignHCenter,
             "统计期间：" + qs(period_text(r_.result.period)) +
                 (r_.result.term_name.empty() ? QString() : "　届次：" + qs(r_.result.term_name)));
        y_ += s + 12 * per_point_;
    }

    // Each column as wide as its widest cell; narrowed evenly when the
    // table is wider than the page (a text then wraps in its cell).
    std::vector<double> widths(const stats_table& t) const {
        const QFontMetricsF m(bold_, &device_);
        std::vector<double> w(t.header.size(), 0);
        for (std::size_t c = 0; c < t.header.size(); ++c)
            w[c] = m.horizontalAdvance(qs(t.header[c]));
        for (const auto& row : t.rows)
            for (std::size_t c = 0; c < row.size() && c < w.size(); ++c)
                w[c] = std::max(w[c], m.horizontalAdvance(qs(row[c].text)));
        double sum = 0;
        for (double& x : w) sum += (x += 2 * pad_);
        if (sum > width_)
            for (double& x : w) x *= width_ / sum;
        return w;
    }

    void row(const stats_table& t, const std::vector<std::string>* header,
             const std::vector<stats_cell>* cells, bool bold, const std::vector<double>& w) {
        double x = 0;
        const std::size_t n = header ? header->size() : cells->size();
        for (std::size_t c = 0; c < n && c < w.size(); ++c) {
            const QRectF box(x, y_, w[c], row_);
            if (p_) {
                if (header) p_->fillRect(box, QColor(0xe0, 0xe0, 0xe0));
                QPen pen(Qt::black);
                pen.setWidthF(0.5 * per_point_);
                p_->setPen(pen);
                p_->drawRect(box);
            }
            const QString s = header ? qs((*header)[c]) : qs((*cells)[c].text);
            const int align = Qt::AlignVCenter |
                              (header ? Qt::AlignHCenter : is_figure(t, c) ? Qt::AlignRight : Qt::AlignLeft);
            text(box.adjusted(pad_, 0, -pad_, 0), header || bold ? bold_ : plain_, align, s);
            x += w[c];
        }
        y_ += row_;
    }

    bool table(const stats_table& t) {
        const std::vector<double> w = widths(t);
        // The title, the header and a first row stay together.
        if (!need(line_ + 2 * row_)) return false;
        text(QRectF(0, y_, width_, line_), bold_, Qt::AlignLeft, qs(t.title));
        y_ += line_ + 2 * per_point_;
        row(t, &t.header, nullptr, false, w);
        for (std::size_t r = 0; r < t.rows.size(); ++r) {
            if (y_ + row_ > bottom_) {
                if (!need(2 * row_)) return false;
                text(QRectF(0, y_, width_, line_), bold_, Qt::AlignLeft, qs(t.title) + "（续）");
                y_ += line_ + 2 * per_point_;
                row(t, &t.header, nullptr, false, w);
            }
            const bool total = t.total_row && r + 1 == t.rows.size();
            row(t, nullptr, &t.rows[r], total, w);
        }
        y_ += 8 * per_point_;
        return true;
    }

    // A narrow table that fits on one page has its chart at its right, as
    // on the screen; false when it is laid out otherwise.
    bool beside(const stats_table& t) {
        std::unique_ptr<QChart> c(make_stats_chart(t));
        if (!c) return false;
        const std::vector<double> w = widths(t);
        double wide = 0;
        for (double x : w) wide += x;
        const double head = line_ + 2 * per_point_;
        const double rows = static_cast<double>(t.rows.size() + 1) * row_;
        const double h = std::max(rows, k_side_chart_height * per_point_);
        if (wide > width_ / 2 || head + h > bottom_) return false;
        // The block goes whole onto the next page when this one is full; a
        // page that cannot be begun fails in table() as well.
        if (!need(head + h)) return false;
        text(QRectF(0, y_, width_, line_), bold_, Qt::AlignLeft, qs(t.title));
        y_ += head;
        const double top = y_;
        row(t, &t.header, nullptr, false, w);
        for (std::size_t r = 0; r < t.rows.size(); ++r)
            row(t, nullptr, &t.rows[r], t.total_row && r + 1 == t.rows.size(), w);
        const double gap = 12 * per_point_;
        draw_chart(std::move(c), QRectF(wide + gap, top, width_ - wide - gap, h));
        y_ = top + h + 12 * per_point_;
        return true;
    }

    bool chart(const stats_table& t) {
        std::unique_ptr<QChart> c(make_stats_chart(t));
        if (!c) return true;
        const double h = k_chart_height * per_point_;
        if (!need(h)) return false;
        draw_chart(std::move(c), QRectF(0, y_, width_, h));
        y_ += h + 12 * per_point_;
        return true;
    }

    void draw_chart(std::unique_ptr<QChart> c, const QRectF& box) {
        if (!p_) return;
        // Laid out at a screen's size, then drawn into the page's box: the
        // type keeps its proportion to the bars. The grab lays the view
        // out (a view never shown has not been).
        QChartView view(c.release());
        view.setRenderHint(QPainter::Antialiasing);
        view.resize(k_chart_pixels, static_cast<int>(k_chart_pixels * box.height() / box.width()));
        (void)view.grab();
        view.render(p_, box, view.rect());
    }

    void foot() {
        if (!p_ || footed_ == page_) return;
        footed_ = page_;
        const double l = QFontMetricsF(footer_, &device_).lineSpacing();
        const double at = device_.height() - 1.5 * l;
        text(QRectF(0, at, width_, l), footer_, Qt::AlignLeft, "制表人：" + r_.made_by);
        text(QRectF(0, at, width_, l), footer_, Qt::AlignHCenter,
             QString("第 %1 页 共 %2 页").arg(page_).arg(pages_));
        text(QRectF(0, at, width_, l), footer_, Qt::AlignRight, "制表时间：" + r_.made_at);
    }

    const stats_report& r_;
    QPagedPaintDevice& device_;
    QPainter* p_;
    int pages_;
    QFont plain_, bold_, title_, sub_, footer_;
    double width_ = 0, per_point_ = 1, line_ = 0, row_ = 0, pad_ = 0, bottom_ = 0;
    double y_ = 0;
    int page_ = 1;
    int footed_ = 0;
};

}  // namespace

QString stats_report::title() const {
    return "社区统计报表：" + QString::fromUtf8(stats_view_caption(result.view).data(),
                                               static_cast<qsizetype>(stats_view_caption(result.view).size()));
}

int stats_report::paint(QPagedPaintDevice& device) const {
    const double margin = print_fit::k_margin_mm;
    if (!device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                          QMarginsF(margin, margin, margin, margin),
                                          QPageLayout::Millimeter)))
        return 0;
    const int pages = painter_run(*this, device, nullptr, 0).run();
    QPainter painter;
    if (pages == 0 || !painter.begin(&device)) return 0;
    return painter_run(*this, device, &painter, pages).run();
}

QByteArray stats_report::pdf() const {
    // QPrinter writes its PDF to a file only.
    QTemporaryDir dir;
    if (!dir.isValid()) return {};
    const QString file = dir.filePath("report.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setDocName(title());
        printer.setCreator("OfficeRecords");
        if (paint(printer) == 0) return {};
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return in.readAll();
}

}  // namespace officerecords::app
