// The program's file dialogs list the folder of the open database without
// opening the database: the program keeps its lock on the file while the
// clerk looks for a file to export to, a photo or a backup beside it.
// They speak Chinese, Qt's own texts included, on a system whose locale is
// C: the test runs under LC_ALL=C.
#include <QAbstractProxyModel>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/file_dialog.h"
#include "gui_test_support.h"
#include "tests/lock_probe.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

class tst_file_dialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }

    void qt_s_own_texts_are_chinese_under_the_c_locale() {
        QCOMPARE(QLocale::system().name(), QString("C"));
        QVERIFY(install_qt_translations(*qApp));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("查找范围："));
    }

    void the_listing_shows_chinese_types_and_dates() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("备份"));
        const QString file = dir.filePath("office.csv");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(QByteArray(2048, 'x')), qint64(2048));
        QVERIFY(f.flush());
        QVERIFY(f.setFileTime(QDateTime(QDate(2024, 3, 15), QTime(9, 30)),
                              QFileDevice::FileModificationTime));
        f.close();

        file_dialog dialog(nullptr, "导出", dir.path(), "所有文件 (*)");
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        dialog.show();
        QTRY_VERIFY(loaded.count() > 0);
        const QAbstractProxyModel* shown = dialog.proxyModel();
        QVERIFY(shown);
        const auto cell = [&](const QString& path, int column) {
            return shown->mapFromSource(model->index(path))
                .siblingAtColumn(column)
                .data()
                .toString();
        };
        QTRY_COMPARE(cell(dir.filePath("备份"), 2), QString("文件夹"));
        QCOMPARE(cell(file, 3), QString("2024/3/15 09:30"));
        dialog.close();
    }

    void listing_the_database_keeps_its_lock() {
        scratch_office office;
        const QString path = QString::fromStdString(office.path);
        QCOMPARE(testkit::lock_holder(office.path), long(::getpid()));

        file_dialog dialog(nullptr, "导出", office.dir.path(), "所有文件 (*)");
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        dialog.show();
        QTRY_VERIFY(loaded.count() > 0);
        // The type and the icon the dialog shows for the database, which
        // it finds out on a thread of its own.
        const QModelIndex db = model->index(path);
        QVERIFY(db.isValid());
        QTRY_VERIFY(!model->data(db.siblingAtColumn(2)).toString().isEmpty());
        QVERIFY(!model->fileIcon(db).isNull());
        dialog.close();
        QCOMPARE(testkit::lock_holder(office.path), long(::getpid()));
    }
};

// The system's locale is C, as on a server or a bare desktop session.
int main(int argc, char** argv) {
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    QApplication app(argc, argv);
    tst_file_dialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_file_dialog.moc"
