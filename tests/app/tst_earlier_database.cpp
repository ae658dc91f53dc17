// The desktop program opened on a database an earlier version made: it is
// brought up to this program's format as the program starts, a backup of
// it kept first, and the registers show every record as they did.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/main_window.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "gui_test_support.h"
#include "tests/storage/earlier_format.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// Every cell of a register's list as the clerk reads it, a line a record,
// from a frame opened on the database.
QStringList listed(qt_host& host, const QString& caption) {
    main_window frame(host, "测试社区");
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return {"the frame did not show"};
    QTreeWidgetItem* item = nullptr;
    for (auto* i : frame.navigator().findItems(caption, Qt::MatchRecursive)) item = i;
    if (!item) return {"no register " + caption};
    QTest::mouseClick(frame.navigator().viewport(), Qt::LeftButton, {},
                      frame.navigator().visualItemRect(item).center());
    register_tab* tab = frame.current_tab();
    if (!tab) return {"no list"};
    QStringList rows;
    const auto& model = tab->model();
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        // The row counter (序号) is left out: rows are matched by content.
        for (int c = 1; c < model.columnCount(); ++c) cells << model.index(r, c).data().toString();
        rows << cells.join("|");
    }
    rows.sort();
    return rows;
}

}  // namespace

class tst_earlier_database : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }

    void an_earlier_database_opens_upgraded_with_its_records_unchanged() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("office.db").toStdString();
        qt_host earlier;
        QCOMPARE(QString::fromStdString(testkit::make_earlier_database(
                     path, testkit::earlier_format::decimal_text, earlier)),
                 QString());
        // The same demo office made by this program, to show alike.
        QTemporaryDir current_dir;
        qt_host current;
        const std::string current_path = current_dir.filePath("office.db").toStdString();
        QVERIFY(create_demo_database(current_path, current).is_ok());
        QVERIFY(current.connect(current_path).is_ok());
        current.set_community(std::string(k_demo_commno_1));

        status opened = earlier.connect(path);
        QVERIFY2(opened.is_ok(), opened.message().c_str());
        earlier.set_community(std::string(k_demo_commno_1));
        QVERIFY(QDir(dir.filePath("备份")).entryList({"office-升级前-版本0-*.db"}, QDir::Files).size() == 1);
        auto version = earlier.sqlca().select_value("PRAGMA user_version");
        QCOMPARE(version ? version->to_text() : std::string("?"), std::to_string(k_schema_version));

        for (const char* caption : {"经费收入登记", "经费支出登记", "社区活动记录", "居委会成员"}) {
            const QStringList shown = listed(earlier, caption);
            QVERIFY2(!shown.isEmpty(), caption);
            QCOMPARE(shown, listed(current, caption));
        }
        // The assets as well, but for the ones other programs left: the
        // amount of 16 digits and the one in another form read as stored,
        // the two unnumbered records now there too.
        const QStringList assets = listed(earlier, "固定资产登记");
        const QStringList demo = listed(current, "固定资产登记");
        QCOMPARE(assets.size(), demo.size() + 2);
        int same = 0;
        for (const QString& row : demo) same += assets.contains(row) ? 1 : 0;
        QCOMPARE(same, demo.size() - 2);
        QCOMPARE(assets.filter("无编号的资产").size(), 2);
    }
};

QTEST_MAIN(tst_earlier_database)
#include "tst_earlier_database.moc"
#include "demo/demo_data.h"
