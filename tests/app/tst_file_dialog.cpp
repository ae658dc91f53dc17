// The program's file dialogs list the folder of the open database without
// opening the database: the program keeps its lock on the file while the
// clerk looks for a file to export to, a photo or a backup beside it.
#include <QFileSystemModel>
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

QTEST_MAIN(tst_file_dialog)
#include "tst_file_dialog.moc"
