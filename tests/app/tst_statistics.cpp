// The statistics window: the period chosen gives the days it covers, every
// view opens, and a figure opens to exactly the records it counts; a view
// printed to PDF names the community, the period, who made it and when.
// The office is the demo's, with records of 2012 (a leap year the demo
// leaves empty) added by the test in several registers.
#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <set>

#include "app/main_window.h"
#include "app/records_behind_dialog.h"
#include "app/register_list_model.h"
#include "app/statistics_window.h"
#include "app/stats_chart.h"
#include "gui_test_support.h"
#include "pdf_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

date day(const char* iso) { return *date::parse(iso); }

// The records the test adds, by register: every one in the demo's first
// community but 9106, which is the second's.
void add_records(transaction& t) {
    const std::string c1(k_demo_commno_1), c2(k_demo_commno_2);
    auto run = [&t](const char* sql, std::vector<value> params) {
        if (t.execute(sql, params) != sql_code::ok) qFatal("%s: %s", sql, t.sqlerrtext().c_str());
    };
    if (t.begin_write() != sql_code::ok) qFatal("begin: %s", t.sqlerrtext().c_str());
    const char* income =
        "INSERT INTO tc_og_incomemoneyrecord (commno, orderno, recorddate, outlaysort, "
        "outlaysource, moneysum, issave) VALUES (?, ?, ?, ?, ?, ?, '1')";
    run(income, {c1, decimal(9101, 0), day("2012-02-29"), "10", "01", decimal(10000, 2)});
    run(income, {c1, decimal(9102, 0), day("2012-02-01"), "10", "01", decimal(5050, 2)});
    run(income, {c1, decimal(9103, 0), day("2012-03-01"), "10", "01", decimal(2000, 2)});
    run(income, {c1, decimal(9104, 0), day("2012-02-15"), "20", "02", decimal(3000, 2)});
    run(income, {c1, decimal(9105, 0), day("2011-12-31"), "10", "01", decimal(700, 2)});
    run(income, {c2, decimal(9106, 0), day("2012-02-10"), "10", "01", decimal(900, 2)});
    run("INSERT INTO tc_og_moneyoutgorecord (commno, orderno, recorddate, outlaysort, usebound, "
        "usenote, moneysum, issave) VALUES (?, ?, ?, ?, ?, ?, ?, '1')",
        {c1, decimal(9201, 0), day("2012-02-20"), "10", "11", "打印纸", decimal(1250, 2)});
    run("INSERT INTO tc_og_dailyworkrecord (commno, orderno, meetdate, meetname, organise, issave) "
        "VALUES (?, ?, ?, ?, ?, '1')",
        {c1, decimal(9301, 0), day("2012-05-04"), "居民议事会", "01"});
    run("INSERT INTO tc_og_commactivityrecord (commno, orderno, activitydate, activitytopic, "
        "buildmode, attendpersonnum, issave) VALUES (?, ?, ?, ?, ?, ?, '1')",
        {c1, decimal(9401, 0), day("2012-06-01"), "六一游园", "01", decimal(40, 0)});
    run("INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, goodscount, "
        "originvalue, purchasedate, recorddate, issave) VALUES (?, ?, ?, ?, ?, ?, ?, ?, '1')",
        {c1, decimal(9501, 0), "02", "扫描仪", decimal(1, 0), decimal(120000, 2), day("2012-07-01"),
         day("2012-07-01")});
    if (t.commit() != sql_code::ok) qFatal("commit: %s", t.sqlerrtext().c_str());
}

// Whether a figure column counts records (笔数, 件数, 人次, …) rather than
// summing a column (数量, 参加人数（人）, an amount). Side by side, a table
// of one figure names only the community in its header: that figure is
// its count.
bool counts_records(const stats_result& r, const stats_table& t, std::size_t column) {
    static const std::set<std::string> counts{"笔数", "件数", "次数", "人数", "机构数", "人次", "项数"};
    std::string header = t.header[column];
    if (const auto dot = header.rfind("·"); dot != std::string::npos) header = header.substr(dot + 2);
    const std::size_t figures = t.header.size() - static_cast<std::size_t>(t.label_columns);
    const std::size_t per_community = r.community_names.size() > 1
                                          ? figures / (r.community_names.size() + 1)
                                          : figures;
    return counts.count(header) || (per_community == 1 && r.community_names.size() > 1 &&
                                    t.rows.front()[column].number &&
                                    t.rows.front()[column].number->scale() == 0);
}

// The record numbers a dialog lists, in its order.
std::vector<long> listed(records_behind_dialog& d) {
    std::vector<long> out;
    const data_window& dw = d.page().dw_1;
    for (int r = 0; r < d.model().rowCount(); ++r)
        out.push_back(static_cast<long>(dw.getitem(d.model().dw_row(r), "orderno").dec().truncated()));
    return out;
}

}  // namespace

class tst_statistics : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<scratch_office> office_;
    std::unique_ptr<statistics_window> window_;

private Q_SLOTS:
    void initTestCase() {
        // The file dialogs are Qt's own, which the test answers.
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        office_ = std::make_unique<scratch_office>();
        office_->host.set_unattended(true);
        office_->host.set_community(std::string(k_demo_commno_1), "水果湖社区");
        add_records(office_->host.sqlca());
    }
    void init() { window_ = std::make_unique<statistics_window>(office_->host, QDate(2012, 8, 15)); }
    void cleanup() { window_.reset(); }
    void cleanupTestCase() { office_.reset(); }

    void period_choice_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("part");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        const int y = int(period_kind::year), q = int(period_kind::quarter), m = int(period_kind::month);
        QTest::newRow("year") << y << 2024 << 0 << "2024-01-01" << "2024-12-31";
        QTest::newRow("first quarter") << q << 2025 << 1 << "2025-01-01" << "2025-03-31";
        QTest::newRow("second quarter") << q << 2025 << 2 << "2025-04-01" << "2025-06-30";
        QTest::newRow("third quarter") << q << 2025 << 3 << "2025-07-01" << "2025-09-30";
        QTest::newRow("fourth quarter") << q << 2025 << 4 << "2025-10-01" << "2025-12-31";
        QTest::newRow("February, leap year") << m << 2024 << 2 << "2024-02-01" << "2024-02-29";
        QTest::newRow("February") << m << 2025 << 2 << "2025-02-01" << "2025-02-28";
        QTest::newRow("February 2000") << m << 2000 << 2 << "2000-02-01" << "2000-02-29";
        QTest::newRow("February 2100") << m << 2100 << 2 << "2100-02-01" << "2100-02-28";
        QTest::newRow("April") << m << 2025 << 4 << "2025-04-01" << "2025-04-30";
        QTest::newRow("December") << m << 2025 << 12 << "2025-12-01" << "2025-12-31";
    }
    void period_choice() {
        QFETCH(int, kind);
        QFETCH(int, year);
        QFETCH(int, part);
        QFETCH(QString, from);
        QFETCH(QString, to);
        window_->choose_period(static_cast<period_kind>(kind), year, part);
        const std::optional<stats_period> p = window_->period();
        QVERIFY(p);
        QCOMPARE(qs(p->from.iso()), from);
        QCOMPARE(qs(p->to.iso()), to);
    }

    void range_is_taken_as_given_and_refused_backwards() {
        window_->choose_range(QDate(2025, 1, 5), QDate(2025, 2, 10));
        std::optional<stats_period> p = window_->period();
        QVERIFY(p);
        QCOMPARE(qs(p->from.iso()), QString("2025-01-05"));
        QCOMPARE(qs(p->to.iso()), QString("2025-02-10"));
        window_->choose_range(QDate(2025, 2, 11), QDate(2025, 2, 10));
        QVERIFY(!window_->period());
        const status st = window_->refresh();
        QVERIFY(!st);
        QCOMPARE(qs(st.message()), QString("起始日期不能晚于截止日期！"));
        QVERIFY(!window_->shown());
    }

    void the_current_community_or_all() {
        QVERIFY(window_->all_communities_offered());
        QCOMPARE(window_->scope().communities, std::vector<std::string>{std::string(k_demo_commno_1)});
        window_->choose_all_communities(true);
        QVERIFY(window_->scope().communities.empty());
    }

    // Every figure of every view lists exactly as many records as it
    // counts; the views are read over 2012 and over 2025 (the demo's).
    void each_view_opens_to_its_records_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("year");
        QTest::addColumn<bool>("all");
        for (stats_view v : {stats_view::money, stats_view::assets, stats_view::work,
                             stats_view::activities, stats_view::committee})
            // Before 2025 the demo has no committee's term.
            for (int year : {2012, 2025})
                for (bool all : {false, true})
                    if (v != stats_view::committee || year == 2025)
                    QTest::addRow("%s %d%s", std::string(stats_view_name(v)).c_str(), year,
                                  all ? " all" : "")
                        << int(v) << year << all;
    }
    void each_view_opens_to_its_records() {
        QFETCH(int, view);
        QFETCH(int, year);
        QFETCH(bool, all);
        window_->choose_period(period_kind::year, year);
        window_->choose_all_communities(all);
        window_->show_view(static_cast<stats_view>(view));
        const status st = window_->refresh();
        QVERIFY2(st, st.message().c_str());
        const stats_result* r = window_->shown();
        QVERIFY(r);
        QCOMPARE(window_->tables().size(), r->tables.size());
        if (r->tables.empty()) QSKIP("the view computes no table yet");
        int opened = 0;
        for (std::size_t t = 0; t < r->tables.size(); ++t) {
            const stats_table& table = r->tables[t];
            QTableView* tv = window_->tables()[t];
            QCOMPARE(tv->model()->rowCount(), static_cast<int>(table.rows.size()));
            for (std::size_t row = 0; row < table.rows.size(); ++row)
                for (std::size_t c = 0; c < table.rows[row].size(); ++c) {
                    const stats_cell& cell = table.rows[row][c];
                    if (!cell.behind || !counts_records(*r, table, c)) continue;
                    // A figure shown as the view has it, right-aligned.
                    const QModelIndex at = tv->model()->index(int(row), int(c));
                    QCOMPARE(at.data().toString(), qs(cell.text));
                    QVERIFY(at.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
                    std::unique_ptr<records_behind_dialog> d(
                        window_->open_behind(int(t), int(row), int(c)));
                    QVERIFY2(d, qPrintable(qs(table.title) + " " + qs(cell.text)));
                    QCOMPARE(d->model().rowCount(), static_cast<int>(cell.number->truncated()));
                    ++opened;
                }
        }
        // 2012 has the test's records in each register the views count.
        if (year == 2012 && static_cast<stats_view>(view) != stats_view::committee) QVERIFY(opened > 0);
    }

    // A committee view before the first term says so, and shows nothing.
    void a_committee_before_any_term_is_refused() {
        window_->choose_period(period_kind::year, 2012);
        window_->show_view(stats_view::committee);
        const status st = window_->refresh();
        QVERIFY(!st);
        QVERIFY2(qs(st.message()).startsWith("统计失败！"), st.message().c_str());
        QVERIFY(!window_->shown());
        QVERIFY(window_->tables().empty());
    }

    // February 2012's income of category 10 in the first community: the
    // 29th counted, March and December 2011 and the second community not.
    void a_month_figure_lists_exactly_its_records() {
        window_->choose_period(period_kind::month, 2012, 2);
        window_->show_view(stats_view::money);
        QVERIFY(window_->refresh());
        const stats_result* r = window_->shown();
        QVERIFY(r);
        std::set<std::vector<long>> seen;
        for (std::size_t t = 0; t < r->tables.size(); ++t)
            for (std::size_t row = 0; row < r->tables[t].rows.size(); ++row)
                for (std::size_t c = 0; c < r->tables[t].rows[row].size(); ++c) {
                    const stats_cell& cell = r->tables[t].rows[row][c];
                    if (!cell.behind || cell.behind->window != "w_m_og_incomemoneyrecord") continue;
                    // The balance carried forward is of the records before the month.
                    if (r->tables[t].rows[row].front().text == "上期结转") continue;
                    std::unique_ptr<records_behind_dialog> d(window_->open_behind(int(t), int(row), int(c)));
                    QVERIFY(d);
                    std::vector<long> numbers = listed(*d);
                    // An amount is the sum of the listed records' amounts.
                    if (cell.number && cell.number->scale() == 2) {
                        std::int64_t fen = 0;
                        for (int k = 0; k < d->model().rowCount(); ++k)
                            fen += d->page().dw_1.getitem(d->model().dw_row(k), "moneysum").dec().rescaled(2).units();
                        QCOMPARE(fen, cell.number->units());
                    }
                    std::sort(numbers.begin(), numbers.end());
                    seen.insert(numbers);
                }
        // Each figure is of some of the month's three records of the
        // community, and one of them (the category's, or the month's) of
        // exactly 9101 and 9102, or of all three.
        for (const auto& numbers : seen)
            for (long n : numbers) QVERIFY2(n == 9101 || n == 9102 || n == 9104 || n < 9000,
                                            qPrintable(QString::number(n)));
        QVERIFY(seen.count({9101, 9102}) || seen.count({9101, 9102, 9104}));
    }

    // A figure's records as a register's list names them: the same columns
    // and headers as its tab, and Enter opens the record in its window.
    void records_behind_a_figure_hand_made() {
        stats_records behind{"w_m_og_incomemoneyrecord",
                             "commno = ? AND outlaysort = ? AND recorddate >= ? AND recorddate <= ?",
                             {value(std::string(k_demo_commno_1)), value("10"), value(day("2012-02-01")),
                              value(day("2012-02-29"))}};
        records_behind_dialog d(office_->host, behind, "收支 2012年2月：办公经费");
        QVERIFY(d.load());
        std::vector<long> numbers = listed(d);
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, (std::vector<long>{9101, 9102}));
        QVERIFY(d.windowTitle().contains("2012年2月"));
        QCOMPARE(d.model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("序号"));
        QCOMPARE(d.model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("登记日期"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // The second row, that the record window is seen to read the row chosen.
        const int row = 1;
        d.view().setCurrentIndex(d.model().index(row, 1));
        const long expected = listed(d)[static_cast<std::size_t>(row)];
        long opened = -1;
        modal_record_driver driver([&](record_dialog& r) {
            opened = static_cast<long>(r.window().dw_1.getitem(1, "orderno").dec().truncated());
        });
        QTest::keyClick(&d.view(), Qt::Key_Return);
        QVERIFY(driver.ran());
        QCOMPARE(opened, expected);

        stats_records nowhere{"w_m_og_nosuchregister", "commno = ?", {value("x")}};
        records_behind_dialog none(office_->host, nowhere, "x");
        QVERIFY(!none.load());
    }

    void a_label_is_no_figure() {
        window_->choose_period(period_kind::year, 2012);
        window_->show_view(stats_view::money);
        QVERIFY(window_->refresh());
        QVERIFY(!window_->open_behind(0, 0, 0));
        QVERIFY(!window_->open_behind(99, 0, 1));
        QVERIFY(!window_->open_behind(0, 9999, 1));
    }

    void printed_report_names_community_period_maker_and_time() {
        window_->choose_period(period_kind::quarter, 2012, 1);
        window_->show_view(stats_view::money);
        QVERIFY(window_->refresh());
        const QString before = qs(office_->host.now().substr(0, 16));
        const QByteArray pdf = window_->report_pdf();
        const QString after = qs(office_->host.now().substr(0, 16));
        QTemporaryDir dir;
        const QString file = dir.filePath("report.pdf");
        QVERIFY(write_file(file, pdf));
        const QString text = pdf_text(file);
        QVERIFY2(text.contains("水果湖社区"), qPrintable(text.left(400)));
        QVERIFY(text.contains("2012年第1季度"));
        QVERIFY(!window_->made_by().isEmpty());
        QVERIFY(text.contains("制表人：" + window_->made_by()));
        QVERIFY(text.contains("制表时间：" + QString(before).remove(' ')) ||
                text.contains("制表时间：" + QString(after).remove(' ')));
        QVERIFY(text.contains("第1页共" + QString::number(pdf_pages(file)) + "页"));
        for (const stats_table& t : window_->shown()->tables)
            QVERIFY2(text.contains(qs(t.title).remove(' ')), t.title.c_str());
    }

    // 导出PDF… and 导出Excel… write the view to the file the clerk chose.
    void the_view_exported_to_the_chosen_files() {
        window_->choose_period(period_kind::year, 2012);
        window_->show_view(stats_view::money);
        QVERIFY(window_->refresh());
        QTemporaryDir dir;
        file_answerer files;
        files.queue(dir.filePath("收支.pdf"));
        files.queue(dir.filePath("收支.xlsx"));
        QVERIFY(window_->export_pdf());
        QVERIFY(window_->export_xlsx());
        QVERIFY(pdf_text(dir.filePath("收支.pdf")).contains("统计期间：2012年"));
        QFile book(dir.filePath("收支.xlsx"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.read(2), QByteArray("PK"));
        // Nothing is left beside them.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
        QVERIFY(!files.seen.empty());
    }

    // Series told apart by grey and pattern with a dark outline, not hue.
    void chart_series_differ_in_black_and_white() {
        stats_table t;
        t.header = {"月份", "甲", "乙", "丙", "丁", "戊"};
        t.chart = stats_chart::bars;
        t.rows.push_back({{"1月", {}, {}}, {"1", decimal(1, 0), {}}, {"2", decimal(2, 0), {}},
                          {"3", decimal(3, 0), {}}, {"4", decimal(4, 0), {}}, {"5", decimal(5, 0), {}}});
        t.rows.push_back({{"合计", {}, {}}, {"1", decimal(1, 0), {}}, {"2", decimal(2, 0), {}},
                          {"3", decimal(3, 0), {}}, {"4", decimal(4, 0), {}}, {"5", decimal(5, 0), {}}});
        std::unique_ptr<QChart> chart(make_stats_chart(t));
        QVERIFY(chart);
        auto* bars = qobject_cast<QBarSeries*>(chart->series().value(0));
        QVERIFY(bars);
        QCOMPARE(bars->count(), 5);
        std::set<std::pair<int, int>> looks;
        for (QBarSet* set : bars->barSets()) {
            QCOMPARE(set->count(), 1);  // the 合计 row is not drawn
            const QColor fill = set->brush().color();
            QCOMPARE(fill.red(), fill.green());
            QCOMPARE(fill.green(), fill.blue());
            QVERIFY(set->pen().color().lightness() < 64);
            looks.insert({fill.red(), int(set->brush().style())});
        }
        QCOMPARE(looks.size(), std::size_t(5));
        t.chart = stats_chart::none;
        QVERIFY(!make_stats_chart(t));
    }

    void the_menu_opens_the_window() {
        main_window frame(office_->host, "水果湖社区");
        QAction* action = frame.findChild<QAction*>("statistics");
        QVERIFY(action);
        bool in_menu = false;
        for (QAction* m : frame.menuBar()->actions())
            if (m->text().startsWith("统计") && m->menu() && m->menu()->actions().contains(action))
                in_menu = true;
        QVERIFY(in_menu);
        action->trigger();
        auto* w = frame.findChild<statistics_window*>();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        auto* tabs = w->findChild<QTabWidget*>("views");
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
        QCOMPARE(captions, (QStringList{"收支", "固定资产", "日常工作", "社区活动", "居委会组织"}));
        action->trigger();
        QCOMPARE(frame.findChildren<statistics_window*>().size(), 1);
    }
};

QTEST_MAIN(tst_statistics)
#include "tst_statistics.moc"
