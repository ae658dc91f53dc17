// The desktop program's command line: what each option sets, the steps of
// a record window's picture kept in the order given, and every command
// line that cannot be run refused with the reason.
#include <QTest>

#include "app/command_line.h"

using namespace officerecords::app;

namespace {

// The steps as "type NAME=TEXT" and "press NAME", in order.
QStringList steps_of(const command_line& c) {
    QStringList out;
    for (const screenshot_step& s : c.steps)
        out << (s.what == screenshot_step::kind::type ? "type " + s.name + "=" + s.text
                                                      : "press " + s.name);
    return out;
}

const QStringList k_open = {"--screenshot", "a.png", "--open", "w_m_og_assetregister", "修改", "2"};

}  // namespace

class tst_command_line : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void steps_keep_their_order_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("show_message");
        QTest::addColumn<bool>("history");
        QTest::newRow("none") << k_open << QStringList() << false << false;
        QTest::newRow("typed then pressed")
            << k_open + QStringList{"--type", "goodscount", "-2", "--press", "cb_save"}
            << QStringList{"type goodscount=-2", "press cb_save"} << false << false;
        QTest::newRow("pressed, typed, pressed, with the message")
            << k_open + QStringList{"--press",  "cb_photo", "--press", "cb_next",  "--type",
                                    "sle_note", "新的说明", "--press", "cb_prior", "--show-message"}
            << QStringList{"press cb_photo", "press cb_next", "type sle_note=新的说明",
                           "press cb_prior"}
            << true << false;
        QTest::newRow("saved twice, with the history")
            << k_open + QStringList{"--type", "note", "一",      "--press", "cb_save",  "--type",
                                    "note",   "二",   "--press", "cb_save", "--history"}
            << QStringList{"type note=一", "press cb_save", "type note=二", "press cb_save"}
            << false << true;
        QTest::newRow("the history before the steps")
            << k_open + QStringList{"--history", "--type", "note", "一"}
            << QStringList{"type note=一"} << false << true;
        QTest::newRow("an empty text") << k_open + QStringList{"--type", "note", ""}
                                       << QStringList{"type note="} << false << false;
    }
    void steps_keep_their_order() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, steps);
        QFETCH(bool, show_message);
        QFETCH(bool, history);
        QString why;
        auto c = parse_command_line(args, why);
        QVERIFY2(c, qPrintable(why));
        QCOMPARE(steps_of(*c), steps);
        QCOMPARE(c->show_message, show_message);
        QCOMPARE(c->history, history);
        QCOMPARE(c->open_window, QString("w_m_og_assetregister"));
        QCOMPARE(c->open_mode, QString("修改"));
        QCOMPARE(c->open_key, QString("2"));
    }

    void other_options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("shown");
        QTest::newRow("main frame") << QStringList{"--db", "x.db", "--screenshot", "f.png"}
                                    << "db=x.db shot=f.png list= filter=0 preview=0";
        QTest::newRow("filtered")
            << QStringList{"--screenshot",
                           "f.png",
                           "--filter",
                           "2015-01-01",
                           "",
                           "--list",
                           "w_m_og_councilmemberinfo",
                           "--print-preview"}
            << "db= shot=f.png list=w_m_og_councilmemberinfo filter=1 preview=1";
        QTest::newRow("open without a key")
            << QStringList{"--screenshot", "f.png",   "--open", "w_m_og_assetregister",
                           "添加",         "--press", "cb_save"}
            << "db= shot=f.png list= filter=0 preview=0";
    }
    void other_options() {
        QFETCH(QStringList, args);
        QFETCH(QString, shown);
        QString why;
        auto c = parse_command_line(args, why);
        QVERIFY2(c, qPrintable(why));
        const QString made = QString("db=%1 shot=%2 list=%3 filter=%4 preview=%5")
                                 .arg(c->db, c->screenshot, c->list_window)
                                 .arg(int(c->filter))
                                 .arg(int(c->print_preview));
        QCOMPARE(made, shown);
        QVERIFY(c->open_key.isEmpty());
    }

    void refused_with_the_reason_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("why");
        QTest::newRow("unknown") << QStringList{"--shots"} << "unknown argument --shots";
        QTest::newRow("type without its text")
            << k_open + QStringList{"--type", "note"} << "--type needs NAME and TEXT";
        QTest::newRow("press without its control")
            << k_open + QStringList{"--press"} << "--press needs a value";
        QTest::newRow("steps without a window")
            << QStringList{"--screenshot", "a.png", "--press", "cb_save"}
            << "--type and --press are only used with --open";
        QTest::newRow("a message without a window")
            << QStringList{"--screenshot", "a.png", "--show-message"}
            << "--show-message and --history are only used with --open";
        QTest::newRow("a history without a window")
            << QStringList{"--screenshot", "a.png", "--history"}
            << "--show-message and --history are only used with --open";
        QTest::newRow("a message without a press")
            << k_open + QStringList{"--show-message"}
            << "--show-message needs a --press as the last step";
        QTest::newRow("a message after a typed text")
            << k_open + QStringList{"--press", "cb_save", "--type", "note", "x", "--show-message"}
            << "--show-message needs a --press as the last step";
        QTest::newRow("a message and a history")
            << k_open + QStringList{"--press", "cb_save", "--show-message", "--history"}
            << "--show-message and --history are not used together";
        QTest::newRow("open without a picture")
            << QStringList{"--open", "w_m_og_assetregister", "修改"}
            << "--open is only used with --screenshot";
        QTest::newRow("open and import")
            << k_open + QStringList{"--import", "w_m_og_assetregister", "a.csv"}
            << "--import is only used with --screenshot, without --open, --filter and "
               "--print-preview";
        QTest::newRow("a list and a window")
            << k_open + QStringList{"--list", "w_m_og_assetregister"}
            << "--list, --filter and --print-preview are only used with --screenshot, without "
               "--open and --import";
        QTest::newRow("statistics without a year")
            << QStringList{"--screenshot", "a.png", "--statistics", "money"}
            << "--statistics needs VIEW and YEAR";
        QTest::newRow("statistics of no year")
            << QStringList{"--screenshot", "a.png", "--statistics", "money", "20x5"}
            << "--statistics needs a year from 1949 to 9999, not 20x5";
        QTest::newRow("statistics before the republic")
            << QStringList{"--screenshot", "a.png", "--statistics", "money", "1948"}
            << "--statistics needs a year from 1949 to 9999, not 1948";
        QTest::newRow("statistics without a picture")
            << QStringList{"--statistics", "money", "2025"}
            << "--statistics is only used with --screenshot, without --open, --import, --list, "
               "--filter and --print-preview";
        QTest::newRow("statistics and a list")
            << QStringList{"--screenshot", "a.png", "--statistics", "money", "2025", "--list",
                           "w_m_og_assetregister"}
            << "--statistics is only used with --screenshot, without --open, --import, --list, "
               "--filter and --print-preview";
        QTest::newRow("timed start with a picture")
            << QStringList{"--quit-after-first-paint", "--screenshot", "a.png"}
            << "--quit-after-first-paint is not used with --screenshot";
    }
    void refused_with_the_reason() {
        QFETCH(QStringList, args);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!parse_command_line(args, said));
        QCOMPARE(said, why);
    }

    void statistics_view_and_year() {
        QString why;
        auto c = parse_command_line({"--demo", "--screenshot", "r.pdf", "--statistics", "committee", "2025"}, why);
        QVERIFY2(c, qPrintable(why));
        QCOMPARE(c->statistics_view, QString("committee"));
        QCOMPARE(c->statistics_year, 2025);
        QCOMPARE(c->screenshot, QString("r.pdf"));
    }

    void usage_names_every_option() {
        const QString usage = usage_text();
        for (const char* option :
             {"--db", "--community", "--quit-after-first-paint", "--screenshot", "--list",
              "--filter", "--print-preview", "--open", "--type", "--press", "--show-message",
              "--history", "--import", "--statistics", "--modules"})
            QVERIFY2(usage.contains(option), option);
    }
};

QTEST_APPLESS_MAIN(tst_command_line)
#include "tst_command_line.moc"
