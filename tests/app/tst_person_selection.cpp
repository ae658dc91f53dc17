// The person selection windows in the real dialogs, on a scratch demo
// database: a name typed into a member form opens the selection, the
// clerk picks by Enter or a double-click, searches again, picks nobody or
// abandons; the form then shows the person, his age and his photo beside
// it. A new organisation member joins the body selected in the bodies'
// list, or the one the clerk chooses, and the duty guard of its body
// speaks through the real message box.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/owner_dialog.h"
#include "app/person_dialog.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_member = "w_m_og_councilmemberinfo";
constexpr const char* k_org_member = "w_m_og_councilorgmember";
constexpr const char* k_bodies = "w_m_og_councilorgduty";
constexpr const char* k_seal = "w_m_og_sealuserecord";
// Demo persons with a stored photo.
constexpr const char* k_li_wenjing = "P4201060010010003";
constexpr const char* k_wang_jianhua = "P4201060010010002";

// The dialog's rows as "name | sex | birth date | age | ID number | address".
QStringList listed(person_dialog& d) {
    QStringList rows;
    for (int r = 0; r < d.list().rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < d.list().columnCount(); ++c) cells << d.list().item(r, c)->text();
        rows << cells.join(" | ");
    }
    return rows;
}

int row_of(person_dialog& d, const QString& name) {
    for (int r = 0; r < d.list().rowCount(); ++r)
        if (d.list().item(r, 0)->text() == name) return r;
    return -1;
}

// Makes the person's row current and presses Enter in the list.
void pick_with_enter(person_dialog& d, const QString& name) {
    const int row = row_of(d, name);
    if (row < 0) return;
    d.list().setCurrentCell(row, 0);
    QTest::keyClick(&d.list(), Qt::Key_Return);
}

void pick_with_double_click(person_dialog& d, const QString& name) {
    const int row = row_of(d, name);
    if (row < 0) return;
    // A clerk's double-click: a click, then the second press and release.
    const QPoint at = d.list().visualItemRect(d.list().item(row, 0)).center();
    QTest::mouseClick(d.list().viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(d.list().viewport(), Qt::LeftButton, {}, at);
}

QPushButton* button(QWidget& d, const char* name) {
    auto* b = d.findChild<QPushButton*>(name);
    if (!b) qFatal("no button %s", name);
    return b;
}

// Types into the column and leaves the field with Enter, which raises
// itemchanged (and so the selection window for a name).
void enter_into(record_dialog& d, const char* column, const QString& text) {
    type_into(d, column, text);
    QTest::keyClick(d.form().editor(column)->focus_widget(), Qt::Key_Return);
}

QString shown(record_dialog& d, const char* column) { return d.form().editor(column)->text(); }

// Full years from the birth date to today.
int age_on(QDate birth, QDate today) {
    int years = today.year() - birth.year();
    if (QDate(today.year(), birth.month(), birth.day()) > today) --years;
    return years;
}

struct person_row {
    QString name, idcard, address;
    QDate birth;
};

person_row stored_person(transaction& t, const char* personno) {
    const value key[] = {value(std::string(personno))};
    auto c = t.open_cursor(
        "SELECT personname, idcard, presentaddr1, birthdate FROM tc_ge_personinfo WHERE "
        "personno = ?",
        key);
    if (!c || !c->fetch()) qFatal("no person %s", personno);
    return {qs(c->column_value(0).to_text()), qs(c->column_value(1).to_text()),
            qs(c->column_value(2).to_text()),
            QDate::fromString(qs(c->column_value(3).to_text()), Qt::ISODate)};
}

// The person's photo as the photo store holds it.
QImage stored_photo(session& s, const char* personno) {
    const value key[] = {value(std::string(personno))};
    auto bytes =
        s.photosqlca.select_blob("SELECT Photo FROM TS_PersonPhoto WHERE PersonNo = ?", key);
    if (!bytes) qFatal("no photo of %s", personno);
    QImage image;
    if (!image.loadFromData(bytes->data(), static_cast<int>(bytes->size())))
        qFatal("the photo of %s is no picture", personno);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage photo_shown(record_dialog& d) {
    return d.form_picture("p_photo")->picture().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class tst_person_selection : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    QString start_dir_;

    std::unique_ptr<main_window> frame_;

    main_window& shown_frame() {
        frame_ = std::make_unique<main_window>(office_->host, "测试社区");
        frame_->show();
        if (!QTest::qWaitForWindowExposed(frame_.get())) qWarning("the frame is not shown");
        return *frame_;
    }

    // A new member of term 05, the term chosen from its drop-down.
    std::unique_ptr<open_register_record> new_member_of_term_05() {
        auto r = std::make_unique<open_register_record>(*office_, k_member, k_mode_add);
        if (!choose(drop_down(*r->dialog, "falldue"), "05")) qFatal("term 05 is not offered");
        return r;
    }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        start_dir_ = QDir::currentPath();
    }
    void init() {
        office_ = std::make_unique<scratch_office>();
        // The member photos are written to the user's cache, the scratch
        // office's own; the default photo is read from the working folder.
        QDir office(office_->dir.path());
        QVERIFY(office.mkpath("bmp"));
        QVERIFY(QFile::copy(start_dir_ + "/bmp/photo.jpg", office.filePath("bmp/photo.jpg")));
        QVERIFY(QDir::setCurrent(office.path()));
        qputenv("XDG_CACHE_HOME", office.filePath("cache").toUtf8());
        office_->sess().gs_apppath = office.path().toStdString();
    }
    void cleanup() {
        frame_.reset();
        QDir::setCurrent(start_dir_);
        office_.reset();
    }

    void a_picked_member_shows_his_columns_age_and_photo() {
        auto r = new_member_of_term_05();
        record_dialog& d = *r->dialog;
        const person_row li = stored_person(office_->host.sqlca(), k_li_wenjing);
        const QString li_age = QString::number(age_on(li.birth, QDate::currentDate()));
        QString title, search;
        QStringList rows;
        modal_driver<person_dialog> clerk([&](person_dialog& s) {
            title = s.windowTitle();
            search = s.search_field().text();
            rows = listed(s);
            pick_with_enter(s, li.name);
        });
        enter_into(d, "personname", "李");
        QVERIFY(clerk.ran());
        QCOMPARE(title, QString("选择居委会成员"));
        QCOMPARE(search, QString("李"));
        QVERIFY2(rows.size() >= 3, qPrintable(rows.join("\n")));
        for (const QString& row : rows)
            QVERIFY2(row.section(" | ", 0, 0).contains("李"), qPrintable(row));
        QVERIFY(rows.contains(QStringList{li.name, "女", li.birth.toString(Qt::ISODate), li_age,
                                          li.idcard, li.address}
                                  .join(" | ")));

        // The form shows the person at once, as the core filled the row.
        QCOMPARE(qs(r->window().dw_1.getitemstring(1, "personno").value_or("")),
                 QString(k_li_wenjing));
        QCOMPARE(shown(d, "personname"), li.name);
        QCOMPARE(shown(d, "idcard"), li.idcard);
        QCOMPARE(shown(d, "presentaddr1"), li.address);
        QCOMPARE(shown(d, "age"), li_age);
        picture_label* photo = d.form_picture("p_photo");
        QVERIFY(photo);
        QCOMPARE(r->window().dw_1.picture_file("p_photo"), std::string("bmp\\cap_model.bmp"));
        QVERIFY(!photo->pixmap().isNull());
        QCOMPARE(photo_shown(d), stored_photo(office_->sess(), k_li_wenjing));
        QVERIFY(fitted(*photo));
        // Written for display into the cache, never into the working folder.
        QDir office(office_->dir.path());
        QVERIFY(QFileInfo::exists(office.filePath("cache/OfficeRecords/bmp/cap_model.bmp")));
        QVERIFY(!QFileInfo::exists(office.filePath("bmp/cap_model.bmp")));
        // Beside the form, not scrolled with it.
        auto* scroll = d.findChild<QScrollArea*>();
        QVERIFY(scroll && !scroll->isAncestorOf(photo));
        QVERIFY(photo->geometry().left() >= scroll->geometry().right());

        // Another person's photo under the very same file name is shown too.
        const person_row wang = stored_person(office_->host.sqlca(), k_wang_jianhua);
        modal_driver<person_dialog> again(
            [&](person_dialog& s) { pick_with_double_click(s, wang.name); });
        enter_into(d, "personname", wang.name);
        QVERIFY(again.ran());
        QCOMPARE(shown(d, "personname"), wang.name);
        QCOMPARE(shown(d, "age"), QString::number(age_on(wang.birth, QDate::currentDate())));
        QCOMPARE(r->window().dw_1.picture_file("p_photo"), std::string("bmp\\cap_model.bmp"));
        const QImage wang_photo = stored_photo(office_->sess(), k_wang_jianhua);
        QVERIFY(wang_photo != stored_photo(office_->sess(), k_li_wenjing));
        QCOMPARE(photo_shown(d), wang_photo);
    }

    void the_member_form_shows_its_groups_and_protected_columns() {
        open_register_record r(*office_, k_member, k_mode_modify);
        record_dialog& d = *r.dialog;
        QStringList groups;
        for (auto* g : d.form().findChildren<QGroupBox*>()) groups << g->title();
        QCOMPARE(groups, (QStringList{"居委会成员基本信息", "居委会成员相关信息"}));
        // A stored member keeps his person and term: both protected.
        data_window& dw = r.window().dw_1;
        QCOMPARE(dw.describe("personname.protect"), std::string("1"));
        auto* name = qobject_cast<QLineEdit*>(d.form().editor("personname")->widget());
        auto* idcard = qobject_cast<QLineEdit*>(d.form().editor("idcard")->widget());
        QVERIFY(name && idcard);
        const QPalette standard = QApplication::palette(name);
        for (QLineEdit* locked : {name, idcard}) {
            QVERIFY(locked->isReadOnly());
            QCOMPARE(locked->palette().color(QPalette::Text),
                     standard.color(QPalette::Disabled, QPalette::Text));
        }
        QVERIFY(!d.form().editor("falldue")->widget()->isEnabled());
        QVERIFY(d.form().editor("duty")->widget()->isEnabled());
        QCOMPARE(d.form().editor("note")->widget()->palette().color(QPalette::Text),
                 standard.color(QPalette::Active, QPalette::Text));
        // The stored member's photo is shown from the start.
        const std::string personno = dw.getitemstring(1, "personno").value_or("");
        QCOMPARE(photo_shown(d), stored_photo(office_->sess(), personno.c_str()));
    }

    void abandoning_the_selection_gives_the_new_member_up() {
        const std::string members = "SELECT count(*) FROM tc_og_councilmemberinfo";
        const long before = count_of(office_->host.sqlca(), members);
        auto r = new_member_of_term_05();
        box_answerer boxes;
        modal_driver<person_dialog> clerk(
            [](person_dialog& s) { QTest::keyClick(&s.list(), Qt::Key_Escape); });
        enter_into(*r->dialog, "personname", "李");
        QVERIFY(clerk.ran());
        QVERIFY(r->dialog->close_requested());
        QTRY_VERIFY(r->dialog->isHidden());
        // Closed without the question about unsaved changes, nothing saved.
        QCOMPARE(boxes.seen, std::vector<QString>{});
        QCOMPARE(count_of(office_->host.sqlca(), members), before);
    }

    void the_seal_window_says_when_nobody_matches_and_picks_nobody() {
        open_register_record r(*office_, k_seal, k_mode_add);
        QString title, note;
        int rows = -1;
        bool can_pick = true;
        modal_driver<person_dialog> clerk([&](person_dialog& s) {
            title = s.windowTitle();
            note = s.note().text();
            rows = s.list().rowCount();
            can_pick = button(s, "pick")->isEnabled();
            QTest::mouseClick(button(s, "nobody"), Qt::LeftButton);
        });
        enter_into(*r.dialog, "personname", "查无此人");
        QVERIFY(clerk.ran());
        QCOMPARE(title, QString("选择人员"));
        QCOMPARE(note, QString("没有找到与“查无此人”相符的人员。"));
        QCOMPARE(rows, 0);
        QVERIFY(!can_pick);
        QVERIFY(r.window().dw_1.getitemstring(1, "personno").value_or("").empty());
        QCOMPARE(shown(*r.dialog, "personname"), QString());
        box_answerer boxes;
        QTest::mouseClick(r.dialog->button("cb_save"), Qt::LeftButton);
        QCOMPARE(boxes.seen,
                 std::vector<QString>{"提示 | 在个人信息中不存在，请选择个人信息中存在的人员!"});
    }

    void searching_again_keeps_the_seal_windows_columns() {
        open_register_record r(*office_, k_seal, k_mode_add);
        const person_row wang = stored_person(office_->host.sqlca(), k_wang_jianhua);
        QStringList by_name, by_idcard;
        modal_driver<person_dialog> clerk([&](person_dialog& s) {
            QLineEdit& field = s.search_field();
            field.setFocus(Qt::MouseFocusReason);
            QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
            type_text(&field, "王");
            QTest::mouseClick(button(s, "find"), Qt::LeftButton);
            by_name = listed(s);
            field.setFocus(Qt::MouseFocusReason);
            QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(&field, wang.idcard);
            QTest::keyClick(&field, Qt::Key_Return);
            by_idcard = listed(s);
            pick_with_double_click(s, wang.name);
        });
        enter_into(*r.dialog, "personname", "查无此人");
        QVERIFY(clerk.ran());
        QVERIFY2(by_name.size() >= 2, qPrintable(by_name.join("\n")));
        for (const QString& row : by_name) QVERIFY2(row.startsWith("王"), qPrintable(row));
        QCOMPARE(by_idcard.size(), 1);
        QVERIFY(by_idcard.front().startsWith(wang.name + " | 男 | "));
        // The seal window's own columns are filled, the phone among them.
        data_window& dw = r.window().dw_1;
        QCOMPARE(qs(dw.getitemstring(1, "personno").value_or("")), QString(k_wang_jianhua));
        QCOMPARE(shown(*r.dialog, "personname"), wang.name);
        QCOMPARE(shown(*r.dialog, "idcard"), wang.idcard);
        const value key[] = {value(std::string(k_wang_jianhua))};
        auto phone = office_->host.sqlca().select_value(
            "SELECT contactphone FROM tc_ge_personinfo WHERE personno = ?", key);
        QVERIFY(phone && !phone->is_null());
        QCOMPARE(shown(*r.dialog, "contactphone"), qs(phone->to_text()));
    }

    void a_second_head_of_a_body_is_refused_on_saving() {
        main_window& frame = shown_frame();
        register_tab* bodies = frame.open_register(*find_window_entry(k_bodies));
        QVERIFY(bodies);
        const long body_2 = find_listed(bodies->page(), value(std::int64_t{2}));
        QVERIFY(body_2 > 0);
        bodies->view().selectRow(bodies->model().model_row(body_2));
        QCOMPARE(bodies->current_row(), body_2);
        QVERIFY(frame.open_register(*find_window_entry(k_org_member)));
        const std::string heads_of_2 =
            "SELECT count(*) FROM tc_og_councilorgmember WHERE orgno = 2 AND duty = '11'";
        QCOMPARE(count_of(office_->host.sqlca(), heads_of_2), 1L);

        const person_row wang = stored_person(office_->host.sqlca(), k_wang_jianhua);
        box_answerer boxes(QMessageBox::No);
        value owner;
        bool duty_chosen = false;
        modal_driver<person_dialog> picker(
            [&](person_dialog& s) { pick_with_enter(s, wang.name); });
        modal_record_driver clerk([&](record_dialog& d) {
            owner = d.window().dw_1.getitem(1, "orgno");
            enter_into(d, "personname", wang.name);
            duty_chosen = choose(drop_down(d, "duty"), "11");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        // The body selected in its list is taken: no one is asked.
        modal_driver<owner_dialog> chooser([](owner_dialog& o) { o.reject(); });
        frame.findChild<QAction*>("add")->trigger();
        QVERIFY(!chooser.ran());
        QVERIFY(clerk.ran());
        QVERIFY(picker.ran());
        QVERIFY(duty_chosen);
        QCOMPARE(owner.as_double(), std::optional<double>(2));
        QVERIFY(!boxes.seen.empty());
        QCOMPARE(
            boxes.seen.front(),
            QString(
                "数据录入错误 | 同一个居委会组织机构中，不能有两个【机构中职务:】为“主任”的人!"));
        QCOMPARE(count_of(office_->host.sqlca(), heads_of_2), 1L);
    }

    void without_the_bodies_list_the_clerk_chooses_the_body() {
        main_window& frame = shown_frame();
        QVERIFY(frame.open_register(*find_window_entry(k_org_member)));
        QStringList offered;
        modal_driver<owner_dialog> chooser([&](owner_dialog& o) {
            for (int i = 0; i < o.list().count(); ++i) offered << o.list().item(i)->text();
            o.list().setCurrentRow(
                static_cast<int>(offered.indexOf("第五届  水果湖社区人民调解委员会")));
            QTest::keyClick(&o.list(), Qt::Key_Return);
        });
        value owner;
        modal_record_driver clerk([&](record_dialog& d) {
            owner = d.window().dw_1.getitem(1, "orgno");
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        frame.findChild<QAction*>("add")->trigger();
        QVERIFY(chooser.ran());
        QVERIFY(clerk.ran());
        QCOMPARE(offered.size(), static_cast<int>(count_of(
                                     office_->host.sqlca(),
                                     "SELECT count(*) FROM tc_og_councilorgduty WHERE commno = "
                                     "'420106001001'")));
        QVERIFY(offered.contains("第六届  水果湖社区人民调解委员会"));
        // Body 6 is the conciliation committee of term 05.
        QCOMPARE(owner.as_double(), std::optional<double>(6));
    }

    void cancelling_the_body_opens_no_window() {
        main_window& frame = shown_frame();
        QVERIFY(frame.open_register(*find_window_entry(k_org_member)));
        modal_driver<owner_dialog> chooser(
            [](owner_dialog& o) { QTest::keyClick(&o.list(), Qt::Key_Escape); });
        modal_record_driver clerk([](record_dialog&) {});
        frame.findChild<QAction*>("add")->trigger();
        QVERIFY(chooser.ran());
        QVERIFY(!clerk.ran());
        QVERIFY(!record_dialog::topmost());
    }
};

QTEST_MAIN(tst_person_selection)
#include "tst_person_selection.moc"
