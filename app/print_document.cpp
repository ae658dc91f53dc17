#include "app/print_document.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "app/column_editor.h"
#include "app/form_view.h"

namespace officerecords::app {

namespace {

constexpr double k_footer_points = 9;
// Above and below a cell's text, in points.
constexpr double k_cell_leading = 1.5;
// The leading columns of a list that say which record a row is: up to
// the first free text (a name), at most this many.
constexpr int k_identifying_columns = 3;

QString qs(const std::string& text) { return QString::fromStdString(text); }

bool is_number(const column_def& c) {
    return c.type == column_type::decimal || c.type == column_type::whole ||
           c.type == column_type::number;
}

bool never_wraps(const column_def& c) { return is_number(c) || c.type == column_type::date; }

// "资产分类:" is printed as a caption of its own cell: without the colon.
QString caption_of(QString label) {
    label = label.trimmed();
    while (label.endsWith(':') || label.endsWith(u'：')) label.chop(1);
    return label.simplified();
}

// A cell's text with its line breaks as LF alone.
QString cell_text(const std::string& text) {
    QString s = qs(text);
    if (s.contains('\r')) s.replace("\r\n", "\n").replace('\r', '\n');
    return s;
}

// "2026-12-10 14:05:31" as the footer shows it, to the minute.
QString to_minute(const std::string& now) { return qs(now.substr(0, 16)); }

// The leading columns the parts of a list printed in parts repeat: the
// counter, then the shown columns up to the first free text, which names
// the record (a code or a date alone names none).
int repeated_columns(const data_window& list, const std::vector<int>& shown) {
    const int limit = std::min<int>(k_identifying_columns, static_cast<int>(shown.size()));
    for (int k = 0; k < limit; ++k) {
        const column_def& c = list.column_definition(shown[static_cast<std::size_t>(k)]);
        if (c.type == column_type::text && c.code_table.empty() && c.values.empty() &&
            !list.child(shown[static_cast<std::size_t>(k)]))
            return 2 + k;
    }
    return 2;
}

// The device's measures of the printed document, in its pixels.
struct geometry {
    QFont plain, bold, title, subtitle, footer;
    double per_point_x = 1;  // pixels per point across
    double per_point_y = 1;  // and down
    double line = 0;         // a table line's height
    double ascent = 0;
    double pad_x = 0, pad_y = 0;
    double title_height = 0, head_height = 0, footer_height = 0, heading_height = 0;
    double page_width = 0, body_bottom = 0;

    geometry(QPaintDevice& device, const print_fit& fit)
        : plain(print_font(fit.points)),
          bold(print_font(fit.points, true)),
          title(print_font(fit.points + 6, true)),
          subtitle(print_font(fit.points + 2)),
          footer(print_font(k_footer_points)) {
        page_width = device.width();
        per_point_x = page_width / print_fit::page_width(fit.orientation);
        per_point_y = device.logicalDpiY() / 72.0;
        const QFontMetricsF p(plain, &device), b(bold, &device);
        line = std::max(p.lineSpacing(), b.lineSpacing());
        ascent = std::max(p.ascent(), b.ascent());
        pad_x = print_fit::k_padding * per_point_x;
        pad_y = k_cell_leading * per_point_y;
        title_height = QFontMetricsF(title, &device).lineSpacing() + 4 * per_point_y +
                       QFontMetricsF(subtitle, &device).lineSpacing() + 10 * per_point_y;
        head_height = QFontMetricsF(footer, &device).lineSpacing() + 6 * per_point_y;
        footer_height = QFontMetricsF(footer, &device).lineSpacing() * 2;
        heading_height = line + 8 * per_point_y;
        body_bottom = device.height() - footer_height;
    }
    double row_height(int lines) const { return lines * line + 2 * pad_y; }
};

// A cell of one part, placed across and broken into its lines.
struct laid_cell {
    const print_cell* cell;
    double x, width;
    std::vector<QString> lines;
};

// A table broken into lines for the widths of each of its parts. A row
// is as tall in every part, so that the parts' pages carry the same rows.
struct laid_table {
    std::vector<std::vector<std::vector<laid_cell>>> parts;  // [part][row]
    std::vector<int> row_lines;
};

// The lines of one paragraph laid out `room` wide.
std::vector<QString> wrap(const QString& paragraph, const QFont& font, QPaintDevice& device,
                          double room, QTextOption::WrapMode mode, double& widest) {
    std::vector<QString> lines;
    QTextOption option;
    option.setWrapMode(mode);
    QTextLayout layout(paragraph, font, &device);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room);
        widest = std::max(widest, line.naturalTextWidth());
        lines.push_back(paragraph.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// The text's lines in a cell `room` wide: a text wraps at word or
// character boundaries, a date, a number or a caption never does. A
// piece the printer measures a hair wider than the room (an ID number in
// a text column) runs into the cell's padding, `slack`, rather than being
// broken; only a piece wider still (a long web address) breaks anywhere.
std::vector<QString> break_lines(const print_cell& c, const QFont& font, const QFontMetricsF& m,
                                 QPaintDevice& device, double room, double slack) {
    const QStringList paragraphs = c.text.split('\n');
    if (c.caption || c.whole) return {paragraphs.begin(), paragraphs.end()};
    std::vector<QString> lines;
    for (const QString& paragraph : paragraphs) {
        if (m.horizontalAdvance(paragraph) <= room) {
            lines.push_back(paragraph);
            continue;
        }
        double widest = 0;
        auto wrapped = wrap(paragraph, font, device, room, QTextOption::WordWrap, widest);
        if (widest > room + slack)
            wrapped = wrap(paragraph, font, device, room, QTextOption::WrapAtWordBoundaryOrAnywhere,
                           widest);
        lines.insert(lines.end(), wrapped.begin(), wrapped.end());
    }
    return lines;
}

laid_table lay_out(const print_table& t, const std::vector<print_fit::part>& parts,
                   const geometry& g, QPaintDevice& device) {
    const QFontMetricsF plain(g.plain, &device), bold(g.bold, &device);
    laid_table laid;
    laid.row_lines.assign(t.rows.size(), 1);
    for (const print_fit::part& p : parts) {
        // Where each column of the table stands in this part.
        std::vector<double> x(static_cast<std::size_t>(t.columns) + 1, -1), w(x.size(), 0);
        double at = 0;
        for (std::size_t i = 0; i < p.columns.size(); ++i) {
            const auto c = static_cast<std::size_t>(p.columns[i]);
            x[c] = at;
            w[c] = p.widths[i] * g.per_point_x;
            at += w[c];
        }
        auto& rows = laid.parts.emplace_back();
        for (std::size_t r = 0; r < t.rows.size(); ++r) {
            auto& cells = rows.emplace_back();
            std::size_t column = 0;
            for (const print_cell& c : t.rows[r]) {
                const std::size_t first = column;
                column += static_cast<std::size_t>(c.span);
                if (first >= x.size() || x[first] < 0) continue;
                double width = 0;
                for (std::size_t k = first; k < column && k < w.size(); ++k) width += w[k];
                auto lines = break_lines(c, c.caption ? g.bold : g.plain, c.caption ? bold : plain,
                                         device, width - 2 * g.pad_x, g.pad_x);
                laid.row_lines[r] = std::max(laid.row_lines[r], static_cast<int>(lines.size()));
                cells.push_back({&c, x[first], width, std::move(lines)});
            }
        }
    }
    return laid;
}

// What a page holds, top to bottom.
struct piece {
    enum class kind { title, running_head, heading, row } what;
    int table = 0;
    int part = 0;
    int row = 0;
    int first_line = 0;  // a row taller than a page goes on over pages
    int lines = 0;
    double y = 0;
    double height = 0;
    bool continued = false;
};
using page = std::vector<piece>;

// Fills pages with the tables. A table printed in parts fills a band of
// pages, one a part, with the same rows.
class paginator {
public:
    explicit paginator(const geometry& g) : g_(g) {}

    std::vector<page> pages;

    void table(int index, const print_table& t, const laid_table& laid) {
        const int parts = static_cast<int>(laid.parts.size());
        if (pages.empty() || parts != parts_) open_band(parts);
        double header = 0;
        for (int r = 0; r < t.header_rows; ++r) header += g_.row_height(laid.row_lines[r]);
        const double heading = t.heading.isEmpty() ? 0 : g_.heading_height;
        // A heading and a header stay with the first line of their rows.
        if (rows_on_band_ && y_ + heading + header + g_.row_height(1) > g_.body_bottom)
            open_band(parts);
        const auto start = [&](bool continued) {
            if (!t.heading.isEmpty())
                place({piece::kind::heading, index, 0, 0, 0, 0, 0, heading, continued});
            for (int r = 0; r < t.header_rows; ++r)
                place_row(index, r, 0, laid.row_lines[r], false);
        };
        start(false);
        for (int r = t.header_rows; r < static_cast<int>(t.rows.size()); ++r) {
            const int total = laid.row_lines[static_cast<std::size_t>(r)];
            int done = 0;
            while (done < total) {
                const int left = total - done;
                if (y_ + g_.row_height(left) <= g_.body_bottom) {
                    place_row(index, r, done, left, true);
                    break;
                }
                const double fresh = g_.body_bottom - g_.head_height - heading - header;
                int fit =
                    static_cast<int>(std::floor((g_.body_bottom - y_ - 2 * g_.pad_y) / g_.line));
                // A row that fits a page whole starts on the next; one
                // taller goes on over pages, a few lines at least on each.
                if (rows_on_band_ && ((done == 0 && g_.row_height(left) <= fresh) || fit < 2)) {
                    open_band(parts);
                    start(true);
                    continue;
                }
                fit = std::clamp(fit, 1, left);
                place_row(index, r, done, fit, true);
                done += fit;
                if (done < total) {
                    open_band(parts);
                    start(true);
                }
            }
        }
    }

private:
    void open_band(int parts) {
        const bool first = pages.empty();
        band_ = static_cast<int>(pages.size());
        parts_ = parts;
        const double top = first ? g_.title_height : g_.head_height;
        for (int p = 0; p < parts; ++p)
            pages.push_back(
                {{first ? piece::kind::title : piece::kind::running_head, 0, p, 0, 0, 0, 0, top}});
        y_ = top;
        rows_on_band_ = false;
    }
    void place(piece p) {
        p.y = y_;
        for (int k = 0; k < parts_; ++k) {
            p.part = k;
            pages[static_cast<std::size_t>(band_ + k)].push_back(p);
        }
        y_ += p.height;
    }
    void place_row(int table, int row, int first_line, int lines, bool body) {
        place({piece::kind::row, table, 0, row, first_line, lines, 0, g_.row_height(lines)});
        rows_on_band_ = rows_on_band_ || body;
    }

    const geometry& g_;
    int band_ = 0;
    int parts_ = 0;
    double y_ = 0;
    bool rows_on_band_ = false;
};

}  // namespace

print_document print_document::of_list(const data_window& list, const std::vector<long>& rows,
                                       const QString& caption, const QString& community,
                                       const clock_source& clock) {
    print_document d;
    d.caption_ = caption;
    d.community_ = community;
    d.made_ = to_minute(clock.now());
    const std::vector<int> columns = list.object().shown_columns();
    print_table t;
    t.columns = static_cast<int>(columns.size()) + 1;
    t.header_rows = 1;
    std::vector<print_cell> header{{"序号", 1, true}};
    for (int col : columns) header.push_back({qs(list.column_definition(col).label), 1, true});
    t.rows.push_back(std::move(header));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<print_cell> line{{QString::number(i + 1), 1, false, true, true}};
        for (int col : columns) {
            const column_def& c = list.column_definition(col);
            line.push_back({cell_text(list.display_text(rows[i], col)), 1, false, is_number(c),
                            never_wraps(c)});
        }
        t.rows.push_back(std::move(line));
    }
    d.fit_ = print_fit::of_list(t, repeated_columns(list, columns));
    d.tables_.push_back(std::move(t));
    return d;
}

print_document print_document::of_record(const form_view& form, const data_window& dw,
                                         const QString& caption, const QString& community,
                                         const clock_source& clock) {
    print_document d;
    d.caption_ = caption;
    d.community_ = community;
    d.made_ = to_minute(clock.now());
    const long row = dw.getrow() > 0 ? dw.getrow() : 1;
    print_table* t = nullptr;
    QWidget* box = nullptr;
    bool pair_open = false;  // the last row holds one caption and value of two
    // A pair alone on its row takes the row's width, its value from the left.
    const auto close_pair = [&] {
        if (pair_open) {
            t->rows.back().back().span = 3;
            t->rows.back().back().right = false;
        }
        pair_open = false;
    };
    // The editors stand in the form's order: a group's editors follow each
    // other, inside its box.
    for (const column_editor* e : form.editors()) {
        const int col = e->column();
        if (!dw.state(col).visible || row > dw.rowcount()) continue;
        QWidget* parent = e->widget()->parentWidget();
        if (!t || parent != box) {
            if (t) close_pair();
            box = parent;
            auto* group = qobject_cast<QGroupBox*>(parent);
            d.tables_.push_back({group ? group->title() : QString(), 4, 0, {}});
            t = &d.tables_.back();
        }
        const column_def& c = dw.column_definition(col);
        QString label = qs(dw.label_text(c.name));
        if (label.isEmpty()) label = qs(c.label);
        const print_cell name{caption_of(label), 1, true};
        print_cell shown{cell_text(dw.display_text(row, col)), 1, false, is_number(c),
                         never_wraps(c)};
        if (e->wide()) {
            close_pair();
            shown.span = 3;
            t->rows.push_back({name, shown});
        } else if (pair_open) {
            t->rows.back().push_back(name);
            t->rows.back().push_back(shown);
            pair_open = false;
        } else {
            t->rows.push_back({name, shown});
            pair_open = true;
        }
    }
    if (t) close_pair();
    d.fit_ = print_fit::of_record(d.tables_);
    return d;
}

QString print_document::title() const {
    return community_.isEmpty() ? caption_ : caption_ + " — " + community_;
}

std::vector<QStringList> print_document::part_captions() const {
    std::vector<QStringList> parts;
    if (tables_.empty() || fit_.tables.empty() || tables_.front().header_rows == 0) return parts;
    const std::vector<print_cell>& header = tables_.front().rows.front();
    for (const print_fit::part& p : fit_.tables.front()) {
        QStringList captions;
        for (int c : p.columns) captions << header[static_cast<std::size_t>(c)].text;
        parts.push_back(captions);
    }
    return parts;
}

int print_document::paint(QPagedPaintDevice& device) const {
    const double margin = print_fit::k_margin_mm;
    if (!device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), fit_.orientation,
                                          QMarginsF(margin, margin, margin, margin),
                                          QPageLayout::Millimeter)))
        return 0;
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    const geometry g(device, fit_);

    std::vector<laid_table> laid;
    paginator pages(g);
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        if (tables_[t].rows.empty()) continue;
        laid.push_back(lay_out(tables_[t], fit_.tables[t], g, device));
        pages.table(static_cast<int>(t), tables_[t], laid.back());
    }
    if (pages.pages.empty()) pages.pages.push_back({{piece::kind::title}});
    // The laid tables by the index of their table.
    std::vector<const laid_table*> of_table(tables_.size(), nullptr);
    for (std::size_t t = 0, k = 0; t < tables_.size(); ++t)
        if (!tables_[t].rows.empty()) of_table[t] = &laid[k++];

    const int count = static_cast<int>(pages.pages.size());
    QPen border(Qt::black);
    border.setWidthF(0.5 * g.per_point_x);
    const QColor shade(0xe8, 0xe8, 0xe8);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !device.newPage()) return 0;
        painter.setPen(Qt::black);
        for (const piece& p : pages.pages[static_cast<std::size_t>(i)]) {
            switch (p.what) {
                case piece::kind::title: {
                    const double first = QFontMetricsF(g.title, &device).lineSpacing();
                    painter.setFont(g.title);
                    painter.drawText(QRectF(0, p.y, g.page_width, first), Qt::AlignHCenter,
                                     caption_);
                    painter.setFont(g.subtitle);
                    painter.drawText(
                        QRectF(0, p.y + first + 4 * g.per_point_y, g.page_width, p.height - first),
                        Qt::AlignHCenter | Qt::AlignTop, community_);
                    break;
                }
                case piece::kind::running_head:
                    painter.setFont(g.footer);
                    painter.drawText(QRectF(0, p.y, g.page_width, p.height),
                                     Qt::AlignLeft | Qt::AlignTop, title());
                    break;
                case piece::kind::heading:
                    painter.setFont(g.bold);
                    painter.drawText(QRectF(0, p.y, g.page_width, p.height - 2 * g.per_point_y),
                                     Qt::AlignLeft | Qt::AlignBottom,
                                     tables_[static_cast<std::size_t>(p.table)].heading +
                                         (p.continued ? "（续）" : ""));
                    break;
                case piece::kind::row: {
                    const laid_table& t = *of_table[static_cast<std::size_t>(p.table)];
                    for (const laid_cell& c : t.parts[static_cast<std::size_t>(p.part)]
                                                     [static_cast<std::size_t>(p.row)]) {
                        const QRectF box(c.x, p.y, c.width, p.height);
                        if (c.cell->caption) painter.fillRect(box, shade);
                        painter.setPen(border);
                        painter.drawRect(box);
                        painter.setPen(Qt::black);
                        painter.setFont(c.cell->caption ? g.bold : g.plain);
                        const QFontMetricsF m(painter.font(), &device);
                        const int end =
                            std::min<int>(p.first_line + p.lines, static_cast<int>(c.lines.size()));
                        for (int k = p.first_line; k < end; ++k) {
                            const QString& text = c.lines[static_cast<std::size_t>(k)];
                            double x = c.x + g.pad_x;
                            if (c.cell->right)
                                x = c.x + c.width - g.pad_x - m.horizontalAdvance(text);
                            painter.drawText(
                                QPointF(x, p.y + g.pad_y + g.ascent + (k - p.first_line) * g.line),
                                text);
                        }
                    }
                    break;
                }
            }
        }
        painter.setFont(g.footer);
        painter.setPen(Qt::black);
        const QRectF foot(0, g.body_bottom, g.page_width, g.footer_height);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, made_text());
        painter.drawText(foot, Qt::AlignCenter, QString("第 %1 页 共 %2 页").arg(i + 1).arg(count));
    }
    return painter.end() ? count : 0;
}

QByteArray print_document::pdf() const {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&bytes);
        writer.setResolution(300);
        writer.setTitle(title());
        writer.setCreator("社区居委会办公记录");
        if (paint(writer) == 0) return {};
    }
    return bytes.data();
}

}  // namespace officerecords::app
