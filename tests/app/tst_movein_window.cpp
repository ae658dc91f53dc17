// The move-in register's record window in the real dialog, on a scratch
// demo database: the agreement group opening and locking on screen as the
// committee's answer changes, and the calendar entering dates.
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include "app/column_editor.h"
#include "app/form_view.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_window = "w_m_og_comminregister";
const QStringList k_group{"incommdate", "outcommdate", "residentappraise", "note"};

// Colours are written red + 256 * green + 65536 * blue.
QColor colour_of(long rgb) {
    return QColor(int(rgb & 0xff), int((rgb >> 8) & 0xff), int((rgb >> 16) & 0xff));
}

column_editor* editor(open_register_record& r, const QString& column) {
    column_editor* e = r.dialog->form().editor(column.toStdString());
    if (!e) qFatal("no editor for %s", qPrintable(column));
    return e;
}

QWidget* field(open_register_record& r, const QString& column) {
    return editor(r, column)->focus_widget();
}

// The column whose editor has the dialog's focus (while the calendar pops
// up, the field it returns to); "" for none.
QString focused_column(open_register_record& r) {
    for (column_editor* e : r.dialog->form().editors())
        if (e->owns(r.dialog->focusWidget())) return qs(e->definition().name);
    return {};
}

// What the clerk sees in the middle of the editor, away from its text.
QColor painted_background(QWidget* w) {
    QImage shot = w->grab().toImage();
    return shot.pixelColor(shot.width() - 5, shot.height() / 2);
}

QAbstractButton* answer_button(open_register_record& r, const QString& answer) {
    for (auto* b : editor(r, "isagree")->widget()->findChildren<QRadioButton*>())
        if (b->text() == answer) return b;
    qFatal("no radio button %s", qPrintable(answer));
}

// Clicks the answer as the clerk does.
void choose_answer(open_register_record& r, const QString& answer) {
    QTest::mouseClick(answer_button(r, answer), Qt::LeftButton);
}

// Clicks into a field, which gives it the focus as the mouse does.
void click_into(QWidget* w) {
    auto* multi = qobject_cast<QPlainTextEdit*>(w);
    QTest::mouseClick(multi ? multi->viewport() : w, Qt::LeftButton);
}

// Picks the day before the one the calendar shows selected, with the
// keyboard of the pop-up (Left, then Enter); returns that day.
QDate choose_day_before(open_register_record& r) {
    QDate day = r.dialog->calendar()->selectedDate().addDays(-1);
    // No widget named: the keys go where the clerk's keyboard goes, to the
    // pop-up that is open.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Left);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    return day;
}

void close_calendar_with_escape() {
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Escape);
}

// The dialog's tab stops in the order Tab visits them, each named by its
// column, a radio button as "isagree 是".
QStringList focus_chain(open_register_record& r) {
    QStringList chain;
    QWidget* start = r.dialog.get();
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(start) || !w->isEnabled())
            continue;
        for (column_editor* e : r.dialog->form().editors()) {
            if (!e->owns(w)) continue;
            auto* radio = qobject_cast<QRadioButton*>(w);
            chain << qs(e->definition().name) + (radio ? " " + radio->text() : QString());
        }
    }
    return chain;
}

// The agreement group as the clerk sees it and as the core describes it:
// tab orders, colours, whether it can be entered, and its place in the
// focus chain right after the answer's tab stops.
void verify_group(open_register_record& r, const QList<int>& tabs, const QList<long>& colours,
                  const QStringList& answer_stops) {
    data_window& dw = r.window().dw_1;
    bool open = tabs.front() > 0;
    for (int i = 0; i < k_group.size(); ++i) {
        const std::string col = k_group[i].toStdString();
        QCOMPARE(dw.describe(col + ".TabSequence"), std::to_string(tabs[i]));
        QCOMPARE(dw.describe(col + ".background.color"), std::to_string(colours[i]));
        QWidget* shown = editor(r, k_group[i])->widget();
        QVERIFY2(shown->isVisible(), col.c_str());
        QCOMPARE(shown->palette().color(QPalette::Base), colour_of(colours[i]));
        QCOMPARE(painted_background(shown), colour_of(colours[i]));
        auto* line = qobject_cast<QLineEdit*>(shown);
        bool read_only =
            line ? line->isReadOnly() : qobject_cast<QPlainTextEdit*>(shown)->isReadOnly();
        QCOMPARE(read_only, !open);
        QCOMPARE(shown->isEnabled() && shown->focusPolicy() == Qt::StrongFocus, open);
    }
    QStringList expected{"registdate", "commintype", "registname", "registcontent"};
    expected += answer_stops;
    if (open) expected += k_group;
    QCOMPARE(focus_chain(r), expected);
}

// A few words the clerk puts into the open group, so that locking it has
// something to empty: both dates through the calendar, both texts typed.
void fill_open_group(open_register_record& r) {
    for (const char* date_column : {"incommdate", "outcommdate"}) {
        click_into(field(r, date_column));
        QTRY_VERIFY(r.dialog->calendar()->isVisible());
        choose_day_before(r);
        QTRY_VERIFY(!r.dialog->calendar()->isVisible());
    }
    for (const char* text_column : {"residentappraise", "note"}) {
        click_into(field(r, text_column));
        QTRY_VERIFY(field(r, text_column)->hasFocus());
        type_text(field(r, text_column), "居民满意");
    }
}

}  // namespace

class tst_movein_window : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void answer_opens_and_locks_the_agreement_group_data() {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QList<int>>("tabs");
        QTest::addColumn<QList<long>>("colours");
        QTest::addColumn<QStringList>("answer_stops");
        const QList<int> open_tabs{60, 70, 80, 90};
        const QList<int> locked_tabs{0, 0, 0, 0};
        const QList<long> open_colours{10210815, 10210815, 15790310, 15790310};
        const QList<long> locked_colours{12514815, 12514815, 12514815, 12514815};
        // Tab stops at the checked one of the answer's buttons only, or at
        // each while none is checked.
        QTest::newRow("nothing chosen") << QStringList{} << locked_tabs << locked_colours
                                        << QStringList{"isagree 是", "isagree 否"};
        QTest::newRow("是 opens") << QStringList{"是"} << open_tabs << open_colours
                                  << QStringList{"isagree 是"};
        QTest::newRow("否 empties and locks") << QStringList{"是", "否"} << locked_tabs
                                              << locked_colours << QStringList{"isagree 否"};
        QTest::newRow("是 again opens them empty") << QStringList{"是", "否", "是"} << open_tabs
                                                   << open_colours << QStringList{"isagree 是"};
    }
    void answer_opens_and_locks_the_agreement_group() {
        QFETCH(QStringList, answers);
        QFETCH(QList<int>, tabs);
        QFETCH(QList<long>, colours);
        QFETCH(QStringList, answer_stops);
        open_register_record r(*office_, k_window, k_mode_add);
        w_modify& w = r.window();
        // The new record's empty registration date offered the calendar.
        QTRY_VERIFY(r.dialog->calendar()->isVisible());
        close_calendar_with_escape();
        QTRY_VERIFY(!r.dialog->calendar()->isVisible());

        for (int i = 0; i < answers.size(); ++i) {
            choose_answer(r, answers[i]);
            QCOMPARE(*w.dw_1.getitemstring(1, "isagree"),
                     std::string(answers[i] == "是" ? "1" : "0"));
            bool more = i + 1 < answers.size();
            if (more && answers[i] == "是") {
                fill_open_group(r);
                if (QTest::currentTestFailed()) return;
                QCOMPARE(editor(r, "note")->text(), QString("居民满意"));
            }
        }

        verify_group(r, tabs, colours, answer_stops);
        if (QTest::currentTestFailed()) return;
        // Whatever was entered before is gone: 否 empties, 是 restores nothing.
        for (const QString& column : k_group) {
            QCOMPARE(editor(r, column)->text(), QString());
            QVERIFY(w.dw_1.getitem(1, column.toStdString()).is_null());
        }
    }

    void a_record_without_an_answer_opens_the_group() {
        transaction& t = office_->host.sqlca();
        QCOMPARE(t.execute("UPDATE tc_og_comminregister SET isagree = NULL"), sql_code::ok);
        open_register_record r(*office_, k_window, k_mode_modify, 2);
        QVERIFY(r.window().dw_1.getitem(1, "isagree").is_null());
        verify_group(r, {60, 70, 80, 90}, {10210815, 10210815, 15790310, 15790310},
                     {"isagree 是", "isagree 否"});
        if (QTest::currentTestFailed()) return;
        QCOMPARE(r.window().dw_1.describe("incommdate.tag"), std::string("1"));
        for (const QString& column : k_group) {
            int col = r.window().dw_1.column_number(column.toStdString());
            QCOMPARE(editor(r, column)->text(), qs(r.window().dw_1.display_text(1, col)));
        }
    }

    void tab_walks_the_open_group_in_order() {
        open_register_record r(*office_, k_window, k_mode_add);
        QTRY_VERIFY(r.dialog->calendar()->isVisible());
        close_calendar_with_escape();
        QTRY_VERIFY(!r.dialog->calendar()->isVisible());
        choose_answer(r, "是");
        QTRY_COMPARE(focused_column(r), QString("isagree"));
        QStringList visited;
        for (int i = 0; i < k_group.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focused_column(r);
            // An empty agreement date offers the calendar, which the clerk
            // closes to walk on.
            bool date = visited.back().endsWith("date");
            QTRY_COMPARE(r.dialog->calendar()->isVisible(), date);
            if (date) {
                close_calendar_with_escape();
                QTRY_VERIFY(!r.dialog->calendar()->isVisible());
                QTRY_COMPARE(focused_column(r), visited.back());
            }
        }
        QCOMPARE(visited, k_group);
    }

    void calendar_enters_the_chosen_day_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("double_click");
        QTest::newRow("empty registration date")
            << QString(k_mode_add) << QString() << "registdate" << false;
        QTest::newRow("empty start date once agreed") << QString(k_mode_add) << "是"
                                                      << "incommdate" << false;
        QTest::newRow("empty end date once agreed") << QString(k_mode_add) << "是"
                                                    << "outcommdate" << false;
        QTest::newRow("stored registration date, double-clicked")
            << QString(k_mode_modify) << QString() << "registdate" << true;
    }
    void calendar_enters_the_chosen_day() {
        QFETCH(QString, mode);
        QFETCH(QString, answer);
        QFETCH(QString, column);
        QFETCH(bool, double_click);
        open_register_record r(*office_, k_window, mode.toStdString().c_str(), 2);
        w_modify& w = r.window();
        QCalendarWidget* calendar = r.dialog->calendar();
        const std::string col = column.toStdString();
        std::optional<date> stored = w.dw_1.getitemdate(1, col);

        // Away from the column first, the calendar closed as the clerk leaves it.
        if (calendar->isVisible()) close_calendar_with_escape();
        QTRY_VERIFY(!calendar->isVisible());
        click_into(field(r, "registname"));
        QTRY_COMPARE(focused_column(r), QString("registname"));
        if (!answer.isEmpty()) choose_answer(r, answer);
        QVERIFY(!calendar->isVisible());

        QWidget* f = field(r, column);
        if (double_click)
            QTest::mouseDClick(f, Qt::LeftButton);
        else
            click_into(f);
        QTRY_COMPARE(focused_column(r), column);
        QTRY_VERIFY(calendar->isVisible());
        QCOMPARE(w.ii_col, w.dw_1.column_number(col));
        QVERIFY(w.mc_1.visible());
        // It pops up below the field, on the stored day when there is one.
        QPoint below = f->mapToGlobal(QPoint(0, f->height()));
        QVERIFY2((calendar->geometry().topLeft() - below).manhattanLength() <= 8,
                 qPrintable(QString("at %1,%2").arg(calendar->x()).arg(calendar->y())));
        if (stored)
            QCOMPARE(calendar->selectedDate(),
                     QDate(stored->year(), stored->month(), stored->day()));

        // The keys reach the pop-up, not the field below it.
        QCOMPARE(QApplication::focusWidget()->window(), calendar);
        QDate day = choose_day_before(r);
        QTRY_VERIFY(!calendar->isVisible());
        QVERIFY(!w.mc_1.visible());
        QString iso = day.toString("yyyy-MM-dd");
        QCOMPARE(qs(w.dw_1.getitemdate(1, col)->iso()), iso);
        QTRY_COMPARE(QApplication::focusWidget(), f);
        QCOMPARE(editor(r, column)->text(), iso);
        QVERIFY(w.has_unsaved_changes());
    }

    void a_stored_date_does_not_offer_the_calendar() {
        open_register_record r(*office_, k_window, k_mode_modify, 2);
        QCalendarWidget* calendar = r.dialog->calendar();
        QVERIFY(r.window().dw_1.getitemdate(1, "registdate"));
        click_into(field(r, "registname"));
        QTRY_COMPARE(focused_column(r), QString("registname"));
        click_into(field(r, "registdate"));
        QTRY_COMPARE(focused_column(r), QString("registdate"));
        QTest::qWait(50);
        QVERIFY(!calendar->isVisible());
        QVERIFY(!r.window().mc_1.visible());
    }
};

QTEST_MAIN(tst_movein_window)
#include "tst_movein_window.moc"
