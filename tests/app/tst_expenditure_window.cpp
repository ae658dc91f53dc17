// The expenditure record's window in the real dialog, on a scratch demo
// database: the scope drop-down offers what the chosen category allows.
#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

#include "app/column_editor.h"
#include "app/form_view.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_window = "w_m_og_moneyoutgorecord";

struct offer {
    QStringList codes;
    QStringList texts;
};

offer offered(QComboBox* combo) {
    offer o;
    for (int i = 0; i < combo->count(); ++i) {
        o.codes << combo->itemData(i).toString();
        o.texts << combo->itemText(i);
    }
    return o;
}

}  // namespace

class tst_expenditure_window : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void scopes_follow_the_category_data() {
        QTest::addColumn<QString>("category");  // chosen after the scope; "" for none
        QTest::addColumn<QString>("category_shown");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("scope_shown");
        QTest::newRow("new record, category 10 by default")
            << ""
            << "办公经费" << QStringList{"11", "12", "13"}
            << QStringList{"办公用品", "水电物业费", "通讯网络费"} << "水电物业费";
        QTest::newRow("category 50 offers scope 50 alone")
            << "50"
            << "其他经费" << QStringList{"50"} << QStringList{"其他支出"} << "";
        QTest::newRow("category 30 offers 31 to 33")
            << "30"
            << "专项经费" << QStringList{"31", "32", "33"}
            << QStringList{"社区设施建设", "环境卫生整治", "治安巡防"} << "";
    }
    void scopes_follow_the_category() {
        QFETCH(QString, category);
        QFETCH(QString, category_shown);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, texts);
        QFETCH(QString, scope_shown);
        open_register_record r(*office_, k_window, k_mode_add);
        w_modify& w = r.window();
        QComboBox* sort = drop_down(*r.dialog, "outlaysort");
        QComboBox* scope = drop_down(*r.dialog, "usebound");

        // A scope chosen first, so that a new category has one to empty.
        QVERIFY(choose(scope, "12"));
        QCOMPARE(*w.dw_1.getitemstring(1, "usebound"), std::string("12"));
        if (!category.isEmpty()) {
            QVERIFY(choose(sort, category));
            QCOMPARE(*w.dw_1.getitemstring(1, "outlaysort"), category.toStdString());
        }

        QCOMPARE(sort->currentText(), category_shown);
        offer now = offered(scope);
        QCOMPARE(now.codes, codes);
        QCOMPARE(now.texts, texts);
        QCOMPARE(scope->currentText(), scope_shown);
        if (scope_shown.isEmpty()) {
            QCOMPARE(scope->currentIndex(), -1);
            QCOMPARE(scope->placeholderText(), QString());
            QVERIFY(w.dw_1.getitem(1, "usebound").is_null());
        }
    }

    void a_scope_outside_the_category_is_not_offered() {
        open_register_record r(*office_, k_window, k_mode_add);
        QComboBox* scope = drop_down(*r.dialog, "usebound");
        QVERIFY(!choose(scope, "50"));
        QVERIFY(choose(drop_down(*r.dialog, "outlaysort"), "50"));
        QVERIFY(choose(scope, "50"));
        QCOMPARE(*r.window().dw_1.getitemstring(1, "usebound"), std::string("50"));
        QCOMPARE(scope->currentText(), QString("其他支出"));
    }
};

QTEST_MAIN(tst_expenditure_window)
#include "tst_expenditure_window.moc"
