// The list of a register as a table model over the page's data window.
#include <QSignalSpy>
#include <QTest>
#include <set>

#include "app/register_list_model.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

class tst_register_list_model : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    uo_tabpg_datawindow page_;

    void list() {
        const window_entry& e = *find_window_entry("w_m_og_assetregister");
        QVERIFY(list_register(page_, std::string(e.window), e.list(), office_->sess()).is_ok());
        QVERIFY(page_.dw_1.rowcount() >= 3);
    }

    // The rows one of whose cells shows the text, read cell by cell.
    std::vector<long> rows_showing(const register_list_model& m, const QString& text) const {
        std::vector<long> rows;
        for (long r = 1; r <= page_.dw_1.rowcount(); ++r)
            for (int s = 1; s < m.columnCount(); ++s)
                if (qs(page_.dw_1.display_text(r, m.column_of(s))).contains(text, Qt::CaseInsensitive)) {
                    rows.push_back(r);
                    break;
                }
        return rows;
    }

    void run_sql(const std::string& sql) {
        transaction& t = office_->host.sqlca();
        QCOMPARE(t.begin_write(), sql_code::ok);
        QCOMPARE(t.execute(sql), sql_code::ok);
        QCOMPARE(t.commit(), sql_code::ok);
    }

    // The list's row of a record, as the frame finds it after a save.
    long merged(std::int64_t orderno) {
        const value key(orderno);
        const long r = page_.dw_1.merge("orderno = ?", {&key, 1});
        page_.dw_1.setrow(r);
        return r;
    }

    static void drive_until_narrowed(register_list_model& m) {
        for (int i = 0; i < 10000 && m.narrowing_pending(); ++i) QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init() {
        office_ = std::make_unique<scratch_office>();
        list();
    }
    void cleanup() {
        page_.dw_1.reset();
        office_.reset();
    }

    void shows_the_list_columns_in_display_order() {
        register_list_model m(page_.dw_1);
        QStringList headers;
        for (int s = 0; s < m.columnCount(); ++s)
            headers << m.headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"序号", "资产分类", "资产名称", "品牌", "规格或型号", "数量",
                                       "计量单位", "价值（元）", "添置日期", "保管人", "报废日期",
                                       "登记人", "登记日期", "备注"}));
    }

    void cells_are_the_display_text() {
        register_list_model m(page_.dw_1);
        QCOMPARE(m.rowCount(), static_cast<int>(page_.dw_1.rowcount()));
        for (int row = 0; row < m.rowCount(); ++row) {
            QCOMPARE(m.data(m.index(row, 0), Qt::DisplayRole).toInt(), row + 1);
            for (int s = 1; s < m.columnCount(); ++s)
                QCOMPARE(m.data(m.index(row, s), Qt::DisplayRole).toString(),
                         qs(page_.dw_1.display_text(row + 1, m.column_of(s))));
        }
        // Codes by name, money in the list's format.
        QCOMPARE(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QString("电子设备"));
        QCOMPARE(m.data(m.index(0, 7), Qt::DisplayRole).toString(), QString("19,960.00"));
        // The counter names the record by its 记录号, as its history does,
        // also once sorted the other way round.
        QCOMPARE(m.data(m.index(0, 0), Qt::ToolTipRole).toString(),
                 QString("记录号 1（台式计算机，2019-04-10，19,960.00）"));
        m.sort(0, Qt::DescendingOrder);
        QCOMPARE(m.data(m.index(0, 0), Qt::DisplayRole).toInt(), 1);
        QVERIFY(m.data(m.index(0, 0), Qt::ToolTipRole).toString().startsWith(
            QString("记录号 %1（").arg(qs(page_.dw_1.getitem(m.dw_row(0), "orderno").to_text()))));
    }

    void sorts_by_a_column_and_keeps_the_record_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<bool>("ascending");
        QTest::newRow("name ascending") << 2 << true;
        QTest::newRow("count descending") << 5 << false;
        QTest::newRow("date ascending") << 8 << true;
        QTest::newRow("row counter descending") << 0 << false;
    }
    void sorts_by_a_column_and_keeps_the_record() {
        QFETCH(int, section);
        QFETCH(bool, ascending);
        register_list_model m(page_.dw_1);
        page_.dw_1.setrow(2);
        value current = page_.dw_1.getitem(2, "orderno");
        m.sort(section, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        int col = section == 0 ? page_.dw_1.column_number("orderno") : m.column_of(section);
        auto less = [](const value& a, const value& b) {
            if (a.is_date()) return a.day() < b.day();
            if (auto x = a.as_double()) return *x < *b.as_double();
            return a.to_text() < b.to_text();
        };
        for (long r = 2; r <= page_.dw_1.rowcount(); ++r) {
            value a = page_.dw_1.getitem(r - 1, col), b = page_.dw_1.getitem(r, col);
            if (a.is_null() || b.is_null()) continue;
            QVERIFY2(ascending ? !less(b, a) : !less(a, b),
                     qPrintable(QString("rows %1 and %2").arg(r - 1).arg(r)));
        }
        QVERIFY(page_.dw_1.getitem(page_.dw_1.getrow(), "orderno") == current);
    }

    void narrowing_shows_only_matching_rows() {
        register_list_model m(page_.dw_1);
        long all = page_.dw_1.rowcount();
        m.set_filter("李文静");
        QVERIFY(m.rowCount() > 0);
        QVERIFY(m.rowCount() < all);
        for (int row = 0; row < m.rowCount(); ++row) {
            bool found = false;
            for (int s = 1; s < m.columnCount(); ++s)
                found =
                    found || m.data(m.index(row, s), Qt::DisplayRole).toString().contains("李文静");
            QVERIFY(found);
            QCOMPARE(m.model_row(m.dw_row(row)), row);
        }
        QCOMPARE(page_.dw_1.rowcount(), all);
        m.set_filter("");
        QCOMPARE(m.rowCount(), static_cast<int>(all));
    }

    void a_search_never_spans_two_cells_data() {
        QTest::addColumn<int>("left");
        QTest::newRow("sort and name") << 1;
        QTest::newRow("name and brand") << 2;
        QTest::newRow("unit and value") << 6;
    }
    void a_search_never_spans_two_cells() {
        QFETCH(int, left);
        register_list_model m(page_.dw_1);
        const QString a = m.data(m.index(0, left), Qt::DisplayRole).toString();
        const QString b = m.data(m.index(0, left + 1), Qt::DisplayRole).toString();
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        // The end of one cell and the start of the next, in no cell itself.
        const QString across = a.right(1) + b.left(1);
        QVERIFY(rows_showing(m, across).empty() || rows_showing(m, across).front() != 1);
        m.set_filter(across);
        m.finish_narrowing();
        QCOMPARE(m.view_rows(), rows_showing(m, across));
        QVERIFY(m.narrowed());
    }

    // The search texts follow the data window's rows through each change
    // the frame makes: the rows shown are those a search cell by cell finds.
    void narrowing_follows_the_rows_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("sorted while narrowed") << "sort";
        QTest::newRow("merged in place, searched anew") << "touch";
        QTest::newRow("merged and drawn anew while narrowed") << "reload";
        QTest::newRow("a record deleted") << "delete";
        QTest::newRow("retrieved anew with other texts") << "relist";
    }
    void narrowing_follows_the_rows() {
        QFETCH(QString, change);
        register_list_model m(page_.dw_1);
        QString search = "李文静";
        m.set_filter(search);
        m.finish_narrowing();
        const std::vector<long> before = m.view_rows();
        QVERIFY(before.size() >= 2);
        const std::int64_t shown_key = *page_.dw_1.getitem(before.front(), "orderno").as_double();
        if (change == "sort") {
            m.sort(2, Qt::DescendingOrder);
        } else if (change == "touch") {
            run_sql("UPDATE tc_og_assetregister SET goodsname = '改名的资产' WHERE orderno = " +
                    std::to_string(shown_key));
            QCOMPARE(merged(shown_key), before.front());
            m.touch();
            search = "改名的资产";
            m.set_filter(search);
        } else if (change == "reload") {
            run_sql("UPDATE tc_og_assetregister SET keepperson = '王建华', recorder = '王建华' "
                    "WHERE orderno = " +
                    std::to_string(shown_key));
            merged(shown_key);
            m.reload(true);
        } else if (change == "delete") {
            page_.dw_1.deleterow(before.front());
            m.reload();
        } else {
            // The same keys, other texts: nothing built before may stand.
            run_sql("UPDATE tc_og_assetregister SET keepperson = CASE keepperson WHEN '李文静' "
                    "THEN '王建华' ELSE '李文静' END");
            list();
            m.relist(true);
        }
        m.finish_narrowing();
        const std::vector<long> expected = rows_showing(m, search);
        QCOMPARE(m.view_rows(), expected);
        QVERIFY(!expected.empty());
        if (change != "sort" && change != "delete") QVERIFY(m.view_rows() != before);
    }

    void a_newer_narrowing_supersedes_a_running_one_data() {
        QTest::addColumn<bool>("finish_at_once");
        QTest::newRow("by the event loop") << false;
        QTest::newRow("finished for a reader") << true;
    }
    void a_newer_narrowing_supersedes_a_running_one() {
        QFETCH(bool, finish_at_once);
        register_list_model m(page_.dw_1);
        m.set_slice_rows(1);
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        m.set_filter("李文静");
        QVERIFY(m.narrowing_pending());
        // Until it completes the view shows every row, as before.
        QCOMPARE(m.rowCount(), int(page_.dw_1.rowcount()));
        QVERIFY(!m.narrowed());
        m.set_filter("王建华");
        if (finish_at_once)
            m.finish_narrowing();
        else
            drive_until_narrowed(m);
        QVERIFY(!m.narrowing_pending());
        QCOMPARE(resets.count(), 1);
        QCOMPARE(m.filter(), QString("王建华"));
        QCOMPARE(m.view_rows(), rows_showing(m, "王建华"));
        QVERIFY(!m.view_rows().empty());
    }

    void a_date_range_keeps_the_search_it_joins() {
        register_list_model m(page_.dw_1);
        m.set_slice_rows(1);
        m.set_filter("李文静");
        const std::optional<date> to = date::parse("2021-01-01");
        m.set_date_range(std::nullopt, to);
        drive_until_narrowed(m);
        QCOMPARE(m.filter(), QString("李文静"));
        std::vector<long> expected;
        for (long r : rows_showing(m, "李文静"))
            if (page_.dw_1.getitemdate(r, "purchasedate") <= to) expected.push_back(r);
        QCOMPARE(m.view_rows(), expected);
        QVERIFY(!expected.empty() && expected.size() < rows_showing(m, "李文静").size());
    }
};

QTEST_MAIN(tst_register_list_model)
#include "tst_register_list_model.moc"
