// The asset register's record window in the real dialog, driven with the
// mouse and the keyboard as a clerk drives it, on a scratch demo database.
#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "app/column_editor.h"
#include "app/form_view.h"
#include "finance/assetregister.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// The asset register's window, recording the events the dialog raises and
// refusing whatever is entered into one column.
class recording_window final : public w_m_og_assetregister {
public:
    using w_m_og_assetregister::w_m_og_assetregister;
    std::vector<std::string> events;
    std::string refused_column;

    int itemchanged(long row, const dwo& column, const std::string& data) override {
        int rc = w_m_og_assetregister::itemchanged(row, column, data);
        events.push_back("itemchanged " + column.name + " " + data);
        return column.name == refused_column ? 1 : rc;
    }
    void itemfocuschanged(long row, const dwo& column) override {
        w_m_og_assetregister::itemfocuschanged(row, column);
        events.push_back("itemfocuschanged " + column.name);
    }
    void doubleclicked(int x, int y, long row, const dwo& column) override {
        w_m_og_assetregister::doubleclicked(x, y, row, column);
        events.push_back("doubleclicked " + column.name);
    }
};

QWidget* field(open_asset_record& r, const char* column) {
    column_editor* e = r.dialog->form().editor(column);
    if (!e) qFatal("no editor for %s", column);
    return e->focus_widget();
}

QString shown(open_asset_record& r, const char* column) {
    return r.dialog->form().editor(column)->text();
}

// Puts the focus into the field and replaces its text by typing.
void type_into(QWidget* w, const QString& text) {
    w->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(w->hasFocus());
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Delete);
    type_text(w, text);
}

std::vector<QString> strings(const QStringList& l) { return {l.begin(), l.end()}; }

// Offscreen, a closed message box leaves no window active: the clerk's
// next keys go to the record window once it is active again.
void back_in(open_asset_record& r) {
    r.dialog->activateWindow();
    QTRY_VERIFY(r.dialog->isActiveWindow());
}

}  // namespace

class tst_record_dialog : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void toolbar_follows_the_window_controls() {
        open_asset_record r(*office_, k_mode_modify);
        int last_x = -1;
        for (control* c : r.window().controls()) {
            QToolButton* b = r.dialog->button(c->name());
            if (c->kind() != control_kind::button) {
                QVERIFY2(!b, c->name().c_str());
                continue;
            }
            QVERIFY2(b, c->name().c_str());
            // The core's tooltip, followed by the button's key when it names
            // none (tst_record_keys holds each one).
            QVERIFY2(b->toolTip().startsWith(qs(c->tooltip())), qPrintable(b->toolTip()));
            QVERIFY2(!b->icon().isNull(), ("no picture for " + c->picture()).c_str());
            QVERIFY(b->x() > last_x);
            last_x = b->x();
        }
    }

    // A check's message leads the clerk to its field, marked until it is
    // changed: the item the check cleared, or the field its message names.
    void save_rules_lead_to_the_field_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("negative quantity") << "goodscount"
                                           << "-1"
                                           << "提示 | 数量:不能为负值" << true;
        QTest::newRow("negative value") << "originvalue"
                                        << "-0.5"
                                        << "提示 | 价值（元）:不能为负值" << true;
        QTest::newRow("future purchase") << "purchasedate"
                                         << "20990101"
                                         << "提示 | 添置日期:不能大于当前日期" << true;
        QTest::newRow("future record date") << "recorddate"
                                            << "2099-01-01"
                                            << "提示 | 登记日期:不能大于当前日期" << true;
        // The window's own rule clears nothing; its message names the field.
        QTest::newRow("scrapped before bought") << "scrapedate"
                                                << "20000101"
                                                << "提示 | 报废日期不能小于添置日期!" << false;
    }
    void save_rules_lead_to_the_field() {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(bool, cleared);
        open_asset_record r(*office_, k_mode_modify);
        std::string col = column.toStdString();
        type_into(field(r, col.c_str()), typed);
        // The save is pressed from another field, as a clerk would.
        QWidget* elsewhere = field(r, col == "goodsname" ? "note" : "goodsname");
        elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(elsewhere->hasFocus());
        box_answerer boxes;
        QTest::mouseClick(r.dialog->button("cb_save"), Qt::LeftButton);
        QCOMPARE(boxes.seen, std::vector<QString>{message});
        QCOMPARE(r.window().dw_1.getitem(1, col).is_null(), cleared);
        if (cleared) QCOMPARE(shown(r, col.c_str()), QString());
        QVERIFY(r.window().has_unsaved_changes());
        column_editor* e = r.dialog->form().editor(col);
        QTRY_COMPARE(r.dialog->focusWidget(), field(r, col.c_str()));
        QVERIFY(e->marked());
        QCOMPARE(r.dialog->form().marked_column(), e->column());
        const QColor refused(255, 205, 210);
        QCOMPARE(e->widget()->palette().color(QPalette::Base), refused);
        // Changing the field takes the mark away.
        back_in(r);
        type_into(field(r, col.c_str()), "1");
        QVERIFY(!e->marked());
        QVERIFY(e->widget()->palette().color(QPalette::Base) != refused);
    }

    // A new asset with three faults: each save shows one message, in the
    // checks' order, and leads to its field; the fourth save stores it.
    void each_save_leads_to_the_next_fault() {
        open_asset_record r(*office_, k_mode_add);
        type_into(field(r, "goodsname"), "打印机");
        type_into(field(r, "goodscount"), "-2");
        type_into(field(r, "purchasedate"), "20990101");
        type_into(field(r, "scrapedate"), "20000101");
        struct step {
            const char* message;
            const char* field;
            const char* fixed;
        };
        for (const step& s : {step{"提示 | 数量:不能为负值", "goodscount", "2"},
                              step{"提示 | 添置日期:不能大于当前日期", "purchasedate", "20200101"},
                              step{"提示 | 报废日期不能小于添置日期!", "scrapedate", "20210101"}}) {
            box_answerer boxes;
            QTest::keyClick(r.dialog->focusWidget(), Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(boxes.seen, std::vector<QString>{QString::fromUtf8(s.message)});
            QTRY_COMPARE(r.dialog->focusWidget(), field(r, s.field));
            QCOMPARE(r.dialog->form().marked_column(), r.window().dw_1.column_number(s.field));
            back_in(r);
            type_into(field(r, s.field), QString::fromUtf8(s.fixed));
        }
        box_answerer boxes;
        QTest::keyClick(r.dialog->focusWidget(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QVERIFY(!r.window().has_unsaved_changes());
        QCOMPARE(r.dialog->form().marked_column(), 0);
    }

    void refused_input_stays_as_typed_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("itemchanged refuses") << "goodsname"
                                             << "新名字" << QStringList{};
        QTest::newRow("not a number")
            << "goodscount"
            << "abc" << QStringList{"提示信息 | 【数量:】“abc”不是有效的整数！"};
        QTest::newRow("too many decimals")
            << "originvalue"
            << "1.234" << QStringList{"提示信息 | 【价值（元）:】最多只能有2位小数！"};
        QTest::newRow("not a day")
            << "purchasedate"
            << "20251340"
            << QStringList{
                   "提示信息 | 【添置日期:】“2025-13-40”不是有效的日期，请按yyyy-mm-dd（例如 "
                   "2024-03-15）格式输入！"};
    }
    // A value the column cannot take stays typed in its field, marked, and
    // the row keeps its value; a window's own refusal shows the old value.
    void refused_input_stays_as_typed() {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QStringList, messages);
        auto window = std::make_unique<recording_window>(office_->sess());
        window->refused_column = "goodsname";
        recording_window* w = window.get();
        open_asset_record r(*office_, k_mode_modify, 1, std::move(window));
        std::string col = column.toStdString();
        QWidget* f = field(r, col.c_str());
        f->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(f->hasFocus());
        QString before = shown(r, col.c_str());
        value stored = w->dw_1.getitem(1, col);
        QVERIFY(!before.isEmpty());

        type_into(f, typed);
        const QString as_typed = shown(r, col.c_str());
        box_answerer boxes;
        QTest::keyClick(f, Qt::Key_Tab);
        // Refused: the clerk is back in the field.
        // (Offscreen, a closed message box leaves no window active: the
        // dialog's focus field is what gets the keys once it is again.)
        QTRY_COMPARE(r.dialog->focusWidget(), f);
        QCOMPARE(boxes.seen, strings(messages));
        QVERIFY(w->dw_1.getitem(1, col) == stored);
        column_editor* e = r.dialog->form().editor(col);
        if (messages.isEmpty()) {
            QString display = qs(w->dw_1.display_text(1, w->dw_1.column_number(col)));
            QCOMPARE(shown(r, col.c_str()), f->hasFocus() ? before : display);
            QVERIFY(!w->dw_1.has_pending_edit());
            QVERIFY(!e->marked());
            QVERIFY(std::count(w->events.begin(), w->events.end(),
                               "itemchanged " + col + " " + typed.toStdString()) == 1);
            return;
        }
        QCOMPARE(shown(r, col.c_str()), as_typed);
        QVERIFY(e->marked());
        QVERIFY(w->dw_1.has_pending_edit());
        // Saving asks the column again: the same one message, nothing saved.
        back_in(r);
        boxes.seen.clear();
        QTest::keyClick(f, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.seen, strings(messages));
        QVERIFY(w->dw_1.getitem(1, col) == stored);
        QVERIFY(w->has_unsaved_changes());
        QCOMPARE(shown(r, col.c_str()), as_typed);
    }

    // The field cuts nothing: a paste longer than the column reaches the
    // core whole, which refuses it with the width message.
    void a_long_paste_is_refused_not_cut() {
        open_asset_record r(*office_, k_mode_modify, 1);
        QWidget* f = field(r, "goodsname");
        f->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(f->hasFocus());
        const value stored = r.window().dw_1.getitem(1, "goodsname");
        QApplication::clipboard()->setText(QString(61, QChar(0x8D44)));
        QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(shown(r, "goodsname").size(), 61);
        box_answerer boxes;
        QTest::keyClick(f, Qt::Key_Tab);
        QTRY_COMPARE(boxes.seen.size(), size_t(1));
        QCOMPARE(boxes.seen.front(),
                 QString::fromUtf8("提示信息 | 【资产名称:】最多只能输入60个字符，现在输入了61个！"));
        QVERIFY(r.window().dw_1.getitem(1, "goodsname") == stored);
    }

    void typing_and_leaving_raise_the_events() {
        auto window = std::make_unique<recording_window>(office_->sess());
        recording_window* w = window.get();
        open_asset_record r(*office_, k_mode_modify, 1, std::move(window));
        QWidget* name = field(r, "goodsname");
        type_into(name, "会议桌");
        QVERIFY(w->dw_1.has_pending_edit());
        w->events.clear();
        QTest::keyClick(name, Qt::Key_Tab);
        QTRY_VERIFY(field(r, "namebrand")->hasFocus());
        QCOMPARE(w->events, (std::vector<std::string>{"itemchanged goodsname 会议桌",
                                                      "itemfocuschanged namebrand"}));
        QCOMPARE(*w->dw_1.getitemstring(1, "goodsname"), std::string("会议桌"));
        QCOMPARE(shown(r, "goodsname"), QString("会议桌"));

        w->events.clear();
        QTest::mouseDClick(field(r, "goodstype"), Qt::LeftButton);
        QVERIFY(std::count(w->events.begin(), w->events.end(), "doubleclicked goodstype") == 1);
    }

    void a_composition_is_never_redrawn_over() {
        open_asset_record r(*office_, k_mode_modify);
        auto* name = qobject_cast<QLineEdit*>(field(r, "goodsname"));
        name->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(name->hasFocus());
        QString before = name->text();
        name->end(false);
        QInputMethodEvent composing("huiyi", {});
        QApplication::sendEvent(name, &composing);
        // The core changes the item meanwhile; the redraw leaves the field
        // alone while the input method composes into it.
        QSignalSpy rewritten(name, &QLineEdit::textChanged);
        r.window().dw_1.setitem(1, "goodsname", value("别的名字"));
        r.dialog->refresh();
        QCOMPARE(rewritten.count(), 0);
        QInputMethodEvent commit;
        commit.setCommitString("会议");
        QApplication::sendEvent(name, &commit);
        QCOMPARE(name->text(), before + "会议");
        QVERIFY(r.window().dw_1.has_pending_edit());
        QCOMPARE(r.window().dw_1.gettext(), (before + "会议").toStdString());
    }

    void drop_down_offers_the_filtered_codes_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("no filter") << "" << QStringList{"01", "02", "03", "04", "05", "06", "09"};
        QTest::newRow("below 04") << "tcode < '04'" << QStringList{"01", "02", "03"};
        QTest::newRow("two codes") << "tcode = '03' or tcode = '09'" << QStringList{"03", "09"};
    }
    void drop_down_offers_the_filtered_codes() {
        QFETCH(QString, filter);
        QFETCH(QStringList, codes);
        open_asset_record r(*office_, k_mode_modify);
        auto [child, rc] = r.window().dw_1.getchild("assetsort");
        QCOMPARE(rc, 1);
        QCOMPARE(child->setfilter(filter.toStdString()), 1);
        QCOMPARE(child->filter(), 1);
        r.dialog->refresh();
        auto* combo = qobject_cast<QComboBox*>(field(r, "assetsort"));
        QVERIFY(combo);
        QStringList offered;
        for (int i = 0; i < combo->count(); ++i) {
            offered << combo->itemData(i).toString();
            QCOMPARE(combo->itemText(i),
                     qs(*child->display_of(combo->itemData(i).toString().toStdString())));
        }
        QCOMPARE(offered, codes);
        // Record 1 is an electronic device (02): shown by name even when the
        // drop-down does not offer it now.
        QString name = combo->currentIndex() >= 0 ? combo->currentText() : combo->placeholderText();
        QCOMPARE(name, QString("电子设备"));
        QCOMPARE(combo->currentIndex() >= 0, codes.contains("02"));
    }

    void a_choice_is_entered_at_once() {
        open_asset_record r(*office_, k_mode_modify);
        auto* combo = qobject_cast<QComboBox*>(field(r, "assetsort"));
        int at = combo->findData("03");
        QVERIFY(at >= 0);
        Q_EMIT combo->activated(at);
        QCOMPARE(*r.window().dw_1.getitemstring(1, "assetsort"), std::string("03"));
        QCOMPARE(combo->currentText(), QString("家具用具"));
    }

    void a_focused_drop_down_is_framed() {
        open_asset_record r(*office_, k_mode_modify);
        auto* combo = qobject_cast<QComboBox*>(field(r, "assetsort"));
        QVERIFY(combo);
        const QColor frame = combo->palette().color(QPalette::Highlight);
        // The pixels of the frame's colour around the field.
        const auto framed = [&] {
            const QImage shown = combo->grab().toImage();
            int n = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) n += QColor(shown.pixel(x, y)) == frame;
            return n;
        };
        field(r, "goodsname")->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!combo->hasFocus());
        const int before = framed();
        combo->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(combo->hasFocus());
        // All round the field, at least once.
        QVERIFY2(framed() >= before + 2 * (combo->width() + combo->height()),
                 qPrintable(QString("%1 -> %2").arg(before).arg(framed())));
    }

    void tab_order_follows_the_tab_sequence_data() {
        QTest::addColumn<QString>("modify");
        QTest::addColumn<QStringList>("order");
        const QStringList all{"assetsort",  "goodsname",   "namebrand",   "goodstype",
                              "goodscount", "computeunit", "originvalue", "purchasedate",
                              "keepperson", "scrapedate",  "recorder",    "recorddate",
                              "note"};
        QStringList without_name = all;
        without_name.removeAll("goodsname");
        QStringList without_count = all;
        without_count.removeAll("goodscount");
        QStringList note_first = all;
        note_first.move(note_first.indexOf("note"), 0);
        QTest::newRow("as designed") << "" << all;
        QTest::newRow("tab sequence 0 skips") << "goodsname.TabSequence=0" << without_name;
        QTest::newRow("protected skips") << "goodscount.protect=1" << without_count;
        QTest::newRow("reordered") << "note.TabSequence=5" << note_first;
    }
    void tab_order_follows_the_tab_sequence() {
        QFETCH(QString, modify);
        QFETCH(QStringList, order);
        open_asset_record r(*office_, k_mode_modify);
        QCOMPARE(r.window().dw_1.modify(modify.toStdString()), std::string());
        r.dialog->refresh();
        QWidget* first = field(r, order.first().toStdString().c_str());
        first->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(first->hasFocus());
        QStringList visited{order.first()};
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            column_editor* at = nullptr;
            for (column_editor* e : r.dialog->form().editors())
                if (e->owns(QApplication::focusWidget())) at = e;
            visited << (at ? qs(at->definition().name) : QString("?"));
        }
        QCOMPARE(visited, order);
        for (column_editor* e : r.dialog->form().editors()) {
            if (order.contains(qs(e->definition().name))) continue;
            QCOMPARE(e->focus_widget()->focusPolicy(), Qt::NoFocus);
            if (auto* line = qobject_cast<QLineEdit*>(e->widget())) QVERIFY(line->isReadOnly());
        }
    }

    void revert_shortcut_wins_over_the_edit() {
        open_asset_record r(*office_, k_mode_modify);
        QString before = shown(r, "goodsname");
        QWidget* name = field(r, "goodsname");
        type_into(name, "改过的名字");
        QTest::keyClick(name, Qt::Key_U, Qt::ControlModifier);
        QVERIFY(!r.window().has_unsaved_changes());
        QCOMPARE(shown(r, "goodsname"), before);
    }

    void save_shortcut_writes_the_record() {
        open_asset_record r(*office_, k_mode_modify);
        QWidget* keeper = field(r, "keepperson");
        type_into(keeper, "赵敏");
        box_answerer boxes;
        QTest::keyClick(keeper, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QVERIFY(!r.window().has_unsaved_changes());
        value key = r.window().dw_1.getitem(1, "orderno");
        auto stored = office_->host.sqlca().select_value(
            "SELECT keepperson FROM tc_og_assetregister WHERE orderno = ?", {&key, 1});
        QVERIFY(stored);
        QCOMPARE(stored->text(), std::string("赵敏"));
    }

    void leaving_a_changed_record_asks_first() {
        open_asset_record r(*office_, k_mode_modify);
        type_into(field(r, "goodsname"), "不要了");
        box_answerer boxes(QMessageBox::No);
        QTest::mouseClick(r.dialog->button("cb_next"), Qt::LeftButton);
        QCOMPARE(boxes.seen, std::vector<QString>{"提示信息 | 当前记录已经修改，是否保存？"});
        QCOMPARE(r.page.dw_1.getrow(), 2L);
        QCOMPARE(shown(r, "goodsname"), qs(*r.page.dw_1.getitemstring(2, "goodsname")));
    }

    void escape_closes_through_the_window() {
        open_asset_record r(*office_, k_mode_modify);
        QTest::keyClick(field(r, "goodsname"), Qt::Key_Escape);
        QVERIFY(r.dialog->close_requested());
        QTRY_VERIFY(!r.dialog->isVisible());
    }

    void calendar_enters_the_chosen_day() {
        open_asset_record r(*office_, k_mode_modify);
        w_modify& w = r.window();
        w.ii_col = w.dw_1.column_number("purchasedate");
        w.wf_opencalendar();
        QVERIFY(r.dialog->calendar()->isVisible());
        Q_EMIT r.dialog->calendar()->clicked(QDate(2024, 5, 6));
        QVERIFY(!r.dialog->calendar()->isVisible());
        QCOMPARE(w.dw_1.getitemdate(1, "purchasedate")->iso(), std::string("2024-05-06"));
        QCOMPARE(shown(r, "purchasedate"), QString("2024-05-06"));
    }

    void a_new_record_starts_empty_and_saves() {
        open_asset_record r(*office_, k_mode_add);
        long listed = r.page.dw_1.rowcount();
        type_into(field(r, "goodsname"), "饮水机");
        QTest::keyClick(field(r, "goodsname"), Qt::Key_Tab);
        type_into(field(r, "goodscount"), "2");
        box_answerer boxes;
        QTest::mouseClick(r.dialog->button("cb_save"), Qt::LeftButton);
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QCOMPARE(r.page.dw_1.rowcount(), listed + 1);
        QCOMPARE(*r.page.dw_1.getitemstring(r.page.dw_1.getrow(), "goodsname"),
                 std::string("饮水机"));
        QCOMPARE(shown(r, "goodscount"), QString("2"));
    }
};

QTEST_MAIN(tst_record_dialog)
#include "tst_record_dialog.moc"
