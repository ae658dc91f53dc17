#include "app/print_document.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>

#include "app/app_setup.h"
#include "app/column_editor.h"
#include "app/form_view.h"

namespace officerecords::app {

namespace {

constexpr double k_list_points = 8;
constexpr double k_record_points = 10;
constexpr double k_page_margin_mm = 12;
// A column of long texts (a meeting's content) takes no more of the page
// than this many characters' worth; its cells wrap instead.
constexpr int k_widest_characters = 30;
// Enough rows to judge a column's width by; a list of 100,000 has no
// wider values further down that would matter.
constexpr std::size_t k_measured_rows = 2000;

QString qs(const std::string& text) { return QString::fromStdString(text); }

bool is_number(const column_def& c) {
    return c.type == column_type::decimal || c.type == column_type::whole ||
           c.type == column_type::number;
}

// Characters as a page shows them: CJK and full-width forms take two.
int characters(const QString& text) {
    int n = 0;
    for (QChar ch : text) n += ch.unicode() >= 0x2E80 ? 2 : 1;
    return n;
}

// "资产分类:" is printed as a caption of its own cell: without the colon.
QString caption_of(QString label) {
    label = label.trimmed();
    while (label.endsWith(':') || label.endsWith(u'：')) label.chop(1);
    return label.simplified();
}

}  // namespace

print_document print_document::of_list(const data_window& list, const std::vector<long>& rows,
                                       const QString& caption, const QString& community) {
    print_document d;
    d.caption_ = caption;
    d.community_ = community;
    d.orientation_ = QPageLayout::Landscape;
    d.font_points_ = k_list_points;
    const std::vector<int> columns = list.object().shown_columns();
    table t;
    t.header_rows = 1;
    std::vector<cell> header{{"序号", 1, true, false}};
    for (int col : columns) header.push_back({qs(list.column_definition(col).label), 1, true});
    std::vector<int> widest;
    for (const cell& c : header) widest.push_back(characters(c.text));
    t.rows.push_back(std::move(header));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<cell> line{{QString::number(i + 1), 1, false, true}};
        for (int col : columns)
            line.push_back({qs(list.display_text(rows[i], col)), 1, false,
                            is_number(list.column_definition(col))});
        if (i < k_measured_rows)
            for (std::size_t c = 0; c < line.size(); ++c)
                widest[c] =
                    std::max(widest[c], std::min(characters(line[c].text), k_widest_characters));
        t.rows.push_back(std::move(line));
    }
    for (int w : widest) t.widths.push_back(std::max(w, 2));
    d.tables_.push_back(std::move(t));
    return d;
}

print_document print_document::of_record(const form_view& form, const data_window& dw,
                                         const QString& caption, const QString& community) {
    print_document d;
    d.caption_ = caption;
    d.community_ = community;
    d.orientation_ = QPageLayout::Portrait;
    d.font_points_ = k_record_points;
    const long row = dw.getrow() > 0 ? dw.getrow() : 1;
    table* t = nullptr;
    QWidget* box = nullptr;
    bool pair_open = false;  // the last row holds one caption and value of two
    // The editors stand in the form's order: a group's editors follow each
    // other, inside its box.
    for (const column_editor* e : form.editors()) {
        const int col = e->column();
        if (!dw.state(col).visible || row > dw.rowcount()) continue;
        QWidget* parent = e->widget()->parentWidget();
        if (!t || parent != box) {
            box = parent;
            auto* group = qobject_cast<QGroupBox*>(parent);
            d.tables_.push_back({group ? group->title() : QString(), {16, 34, 16, 34}, 0, {}});
            t = &d.tables_.back();
            pair_open = false;
        }
        const column_def& c = dw.column_definition(col);
        QString label = qs(dw.label_text(c.name));
        if (label.isEmpty()) label = qs(c.label);
        const cell name{caption_of(label), 1, true};
        const QString text = qs(dw.display_text(row, col));
        if (e->wide()) {
            t->rows.push_back({name, {text, 3}});
            pair_open = false;
        } else if (pair_open) {
            t->rows.back().push_back(name);
            t->rows.back().push_back({text, 1, false, is_number(c)});
            pair_open = false;
        } else {
            t->rows.push_back({name, {text, 1, false, is_number(c)}});
            pair_open = true;
        }
    }
    return d;
}

QString print_document::title() const {
    return community_.isEmpty() ? caption_ : caption_ + " — " + community_;
}

void print_document::build(QTextDocument& doc) const {
    QFont font(k_form_font);
    font.setPointSizeF(font_points_);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    QTextCursor cursor(&doc);
    // One edit: the layout runs once at the end, not after every cell,
    // which would take minutes for a register of some hundred records.
    cursor.beginEditBlock();

    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setBottomMargin(4);
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(font_points_ + 6);
    cursor.setBlockFormat(centred);
    cursor.insertText(caption_, heading);
    QTextCharFormat sub;
    sub.setFontPointSize(font_points_ + 2);
    centred.setBottomMargin(10);
    cursor.insertBlock(centred);
    cursor.insertText(community_, sub);

    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (const table& t : tables_) {
        if (t.rows.empty()) continue;
        QTextBlockFormat above;
        above.setTopMargin(8);
        above.setBottomMargin(2);
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock(above);
        if (!t.heading.isEmpty()) cursor.insertText(t.heading, bold);

        QTextTableFormat format;
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(Qt::black);
        format.setBorderCollapse(true);
        format.setCellPadding(2);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setHeaderRowCount(t.header_rows);
        double sum = 0;
        for (double w : t.widths) sum += w;
        QList<QTextLength> widths;
        for (double w : t.widths)
            widths << QTextLength(QTextLength::PercentageLength, 100 * w / sum);
        format.setColumnWidthConstraints(widths);
        QTextTable* grid = cursor.insertTable(static_cast<int>(t.rows.size()),
                                              static_cast<int>(t.widths.size()), format);
        for (int r = 0; r < static_cast<int>(t.rows.size()); ++r) {
            int c = 0;
            for (const cell& item : t.rows[static_cast<std::size_t>(r)]) {
                if (item.span > 1) grid->mergeCells(r, c, 1, item.span);
                QTextTableCell place = grid->cellAt(r, c);
                if (item.caption) {
                    QTextCharFormat shade = place.format();
                    shade.setBackground(QColor(0xe8, 0xe8, 0xe8));
                    place.setFormat(shade);
                }
                QTextCursor in = place.firstCursorPosition();
                QTextBlockFormat align;
                align.setAlignment(item.right ? Qt::AlignRight : Qt::AlignLeft);
                in.setBlockFormat(align);
                in.insertText(item.text, item.caption ? bold : plain);
                c += item.span;
            }
        }
    }
    cursor.endEditBlock();
}

int print_document::paint(QPagedPaintDevice& device) const {
    if (!device.setPageLayout(QPageLayout(
            QPageSize(QPageSize::A4), orientation_,
            QMarginsF(k_page_margin_mm, k_page_margin_mm, k_page_margin_mm, k_page_margin_mm),
            QPageLayout::Millimeter)))
        return 0;
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&device);
    build(doc);
    QFont footer_font(k_form_font);
    footer_font.setPointSizeF(9);
    const qreal footer = QFontMetricsF(footer_font, &device).height() * 2;
    const QSizeF page(device.width(), device.height());
    const QSizeF body(page.width(), page.height() - footer);
    doc.setPageSize(body);
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) return 0;
        const QRectF view(0, i * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footer_font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(QPointF(0, body.height()), QSizeF(page.width(), footer)),
                         Qt::AlignCenter, QString("第 %1 页 共 %2 页").arg(i + 1).arg(pages));
    }
    return painter.end() ? pages : 0;
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
