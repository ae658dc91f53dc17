// The record window as a keyboard clerk works it, in the real dialog on a
// scratch demo database: the title with the record's place and the mark
// of unsaved changes, the status line after a save, Enter walking the
// fields, Esc closing an open drop-down or calendar before the window,
// the keys that move along the list, F1 and the help window, greyed
// pictures of disabled buttons, and date pairs kept on one row. Every
// button's tooltip names its key, the core's own text kept ("保存数据
// (Ctrl+S)") or followed by the key ("最后一条记录 (Ctrl+End)"), and each
// button's picture has a shape of its own, so that Save and 临时保存 are
// told apart also when both are greyed; the main frame's buttons name
// their keys too.
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "app/column_editor.h"
#include "app/form_view.h"
#include "app/help_dialog.h"
#include "app/main_window.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_movein = "w_m_og_comminregister";
constexpr const char* k_activities = "w_m_og_commactivityrecord";

// The title as the window system shows it: the change mark in its place.
QString shown_title(record_dialog& d) { return d.windowHandle()->title(); }

QWidget* field(record_dialog& d, const char* column) {
    column_editor* e = d.form().editor(column);
    if (!e) qFatal("no editor for %s", column);
    return e->focus_widget();
}

// The column whose editor has the focus; "" for none.
QString focused_column(record_dialog& d) {
    for (column_editor* e : d.form().editors())
        if (e->owns(QApplication::focusWidget())) return qs(e->definition().name);
    return {};
}

bool focus_into(QWidget* w) {
    w->setFocus(Qt::MouseFocusReason);
    return QTest::qWaitFor([w] { return w->hasFocus(); });
}

// The keys go where the clerk's keyboard goes: the open pop-up, else the
// focus widget.
void press_key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, mods);
}

const QRegularExpression k_saved_now(R"(^已保存 \d\d:\d\d:\d\d$)");
const QRegularExpression k_saved_unchecked(R"(^已临时保存（未做数据校验） \d\d:\d\d:\d\d$)");

// The help window over `parent` once it shows; nullptr when none does.
help_dialog* help_over(QWidget* parent) {
    help_dialog* h = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        h = parent->findChild<help_dialog*>(QString(), Qt::FindDirectChildrenOnly);
        return h && h->isVisible();
    });
    return shown ? h : nullptr;
}

QString heading(QTextBrowser& b) { return b.document()->firstBlock().text(); }

// A pixel a clerk would call coloured, not grey.
bool coloured(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return std::max({r, g, b}) - std::min({r, g, b}) > 24;
}

int coloured_pixels(QWidget* w) {
    const QImage shot = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) n += coloured(shot.pixel(x, y)) ? 1 : 0;
    return n;
}

// The frame's buttons and the key each one answers to.
const std::pair<const char*, const char*> k_frame_keys[] = {
    {"cb_help", "Ctrl+H"},     {"cb_last", "Ctrl+End"},   {"cb_next", "Ctrl+PgDown"},
    {"cb_prior", "Ctrl+PgUp"}, {"cb_first", "Ctrl+Home"}, {"cb_exit", "Esc"},
    {"cb_save", "Ctrl+S"},     {"cb_roll", "Ctrl+U"},     {"cb_tempsave", "Ctrl+T"}};

// Where a picture is drawn, as the greyed picture of a disabled button
// shows it: its colours gone, only its shape is left to tell it by.
QImage shape_of(const QToolButton& b) {
    const QImage greyed = b.icon().pixmap(b.iconSize(), QIcon::Disabled).toImage();
    QImage shape(greyed.size(), QImage::Format_Mono);
    for (int y = 0; y < greyed.height(); ++y)
        for (int x = 0; x < greyed.width(); ++x)
            shape.setPixel(x, y, qAlpha(greyed.pixel(x, y)) > 0 ? 1 : 0);
    return shape;
}

// The share of the pixels where two shapes differ.
double difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 1;
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) differ += a.pixelIndex(x, y) != b.pixelIndex(x, y);
    return double(differ) / (a.width() * a.height());
}

}  // namespace

class tst_record_keys : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void title_names_the_mode_and_the_place_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("list_row");
        QTest::addColumn<QString>("place");
        QTest::newRow("third record")
            << QString(k_mode_modify) << 3 << "修改 — 第 3 条，共 %1 条 — 记录号 3";
        QTest::newRow("first record")
            << QString(k_mode_modify) << 1 << "修改 — 第 1 条，共 %1 条 — 记录号 1";
        QTest::newRow("new record") << QString(k_mode_add) << 1 << "添加 — 新记录";
    }
    void title_names_the_mode_and_the_place() {
        QFETCH(QString, mode);
        QFETCH(int, list_row);
        QFETCH(QString, place);
        open_asset_record r(*office_, mode.toStdString().c_str(), list_row);
        const long listed = r.page.dw_1.rowcount();
        QVERIFY(listed >= 3);
        const QString expected =
            "固定资产登记 — " + (place.contains("%1") ? place.arg(listed) : place);
        QCOMPARE(shown_title(*r.dialog), expected);
        QVERIFY(!r.dialog->isWindowModified());
    }

    void the_mark_shows_unsaved_changes_until_saved_or_reverted() {
        open_asset_record r(*office_, k_mode_modify, 2);
        record_dialog& d = *r.dialog;
        const QString clean = shown_title(d);
        QVERIFY(!clean.contains('*'));
        QWidget* name = field(d, "goodsname");
        QVERIFY(focus_into(name));
        QTest::keyClick(name, Qt::Key_End);

        // One character typed, the field not left: the mark is there.
        QTest::keyClicks(name, "x");
        QVERIFY(r.window().dw_1.has_pending_edit());
        QCOMPARE(shown_title(d), clean + "*");
        QTest::keyClick(name, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(shown_title(d), clean);
        QCOMPARE(d.status_line()->text(), QString());

        QTest::keyClicks(name, "y");
        QCOMPARE(shown_title(d), clean + "*");
        box_answerer boxes;
        QTest::keyClick(name, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QCOMPARE(shown_title(d), clean);
        QVERIFY2(k_saved_now.match(d.status_line()->text()).hasMatch(),
                 qPrintable(d.status_line()->text()));
        QVERIFY(d.status_line()->isVisible());

        // The next change replaces the note; a save without checks says so.
        QTest::keyClicks(name, "z");
        QCOMPARE(d.status_line()->text(), QString());
        QCOMPARE(shown_title(d), clean + "*");
        QTest::keyClick(name, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(shown_title(d), clean);
        QVERIFY2(k_saved_unchecked.match(d.status_line()->text()).hasMatch(),
                 qPrintable(d.status_line()->text()));

        // Another record is not the one saved.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(r.page.dw_1.getrow(), 3L);
        QCOMPARE(d.status_line()->text(), QString());
    }

    void a_new_record_takes_its_place_when_saved() {
        open_asset_record r(*office_, k_mode_add);
        record_dialog& d = *r.dialog;
        const long listed = r.page.dw_1.rowcount();
        type_into(d, "goodsname", "饮水机");
        QCOMPARE(shown_title(d), QString("固定资产登记 — 添加 — 新记录*"));
        QTest::keyClick(field(d, "goodsname"), Qt::Key_Tab);
        type_into(d, "goodscount", "2");
        box_answerer boxes;
        QTest::keyClick(field(d, "goodscount"), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QCOMPARE(shown_title(d), QString("固定资产登记 — 修改 — 第 %1 条，共 %1 条 — 记录号 %2")
                                     .arg(listed + 1)
                                     .arg(qs(r.window().dw_1.getitem(1, "orderno").to_text())));
        QVERIFY(k_saved_now.match(d.status_line()->text()).hasMatch());
    }

    void enter_walks_the_tab_order() {
        open_asset_record r(*office_, k_mode_modify);
        record_dialog& d = *r.dialog;
        const QStringList order{"assetsort",  "goodsname",   "namebrand",   "goodstype",
                                "goodscount", "computeunit", "originvalue", "purchasedate",
                                "keepperson", "scrapedate",  "recorder",    "recorddate",
                                "note"};
        QVERIFY(focus_into(field(d, "assetsort")));
        QStringList visited{focused_column(d)};
        for (int i = 1; i < order.size(); ++i) {
            press_key(Qt::Key_Return);
            visited << focused_column(d);
        }
        QCOMPARE(visited, order);
    }

    void enter_accepts_what_was_typed() {
        open_asset_record r(*office_, k_mode_modify);
        record_dialog& d = *r.dialog;
        type_into(d, "goodsname", "会议桌");
        press_key(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(focused_column(d), QString("namebrand"));
        QVERIFY(!r.window().dw_1.has_pending_edit());
        QCOMPARE(*r.window().dw_1.getitemstring(1, "goodsname"), std::string("会议桌"));
    }

    void enter_keeps_the_clerk_in_a_refused_field() {
        open_asset_record r(*office_, k_mode_modify);
        record_dialog& d = *r.dialog;
        const value stored = r.window().dw_1.getitem(1, "goodscount");
        type_into(d, "goodscount", "abc");
        box_answerer boxes;
        press_key(Qt::Key_Return);
        QCOMPARE(boxes.seen, std::vector<QString>{"提示信息 | 【数量:】“abc”不是有效的整数！"});
        QTRY_COMPARE(d.focusWidget(), field(d, "goodscount"));
        QVERIFY(r.window().dw_1.getitem(1, "goodscount") == stored);
    }

    void ctrl_enter_leaves_a_text_of_many_lines() {
        open_register_record r(*office_, k_movein, k_mode_modify, 2);
        record_dialog& d = *r.dialog;
        auto* content = qobject_cast<QPlainTextEdit*>(field(d, "registcontent"));
        QVERIFY(content);
        QVERIFY(focus_into(content));
        const QString before = content->toPlainText();
        content->moveCursor(QTextCursor::End);
        press_key(Qt::Key_Return);
        QTest::keyClicks(content, "ok");
        QCOMPARE(content->toPlainText(), before + "\nok");
        QCOMPARE(focused_column(d), QString("registcontent"));
        press_key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(focused_column(d), QString("isagree"));
        QVERIFY(!r.window().dw_1.has_pending_edit());
        QCOMPARE(qs(*r.window().dw_1.getitemstring(1, "registcontent")), before + "\nok");
    }

    void escape_closes_an_open_drop_down_first() {
        open_asset_record r(*office_, k_mode_modify);
        record_dialog& d = *r.dialog;
        QComboBox* combo = drop_down(d, "assetsort");
        const QString chosen = combo->currentText();
        QTest::mouseClick(combo, Qt::LeftButton);
        QTRY_VERIFY(combo->view()->isVisible());
        press_key(Qt::Key_Down);
        press_key(Qt::Key_Escape);
        QTRY_VERIFY(!combo->view()->isVisible());
        QVERIFY(!d.close_requested());
        QVERIFY(d.isVisible());
        QCOMPARE(combo->currentText(), chosen);
        QVERIFY(!r.window().has_unsaved_changes());
        press_key(Qt::Key_Escape);
        QVERIFY(d.close_requested());
        QTRY_VERIFY(!d.isVisible());
    }

    void escape_closes_the_open_calendar_first() {
        open_register_record r(*office_, k_movein, k_mode_add);
        record_dialog& d = *r.dialog;
        // The new record's empty registration date offers the calendar.
        QTRY_VERIFY(d.calendar()->isVisible());
        press_key(Qt::Key_Escape);
        QTRY_VERIFY(!d.calendar()->isVisible());
        QVERIFY(!d.close_requested());
        QVERIFY(d.isVisible());
        QTRY_COMPARE(focused_column(d), QString("registdate"));
        box_answerer boxes;
        press_key(Qt::Key_Escape);
        QVERIFY(d.close_requested());
        QTRY_VERIFY(!d.isVisible());
        QCOMPARE(boxes.seen, std::vector<QString>{});
    }

    void ctrl_keys_move_along_the_list_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");  // 0: the last
        QTest::newRow("Ctrl+PgDn") << 1 << int(Qt::Key_PageDown) << 2;
        QTest::newRow("Ctrl+PgUp") << 3 << int(Qt::Key_PageUp) << 2;
        QTest::newRow("Ctrl+Home") << 3 << int(Qt::Key_Home) << 1;
        QTest::newRow("Ctrl+End") << 1 << int(Qt::Key_End) << 0;
    }
    void ctrl_keys_move_along_the_list() {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        open_asset_record r(*office_, k_mode_modify, from);
        record_dialog& d = *r.dialog;
        const long listed = r.page.dw_1.rowcount();
        const long expected = to > 0 ? to : listed;
        QVERIFY(focus_into(field(d, "goodsname")));
        press_key(Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(r.page.dw_1.getrow(), expected);
        QCOMPARE(d.form().editor("goodsname")->text(),
                 qs(*r.page.dw_1.getitemstring(expected, "goodsname")));
        QCOMPARE(shown_title(d), QString("固定资产登记 — 修改 — 第 %1 条，共 %2 条 — 记录号 %3")
                                     .arg(expected)
                                     .arg(listed)
                                     .arg(qs(r.page.dw_1.getitem(expected, "orderno").to_text())));
    }

    // The album's buttons browse photos: a key presses a button only
    // while it is enabled, and its picture is greyed meanwhile.
    void keys_press_only_enabled_buttons() {
        open_register_record r(*office_, k_activities, k_mode_modify, 1);
        bool driven_to_the_end = false;
        modal_record_driver album_driver([&](record_dialog& album) {
            auto photono = [&] {
                return qobject_cast<QLabel*>(album.control_widget("st_photono"))->text();
            };
            // The keys go to the album, the window the clerk looks at.
            album.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&album));
            QCOMPARE(album.windowTitle(), QString("社区活动记录照片"));
            QCOMPARE(photono(), QString("1"));
            QToolButton* prior = album.button("cb_prior");
            QToolButton* next = album.button("cb_next");
            QVERIFY(!prior->isEnabled());
            QCOMPARE(coloured_pixels(prior), 0);
            QVERIFY(coloured_pixels(next) > 0);
            press_key(Qt::Key_PageUp, Qt::ControlModifier);
            QCOMPARE(photono(), QString("1"));
            press_key(Qt::Key_PageDown, Qt::ControlModifier);
            QCOMPARE(photono(), QString("2"));
            press_key(Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(photono(), QString("3"));
            QVERIFY(!next->isEnabled());
            press_key(Qt::Key_PageDown, Qt::ControlModifier);
            QCOMPARE(photono(), QString("3"));
            press_key(Qt::Key_Home, Qt::ControlModifier);
            QCOMPARE(photono(), QString("1"));
            album.press(album.window().cb_exit);
            driven_to_the_end = true;
        });
        QTest::mouseClick(r.dialog->button("cb_photo"), Qt::LeftButton);
        QVERIFY(album_driver.ran());
        QVERIFY(driven_to_the_end);
    }

    // Greyed, and standing on the button's face: no lighter square around it.
    void a_disabled_button_shows_its_picture_greyed() {
        open_register_record added(*office_, k_activities, k_mode_add);
        QToolButton* photo = added.dialog->button("cb_photo");
        QVERIFY(!photo->isEnabled());
        QCOMPARE(coloured_pixels(photo), 0);
        QVERIFY(coloured_pixels(added.dialog->button("cb_save")) > 0);
        const QImage shot = photo->grab().toImage();
        const QRect picture(QPoint(0, 0), photo->iconSize());
        // The camera's upper corners are the picture's background.
        const QPoint corner = picture.translated(shot.rect().center() - picture.center()).topLeft();
        QCOMPARE(QColor(shot.pixel(corner + QPoint(1, 1))), QColor(shot.pixel(0, 0)));

        open_register_record modified(*office_, k_activities, k_mode_modify, 1);
        QToolButton* enabled = modified.dialog->button("cb_photo");
        QVERIFY(enabled->isEnabled());
        QVERIFY(coloured_pixels(enabled) > 0);
    }

    void f1_shows_the_register_help_data() {
        QTest::addColumn<QString>("window");
        for (const window_entry& e : window_catalog())
            if (e.list) QTest::newRow(std::string(e.window).c_str()) << qs(std::string(e.window));
    }
    void f1_shows_the_register_help() {
        QFETCH(QString, window);
        const window_entry* entry = find_window_entry(window.toStdString());
        open_register_record r(*office_, entry->window, k_mode_modify);
        record_dialog& d = *r.dialog;
        press_key(Qt::Key_F1);
        help_dialog* help = help_over(&d);
        QVERIFY(help);
        QCOMPARE(heading(help->page()), qs(std::string(entry->caption)));
        QCOMPARE(help->tabs().count(), 2);
        QCOMPARE(help->tabs().tabText(1), QString("常用按键"));
        QCOMPARE(heading(help->keys()), QString("常用按键"));
        QVERIFY(help->keys().toPlainText().contains("Ctrl+PgDn"));
        QVERIFY(!d.close_requested());
    }

    void ctrl_h_shows_the_same_help_window() {
        open_asset_record r(*office_, k_mode_modify);
        QTest::keyClick(field(*r.dialog, "goodsname"), Qt::Key_H, Qt::ControlModifier);
        help_dialog* help = help_over(r.dialog.get());
        QVERIFY(help);
        QCOMPARE(heading(help->page()), QString("固定资产登记"));
        // Asked again: the one window, not a second.
        help_dialog::show_for(r.dialog.get(), k_movein);
        QCOMPARE(r.dialog->findChildren<help_dialog*>().size(), qsizetype(1));
        QCOMPARE(heading(help->page()), QString("社区准入登记"));
    }

    void a_missing_page_is_said_so() {
        open_asset_record r(*office_, k_mode_modify);
        help_dialog* help = help_dialog::show_for(r.dialog.get(), "w_no_such_window");
        QVERIFY(help->page().toPlainText().contains("没有找到帮助页 help/w_no_such_window.md"));
        QCOMPARE(help->tabs().count(), 2);
        QCOMPARE(heading(help->keys()), QString("常用按键"));
    }

    void the_main_window_help_menu_shows_the_keys() {
        main_window frame(office_->host, "测试社区");
        frame.show();
        auto* keys = frame.findChild<QAction*>("help_keys");
        QVERIFY(keys);
        QCOMPARE(keys->text(), QString("常用按键(&K)"));
        keys->trigger();
        help_dialog* help = help_over(&frame);
        QVERIFY(help);
        QCOMPARE(help->tabs().count(), 1);
        QCOMPARE(heading(help->page()), QString("常用按键"));
    }

    // A start and its end date, next to each other in a form, share a row
    // in every register's form.
    void date_pairs_stay_on_one_row() {
        QStringList pairs;
        for (const window_entry& e : window_catalog()) {
            if (!e.list) continue;
            open_register_record r(*office_, e.window, k_mode_modify);
            const auto& editors = r.dialog->form().editors();
            for (std::size_t i = 1; i < editors.size(); ++i) {
                column_editor* a = editors[i - 1];
                column_editor* b = editors[i];
                if (a->definition().type != column_type::date ||
                    b->definition().type != column_type::date ||
                    a->widget()->parentWidget() != b->widget()->parentWidget())
                    continue;
                const QString pair = qs(std::string(e.window) + " " + a->definition().name + " " +
                                        b->definition().name);
                pairs << pair;
                QVERIFY2(a->widget()->y() == b->widget()->y(), qPrintable(pair));
                QVERIFY2(a->widget()->geometry().right() < b->label()->x(), qPrintable(pair));
            }
        }
        QVERIFY(pairs.contains("w_m_og_comminregister incommdate outcommdate"));
    }

    void the_move_in_agreement_dates_share_a_row() {
        open_register_record r(*office_, k_movein, k_mode_modify, 2);
        QWidget* start = r.dialog->form().editor("incommdate")->widget();
        QWidget* end = r.dialog->form().editor("outcommdate")->widget();
        QVERIFY(start->isVisible() && end->isVisible());
        QCOMPARE(start->y(), end->y());
        QVERIFY(start->x() < end->x());
    }

    void a_button_s_tooltip_names_its_key_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("help: the core's") << "cb_help"
                                          << "查看相应帮助(Ctrl+H)";
        QTest::newRow("last") << "cb_last"
                              << "最后一条记录 (Ctrl+End)";
        QTest::newRow("next") << "cb_next"
                              << "下一条记录 (Ctrl+PgDown)";
        QTest::newRow("prior") << "cb_prior"
                               << "上一条记录 (Ctrl+PgUp)";
        QTest::newRow("first") << "cb_first"
                               << "第一条记录 (Ctrl+Home)";
        QTest::newRow("exit: the core's") << "cb_exit"
                                          << "关闭窗口(Esc)";
        QTest::newRow("save: the core's") << "cb_save"
                                          << "保存数据(Ctrl+S)";
        QTest::newRow("revert: the core's") << "cb_roll"
                                            << "还原数据(Ctrl+U)";
        QTest::newRow("save unchecked: the core's") << "cb_tempsave"
                                                    << "不做数据校验临时保存(Ctrl+T)";
    }
    void a_button_s_tooltip_names_its_key() {
        QFETCH(QString, button);
        QFETCH(QString, tooltip);
        open_asset_record r(*office_, "修改");
        QToolButton* b = r.dialog->button(button.toStdString());
        QVERIFY(b);
        QCOMPARE(b->toolTip(), tooltip);
    }

    void every_record_window_s_buttons_name_their_keys_and_differ_in_shape() {
        for (const window_entry& e : window_catalog()) {
            if (!e.form || !e.list) continue;
            open_register_record r(*office_, e.window, "修改");
            const QString where = qs(std::string(e.window));
            std::vector<std::pair<QString, QToolButton*>> shown;
            for (const auto& [name, key] : k_frame_keys) {
                QToolButton* b = r.dialog->button(name);
                QVERIFY2(b, qPrintable(where + " " + name));
                if (b->isHidden()) continue;
                QVERIFY2(b->toolTip().endsWith("(" + QString(key) + ")"),
                         qPrintable(where + " " + name + ": " + b->toolTip()));
                shown.emplace_back(name, b);
            }
            QVERIFY2(shown.size() >= 8, qPrintable(where));
            for (std::size_t i = 0; i < shown.size(); ++i)
                for (std::size_t j = i + 1; j < shown.size(); ++j) {
                    const double d =
                        difference(shape_of(*shown[i].second), shape_of(*shown[j].second));
                    QVERIFY2(d >= 0.03,
                             qPrintable(where + ": " + shown[i].first + " and " + shown[j].first +
                                        " look alike, " + QString::number(d)));
                }
        }
    }

    void the_frame_s_buttons_name_their_keys() {
        main_window frame(office_->host, "测试社区");
        auto* bar = frame.findChild<QToolBar*>("records");
        QVERIFY(bar);
        const std::pair<const char*, const char*> expected[] = {{"add", "添加 (Ctrl+N)"},
                                                                {"delete", "删除 (Del)"},
                                                                {"refresh", "刷新 (F5)"},
                                                                {"print", "打印… (Ctrl+P)"}};
        for (const auto& [name, tooltip] : expected) {
            auto* a = frame.findChild<QAction*>(name);
            QVERIFY2(a && bar->actions().contains(a), name);
            QCOMPARE(a->toolTip(), QString(tooltip));
        }
    }
};

QTEST_MAIN(tst_record_keys)
#include "tst_record_keys.moc"
