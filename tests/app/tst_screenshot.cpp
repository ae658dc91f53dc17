// The pictures of record windows made without a user: the steps done in
// their order on the topmost window, a message or question shown for real
// over its window and answered without going on, the history of a record
// saved by the steps, and nothing written when the windows close.
#include <QImage>
#include <QTest>

#include "app/screenshot.h"
#include "gui_test_support.h"
#include "list_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

const QColor k_refused(255, 205, 210);  // k_refused_background

bool has_colour(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) return true;
    return false;
}

// Where two pictures of one size differ; empty when they do not.
QRect difference(const QImage& a, const QImage& b) {
    QRect differs;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) differs |= QRect(x, y, 1, 1);
    return differs;
}

// The message stands in the middle of the window, which is seen around it.
bool drawn_in_the_middle(const QRect& message, const QImage& window) {
    const QPoint off = message.center() - window.rect().center();
    return !message.isEmpty() && std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1 &&
           message.width() < window.width() && message.height() < window.height();
}

}  // namespace

class tst_screenshot : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

    // Makes the picture of the record window with the arguments after
    // --open; its exit status, and the picture in `image` when one was made.
    int shoot(const QStringList& open, QImage& image) {
        const QString file = office_->dir.filePath("shot.png");
        QFile::remove(file);
        QString why;
        auto c = parse_command_line(QStringList{"--screenshot", file, "--open"} + open, why);
        if (!c) qFatal("%s", qPrintable(why));
        const int rc = screenshot_record(office_->host, *c);
        image = QImage(file);
        return rc;
    }
    transaction& sqlca() { return office_->host.sqlca(); }
    QStringList notes() {
        return selected(
            sqlca(),
            "SELECT PhotoNote FROM TS_CommActivePhoto WHERE CommNo = '420106001001' AND "
            "OrderNo = 1 ORDER BY PhotoNo");
    }
    long changes() { return count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_changelog"); }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() {
        office_ = std::make_unique<scratch_office>();
        office_->host.set_unattended(true);
    }
    void cleanup() { office_.reset(); }

    void a_press_that_opens_a_window_does_the_steps_after_it_there() {
        QImage album;
        QCOMPARE(shoot({"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo"}, album),
                 0);
        QImage form;
        QCOMPARE(shoot({"w_m_og_commactivityrecord", "修改", "1"}, form), 0);
        QVERIFY(album.size() != form.size());
        // A press that opens nothing leaves no watch behind: the album a
        // later press opens is still the picture.
        QImage later;
        QCOMPARE(shoot({"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_next", "--press",
                        "cb_photo"},
                       later),
                 0);
        QCOMPARE(later.size(), album.size());
        // The album has the note, not the form's columns.
        QImage typed;
        QCOMPARE(shoot({"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo", "--type",
                        "sle_note", "新的说明"},
                       typed),
                 0);
        QCOMPARE(typed.size(), album.size());
        QCOMPARE(shoot({"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo", "--type",
                        "activitytopic", "01"},
                       typed),
                 1);
        QVERIFY(typed.isNull());
        QCOMPARE(notes(),
                 QStringList({"志愿者为居民义务理发", "共建单位志愿者维修小家电", "活动现场合影"}));
        QCOMPARE(changes(), 0);
    }

    void the_albums_question_is_pictured_over_it_and_cancelled() {
        const QStringList edited = {"w_m_og_commactivityrecord",
                                    "修改",
                                    "1",
                                    "--press",
                                    "cb_photo",
                                    "--press",
                                    "cb_next",
                                    "--type",
                                    "sle_note",
                                    "改过的说明"};
        QImage plain;
        QCOMPARE(shoot(edited, plain), 0);
        QImage asked;
        QCOMPARE(shoot(edited + QStringList{"--press", "cb_prior", "--show-message"}, asked), 0);
        // The album as it stood, the question in its middle.
        QCOMPARE(asked.size(), plain.size());
        QVERIFY(drawn_in_the_middle(difference(asked, plain), asked));
        // 取消, not 是: the note is not saved, and closing the album then
        // drops it.
        QCOMPARE(notes(),
                 QStringList({"志愿者为居民义务理发", "共建单位志愿者维修小家电", "活动现场合影"}));
        QCOMPARE(changes(), 0);
        // The host is unattended again: a message goes to standard error.
        box_answerer answerer;
        office_->host.message_box("提示", "不等待", icon::information);
        QVERIFY(answerer.seen.empty());
    }

    void a_refused_save_is_pictured_with_its_message_and_marked_field() {
        const QStringList refused = {
            "w_m_og_assetregister", "添加", "--type",  "goodsname", "会议桌", "--type",
            "goodscount",           "-2",   "--press", "cb_save"};
        const long assets = count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_assetregister");
        QImage plain;
        QCOMPARE(shoot(refused, plain), 0);
        QImage shown;
        QCOMPARE(shoot(refused + QStringList{"--show-message"}, shown), 0);
        QCOMPARE(shown.size(), plain.size());
        QVERIFY(has_colour(plain, k_refused));
        QVERIFY(has_colour(shown, k_refused));
        QVERIFY(drawn_in_the_middle(difference(shown, plain), shown));
        QCOMPARE(count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_assetregister"), assets);
        QCOMPARE(changes(), 0);
    }

    void a_press_that_shows_no_message_makes_no_picture_data() {
        QTest::addColumn<QStringList>("open");
        QTest::newRow("nothing shown")
            << QStringList{"w_m_og_assetregister", "修改", "1", "--press", "cb_next"};
        // The windows a press opens instead are closed unused, not waited on.
        QTest::newRow("a record window")
            << QStringList{"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo"};
        QTest::newRow("a file dialog") << QStringList{
            "w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo", "--press", "cb_new"};
    }
    void a_press_that_shows_no_message_makes_no_picture() {
        QFETCH(QStringList, open);
        QImage none;
        QCOMPARE(shoot(open + QStringList{"--show-message"}, none), 1);
        QVERIFY(none.isNull());
        QCOMPARE(count_of(sqlca(), "SELECT COUNT(*) FROM TS_CommActivePhoto"), 4);
        QCOMPARE(changes(), 0);
    }

    void the_history_of_the_saves_the_steps_made() {
        QImage history;
        QCOMPARE(
            shoot({"w_m_og_assetregister", "修改", "2", "--type", "keepperson", "赵志强", "--press",
                   "cb_save", "--type", "goodscount", "3", "--press", "cb_save", "--history"},
                  history),
            0);
        QCOMPARE(changes(), 2);
        QCOMPARE(selected(sqlca(),
                          "SELECT keepperson || '/' || goodscount FROM tc_og_assetregister "
                          "WHERE orderno = 2"),
                 QStringList{"赵志强/3"});
        // The history window is wider than the record window, with a title
        // bar above it.
        QImage form;
        QCOMPARE(shoot({"w_m_og_assetregister", "修改", "2"}, form), 0);
        QVERIFY(history.width() > form.width());
        QVERIFY(history.height() > 520);
        QCOMPARE(changes(), 2);
        // The album keeps no history of its own to show.
        QCOMPARE(
            shoot({"w_m_og_commactivityrecord", "修改", "1", "--press", "cb_photo", "--history"},
                  history),
            1);
        QVERIFY(history.isNull());
    }
};

QTEST_MAIN(tst_screenshot)
#include "tst_screenshot.moc"
