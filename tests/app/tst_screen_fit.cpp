// Windows on a laptop's screen: 1366 × 768 pixels at a scale of 1.5, which
// leaves 911 × 512 for windows. A frame remembered from a larger screen,
// the tallest record window (the committee member's) and a long drop-down
// (the appraisal's year) all stay within it. The test makes that screen
// itself: the offscreen platform is given a screen of that size.
#include <QComboBox>
#include <QFile>
#include <QListView>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include "app/main_window.h"
#include "app/screen_fit.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

class tst_screen_fit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        QCOMPARE(available().size(), QSize(911, 512));
    }

    void a_window_is_fitted_into_the_free_area_data() {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("fitted");
        const QRect laptop(0, 0, 911, 512);
        QTest::newRow("fits: kept") << QRect(50, 40, 760, 400) << laptop << QRect(50, 40, 760, 400);
        QTest::newRow("fills it exactly") << laptop << laptop << laptop;
        QTest::newRow("taller: as high as the area, moved up")
            << QRect(74, 20, 762, 722) << laptop << QRect(74, 0, 762, 512);
        QTest::newRow("a larger screen's frame: shrunk to the area")
            << QRect(200, 100, 1900, 1000) << laptop << laptop;
        QTest::newRow("past the right edge: moved left")
            << QRect(800, 10, 300, 200) << laptop << QRect(611, 10, 300, 200);
        QTest::newRow("above and left of it: moved in")
            << QRect(-40, -30, 300, 200) << laptop << QRect(0, 0, 300, 200);
        QTest::newRow("on a second screen that is gone")
            << QRect(2000, 300, 800, 600) << laptop << QRect(111, 0, 800, 512);
        QTest::newRow("an area below a panel")
            << QRect(0, 0, 400, 300) << QRect(0, 32, 911, 480) << QRect(0, 32, 400, 300);
        QTest::newRow("a second screen's area")
            << QRect(100, 100, 1200, 700) << QRect(1920, 0, 1366, 768)
            << QRect(1920, 68, 1200, 700);
        QTest::newRow("no area known: kept")
            << QRect(10, 10, 3000, 2000) << QRect() << QRect(10, 10, 3000, 2000);
    }
    void a_window_is_fitted_into_the_free_area() {
        QFETCH(QRect, wanted);
        QFETCH(QRect, area);
        QFETCH(QRect, fitted);
        QCOMPARE(fitted_into(wanted, area), fitted);
    }

    void a_drop_down_shows_at_most_half_the_screen_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rows");
        QTest::newRow("laptop at 1.5") << 512 << 22 << 10;
        QTest::newRow("full HD") << 1040 << 22 << 22;
        QTest::newRow("a very high screen: 30 at most") << 4000 << 22 << 30;
        QTest::newRow("a tiny screen: 5 at least") << 200 << 22 << 5;
        QTest::newRow("no row height") << 512 << 0 << 5;
    }
    void a_drop_down_shows_at_most_half_the_screen() {
        QFETCH(int, height);
        QFETCH(int, row);
        QFETCH(int, rows);
        QCOMPARE(drop_down_rows(height, row), rows);
    }

    void a_frame_remembered_on_a_larger_screen_comes_back_within_this_one() {
        scratch_office office;
        QTemporaryDir dir;
        QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
        {
            main_window wide(office.host, "测试社区");
            wide.setGeometry(1200, 700, 1800, 1000);
            settings.setValue("frame/geometry", wide.saveGeometry());
        }
        main_window frame(office.host, "测试社区");
        frame.remember_with(&settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY2(available().contains(frame.frameGeometry()),
                 qPrintable(QString("%1,%2 %3x%4")
                                .arg(frame.frameGeometry().x())
                                .arg(frame.frameGeometry().y())
                                .arg(frame.frameGeometry().width())
                                .arg(frame.frameGeometry().height())));
        frame.remember_with(nullptr);
    }

    void the_first_start_s_frame_fits_too() {
        scratch_office office;
        main_window frame(office.host, "测试社区");
        frame.remember_with(nullptr);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(available().contains(frame.frameGeometry()));
    }

    void the_member_form_opens_at_the_screen_s_height_and_scrolls() {
        scratch_office office;
        open_register_record r(office, "w_m_og_councilmemberinfo", "修改");
        const QRect outer = r.dialog->frameGeometry();
        QVERIFY(available().contains(outer));
        // As high as the screen allows, a title bar's room kept.
        QVERIFY2(outer.height() >= available().height() - 40,
                 qPrintable(QString::number(outer.height())));
        auto* scroll = r.dialog->findChild<QScrollArea*>();
        QVERIFY(scroll);
        QVERIFY(scroll->isAncestorOf(&r.dialog->form()));
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
    }

    void the_appraisal_year_s_list_stays_on_the_screen() {
        scratch_office office;
        open_register_record r(office, "w_m_og_councilmemberappr", "修改");
        QComboBox* year = drop_down(*r.dialog, "assessyear");
        QVERIFY(year);
        QVERIFY(year->count() >= 25);
        year->showPopup();
        QWidget* list = year->view()->window();
        QTRY_VERIFY(list->isVisible());
        const QRect shown = list->geometry();
        year->hidePopup();
        QVERIFY(available().contains(shown));
        QVERIFY2(shown.height() <= available().height() / 2,
                 qPrintable(QString::number(shown.height())));
        QVERIFY(year->maxVisibleItems() < year->count());
    }
};

// A laptop's screen, described to the offscreen platform before Qt starts.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath("screens.json");
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
        qFatal("cannot write %s", qPrintable(config));
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    tst_screen_fit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen_fit.moc"
