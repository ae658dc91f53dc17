// The activity record's window and its photo album in the real dialogs,
// on a scratch demo database: the photo indicator beside its button, the
// album opened over the record window, photos chosen in Qt's file dialog,
// annotated, browsed and deleted, and the indicator after the album closes.
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "activities/commactivityrecord.h"
#include "app/column_editor.h"
#include "app/form_view.h"
#include "app/picture_label.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_window = "w_m_og_commactivityrecord";
// The picture files as the dialog offers them: lower-case names and PNG too.
const QString k_file_dialog =
    "请选择照片文件(尺寸小于1024*768，大小在1兆以内的图片文件) | 所有图片文件 (*.BMP *.bmp *.GIF "
    "*.gif *.JPG *.jpg *.JPEG *.jpeg *.PNG *.png)";

template <class W>
W* shown_widget(record_dialog& d, const char* name) {
    auto* w = qobject_cast<W*>(d.control_widget(name));
    if (!w) qFatal("no widget for %s", name);
    return w;
}

QString label_text(record_dialog& d, const char* name) {
    return shown_widget<QLabel>(d, name)->text();
}

picture_label* picture(record_dialog& d, const char* name) {
    return shown_widget<picture_label>(d, name);
}

// The colour in the middle of what the picture label draws.
QColor shown_colour(record_dialog& d) {
    QImage drawn = picture(d, "p_1")->pixmap().toImage();
    return drawn.isNull() ? QColor() : drawn.pixelColor(drawn.rect().center());
}

// A picture file of one colour, written by Qt's own image writer.
QString write_picture(const QTemporaryDir& dir, const QString& name, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QString path = dir.filePath(name);
    if (!image.save(path)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

void click(record_dialog& d, const char* button) {
    QToolButton* b = d.button(button);
    if (!b) qFatal("no button %s", button);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Clicks into the note as the clerk does. (Offscreen, a closed message box
// leaves no window active: the album is made active again first.)
bool click_into_note(record_dialog& album) {
    auto* edit = shown_widget<QLineEdit>(album, "sle_note");
    album.activateWindow();
    if (!QTest::qWaitForWindowActive(&album)) return false;
    QTest::mouseClick(edit, Qt::LeftButton);
    return QTest::qWaitFor([edit] { return edit->hasFocus(); });
}

bool type_note(record_dialog& album, const QString& note) {
    if (!click_into_note(album)) return false;
    auto* edit = shown_widget<QLineEdit>(album, "sle_note");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    type_text(edit, note);
    return true;
}

// The photos of one activity as "PhotoNo | PhotoFileName | PhotoNote | bytes" rows.
QStringList stored_photos(transaction& t, std::int64_t orderno) {
    QStringList rows;
    const std::vector<value> params{value(orderno)};
    auto c = t.open_cursor(
        "SELECT PhotoNo, PhotoFileName, PhotoNote, length(Photo) FROM TS_CommActivePhoto "
        "WHERE OrderNo = ? ORDER BY PhotoNo",
        params);
    if (!c) return {"error: " + qs(t.sqlerrtext())};
    while (c->fetch()) {
        QStringList row;
        for (int i = 0; i < c->column_count(); ++i) row << qs(c->column_value(i).to_text());
        rows << row.join(" | ");
    }
    return rows;
}

}  // namespace

class tst_activity_album : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    QString start_dir_;

    // The activity record of community 1 whose orderno is `orderno`, in 修改.
    std::unique_ptr<open_register_record> open_activity(std::int64_t orderno) {
        auto r = std::make_unique<open_register_record>(*office_, k_window, k_mode_modify,
                                                        long(orderno));
        auto shown = r->window().dw_1.getitemnumber(1, "orderno");
        if (!shown || *shown != double(orderno))
            qFatal("activity %lld is not listed there", (long long)orderno);
        return r;
    }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        // Qt's own file dialog, a widget the test can answer.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        start_dir_ = QDir::currentPath();
    }
    void init() {
        office_ = std::make_unique<scratch_office>();
        // The album goes back to the program's folder after a file dialog;
        // bmp/ lies in the working folder here, beside the program there.
        office_->sess().gs_apppath = start_dir_.toStdString();
    }
    void cleanup() {
        office_.reset();
        QDir::setCurrent(start_dir_);
    }

    void the_record_window_shows_the_photo_indicator() {
        auto r = open_activity(1);
        record_dialog& d = *r->dialog;
        QVERIFY(d.has_form());
        QLabel* caption = shown_widget<QLabel>(d, "st_1");
        picture_label* indicator = picture(d, "cbx_photo");
        QToolButton* photo = d.button("cb_photo");
        QCOMPARE(caption->text(), QString("包含图片"));
        QCOMPARE(indicator->picture().toImage(), picture_file("bmp\\yes.bmp").toImage());
        QVERIFY(!indicator->pixmap().isNull());
        QVERIFY(!photo->icon().isNull());
        QVERIFY(photo->isEnabled());
        // One row below the toolbar: the caption, the indicator, its button.
        QToolButton* save = d.button("cb_save");
        QVERIFY(caption->y() > save->y() + save->height() / 2);
        QVERIFY(caption->x() < indicator->x() && indicator->x() < photo->x());
        for (QWidget* w : std::initializer_list<QWidget*>{indicator, photo})
            QVERIFY(std::abs(w->geometry().center().y() - caption->geometry().center().y()) <= 4);
        // The form: the yes/no questions as radio buttons, the texts on many lines.
        for (const char* column : {"ispublish", "isbigaffair"})
            QCOMPARE(d.form().editor(column)->editor_kind(), column_editor::kind::radio);
        for (const char* column : {"activityplan", "activitysumup", "note"})
            QCOMPARE(d.form().editor(column)->editor_kind(), column_editor::kind::multiline);
    }

    void a_new_record_cannot_open_the_album() {
        open_register_record r(*office_, k_window, k_mode_add);
        QVERIFY(!r.dialog->button("cb_photo")->isEnabled());
        QCOMPARE(picture(*r.dialog, "cbx_photo")->picture().toImage(),
                 picture_file("bmp\\no.bmp").toImage());
    }

    void photos_are_added_browsed_and_deleted() {
        const QString one = write_picture(office_->dir, "one.png", {64, 48}, QColor(200, 30, 40));
        const QString two = write_picture(office_->dir, "two.bmp", {40, 60}, QColor(30, 90, 200));
        auto r = open_activity(2);
        record_dialog& d = *r->dialog;
        auto& activity = static_cast<w_m_og_commactivityrecord&>(r->window());
        const QImage no = picture_file("bmp\\no.bmp").toImage();
        const QImage yes = picture_file("bmp\\yes.bmp").toImage();
        QVERIFY(!no.isNull() && !yes.isNull() && no != yes);
        QCOMPARE(activity.cbx_photo.picture(), std::string("bmp\\no.bmp"));
        QCOMPARE(picture(d, "cbx_photo")->picture().toImage(), no);
        const QString subject =
            qs(activity.dw_1.describe("Evaluate('LookUpDisplay(activitytopic)',1)"));
        QVERIFY(!subject.isEmpty());

        box_answerer boxes(QMessageBox::Yes);
        file_answerer files;
        bool driven_to_the_end = false;
        modal_record_driver album_driver([&](record_dialog& album) {
            QCOMPARE(album.parentWidget(), &d);
            QCOMPARE(album.windowTitle(), QString("社区活动记录照片"));
            QVERIFY(!album.has_form());
            QCOMPARE(label_text(album, "st_2"), QString("活动标题:"));
            QCOMPARE(label_text(album, "st_subject"), subject);
            QCOMPARE(label_text(album, "st_total"), QString("0"));
            auto* frame = shown_widget<QGroupBox>(album, "gb_1");
            QCOMPARE(frame->title(), QString("照片浏览栏"));
            QCOMPARE(picture(album, "p_1")->parentWidget(), frame);
            QVERIFY(!picture(album, "p_1")->isVisible());
            QVERIFY(!album.button("cb_tempsave")->isVisible());
            QVERIFY(!album.button("cb_save")->isEnabled());
            QCOMPARE(album.button("cb_next")->toolTip(), QString("下一张 (Ctrl+PgDown)"));
            QVERIFY(!album.button("cb_exit")->icon().isNull());

            files.queue(one);
            click(album, "cb_new");
            QCOMPARE(files.seen, std::vector<QString>{k_file_dialog});
            QVERIFY(picture(album, "p_1")->isVisible());
            QCOMPARE(shown_colour(album), QColor(200, 30, 40));
            QVERIFY(type_note(album, "义诊现场"));
            QCOMPARE(album.window().find_control("sle_note")->text(), std::string("义诊现场"));
            click(album, "cb_save");
            QCOMPARE(label_text(album, "st_total"), QString("1"));

            files.queue(two);
            click(album, "cb_new");
            QCOMPARE(label_text(album, "st_photono"), QString("2"));
            QCOMPARE(shown_widget<QLineEdit>(album, "sle_note")->text(), QString());
            QVERIFY(type_note(album, "合影2"));
            click(album, "cb_save");
            QCOMPARE(label_text(album, "st_total"), QString("2"));

            // Browsing while the note has the focus shows each photo's own note.
            QVERIFY(click_into_note(album));
            click(album, "cb_first");
            QVERIFY(shown_widget<QLineEdit>(album, "sle_note")->hasFocus());
            QCOMPARE(label_text(album, "st_photono"), QString("1"));
            QVERIFY(!picture(album, "p_1")->pixmap().isNull());
            QCOMPARE(shown_colour(album), QColor(200, 30, 40));
            QCOMPARE(shown_widget<QLineEdit>(album, "sle_note")->text(), QString("义诊现场"));
            click(album, "cb_next");
            QCOMPARE(label_text(album, "st_photono"), QString("2"));
            QCOMPARE(shown_colour(album), QColor(30, 90, 200));
            QCOMPARE(shown_widget<QLineEdit>(album, "sle_note")->text(), QString("合影2"));
            QVERIFY(fitted(*picture(album, "p_1")));

            click(album, "cb_first");
            click(album, "cb_del");
            QCOMPARE(label_text(album, "st_total"), QString("1"));
            QCOMPARE(label_text(album, "st_photono"), QString("1"));
            QCOMPARE(shown_colour(album), QColor(30, 90, 200));
            QCOMPARE(shown_widget<QLineEdit>(album, "sle_note")->text(), QString("合影2"));
            QCOMPARE(files.seen.size(), std::size_t(2));
            click(album, "cb_exit");
            driven_to_the_end = true;
        });
        click(d, "cb_photo");
        QVERIFY(album_driver.ran());
        QVERIFY(driven_to_the_end);
        QCOMPARE(boxes.seen,
                 (std::vector<QString>{
                     "提示信息 | 照片数据保存成功！", "提示信息 | 照片数据保存成功！",
                     "确认信息 | 您确定要删除该照片吗？", "提示信息 | 照片删除成功！"}));
        QCOMPARE(activity.cbx_photo.picture(), std::string("bmp\\yes.bmp"));
        QCOMPARE(picture(d, "cbx_photo")->picture().toImage(), yes);
        QVERIFY(d.isVisible());
        const QString bytes = QString::number(QFileInfo(two).size());
        QCOMPARE(stored_photos(office_->host.sqlca(), 2),
                 QStringList{"2 | two.bmp | 合影2 | " + bytes});
    }

    // What the clerk typed in the album is never dropped unasked: leaving it
    // asks 是/否/取消, 取消 stays, 是 saves; Ctrl+S is the album's Save.
    void unsaved_work_in_the_album_is_asked_about_and_ctrl_s_saves() {
        const QString one = write_picture(office_->dir, "one.png", {64, 48}, QColor(200, 30, 40));
        auto r = open_activity(2);
        record_dialog& d = *r->dialog;
        box_answerer boxes(QMessageBox::Cancel);
        file_answerer files;
        bool driven_to_the_end = false;
        modal_record_driver album_driver([&](record_dialog& album) {
            QCOMPARE(label_text(album, "st_total"), QString("0"));
            QCOMPARE(label_text(album, "st_photono"), QString());  // an empty album has no position
            files.queue(one);
            click(album, "cb_new");
            QVERIFY(type_note(album, "义诊现场"));
            // Closing with the new photo unsaved: 取消 keeps the album open.
            click(album, "cb_exit");
            QVERIFY(album.isVisible());
            QCOMPARE(label_text(album, "st_photono"), QString("1"));
            QVERIFY(click_into_note(album));  // the album active again, as after any box
            QTest::keyClick(shown_widget<QLineEdit>(album, "sle_note"), Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(label_text(album, "st_total"), QString("1"));
            // An edited note, then closing answered 是: saved, and closed.
            QVERIFY(type_note(album, "义诊现场（改）"));
            boxes.set_answer(QMessageBox::Yes);
            driven_to_the_end = true;
            click(album, "cb_exit");
        });
        click(d, "cb_photo");
        QVERIFY(album_driver.ran());
        QVERIFY(driven_to_the_end);
        QCOMPARE(boxes.seen, (std::vector<QString>{"提示信息 | 当前记录已经修改，是否保存？",
                                                   "提示信息 | 照片数据保存成功！",
                                                   "提示信息 | 当前记录已经修改，是否保存？",
                                                   "提示信息 | 照片数据保存成功！"}));
        const QString bytes = QString::number(QFileInfo(one).size());
        QCOMPARE(stored_photos(office_->host.sqlca(), 2), QStringList{"1 | one.png | 义诊现场（改） | " + bytes});
    }

    // A new activity once saved takes photos without being opened again; the
    // disabled button says why it is disabled.
    void a_saved_new_activity_opens_the_album() {
        open_register_record r(*office_, k_window, k_mode_add);
        QToolButton* camera = r.dialog->button("cb_photo");
        QVERIFY(!camera->isEnabled());
        QCOMPARE(camera->toolTip(), QString("请先保存当前数据！再录入图片资料。"));
        w_modify& w = r.window();
        for (const auto& [column, text] : {std::pair{"activitydate", "2026-12-01"}, {"activitytopic", "05"},
                                           {"activitysumup", "发放宣传资料100份。"}}) {
            QVERIFY(w.enter_column(w.dw_1.column_number(column)));
            w.dw_1.settext(text);
            QVERIFY(w.leave_field());
        }
        box_answerer boxes;
        click(*r.dialog, "cb_save");
        QVERIFY(boxes.seen.empty());
        QVERIFY(camera->isEnabled());
        QVERIFY(r.dialog->windowTitle().contains(k_mode_modify));
    }

    void stored_photos_are_shown_from_memory_and_fitted() {
        auto r = open_activity(1);
        bool driven_to_the_end = false;
        modal_record_driver album_driver([&](record_dialog& album) {
            control& p_1 = *album.window().find_control("p_1");
            QVERIFY(!p_1.picture_bytes().empty());
            QVERIFY(p_1.picture().empty());
            QCOMPARE(label_text(album, "st_total"), QString("3"));
            picture_label* photo = picture(album, "p_1");
            QTRY_VERIFY(photo->isVisible() && !photo->pixmap().isNull());
            QCOMPARE(photo->picture().size(), QSize(48, 32));
            QVERIFY(fitted(*photo));
            const int width = photo->pixmap().width();
            album.resize(album.width() + 300, album.height() + 200);
            QTRY_VERIFY(photo->pixmap().width() > width);
            QVERIFY(fitted(*photo));
            click(album, "cb_last");
            QCOMPARE(label_text(album, "st_photono"), QString("3"));
            QCOMPARE(shown_widget<QLineEdit>(album, "sle_note")->text(), QString("活动现场合影"));
            click(album, "cb_exit");
            driven_to_the_end = true;
        });
        click(*r->dialog, "cb_photo");
        QVERIFY(album_driver.ran());
        QVERIFY(driven_to_the_end);
    }

    void a_picture_that_cannot_be_read_shows_nothing() {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::green);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"));
        control p_1("p_1", control_kind::picture);
        picture_label label(picture_label::sizing::fit, nullptr);
        label.resize(80, 60);

        p_1.set_picture_bytes(blob(png.begin(), png.end()));
        label.show_picture(p_1);
        QCOMPARE(label.picture().size(), QSize(8, 6));
        QVERIFY(!label.pixmap().isNull());

        // The signature of a PNG, then nothing a reader can take.
        blob broken(png.begin(), png.begin() + 16);
        broken.resize(64, 0xAB);
        p_1.set_picture_bytes(broken);
        label.show_picture(p_1);
        QVERIFY(label.picture().isNull());
        QVERIFY(label.pixmap().isNull());

        p_1.set_picture("bmp\\no_such_picture.bmp");
        label.show_picture(p_1);
        QVERIFY(label.pixmap().isNull());
    }
};

QTEST_MAIN(tst_activity_album)
#include "tst_activity_album.moc"
