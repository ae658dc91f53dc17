// A long list on the screen at once: its first page listed, the rest read
// in behind it. What the clerk does meanwhile (sort, search, the date
// range, a record window, a save, a deletion, another community) comes
// out as over the whole list, and the status bar tells how far it is.
// The reading is held between pages, so every partial state is reached
// on purpose; the database is the oracle.
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <set>

#include "app/register_stream.h"
#include "list_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr long k_first = register_tab::k_first_page_rows;
constexpr long k_page = 300;
const std::string k_commno_1(k_demo_commno_1);
const std::string k_commno_2(k_demo_commno_2);

QString status_count(main_window& m) { return m.findChild<QLabel*>("record_count")->text(); }

// The community's records of `rows` more, numbered on from `first`.
std::string many_assets(const std::string& commno, int first, int rows) {
    return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(rows) +
           ") INSERT INTO tc_og_assetregister (commno, orderno, issave, assetsort, goodsname, "
           "goodscount, computeunit, originvalue, purchasedate) SELECT '" +
           commno + "', " + std::to_string(first) +
           " + i, '1', '02', '测试资产' || i, 1, '台', 100 + i, date('2000-01-01', '+' || (i * 3) || "
           "' days') FROM n";
}

}  // namespace

class tst_list_reading : public QObject {
    Q_OBJECT

    std::unique_ptr<frame_fixture> f_;
    register_tab* tab_ = nullptr;

    transaction& sqlca() { return f_->office.host.sqlca(); }
    long count(const std::string& where = "", const std::string& commno = k_commno_1) {
        return count_of(sqlca(), "SELECT count(*) FROM tc_og_assetregister WHERE commno = '" +
                                     commno + "'" + where);
    }
    QStringList stored(const std::string& column, const std::string& where_and_order,
                       const std::string& commno = k_commno_1) {
        return selected(sqlca(), "SELECT CAST(" + column + " AS INTEGER) FROM tc_og_assetregister WHERE commno = '" +
                                     commno + "'" + where_and_order);
    }
    void run_sql(const std::string& sql) {
        QCOMPARE(sqlca().begin_write(), sql_code::ok);
        QCOMPARE(sqlca().execute(sql), sql_code::ok);
        QCOMPARE(sqlca().commit(), sql_code::ok);
    }
    // The keys of the rows the list shows, in order.
    QStringList listed() {
        QStringList keys;
        for (int r = 0; r < tab_->model().rowCount(); ++r)
            keys << qs(tab_->page().dw_1.getitem(tab_->model().dw_row(r), "orderno").to_text());
        return keys;
    }
    // The register's list opened, its reading held after the first page.
    void open_held() {
        tab_ = f_->frame->open_register(*find_window_entry("w_m_og_assetregister"));
        QVERIFY(tab_);
        tab_->stream().hold(true);
        tab_->stream().set_page_rows(k_page);
        // Every page read holds the reading again: one page at a time.
        connect(&tab_->stream(), &register_stream::rows_added, this,
                [this] { tab_->stream().hold(true); });
        QVERIFY(tab_->reading());
        QCOMPARE(tab_->page().dw_1.rowcount(), k_first);
    }
    void read_one_page() {
        QSignalSpy read(&tab_->stream(), &register_stream::rows_added);
        tab_->stream().hold(false);
        QVERIFY(read.wait(5000));
    }
    void read_the_rest() {
        if (!tab_->reading()) return;
        QSignalSpy done(tab_, &register_tab::reading_finished);
        disconnect(&tab_->stream(), &register_stream::rows_added, this, nullptr);
        tab_->stream().set_page_rows(0);
        tab_->stream().hold(false);
        QVERIFY(done.wait(10000));
        QVERIFY(!tab_->reading());
        QVERIFY(!tab_->page().partial());
    }
    // Each record once, as the database holds them.
    void expect_whole(const std::string& commno = k_commno_1) {
        const QStringList keys = listed();
        QCOMPARE(keys.size(), int(count("", commno)));
        QCOMPARE(std::set<QString>(keys.begin(), keys.end()).size(), std::size_t(keys.size()));
        for (long r = 1; r <= tab_->page().dw_1.rowcount(); ++r)
            QCOMPARE(qs(tab_->page().dw_1.getitemstring(r, "commno").value_or("")), qs(commno));
        QCOMPARE(status_count(*f_->frame), QString("共 %1 条记录").arg(count("", commno)));
    }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() {
        f_ = std::make_unique<frame_fixture>();
        run_sql(many_assets(k_commno_1, 1000, 3000));
        run_sql(many_assets(k_commno_2, 1000, 1200));
    }
    void cleanup() {
        tab_ = nullptr;
        f_.reset();
    }

    void the_first_page_is_listed_and_the_rest_follows_in_key_order() {
        open_held();
        const long all = count();
        QVERIFY(all > k_first + 2 * k_page);
        QCOMPARE(tab_->model().rowCount(), int(k_first));
        QCOMPARE(status_count(*f_->frame), QString("正在读取… %1").arg(k_first));
        // Until it is whole, the list has no place to give a record window.
        QVERIFY(tab_->page().partial());
        read_one_page();
        QCOMPARE(tab_->model().rowCount(), int(k_first + k_page));
        QCOMPARE(status_count(*f_->frame), QString("正在读取… %1 / %2").arg(k_first + k_page).arg(all));
        read_one_page();
        QCOMPARE(status_count(*f_->frame),
                 QString("正在读取… %1 / %2").arg(k_first + 2 * k_page).arg(all));
        read_the_rest();
        QCOMPARE(listed(), stored("orderno", " ORDER BY orderno"));
        expect_whole();
    }

    void a_short_list_is_whole_at_once() {
        tab_ = f_->frame->open_register(*find_window_entry("w_m_og_incomemoneyrecord"));
        QVERIFY(tab_);
        QVERIFY(!tab_->reading());
        QVERIFY(!tab_->page().partial());
        QCOMPARE(status_count(*f_->frame),
                 QString("共 %1 条记录")
                     .arg(count_of(sqlca(), "SELECT count(*) FROM tc_og_incomemoneyrecord WHERE commno = '" +
                                                k_commno_1 + "'")));
    }

    void a_sort_asked_for_while_reading_is_done_over_every_row() {
        open_held();
        read_one_page();
        click_header(*tab_, k_value_section);
        click_header(*tab_, k_value_section);
        // Shown as asked at once; the rows wait for the rest.
        QCOMPARE(tab_->view().horizontalHeader()->sortIndicatorSection(), k_value_section);
        QCOMPARE(tab_->view().horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(listed(), stored("orderno", " ORDER BY orderno").mid(0, int(k_first + k_page)));
        read_one_page();
        read_the_rest();
        QCOMPARE(listed(), stored("orderno", " ORDER BY CAST(originvalue AS REAL) DESC, orderno"));
        expect_whole();
    }

    void a_search_typed_while_reading_finds_the_rows_read_later() {
        open_held();
        tab_->search().setText("测试资产12");
        tab_->apply_narrowing();
        // Part of the list is no answer: the list shown stays until the rest is in.
        QVERIFY(tab_->model().narrowing_pending());
        QVERIFY(!tab_->model().narrowed());
        QCOMPARE(tab_->model().rowCount(), int(k_first));
        read_one_page();
        QVERIFY(tab_->model().narrowing_pending());
        QSignalSpy narrowed(&tab_->model(), &register_list_model::narrowing_finished);
        read_the_rest();
        if (tab_->model().narrowing_pending()) QVERIFY(narrowed.wait(5000));
        const QStringList want = stored("orderno", " AND goodsname LIKE '%测试资产12%' ORDER BY orderno");
        QVERIFY(want.size() > 100);  // 12, 120…129, 1200…1299, …: most beyond the first page
        QCOMPARE(listed(), want);
        QCOMPARE(tab_->page().shown, tab_->model().view_rows());
        QCOMPARE(status_count(*f_->frame), QString("显示 %1 条，共 %2 条记录").arg(want.size()).arg(count()));
    }

    void what_needs_every_row_reads_the_rest_first_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("search");
        QTest::addColumn<std::string>("where");
        QTest::newRow("date range") << "2020-01-01" << "2022-12-31" << ""
                                    << std::string(" AND purchasedate BETWEEN '2020-01-01' AND '2022-12-31'");
        QTest::newRow("date from and a search")
            << "2015-01-01" << "" << "资产2"
            << std::string(" AND purchasedate >= '2015-01-01' AND goodsname LIKE '%资产2%'");
        QTest::newRow("nothing narrows") << "" << "" << "" << std::string();
    }
    void what_needs_every_row_reads_the_rest_first() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, search);
        QFETCH(std::string, where);
        open_held();
        tab_->date_from()->setText(from);
        tab_->date_to()->setText(to);
        tab_->search().setText(search);
        // What the record window or an export reads: complete, at once.
        const std::vector<long> rows = tab_->shown_rows();
        QVERIFY(!tab_->reading());
        QStringList keys;
        for (long r : rows) keys << qs(tab_->page().dw_1.getitem(r, "orderno").to_text());
        const QStringList want = stored("orderno", where + " ORDER BY orderno");
        QVERIFY(!want.isEmpty());
        QCOMPARE(keys, want);
        QCOMPARE(listed(), want);
    }

    void a_record_window_opened_while_reading_has_its_place_when_the_list_is_whole() {
        open_held();
        tab_->view().selectRow(2);
        const long all = count();
        QStringList titles;
        std::vector<long> places;
        long counted = 0;
        when_record_window_opens([&](record_dialog& d) {
            places.push_back(d.window().list_position());
            titles << d.windowTitle();
            read_one_page();
            read_the_rest();
            places.push_back(d.window().list_position());
            counted = d.window().list_count();
            titles << d.windowTitle();
            QTest::mouseClick(d.button("cb_last"), Qt::LeftButton);
            places.push_back(d.window().list_position());
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(places, (std::vector<long>{0, 3, all}));
        QCOMPARE(counted, all);
        QVERIFY2(!titles[0].contains("第"), qPrintable(titles[0]));
        QVERIFY2(titles[1].contains(QString("第 3 条，共 %1 条").arg(all)), qPrintable(titles[1]));
        expect_whole();
    }

    void moving_along_from_a_partial_list_lists_it_whole() {
        open_held();
        tab_->view().selectRow(0);
        long place = -1;
        when_record_window_opens([&](record_dialog& d) {
            QTest::mouseClick(d.button("cb_last"), Qt::LeftButton);
            place = d.window().list_position();
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(place, count());
        QVERIFY(!tab_->reading());
        expect_whole();
    }

    void a_record_saved_while_reading_is_listed_once() {
        open_held();
        read_one_page();
        const long before = count();
        when_record_window_opens([&](record_dialog& d) {
            type_into(d, "goodsname", "读取时添加");
            type_into(d, "goodscount", "1");
            type_into(d, "originvalue", "10");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("add")->trigger();
        QCOMPARE(count(), before + 1);
        QCOMPARE(count(" AND goodsname = '读取时添加'"), 1L);
        // A record beyond the rows read, changed elsewhere and merged into
        // the list as the frame merges a record it saved.
        const std::string later = stored("orderno", " ORDER BY orderno DESC LIMIT 1 OFFSET 5")[0].toStdString();
        run_sql("UPDATE tc_og_assetregister SET goodsname = '读取时修改' WHERE commno = '" + k_commno_1 +
                "' AND orderno = " + later);
        std::vector<value> params{value(k_commno_1), value(std::int64_t(std::stoll(later)))};
        QVERIFY(tab_->page().dw_1.merge("commno = ? AND orderno = ?", params) > 0);
        tab_->sync();
        read_one_page();
        read_the_rest();
        QCOMPARE(listed(), stored("orderno", " ORDER BY orderno"));
        expect_whole();
        const long r = find_listed(tab_->page(), value(std::int64_t(std::stoll(later))));
        QCOMPARE(qs(tab_->page().dw_1.getitemstring(r, "goodsname").value_or("")), QString("读取时修改"));
    }

    void a_record_deleted_while_reading_stays_gone() {
        open_held();
        read_one_page();
        tab_->view().selectRow(3);
        const QString gone = qs(tab_->page().dw_1.getitem(tab_->current_row(), "orderno").to_text());
        {
            box_answerer yes(QMessageBox::Yes);
            f_->action("delete")->trigger();
            QCOMPARE(yes.seen.size(), std::size_t(1));
        }
        QCOMPARE(count(" AND orderno = " + gone.toStdString()), 0L);
        read_one_page();
        read_the_rest();
        QVERIFY(!listed().contains(gone));
        QCOMPARE(listed(), stored("orderno", " ORDER BY orderno"));
        expect_whole();
    }

    void another_community_while_reading_lists_only_its_records() {
        open_held();
        read_one_page();
        // The community changes under the list: nothing more of the one
        // before is read into it.
        f_->office.host.set_community(k_commno_2);
        const long had = tab_->page().dw_1.rowcount();
        QSignalSpy ended(tab_, &register_tab::reading_finished);
        tab_->stream().hold(false);
        QVERIFY(ended.wait(5000));
        QVERIFY(!tab_->reading());
        QCOMPARE(tab_->page().dw_1.rowcount(), had);
        QVERIFY(tab_->page().partial());
        // Listed anew: the other community's, whole.
        QVERIFY(tab_->load(f_->office.sess()).is_ok());
        tab_->stream().hold(true);
        QVERIFY(tab_->reading());
        read_one_page();
        // Listed anew again while reading: the reading starts over.
        QVERIFY(tab_->load(f_->office.sess()).is_ok());
        QCOMPARE(tab_->page().dw_1.rowcount(), k_first);
        read_the_rest();
        QCOMPARE(listed(), stored("orderno", " ORDER BY orderno", k_commno_2));
        expect_whole(k_commno_2);
    }
};

QTEST_MAIN(tst_list_reading)
#include "tst_list_reading.moc"
