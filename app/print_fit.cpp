#include "app/print_fit.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QTextLayout>
#include <algorithm>
#include <numeric>

#include "app/app_setup.h"

namespace officerecords::app {

namespace {

// A long text's column is no wider than this many characters of the
// type; its cells wrap instead.
constexpr double k_widest_text_em = 16;
// Nor narrower than this, when its texts are longer: a column of two
// characters a line cannot be read.
constexpr double k_narrowest_text_em = 6;
// The first columns repeated on every part take no more of the page.
constexpr double k_repeated_share = 0.4;
// The printer may measure a text a hair wider than the measure here.
constexpr double k_slack = 1.02;
// Measured at a printer's resolution: no hinting rounds the advances.
constexpr double k_measure_dpi = 1200;

struct candidate {
    QPageLayout::Orientation orientation;
    double points;
};

// Portrait at the largest type, then landscape, shrinking by half points.
std::vector<candidate> candidates() {
    std::vector<candidate> all{{QPageLayout::Portrait, print_fit::k_largest_points}};
    for (double p = print_fit::k_largest_points; p >= print_fit::k_smallest_points; p -= 0.5)
        all.push_back({QPageLayout::Landscape, p});
    return all;
}

// Widths of texts in the printed font at k_largest_points, in points.
class measure {
public:
    measure()
        : device_(1, 1, QImage::Format_RGB32),
          plain_(print_font(print_fit::k_largest_points)),
          bold_(print_font(print_fit::k_largest_points, true)),
          plain_metrics_(plain_, init_device(device_)),
          bold_metrics_(bold_, &device_) {}

    // The width of the text's longest line.
    double width(const QString& text, bool bold) const {
        const QFontMetricsF& m = bold ? bold_metrics_ : plain_metrics_;
        double widest = 0;
        for (const QString& line : lines(text))
            widest = std::max(widest, m.horizontalAdvance(line));
        return widest * 72 / k_measure_dpi;
    }
    // The width of the widest piece the text cannot be broken inside (a
    // word, a number, a date; one character of a Chinese text).
    double widest_piece(const QString& text) {
        double widest = 0;
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        for (const QString& paragraph : lines(text)) {
            QTextLayout layout(paragraph, plain_, &device_);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(0);
                widest = std::max(widest, line.naturalTextWidth());
            }
            layout.endLayout();
        }
        return widest * 72 / k_measure_dpi;
    }

private:
    static QStringList lines(const QString& text) {
        return text.contains('\n') ? text.split('\n') : QStringList{text};
    }
    static QPaintDevice* init_device(QImage& device) {
        const int per_metre = static_cast<int>(k_measure_dpi / 0.0254 + 0.5);
        device.setDotsPerMeterX(per_metre);
        device.setDotsPerMeterY(per_metre);
        return &device;
    }

    QImage device_;
    QFont plain_;
    QFont bold_;
    QFontMetricsF plain_metrics_;
    QFontMetricsF bold_metrics_;
};

// What a column asks of the page at k_largest_points, padding left out:
// `need` its unbreakable texts, `want` its longest (a long text capped),
// `floor` the narrowest it is printed.
struct demand {
    double need = 0;
    double want = 0;
    double floor = 0;
};

// `longest` is a text column's widest line, already in `need` for the
// cells that never wrap.
demand finish(double need, double longest) {
    demand d;
    d.need = need;
    d.want = std::max(need, std::min(longest, k_widest_text_em * print_fit::k_largest_points));
    d.floor = std::max(need, std::min(d.want, k_narrowest_text_em * print_fit::k_largest_points));
    return d;
}

// A cell's contribution: its whole width when it never wraps, else its
// widest unbreakable piece, capped; `longest` takes a text's line.
void take(measure& m, const print_cell& c, double& need, double& longest) {
    const double full = m.width(c.text, c.caption);
    if (c.caption || c.whole) {
        need = std::max(need, full);
        return;
    }
    longest = std::max(longest, full);
    const double cap = k_widest_text_em * print_fit::k_largest_points;
    // Only a text wider than the column's need so far can widen it.
    if (std::min(full, cap) > need) need = std::max(need, std::min(cap, m.widest_piece(c.text)));
}

double scaled(double width, double points) {
    return width * points / print_fit::k_largest_points * k_slack + 2 * print_fit::k_padding;
}

// The widths of `columns` on a page `room` wide: each its floor, then
// the texts that want more grow, the shortest wants first met in full
// (a model number on one line) and the longest sharing what is left (a
// note wraps), then every column shares what remains. Too little room
// narrows every column alike.
print_fit::part distribute(const std::vector<demand>& d, std::vector<int> columns, double room,
                           double points) {
    print_fit::part p;
    p.columns = std::move(columns);
    const double scale = points / print_fit::k_largest_points * k_slack;
    double used = 0;
    std::vector<std::size_t> wanting;
    for (std::size_t i = 0; i < p.columns.size(); ++i) {
        const demand& c = d[p.columns[i]];
        p.widths.push_back(scaled(c.floor, points));
        used += p.widths.back();
        if (c.want > c.floor) wanting.push_back(i);
    }
    double extra = room - used;
    if (extra < 0) {
        for (double& w : p.widths) w *= room / used;
        return p;
    }
    const auto short_of = [&](std::size_t i) {
        const demand& c = d[p.columns[i]];
        return (c.want - c.floor) * scale;
    };
    std::sort(wanting.begin(), wanting.end(),
              [&](std::size_t a, std::size_t b) { return short_of(a) < short_of(b); });
    for (std::size_t k = 0; k < wanting.size() && extra > 0; ++k) {
        // An equal share of what is left for each column still wanting.
        const double share = extra / static_cast<double>(wanting.size() - k);
        const double grown = std::min(share, short_of(wanting[k]));
        p.widths[wanting[k]] += grown;
        extra -= grown;
        used += grown;
    }
    for (double& w : p.widths) w += extra * w / used;
    return p;
}

double total_floor(const std::vector<demand>& d, const std::vector<int>& columns, double points) {
    double sum = 0;
    for (int c : columns) sum += scaled(d[c].floor, points);
    return sum;
}

}  // namespace

QFont print_font(double points, bool bold) {
    QFont font(k_form_font);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

double print_fit::page_width(QPageLayout::Orientation orientation) {
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    const double side = orientation == QPageLayout::Portrait ? a4.width() : a4.height();
    return side - 2 * k_margin_mm * 72 / 25.4;
}

print_fit print_fit::of_list(const print_table& list, int repeated) {
    measure m;
    const auto n = static_cast<std::size_t>(list.columns);
    std::vector<double> need(n, 0), longest(n, 0);
    for (const auto& row : list.rows)
        for (std::size_t c = 0; c < row.size() && c < n; ++c) take(m, row[c], need[c], longest[c]);
    std::vector<demand> d;
    for (std::size_t c = 0; c < n; ++c) d.push_back(finish(need[c], longest[c]));
    std::vector<int> all(n);
    std::iota(all.begin(), all.end(), 0);

    print_fit fit;
    for (const candidate& c : candidates()) {
        fit.orientation = c.orientation;
        fit.points = c.points;
        const double room = page_width(c.orientation);
        if (total_floor(d, all, c.points) <= room) {
            fit.tables.push_back({distribute(d, all, room, c.points)});
            return fit;
        }
    }

    // Landscape at the smallest type still too narrow: parts, each after
    // the first columns, as many of the others as fit.
    const double room = page_width(fit.orientation);
    if (n < 2) {
        fit.tables.push_back({distribute(d, all, room, fit.points)});
        return fit;
    }
    std::size_t first = std::clamp<std::size_t>(static_cast<std::size_t>(repeated), 1, n - 1);
    while (first > 1 && total_floor(d, std::vector<int>(all.begin(), all.begin() + first),
                                    fit.points) > k_repeated_share * room)
        --first;
    const std::vector<int> lead(all.begin(), all.begin() + first);
    const double lead_width = total_floor(d, lead, fit.points);
    // The columns after the lead, in order, into parts no wider than
    // `room`; each takes at least one.
    const auto pack = [&](double room) {
        std::vector<std::vector<int>> packed;
        for (std::size_t c = first; c < n;) {
            std::vector<int> columns = lead;
            double used = lead_width;
            do {
                columns.push_back(static_cast<int>(c));
                used += scaled(d[c].floor, fit.points);
                ++c;
            } while (c < n && used + scaled(d[c].floor, fit.points) <= room);
            packed.push_back(std::move(columns));
        }
        return packed;
    };
    // As many parts as the page needs, their columns shared out so that
    // the widest is as narrow as can be: the long texts of every part get
    // some room to spare, not those of the last alone.
    const std::size_t count = pack(room).size();
    double low = lead_width, high = room;
    for (int i = 0; i < 40; ++i) {
        const double middle = (low + high) / 2;
        (pack(middle).size() <= count ? high : low) = middle;
    }
    std::vector<part> parts;
    for (std::vector<int>& columns : pack(high))
        parts.push_back(distribute(d, std::move(columns), room, fit.points));
    fit.tables.push_back(std::move(parts));
    return fit;
}

print_fit print_fit::of_record(const std::vector<print_table>& tables) {
    measure m;
    double caption = 0, value = 0, spanning = 0, longest = 0;
    for (const print_table& t : tables)
        for (const auto& row : t.rows)
            for (const print_cell& c : row) {
                if (c.caption)
                    caption = std::max(caption, m.width(c.text, true));
                else if (c.span > 1)
                    take(m, c, spanning, longest);
                else
                    take(m, c, value, longest);
            }
    const demand values = finish(value, 0);
    const demand wide = finish(spanning, 0);

    print_fit fit;
    std::vector<double> widths;
    for (const candidate& c : candidates()) {
        fit.orientation = c.orientation;
        fit.points = c.points;
        const double room = page_width(c.orientation);
        const double name = scaled(caption, c.points);
        const double shown = (room - 2 * name) / 2;
        widths = {name, shown, name, shown};
        const double narrowest = k_narrowest_text_em * c.points;
        if (shown >= std::max(scaled(values.floor, c.points), narrowest) &&
            room - name >= scaled(wide.floor, c.points))
            break;
    }
    for (const print_table& t : tables) {
        part p;
        for (int c = 0; c < t.columns; ++c) {
            p.columns.push_back(c);
            p.widths.push_back(widths[static_cast<std::size_t>(c) % widths.size()]);
        }
        fit.tables.push_back({std::move(p)});
    }
    return fit;
}

}  // namespace officerecords::app
