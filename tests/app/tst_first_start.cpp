// The first start: the clerk chooses the demo office, a new blank
// database or a file he has, and nothing is made when he cancels. The
// user's folders are temporary ones (XDG_DATA_HOME, XDG_CONFIG_HOME,
// XDG_CACHE_HOME), set before the program's first look at them; the
// settings land in the config folder. The program itself starts on the
// demo office with --demo, and refuses to guess without a clerk.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <functional>

#include "app/app_paths.h"
#include "app/first_start.h"
#include "app/new_community_dialog.h"
#include "gui_test_support.h"
#include "storage/system_clock.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

QString g_user_root;  // HOME and the XDG folders of this run live under it

// Answers each first-start dialog that opens with the next queued step;
// cancels it when none is left.
class clerk_at_first_start {
public:
    clerk_at_first_start() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    void then(first_start_dialog::choice c) { steps_.push_back(c); }
    int asked = 0;

private:
    void answer() {
        auto* d = qobject_cast<first_start_dialog*>(QApplication::activeModalWidget());
        if (!d || d->property("answered").toBool()) return;
        d->setProperty("answered", true);
        ++asked;
        if (steps_.empty()) {
            d->reject();
            return;
        }
        d->button(steps_.front())->click();
        steps_.pop_front();
    }

    QTimer timer_;
    std::deque<first_start_dialog::choice> steps_;
};

using choice = first_start_dialog::choice;

QStringList files_under(const QString& folder) {
    QStringList out;
    QDir dir(folder);
    for (const QFileInfo& f :
         dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        out << (f.isDir() ? f.fileName() + "/" : f.fileName());
    return out;
}

long communities_in(const QString& db) {
    qt_host host;
    if (!host.connect(db.toStdString())) return -1;
    return count_of(host.sqlca(), "SELECT count(*) FROM tc_ge_community");
}

}  // namespace

class tst_first_start : public QObject {
    Q_OBJECT

    system_clock clock_;
    std::unique_ptr<QTemporaryDir> place_;  // where the clerk keeps his files
    QStringList opened_;

    // What the program would open: records the database, then opens it as
    // the program does.
    std::function<status(const QString&)> opener() {
        return [this](const QString& db) -> status {
            opened_ << db;
            qt_host host;
            return host.connect(db.toStdString());
        };
    }
    QString data_folder() const { return g_user_root + "/data/OfficeRecords"; }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init() {
        QDir(data_folder()).removeRecursively();
        place_ = std::make_unique<QTemporaryDir>();
        opened_.clear();
    }

    void the_users_folders_are_the_xdg_ones() {
        QCOMPARE(default_database_path(), data_folder() + "/demo.db");
        QSettings().setValue("database", "/srv/office.db");
        QSettings().sync();
        const QString conf = g_user_root + "/config/OfficeRecords/OfficeRecords.conf";
        QVERIFY2(QFileInfo::exists(conf), qPrintable(QSettings().fileName()));
        QSettings read_back(conf, QSettings::IniFormat);
        QCOMPARE(read_back.value("database").toString(), QString("/srv/office.db"));
        QSettings().remove("database");
    }

    void the_demo_office_is_made_in_the_data_folder_once_chosen() {
        clerk_at_first_start clerk;
        clerk.then(choice::demo);
        const QString db = run_first_start(clock_, opener(), "这是第一次启动，还没有数据库。");
        QCOMPARE(db, data_folder() + "/demo.db");
        QCOMPARE(opened_, QStringList{db});
        QCOMPARE(communities_in(db), 2L);
        // Chosen again, the one there is opened as it stands.
        const QDateTime made = QFileInfo(db).lastModified();
        clerk.then(choice::demo);
        QCOMPARE(run_first_start(clock_, opener(), {}), db);
        QCOMPARE(QFileInfo(db).lastModified(), made);
    }

    void a_blank_database_is_made_where_the_clerk_chooses() {
        clerk_at_first_start clerk;
        file_answerer files;
        const QString chosen = place_->filePath("居委会");
        files.queue(chosen);
        clerk.then(choice::blank);
        const QString db = run_first_start(clock_, opener(), {});
        // The name given without an ending gets .db.
        QCOMPARE(db, chosen + ".db");
        QCOMPARE(opened_, QStringList{db});
        QCOMPARE(files.seen.size(), size_t(1));
        QVERIFY2(files.seen[0].startsWith("新建空白数据库 | "), qPrintable(files.seen[0]));
        QCOMPARE(communities_in(db), 0L);
        qt_host host;
        QVERIFY(host.connect(db.toStdString()));
        QCOMPARE(count_of(host.sqlca(), "SELECT count(*) FROM tc_og_assetregister"), 0L);
        QCOMPARE(count_of(host.sqlca(), "SELECT count(*) FROM tc_ge_code"), 0L);
        QVERIFY(!QFileInfo::exists(data_folder()));
    }

    void an_existing_database_is_opened_as_chosen() {
        const QString db = place_->filePath("街道办.db");
        QVERIFY(create_demo_database(db.toStdString(), clock_));
        clerk_at_first_start clerk;
        file_answerer files;
        files.queue(db);
        clerk.then(choice::existing);
        QCOMPARE(run_first_start(clock_, opener(), {}), db);
        QCOMPARE(opened_, QStringList{db});
        QVERIFY2(files.seen.size() == 1 && files.seen[0].startsWith("打开已有数据库 | "),
                 files.seen.empty() ? "no file dialog" : qPrintable(files.seen[0]));
        QVERIFY(!QFileInfo::exists(data_folder()));
    }

    // A blank database never replaces a file that is there; a file that is
    // no database is not taken. Either is said, and the choices offered
    // again (then cancelled), the file left as it was.
    void a_refused_choice_is_said_and_the_choices_offered_again_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("opened");
        QTest::newRow("新建空白数据库 over a file")
            << int(choice::blank) << "无法新建数据库 " << false;
        QTest::newRow("打开已有数据库 of no database")
            << int(choice::existing) << "无法打开数据库 " << true;
    }
    void a_refused_choice_is_said_and_the_choices_offered_again() {
        QFETCH(int, way);
        QFETCH(QString, said);
        QFETCH(bool, opened);
        const QString there = place_->filePath("office.db");
        const QByteArray notes(4096, 'x');
        {
            QFile f(there);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(notes), qint64(notes.size()));
        }
        clerk_at_first_start clerk;
        file_answerer files;
        box_answerer boxes;
        files.queue(there);
        clerk.then(choice(way));
        QCOMPARE(run_first_start(clock_, opener(), {}), QString());
        QCOMPARE(clerk.asked, 2);
        QCOMPARE(boxes.seen.size(), size_t(1));
        QVERIFY2(boxes.seen[0].startsWith("社区居委会办公记录 | " + said + there),
                 qPrintable(boxes.seen[0]));
        QCOMPARE(opened_, opened ? QStringList{there} : QStringList{});
        QFile f(there);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), notes);
    }

    void cancelling_makes_nothing() {
        const QStringList before = files_under(place_->path());
        {
            clerk_at_first_start clerk;
            QCOMPARE(run_first_start(clock_, opener(), "这是第一次启动，还没有数据库。"),
                     QString());
            QCOMPARE(clerk.asked, 1);
        }
        // A file dialog cancelled goes back to the choices.
        clerk_at_first_start clerk;
        file_answerer files;  // nothing queued: each file dialog is cancelled
        clerk.then(choice::blank);
        clerk.then(choice::existing);
        QCOMPARE(run_first_start(clock_, opener(), {}), QString());
        QCOMPARE(clerk.asked, 3);
        QCOMPARE(files.seen.size(), size_t(2));
        QVERIFY(opened_.isEmpty());
        QVERIFY(!QFileInfo::exists(data_folder()));
        QCOMPARE(files_under(place_->path()), before);
    }

    void a_blank_database_gets_its_community_from_the_clerk() {
        const QString db = place_->filePath("空白.db");
        QVERIFY(create_database(db.toStdString(), clock_));
        qt_host host;
        QVERIFY(host.connect(db.toStdString()));
        new_community_dialog d(host.sqlca());
        d.show();
        d.number_field()->setText("4201 06");
        d.name_field()->setText("花园社区");
        d.accept();
        QVERIFY(d.isVisible());
        QCOMPARE(d.refusal(), QString("社区编号只能是1到12位字母或数字。"));
        QCOMPARE(count_of(host.sqlca(), "SELECT count(*) FROM tc_ge_community"), 0L);
        d.number_field()->setText(" 420106009009 ");
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.commno(), std::string("420106009009"));
        QCOMPARE(count_of(host.sqlca(),
                          "SELECT count(*) FROM tc_ge_community WHERE commno = '420106009009' "
                          "AND commname = '花园社区'"),
                 1L);
    }

    // The program as the clerk's scripts start it.
    void the_program_opens_the_demo_office_with_demo_and_never_guesses_unattended() {
        QProcess p;
        p.setWorkingDirectory(place_->path());
        const QString picture = place_->filePath("frame.png");
        p.start(OFFICERECORDS_PROGRAM, {"--screenshot", picture});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains("--demo"), "names --demo");
        QVERIFY(!QFileInfo::exists(data_folder()));
        QVERIFY(!QFileInfo::exists(picture));

        p.start(OFFICERECORDS_PROGRAM, {"--demo", "--db", "x.db"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);

        p.start(OFFICERECORDS_PROGRAM, {"--demo", "--screenshot", picture});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(QFileInfo(picture).size() > 0);
        QCOMPARE(communities_in(data_folder() + "/demo.db"), 2L);
        // Not remembered: --demo is no choice of the clerk's.
        QCOMPARE(QSettings().value("database").toString(), QString());
    }
};

int main(int argc, char** argv) {
    // The user's folders, before anything of Qt looks at them.
    QTemporaryDir root;
    if (!root.isValid()) return 1;
    g_user_root = root.path();
    for (const char* sub : {"data", "config", "cache", "home"}) QDir(root.path()).mkpath(sub);
    qputenv("XDG_DATA_HOME", (root.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (root.path() + "/cache").toUtf8());
    qputenv("HOME", (root.path() + "/home").toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tst_first_start test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_first_start.moc"
