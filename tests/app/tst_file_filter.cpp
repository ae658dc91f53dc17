// The file-open filter as the windows write it, turned into Qt's.
#include <QTest>

#include "app/file_filter.h"

using officerecords::app::qt_file_filter;

class tst_file_filter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void converts_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pictures") << "所有图片文件(*.BMP;*.GIF;*.JPG),*.BMP;*.GIF;*.JPG"
                                  << "所有图片文件 (*.BMP *.bmp *.GIF *.gif *.JPG *.jpg *.JPEG "
                                     "*.jpeg *.PNG *.png)";
        QTest::newRow("pictures in lower case")
            << "图片,*.png;*.jpg"
            << "图片 (*.png *.jpg *.BMP *.bmp *.GIF *.gif *.JPEG *.jpeg)";
        QTest::newRow("one picture kind in two spellings") << "BMP,*.BMP;*.bmp"
                                                           << "BMP (*.BMP *.bmp)";
        QTest::newRow("pictures and documents")
            << "图片和文档,*.BMP;*.GIF;*.DOC"
            << "图片和文档 (*.BMP *.bmp *.GIF *.gif *.DOC *.doc)";
        QTest::newRow("two kinds") << "JPEG(*.JPG),*.JPG,所有文件,*.*"
                                   << "JPEG (*.JPG *.jpg);;所有文件 (*.*)";
        QTest::newRow("lower case stays") << "图片,*.png"
                                          << "图片 (*.png)";
        QTest::newRow("no pattern") << "文档"
                                    << "文档 (*)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void converts() {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QCOMPARE(qt_file_filter(given.toStdString()), expected);
    }
};

QTEST_MAIN(tst_file_filter)
#include "tst_file_filter.moc"
