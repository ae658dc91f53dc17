// The list of a register as a table model over the page's data window.
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
};

QTEST_MAIN(tst_register_list_model)
#include "tst_register_list_model.moc"
