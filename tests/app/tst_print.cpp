// Printed lists and records fit their pages: every register's list and
// one record of each, on the demo office, printed to PDF and read back by
// pdftotext with the page's layout, keep every date whole on one line and
// every header caption whole; a list too wide for a portrait page turns
// landscape, then shrinks its type no lower than the floor, then goes on
// in parts that repeat its first columns; every page has its header row
// and the footer with the page's number and the time the table was made;
// a long text wraps and loses nothing, over pages when it must.
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <numeric>

#include "app/list_output.h"
#include "app/print_document.h"
#include "gui_test_support.h"
#include "pdf_test_support.h"
#include "storage/list_export.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// The workstation's clock at 2026-12-10 14:05:31.
class fixed_time final : public clock_source {
public:
    date today() const override { return *date::parse("2026-12-10"); }
    std::string now() const override { return "2026-12-10 14:05:31"; }
};

const QString k_made = "制表时间：2026-12-10 14:05";

QString caption_of(const window_entry& e) {
    return QString::fromUtf8(e.caption.data(), qsizetype(e.caption.size()));
}

// The dates a text holds, as the list shows them.
QStringList dates_in(const QString& text) {
    static const QRegularExpression date(R"((?<!\d)\d{4}-\d{2}-\d{2}(?!\d))");
    QStringList found;
    for (auto it = date.globalMatch(text); it.hasNext();) found << it.next().captured();
    return found;
}

// How often each date stands whole in the printed text, at least as
// often as the printed values hold it; empty when so, else what is missing.
QString missing_dates(const QStringList& printed_values, const std::vector<QString>& pages) {
    std::map<QString, int> wanted, found;
    for (const QString& v : printed_values)
        for (const QString& d : dates_in(v)) ++wanted[d];
    for (const QString& page : pages)
        for (const QString& d : dates_in(page)) ++found[d];
    QString missing;
    for (const auto& [d, n] : wanted)
        if (found[d] < n)
            missing += QString("%1 printed %2 of %3 times; ").arg(d).arg(found[d]).arg(n);
    return missing;
}

// Whether a line of the page holds the captions in order, each whole, and
// nothing between them: the page's header row.
bool has_header_line(const pdf_page& page, const QStringList& captions) {
    const QString header = captions.join(' ');
    for (const QString& line : page.lines())
        if (line == header || line.startsWith(header + ' ')) return true;
    return false;
}

// The footer of page `n` of `count`, on one line with the time made.
bool has_footer(const pdf_page& page, int n, int count) {
    const QRegularExpression foot(
        QString("^%1 第 ?%2 ?页 ?共 ?%3 ?页$").arg(k_made).arg(n).arg(count));
    for (const QString& line : page.lines())
        if (foot.match(line).hasMatch()) return true;
    return false;
}

// Whether a line of the laid out page holds the text whole.
bool on_one_line(const QString& page, const QString& text) {
    for (const QString& line : page.split('\n'))
        if (line.contains(text)) return true;
    return false;
}

// What is wrong with a printed list: a date broken or missing, a caption
// not whole on a line, a page without its part's header row or without
// its footer. Empty when nothing is.
QString list_faults(const print_document& d, const QStringList& values, const QStringList& captions,
                    const QString& file) {
    const std::vector<QString> laid = pdf_layout_pages(file);
    const std::vector<pdf_page> pages = pdf_words(file);
    if (laid.empty() || laid.size() != pages.size()) return "the PDF could not be read";
    if (QString missing = missing_dates(values, laid); !missing.isEmpty()) return missing;
    const std::vector<QStringList> parts = d.part_captions();
    QStringList shown;
    for (const QStringList& p : parts) shown << p;
    shown.removeDuplicates();
    if (shown != captions)
        return "printed captions " + shown.join(' ') + " of " + captions.join(' ');
    // The pages of a band of parts follow each other.
    if (pages.size() % parts.size() != 0)
        return QString("%1 pages for %2 parts").arg(pages.size()).arg(parts.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const QStringList& header = parts[i % parts.size()];
        const QString where = QString("page %1: ").arg(i + 1);
        for (const QString& c : header)
            if (!on_one_line(laid[i], c)) return where + c + " is not whole on a line\n" + laid[i];
        if (!has_header_line(pages[i], header))
            return where + "no header row " + header.join(' ') + "\n" + pages[i].lines().join('\n');
        if (!has_footer(pages[i], int(i) + 1, int(pages.size())))
            return where + "no footer\n" + pages[i].lines().join('\n');
        if (QString both = pages[i].overlapping(); !both.isEmpty())
            return where + "a text runs out of its cell: " + both;
    }
    return {};
}

// The list of a register as the clerk has it listed, every row.
struct listed_register {
    uo_tabpg_datawindow page;
    const window_entry* entry = nullptr;

    listed_register(scratch_office& office, const QString& window) {
        entry = find_window_entry(window.toStdString());
        if (!entry) qFatal("no window %s", qPrintable(window));
        status st = list_register(page, std::string(entry->window), entry->list(), office.sess());
        if (!st) qFatal("list_register: %s", st.message().c_str());
    }
    print_document document(const clock_source& clock) const {
        return print_document::of_list(page.dw_1, list_export::all_rows(page.dw_1),
                                       caption_of(*entry), "水果湖社区", clock);
    }
    // The texts the list prints, row by row.
    QStringList values() const {
        QStringList all;
        for (long r = 1; r <= page.dw_1.rowcount(); ++r)
            for (int c : page.dw_1.object().shown_columns())
                all << qs(page.dw_1.display_text(r, c));
        return all;
    }
    QStringList captions() const {
        QStringList all{"序号"};
        for (int c : page.dw_1.object().shown_columns())
            all << qs(page.dw_1.column_definition(c).label);
        return all;
    }
};

}  // namespace

class tst_print : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    QTemporaryDir out_;
    fixed_time clock_;

    // The document's PDF file; empty when it could not be made. With
    // OFFICERECORDS_KEEP_PRINTS=FOLDER a copy stays there to be looked at
    // (the pictures of printed pages in docs/screenshots come from it).
    QString printed(const print_document& d, const QString& name) {
        const QString file = out_.filePath(name + ".pdf");
        if (!write_file(file, d.pdf())) return {};
        if (const QString keep = qEnvironmentVariable("OFFICERECORDS_KEEP_PRINTS");
            !keep.isEmpty()) {
            const QString copy = keep + "/" + name + ".pdf";
            QFile::remove(copy);
            QFile::copy(file, copy);
        }
        return file;
    }
    // Every register of the catalogue, by its window.
    static void registers() {
        QTest::addColumn<QString>("window");
        for (const window_entry& e : window_catalog()) {
            const QString window = QString::fromUtf8(e.window.data(), qsizetype(e.window.size()));
            QTest::newRow(qPrintable(window)) << window;
        }
    }

    void sets_text(const char* table, const char* column, long orderno, const QString& text) {
        transaction& t = office_->host.sqlca();
        std::vector<value> p{value(text.toStdString()), value(orderno)};
        QCOMPARE(t.execute(std::string("UPDATE ") + table + " SET " + column +
                               " = ? WHERE commno = '420106001001' AND orderno = ?",
                           p),
                 sql_code::ok);
        QCOMPARE(t.commit(), sql_code::ok);
    }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void every_list_prints_its_dates_and_captions_whole_data() { registers(); }
    void every_list_prints_its_dates_and_captions_whole() {
        QFETCH(QString, window);
        listed_register list(*office_, window);
        QVERIFY2(list.page.dw_1.rowcount() > 0, "the demo office lists no record");
        const print_document d = list.document(clock_);
        const QString file = printed(d, window);
        QVERIFY(!file.isEmpty());
        const QString faults = list_faults(d, list.values(), list.captions(), file);
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
    }

    void every_record_prints_its_dates_and_captions_whole_data() { registers(); }
    void every_record_prints_its_dates_and_captions_whole() {
        QFETCH(QString, window);
        open_register_record r(*office_, window.toStdString(), k_mode_modify, 1);
        const data_window& dw = r.window().dw_1;
        const print_document d = print_document::of_record(
            r.dialog->form(), dw, caption_of(*find_window_entry(window.toStdString())),
            "水果湖社区", clock_);
        const QString file = printed(d, window + "_record");
        QVERIFY(!file.isEmpty());
        const std::vector<QString> laid = pdf_layout_pages(file);
        const std::vector<pdf_page> pages = pdf_words(file);
        QCOMPARE(pages.size(), laid.size());
        QStringList values;
        for (const column_editor* e : r.dialog->form().editors()) {
            if (!dw.state(e->column()).visible) continue;
            values << qs(dw.display_text(1, e->column()));
            QString caption = qs(dw.label_text(dw.column_definition(e->column()).name)).trimmed();
            if (caption.isEmpty()) caption = qs(dw.column_definition(e->column()).label);
            while (caption.endsWith(':') || caption.endsWith(u'：')) caption.chop(1);
            caption = caption.simplified();
            bool whole = false;
            for (const pdf_page& p : pages)
                for (const QString& line : p.lines()) whole = whole || line.contains(caption);
            QVERIFY2(whole, qPrintable(caption + " is not whole on a line of the print"));
        }
        const QString missing = missing_dates(values, laid);
        QVERIFY2(missing.isEmpty(), qPrintable(missing + "\n" + laid.front()));
        for (std::size_t i = 0; i < pages.size(); ++i) {
            QVERIFY2(has_footer(pages[i], int(i) + 1, int(pages.size())),
                     qPrintable(pages[i].lines().join('\n')));
            QVERIFY2(pages[i].overlapping().isEmpty(), qPrintable(pages[i].overlapping()));
        }
    }

    // The move-in list does not fit a portrait page: landscape, in the
    // full type; the income list fits one.
    void a_list_turns_landscape_only_when_its_columns_need_it() {
        const listed_register income(*office_, "w_m_og_incomemoneyrecord");
        const print_document narrow = income.document(clock_);
        QCOMPARE(narrow.orientation(), QPageLayout::Portrait);
        QCOMPARE(narrow.points(), print_fit::k_largest_points);
        const listed_register movein(*office_, "w_m_og_comminregister");
        const print_document wide = movein.document(clock_);
        QCOMPARE(wide.orientation(), QPageLayout::Landscape);
        QVERIFY(wide.points() > print_fit::k_smallest_points);
        QCOMPARE(wide.part_captions().size(), std::size_t{1});
        const QString file = printed(wide, "movein");
        QVERIFY(output_of(OFFICERECORDS_PDFINFO, {file}).contains("842 x 595"));
    }

    // The members' list is too wide for a landscape page even in the
    // smallest type: it goes on in parts, each after 序号, 届次 and 姓名,
    // the rows of a band of pages alike.
    void a_list_too_wide_shrinks_to_the_floor_and_goes_on_in_parts() {
        const listed_register members(*office_, "w_m_og_councilmemberinfo");
        const print_document d = members.document(clock_);
        QCOMPARE(d.orientation(), QPageLayout::Landscape);
        QCOMPARE(d.points(), print_fit::k_smallest_points);
        const std::vector<QStringList> parts = d.part_captions();
        QVERIFY(parts.size() >= 2);
        for (const QStringList& p : parts) {
            QCOMPARE(p.mid(0, 3), (QStringList{"序号", "届次", "姓名"}));
            QVERIFY(p.size() > 3);
        }
        const QString file = printed(d, "members");
        const QString faults = list_faults(d, members.values(), members.captions(), file);
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
        const std::vector<pdf_page> pages = pdf_words(file);
        // The first record's row on each page of the first band.
        const data_window& dw = members.page.dw_1;
        const std::vector<int> shown = dw.object().shown_columns();
        const QString first =
            "1 " + qs(dw.display_text(1, shown[0])) + " " + qs(dw.display_text(1, shown[1])) + " ";
        QVERIFY(!qs(dw.display_text(1, shown[1])).isEmpty());
        for (std::size_t p = 0; p < parts.size(); ++p) {
            bool found = false;
            for (const QString& line : pages[p].lines()) found = found || line.startsWith(first);
            QVERIFY2(found, qPrintable(QString("page %1 lacks %2").arg(p + 1).arg(first)));
        }
        // No text of the pages is smaller than the floor: measured against
        // the footer's 9 pt, the reader's boxes being taller than the type
        // (and not quite in proportion to it: 3% leeway, half a point less).
        for (const pdf_page& page : pages) {
            double footer = 0, smallest = 1e9;
            for (const pdf_word& w : page.words) {
                const double height = w.bottom - w.top;
                if (w.text.startsWith("制表时间")) footer = height;
                smallest = std::min(smallest, height);
            }
            QVERIFY(footer > 0);
            QVERIFY2(smallest >= footer * print_fit::k_smallest_points / 9 * 0.97,
                     qPrintable(QString("%1 against %2").arg(smallest).arg(footer)));
            QVERIFY2(smallest <= footer * (print_fit::k_smallest_points + 0.5) / 9,
                     qPrintable(QString("%1 against %2").arg(smallest).arg(footer)));
        }
    }

    // A content of many sentences, each with a date and a number, is
    // wider and taller than a page: it wraps, goes on over pages, and
    // every number and date of it is printed whole.
    void a_long_text_wraps_and_goes_on_over_pages_losing_nothing() {
        QString content;
        for (int n = 10001; n <= 10080; ++n)
            content +=
                QString("第%1条：2024-03-12起在东湖路12号楼下设便民服务点，居民满意。").arg(n);
        sets_text("tc_og_comminregister", "registcontent", 1, content);
        const listed_register movein(*office_, "w_m_og_comminregister");
        const print_document d = movein.document(clock_);
        const QString file = printed(d, "movein_long");
        const QString faults = list_faults(d, movein.values(), movein.captions(), file);
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
        const std::vector<QString> laid = pdf_layout_pages(file);
        QVERIFY2(laid.size() >= 3, qPrintable(QString::number(laid.size())));
        const QString all = std::accumulate(laid.begin(), laid.end(), QString());
        static const QRegularExpression numbered(R"((?<!\d)1\d{4}(?!\d))");
        QSet<QString> found;
        for (auto it = numbered.globalMatch(all); it.hasNext();) found.insert(it.next().captured());
        for (int n = 10001; n <= 10080; ++n)
            QVERIFY2(found.contains(QString::number(n)),
                     qPrintable(QString::number(n) + " is lost"));
        // The text's lines are no wider than their column: a cell's line
        // never runs into the next column's text.
        const print_document record = [&] {
            open_register_record r(*office_, "w_m_og_comminregister", k_mode_modify, 1);
            return print_document::of_record(r.dialog->form(), r.window().dw_1, "社区准入登记",
                                             "水果湖社区", clock_);
        }();
        const QString record_file = printed(record, "movein_long_record");
        const std::vector<QString> record_pages = pdf_layout_pages(record_file);
        QVERIFY(record_pages.size() >= 2);
        const QString record_text =
            std::accumulate(record_pages.begin(), record_pages.end(), QString());
        QSet<QString> in_record;
        for (auto it = numbered.globalMatch(record_text); it.hasNext();)
            in_record.insert(it.next().captured());
        QCOMPARE(in_record, found);
    }
};

QTEST_MAIN(tst_print)
#include "tst_print.moc"
