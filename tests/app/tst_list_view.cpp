// What a list shows and keeps: narrowed by a range of its date and by the
// search, the record window moving along exactly the rows shown, a saved
// record sorted and narrowed into place, a record saved without checks
// marked, and the frame's memory of its tabs, widths and sorts; the keys
// and the status bar of the frame; the pointer while a save waits.
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "list_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

QString status_count(main_window& m) { return m.findChild<QLabel*>("record_count")->text(); }

QStringList ordernos(register_tab& tab) {
    QStringList keys;
    for (long r : tab.model().view_rows())
        keys << qs(tab.page().dw_1.getitem(r, "orderno").to_text());
    return keys;
}

double value_at(register_tab& tab, int model_row) {
    return tab.page()
        .dw_1.getitem(tab.model().dw_row(model_row), "originvalue")
        .as_double()
        .value_or(-1);
}

bool ascending_by_value(register_tab& tab) {
    for (int r = 1; r < tab.model().rowCount(); ++r)
        if (value_at(tab, r - 1) > value_at(tab, r)) return false;
    return true;
}

}  // namespace

class tst_list_view : public QObject {
    Q_OBJECT

    std::unique_ptr<frame_fixture> f_;

    transaction& sqlca() { return f_->office.host.sqlca(); }
    long count(const std::string& where) {
        return count_of(sqlca(),
                        "SELECT count(*) FROM tc_og_assetregister WHERE commno = '420106001001'" +
                            where);
    }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { f_ = std::make_unique<frame_fixture>(); }
    void cleanup() { f_.reset(); }

    void a_date_range_narrows_the_list_with_the_search() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const long all = count("");
        QCOMPARE(status_count(*f_->frame), QString("共 %1 条记录").arg(all));
        QVERIFY(narrow_by_dates(*tab, "2015-01-01", "2020-12-31"));
        const long in_range = count(" AND purchasedate BETWEEN '2015-01-01' AND '2020-12-31'");
        QCOMPARE(tab->model().rowCount(), int(in_range));
        QVERIFY(in_range > 0 && in_range < all);
        for (long r : tab->model().view_rows()) {
            const std::string day = tab->page().dw_1.getitemdate(r, "purchasedate")->iso();
            QVERIFY2(day >= "2015-01-01" && day <= "2020-12-31", day.c_str());
        }
        QCOMPARE(status_count(*f_->frame), QString("显示 %1 条，共 %2 条记录").arg(in_range).arg(all));
        // The record window moves along what the list shows.
        QCOMPARE(tab->page().shown, tab->model().view_rows());

        // One side open: from a day on.
        QVERIFY(narrow_by_dates(*tab, "2021-01-01", ""));
        QCOMPARE(tab->model().rowCount(), int(count(" AND purchasedate >= '2021-01-01'")));
        const QStringList from_2021 = ordernos(*tab);

        // With a search, the rows that meet both.
        tab->search().setText("李文静");
        tab->apply_narrowing();
        const QStringList both = ordernos(*tab);
        tab->date_from()->clear();
        tab->apply_narrowing();
        const QStringList searched = ordernos(*tab);
        QStringList expected;
        for (const QString& k : searched)
            if (from_2021.contains(k)) expected << k;
        QCOMPARE(both, expected);
        QVERIFY(searched.size() > both.size());

        // A text that is no date is marked and narrows nothing.
        tab->search().clear();
        QTest::keyClicks(tab->date_to(), "2021-13-01");
        tab->apply_narrowing();
        QVERIFY(tab->date_to()->toolTip().contains("不是有效的日期"));
        QVERIFY(!tab->model().narrowed());
        QCOMPARE(tab->model().rowCount(), int(all));
        QVERIFY(tab->page().shown.empty());
        QCOMPARE(status_count(*f_->frame), QString("共 %1 条记录").arg(all));
    }

    void the_date_range_reads_dates_as_the_clerk_types_them_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("as written") << "2015-01-01"
                                    << "2020-12-31";
        QTest::newRow("digits only") << "20150101"
                                     << "20201231";
        QTest::newRow("slashes") << "2015/1/1"
                                 << "2020/12/31";
        QTest::newRow("short dashes") << "2015-1-1"
                                      << "2020-12-31";
        QTest::newRow("Chinese") << "2015年1月1日"
                                 << "2020年12月31日";
        QTest::newRow("blanks around") << " 2015.1.1 "
                                       << "2020.12.31";
    }
    void the_date_range_reads_dates_as_the_clerk_types_them() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->date_from()->setText(from);
        tab->date_to()->setText(to);
        tab->apply_narrowing();
        tab->finish_narrowing();
        QCOMPARE(tab->model().rowCount(),
                 int(count(" AND purchasedate BETWEEN '2015-01-01' AND '2020-12-31'")));
        QCOMPARE(tab->date_problem(), QString());
        QVERIFY(f_->frame->findChild<QLabel*>("date_problem")->isHidden());
        QCOMPARE(tab->date_from()->toolTip(),
                 QString("日期按yyyy-mm-dd（例如 2024-03-15）格式输入，不填则不限"));
        // Once the clerk leaves the field, it shows the date as it was read.
        Q_EMIT tab->date_from()->editingFinished();
        QCOMPARE(tab->date_from()->text(), QString("2015-01-01"));
    }

    void a_date_that_is_none_is_said_so_in_the_status_bar() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        auto* said = f_->frame->findChild<QLabel*>("date_problem");
        QVERIFY(said);
        for (const QString wrong : {"2021-13-01", "2021/2/30", "昨天", "202101"}) {
            tab->date_to()->setText(wrong);
            tab->apply_narrowing();
            QCOMPARE(said->text(), "“" + wrong + "”不是有效的日期");
            QVERIFY(!said->isHidden());
            QCOMPARE(tab->date_to()->toolTip(),
                     "“" + wrong + "”不是有效的日期，请按yyyy-mm-dd（例如 2024-03-15）格式输入！");
            QVERIFY(!tab->model().narrowed());
            // Left as the clerk typed it, to be mended.
            Q_EMIT tab->date_to()->editingFinished();
            QCOMPARE(tab->date_to()->text(), wrong);
        }
        tab->date_to()->clear();
        tab->apply_narrowing();
        QVERIFY(said->isHidden());
        QCOMPARE(tab->date_problem(), QString());
    }

    // The record window, the count and the export read the narrowing the
    // clerk asked for, complete, though it was still waiting or running.
    void what_reads_the_rows_shown_sees_the_narrowing_complete_data() {
        QTest::addColumn<bool>("running");
        QTest::newRow("typed, before the pause") << false;
        QTest::newRow("running in slices") << true;
    }
    void what_reads_the_rows_shown_sees_the_narrowing_complete() {
        QFETCH(bool, running);
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->model().set_slice_rows(1);
        tab->view().selectRow(0);
        tab->search().setText("李文静");
        if (running) tab->apply_narrowing();
        QVERIFY(!tab->model().narrowed());
        const long expected = count(" AND (keepperson = '李文静' OR recorder = '李文静')");
        long seen = 0;
        when_record_window_opens([&](record_dialog& d) {
            seen = d.window().list_count();
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(seen, expected);
        QVERIFY(expected > 0 && expected < count(""));
        QCOMPARE(tab->page().shown, tab->model().view_rows());
        QCOMPARE(status_count(*f_->frame),
                 QString("显示 %1 条，共 %2 条记录").arg(expected).arg(count("")));
    }

    void enter_or_down_in_the_search_box_goes_to_the_first_row_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier);
    }
    void enter_or_down_in_the_search_box_goes_to_the_first_row() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->view().selectRow(3);
        tab->search().setFocus();
        QTRY_VERIFY(tab->search().hasFocus());
        // Pressed before the pause that would narrow the list: it is
        // narrowed first, and its first row is the one gone to.
        tab->search().setText("机");
        QTest::keyClick(&tab->search(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(tab->model().narrowed());
        QVERIFY(tab->model().rowCount() > 0);
        QTRY_VERIFY(tab->view().hasFocus());
        QCOMPARE(tab->view().currentIndex().row(), 0);
        QCOMPARE(tab->current_row(), tab->model().dw_row(0));
        QVERIFY(
            qs(tab->page().dw_1.getitem(tab->current_row(), "goodsname").to_text()).contains("机"));
        QCOMPARE(tab->search().text(), QString("机"));
    }

    void only_a_list_with_a_date_offers_the_range() {
        int with = 0;
        for (const window_entry& e : window_catalog()) {
            register_tab* tab = f_->frame->open_register(e);
            QVERIFY2(tab, e.window.data());
            const int col = register_list_model::main_date_column(e.list());
            QCOMPARE(tab->date_from() != nullptr, col > 0);
            QCOMPARE(tab->date_to() != nullptr, col > 0);
            QCOMPARE(tab->model().date_column(), col);
            if (col > 0) {
                ++with;
                QCOMPARE(e.list().columns[std::size_t(col - 1)].type, column_type::date);
            }
        }
        QVERIFY(with > 0);
    }

    void the_record_window_moves_along_the_rows_shown() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(narrow_by_dates(*tab, "2015-01-01", "2020-12-31"));
        click_header(*tab, k_value_section);
        click_header(*tab, k_value_section);
        const QStringList names =
            selected(sqlca(), assets_2015_to_2020_dearest_first("goodsname"));
        QCOMPARE(column_texts(*tab, k_name_section), names);
        tab->view().selectRow(0);
        QStringList seen;
        std::vector<long> places;
        when_record_window_opens([&](record_dialog& d) {
            auto shown = [&] {
                seen << qs(d.window().dw_1.getitemstring(1, "goodsname").value_or(""));
                places.push_back(d.window().list_position());
            };
            shown();
            QTest::mouseClick(d.button("cb_next"), Qt::LeftButton);
            shown();
            QTest::mouseClick(d.button("cb_last"), Qt::LeftButton);
            shown();
            QCOMPARE(d.window().list_count(), long(names.size()));
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(seen, (QStringList{names[0], names[1], names.back()}));
        QCOMPARE(places, (std::vector<long>{1, 2, long(names.size())}));
        // The list follows to the record last shown.
        QCOMPARE(tab->view().currentIndex().row(), names.size() - 1);
    }

    void a_saved_record_takes_its_sorted_place_in_the_narrowed_list() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(narrow_by_dates(*tab, "2015-01-01", "2020-12-31"));
        click_header(*tab, k_value_section);
        QVERIFY(ascending_by_value(*tab));
        const int shown = tab->model().rowCount();
        const QStringList before = column_texts(*tab, k_name_section);
        tab->view().selectRow(0);
        QString after_prior;
        int row_after_save = -1;
        long place_after_save = 0;
        when_record_window_opens([&](record_dialog& d) {
            type_into(d, "originvalue", "50000");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            row_after_save = tab->view().currentIndex().row();
            place_after_save = d.window().list_position();
            QTest::mouseClick(d.button("cb_prior"), Qt::LeftButton);
            after_prior = qs(d.window().dw_1.getitemstring(1, "goodsname").value_or(""));
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        // The cheapest became the dearest: last, and the list still narrowed
        // and sorted.
        QCOMPARE(row_after_save, shown - 1);
        QCOMPARE(place_after_save, long(shown));
        QCOMPARE(after_prior, before.back());
        QCOMPARE(tab->model().rowCount(), shown);
        QVERIFY(tab->model().narrowed());
        QVERIFY(ascending_by_value(*tab));
        QCOMPARE(column_texts(*tab, k_name_section).back(), before.front());
        QCOMPARE(tab->view().horizontalHeader()->sortIndicatorSection(), k_value_section);
        QCOMPARE(tab->page().shown, tab->model().view_rows());
    }

    void saving_before_the_next_record_moves_to_the_record_that_was_next() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(narrow_by_dates(*tab, "2015-01-01", "2020-12-31"));
        click_header(*tab, k_value_section);
        const QStringList before = column_texts(*tab, k_name_section);
        tab->view().selectRow(0);
        QString moved_to;
        box_answerer yes(QMessageBox::Yes);
        when_record_window_opens([&](record_dialog& d) {
            type_into(d, "originvalue", "50000");
            QTest::mouseClick(d.button("cb_next"), Qt::LeftButton);
            moved_to = qs(d.window().dw_1.getitemstring(1, "goodsname").value_or(""));
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(yes.seen, std::vector<QString>{"提示信息 | 当前记录已经修改，是否保存？"});
        QCOMPARE(moved_to, before[1]);
        QCOMPARE(tab->view().currentIndex().row(), 0);
        QCOMPARE(column_texts(*tab, k_name_section).back(), before.front());
    }

    void a_column_a_saved_value_widened_is_fitted_again() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const int before = tab->view().columnWidth(k_name_section);
        tab->view().selectRow(0);
        when_record_window_opens([](record_dialog& d) {
            type_into(d, "goodsname", "台式计算机（财务室备用）");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        const QString name = column_texts(*tab, k_name_section).front();
        QCOMPARE(name, QString("台式计算机（财务室备用）"));
        QVERIFY(tab->view().columnWidth(k_name_section) > before);
        QVERIFY(tab->view().columnWidth(k_name_section) >=
                tab->view().fontMetrics().horizontalAdvance(name));
    }

    void a_record_saved_without_checks_is_marked() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->view().selectRow(1);
        const long row = tab->current_row();
        const std::string key = tab->page().dw_1.getitem(row, "orderno").to_text();
        when_record_window_opens([](record_dialog& d) {
            type_into(d, "keepperson", "周晓婷");
            QTest::mouseClick(d.button("cb_tempsave"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(sqlca().select_value("SELECT issave FROM tc_og_assetregister WHERE orderno = " +
                                      key)
                     ->to_text(),
                 std::string("0"));
        register_list_model& m = tab->model();
        for (int r = 0; r < m.rowCount(); ++r) {
            const bool marked = m.dw_row(r) == row;
            QCOMPARE(m.data(m.index(r, 3), Qt::FontRole).value<QFont>().italic(), marked);
            QCOMPARE(m.data(m.index(r, 3), Qt::ToolTipRole).toString().contains(
                         "不做数据校验临时保存的记录"),
                     marked);
        }
    }

    void the_frame_remembers_its_tabs_widths_and_sorts() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("frame.ini"), QSettings::IniFormat);
        f_->frame->remember_with(&settings);
        register_tab* assets = f_->open(k_assets);
        QVERIFY(assets);
        QVERIFY(f_->open("居委会成员"));
        f_->frame->tabs().setCurrentWidget(assets);
        click_header(*assets, k_name_section);
        click_header(*assets, k_name_section);
        assets->view().setColumnWidth(4, 211);
        // Within the offscreen screen (800 × 600): a larger size is fitted to it.
        f_->frame->resize(780, 540);
        const QStringList order = ordernos(*assets);
        f_->frame->close();

        main_window again(f_->office.host, "测试社区");
        again.remember_with(&settings);
        QCOMPARE(again.tabs().count(), 2);
        QCOMPARE(again.tabs().tabText(0), QString(k_assets));
        QCOMPARE(again.tabs().tabText(1), QString("居委会成员"));
        register_tab* restored = again.current_tab();
        QCOMPARE(restored->entry().window, std::string_view("w_m_og_assetregister"));
        QCOMPARE(restored->view().columnWidth(4), 211);
        QCOMPARE(restored->model().sorted_section(), k_name_section);
        QCOMPARE(restored->model().sort_order(), Qt::DescendingOrder);
        QCOMPARE(restored->view().horizontalHeader()->sortIndicatorSection(), k_name_section);
        QCOMPARE(ordernos(*restored), order);
        QCOMPARE(again.size(), QSize(780, 540));
    }

    void refreshing_keeps_the_sort() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        click_header(*tab, k_value_section);
        const QStringList order = ordernos(*tab);
        QVERIFY(order != QStringList({"1", "2", "3", "4", "5", "6", "7"}));
        f_->action("refresh")->trigger();
        QCOMPARE(ordernos(*tab), order);
    }

    void keys_of_the_frame_and_the_community_in_view() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(f_->open("居委会成员"));
        f_->frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f_->frame.get()));
        QTest::keyClick(f_->frame.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), &f_->frame->current_tab()->search());
        QTest::keyClick(f_->frame.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(f_->frame->tabs().count(), 1);
        QCOMPARE(f_->frame->current_tab(), tab);
        QCOMPARE(f_->office.sess().guo_tabpg_now, &tab->page());
        auto* community = f_->frame->findChild<QLabel*>("community");
        QVERIFY(community);
        QCOMPARE(community->text(), QString("当前社区：测试社区"));
        // A status tip takes the message area, not the community.
        f_->frame->statusBar()->showMessage("把列表中显示的记录导出为Excel工作簿");
        QVERIFY(community->isVisible());
    }

    void the_sort_arrow_leaves_room_for_the_header_text() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QHeaderView* h = tab->view().horizontalHeader();
        const int arrow = h->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, h);
        auto fits = [&] {
            for (int s = 0; s < tab->model().columnCount() - 1; ++s) {
                const QString text = tab->model().headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
                if (tab->view().columnWidth(s) < h->fontMetrics().horizontalAdvance(text) + arrow)
                    return false;
            }
            return true;
        };
        QVERIFY(fits());
        click_header(*tab, 1);
        QVERIFY(fits());
    }

    void the_busy_pointer_is_shown_before_the_wait() {
        bool delivered = false;
        QMetaObject::invokeMethod(qApp, [&] { delivered = true; }, Qt::QueuedConnection);
        f_->office.host.set_pointer(pointer::hourglass);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // Events waiting are handled before the host returns to the wait.
        QVERIFY(delivered);
        f_->office.host.set_pointer(pointer::arrow);
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(tst_list_view)
#include "tst_list_view.moc"
