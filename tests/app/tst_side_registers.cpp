// The member side registers (training, appraisal, honours, part-time
// posts) in the main frame, on a scratch demo database: from the members'
// list the clerk adds one record of each for the selected member through
// the list's own actions, typing into the forms; each is stored for him and
// listed where its register's list is open, and the members' list stays as
// it was. From a side register's own list the member selected in the
// members' list is taken, else the clerk chooses one (each person once);
// cancelling the choice opens nothing. The side forms show the member and
// the record in two boxes, laid out as Tab walks them, and the free award
// name locked or open as the core has it.
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/main_window.h"
#include "app/owner_dialog.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_members = "w_m_og_councilmemberinfo";
constexpr const char* k_training = "w_m_og_councilmembertrain";
constexpr const char* k_appraisal = "w_m_og_councilmemberappr";
constexpr const char* k_honours = "w_m_og_councilmemberhonor";
constexpr const char* k_posts = "w_m_og_parttimejob";
// Demo members of both terms 05 and 06 in the first community.
constexpr const char* k_wang_jianhua = "P4201060010010002";
constexpr const char* k_zhao_guiying = "P4201060010010005";

// Clicks the row of the first listed membership of the person, as the
// clerk picks a member in the list.
void click_member(register_tab& members, const char* personno) {
    data_window& dw = members.page().dw_1;
    for (long r = 1; r <= dw.rowcount(); ++r) {
        if (dw.getitemstring(r, "personno").value_or("") != personno) continue;
        QTableView& view = members.view();
        const QModelIndex at = members.model().index(members.model().model_row(r), 2);
        view.scrollTo(at);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(at).center());
        return;
    }
    qFatal("no member %s", personno);
}

QToolButton* tool_button(main_window& frame, const QString& action_name) {
    auto* action = frame.findChild<QAction*>(action_name);
    auto* bar = frame.findChild<QToolBar*>("records");
    auto* button =
        action && bar ? qobject_cast<QToolButton*>(bar->widgetForAction(action)) : nullptr;
    if (!button) qFatal("no tool button for %s", qPrintable(action_name));
    return button;
}

// The toolbar's buttons the clerk can see now, by their texts.
QStringList visible_buttons(main_window& frame) {
    QStringList texts;
    auto* bar = frame.findChild<QToolBar*>("records");
    for (QAction* a : bar->actions())
        if (!a->isSeparator() && a->isVisible()) texts << a->text();
    return texts;
}

void leave_with_tab(record_dialog& d, const char* column) {
    QTest::keyClick(d.form().editor(column)->focus_widget(), Qt::Key_Tab);
}

void type_date(record_dialog& d, const char* column, const QString& day) {
    type_into(d, column, day);
    leave_with_tab(d, column);
}

void click_radio(record_dialog& d, const char* column, const QString& answer) {
    for (auto* b : d.form().editor(column)->widget()->findChildren<QRadioButton*>())
        if (b->text() == answer) return QTest::mouseClick(b, Qt::LeftButton);
    qFatal("no answer %s for %s", qPrintable(answer), column);
}

bool read_only(column_editor& e) {
    if (auto* line = qobject_cast<QLineEdit*>(e.widget())) return line->isReadOnly();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(e.widget())) return multi->isReadOnly();
    return !e.widget()->isEnabled();
}

// The member a new record was given and the name its form shows.
struct shown_member {
    QString personno, name;
};

shown_member member_of(record_dialog& d) {
    return {qs(d.window().dw_1.getitemstring(1, "personno").value_or("")),
            d.form().editor("personname")->text()};
}

// Reads the member of the next record window and closes it.
modal_record_driver reading_member(shown_member& seen) {
    return modal_record_driver([&seen](record_dialog& d) {
        seen = member_of(d);
        QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
    });
}

// What one add through the frame saw: the member, the messages, and the
// number the save gave the record.
struct added_record {
    shown_member member;
    std::vector<QString> boxes;
    long orderno = 0;
    bool ran = false;
};

// Presses the tool button and, in the record window it opens, lets the
// clerk fill the form, saves and closes it.
added_record add_through(main_window& frame, const QString& action_name,
                         const std::function<void(record_dialog&)>& fill) {
    added_record seen;
    box_answerer boxes;
    modal_record_driver clerk([&](record_dialog& d) {
        data_window& dw = d.window().dw_1;
        seen.member = member_of(d);
        fill(d);
        QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
        seen.orderno = static_cast<long>(dw.getitemnumber(1, "orderno").value_or(0));
        QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
    });
    QTest::mouseClick(tool_button(frame, action_name), Qt::LeftButton);
    seen.ran = clerk.ran();
    seen.boxes = boxes.seen;
    return seen;
}

// The rows a query returns on a connection of its own, each as
// "V1 | V2 | …": what another workstation reads.
QStringList stored(const std::string& db, const clock_source& clock, const std::string& sql) {
    auto t = open_connection(db, clock);
    if (!t) qFatal("open_connection: %s", t.message().c_str());
    QStringList rows;
    auto c = (*t)->open_cursor(sql);
    if (!c) qFatal("query failed: %s", sql.c_str());
    while (c->fetch()) {
        QStringList cells;
        for (int i = 0; i < c->column_count(); ++i) cells << qs(c->column_value(i).to_text());
        rows << cells.join(" | ");
    }
    return rows;
}

// The listed record with that number as the list shows it, "序号" left out.
QString listed_row(register_tab& tab, long orderno) {
    const long r = find_listed(tab.page(), value(std::int64_t{orderno}));
    const int row = tab.model().model_row(r);
    if (r == 0 || row < 0) return {};
    QStringList cells;
    for (int c = 1; c < tab.model().columnCount(); ++c)
        cells << tab.model().data(tab.model().index(row, c), Qt::DisplayRole).toString();
    return cells.join(" | ");
}

QString header_of(register_tab& tab, const QString& wanted_header, const QString& row) {
    for (int c = 1; c < tab.model().columnCount(); ++c)
        if (tab.model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == wanted_header)
            return row.section(" | ", c - 1, c - 1);
    return {};
}

// A box's editors in the order the form shows them: row by row, left to right.
QStringList laid_out(QGroupBox& box, form_view& form) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return {};
    QStringList columns;
    for (int row = 0; row < grid->rowCount(); ++row)
        for (int col = 0; col < grid->columnCount(); ++col) {
            QLayoutItem* item = grid->itemAtPosition(row, col);
            if (!item || !item->widget()) continue;
            for (column_editor* e : form.editors())
                if (e->widget() == item->widget() && !columns.contains(qs(e->definition().name)))
                    columns << qs(e->definition().name);
        }
    return columns;
}

}  // namespace

class tst_side_registers : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    std::unique_ptr<main_window> frame_;

    main_window& shown_frame() {
        frame_ = std::make_unique<main_window>(office_->host, "测试社区");
        frame_->show();
        if (!QTest::qWaitForWindowExposed(frame_.get())) qWarning("the frame is not shown");
        return *frame_;
    }
    register_tab* open(const char* window) {
        return frame_->open_register(*find_window_entry(window));
    }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() {
        frame_.reset();
        office_.reset();
    }

    void the_members_list_adds_each_side_record_for_the_selected_member() {
        main_window& frame = shown_frame();
        // Three side lists are open; the part-time posts' is not.
        register_tab* training = open(k_training);
        register_tab* appraisal = open(k_appraisal);
        register_tab* honours = open(k_honours);
        QVERIFY(training && appraisal && honours);
        register_tab* members = open(k_members);
        QVERIFY(members);
        const long members_listed = members->page().dw_1.rowcount();
        QCOMPARE(visible_buttons(frame),
                 (QStringList{"添加", "修改", "删除", "刷新", "导出Excel…", "导出CSV…", "打印…",
                              "添加培训", "添加考核评议", "添加荣誉", "添加社会兼职"}));
        click_member(*members, k_wang_jianhua);
        const long wang_row = members->current_row();
        QCOMPARE(members->page().dw_1.getitemstring(wang_row, "personno").value_or(""),
                 std::string(k_wang_jianhua));
        const QString wang =
            members->model()
                .data(members->model().index(members->model().model_row(wang_row), 2),
                      Qt::DisplayRole)
                .toString();
        QCOMPARE(wang, QString("王建华"));
        // Whoever is asked to choose a member, the clerk is not.
        modal_driver<owner_dialog> chooser([](owner_dialog& o) { o.reject(); });

        added_record train =
            add_through(frame, "add_w_m_og_councilmembertrain", [](record_dialog& d) {
                type_date(d, "traindate", "2025-11-20");
                QVERIFY(choose(drop_down(d, "trainlevel"), "04"));
                click_radio(d, "ispass", "否");
                type_into(d, "note", "基层治理能力提升培训");
            });
        added_record appr =
            add_through(frame, "add_w_m_og_councilmemberappr", [](record_dialog& d) {
                QVERIFY(choose(drop_down(d, "assessyear"), "25"));
                QVERIFY(choose(drop_down(d, "assessresult"), "01"));
            });
        added_record honour =
            add_through(frame, "add_w_m_og_councilmemberhonor", [](record_dialog& d) {
                type_date(d, "prizedate", "2025-12-26");
                QVERIFY(choose(drop_down(d, "prizelevel"), "04"));
                QVERIFY(choose(drop_down(d, "prizecode"), "99"));
                type_into(d, "prizename", "社区防汛先进个人");
                leave_with_tab(d, "prizename");
            });
        added_record post = add_through(frame, "add_w_m_og_parttimejob", [](record_dialog& d) {
            type_date(d, "holdtime", "2024-03-01");
            QVERIFY(choose(drop_down(d, "parttimejob"), "0801"));
        });
        QVERIFY(!chooser.ran());

        for (const added_record* a : {&train, &appr, &honour, &post}) {
            QVERIFY(a->ran);
            QCOMPARE(a->member.personno, QString(k_wang_jianhua));
            QCOMPARE(a->member.name, wang);
            QCOMPARE(a->boxes, std::vector<QString>{});
            QVERIFY(a->orderno > 0);
        }
        auto rows_of = [&](const char* table, const char* columns, long orderno) {
            return stored(office_->path, office_->host,
                          std::string("SELECT personno, ") + columns + " FROM " + table +
                              " WHERE orderno = " + std::to_string(orderno));
        };
        QCOMPARE(rows_of("tc_og_councilmembertrain", "commno, traindate, trainlevel, ispass, note",
                         train.orderno),
                 QStringList{QString(k_wang_jianhua) +
                             " | 420106001001 | 2025-11-20 | 04 | 0 | 基层治理能力提升培训"});
        QCOMPARE(
            rows_of("tc_og_councilmemberappr", "commno, assessyear, assessresult", appr.orderno),
            QStringList{QString(k_wang_jianhua) + " | 420106001001 | 25 | 01"});
        QCOMPARE(rows_of("tc_og_councilmemberhonor",
                         "commno, prizedate, prizelevel, prizecode, prizename", honour.orderno),
                 QStringList{QString(k_wang_jianhua) +
                             " | 420106001001 | 2025-12-26 | 04 | 99 | 社区防汛先进个人"});
        QCOMPARE(rows_of("tc_og_parttimejob", "commno, holdtime, parttimejob", post.orderno),
                 QStringList{QString(k_wang_jianhua) + " | 420106001001 | 2024-03-01 | 0801"});

        // Each open side list shows its new record; the members' list has
        // taken none of them.
        QCOMPARE(members->page().dw_1.rowcount(), members_listed);
        QCOMPARE(frame.current_tab(), members);
        QCOMPARE(members->current_row(), wang_row);
        const QString train_row = listed_row(*training, train.orderno);
        QCOMPARE(header_of(*training, "姓名", train_row), wang);
        QCOMPARE(header_of(*training, "培训时间", train_row), QString("2025-11-20"));
        QCOMPARE(header_of(*training, "培训级别", train_row), QString("区级"));
        const QString appr_row = listed_row(*appraisal, appr.orderno);
        QCOMPARE(header_of(*appraisal, "姓名", appr_row), wang);
        QCOMPARE(header_of(*appraisal, "考核评议结果", appr_row), QString("优秀"));
        const QString honour_row = listed_row(*honours, honour.orderno);
        QCOMPARE(header_of(*honours, "姓名", honour_row), wang);
        QCOMPARE(header_of(*honours, "其它奖励名称", honour_row), QString("社区防汛先进个人"));
        QCOMPARE(header_of(*honours, "奖励名称", honour_row), QString("其它奖励"));
        // The part-time posts' list, opened now, reads it from the database.
        register_tab* posts = open(k_posts);
        QVERIFY(posts);
        const QString post_row = listed_row(*posts, post.orderno);
        QCOMPARE(header_of(*posts, "姓名", post_row), wang);
        QCOMPARE(header_of(*posts, "社会兼职", post_row), QString("人民调解员"));
    }

    void the_side_actions_need_the_members_list_and_a_selected_member() {
        main_window& frame = shown_frame();
        QVERIFY(open(k_honours));
        QCOMPARE(visible_buttons(frame),
                 (QStringList{"添加", "修改", "删除", "刷新", "导出Excel…", "导出CSV…", "打印…"}));
        register_tab* members = open(k_members);
        QVERIFY(members);
        for (const char* side : {k_training, k_appraisal, k_honours, k_posts}) {
            auto* action = frame.findChild<QAction*>(QString("add_") + side);
            QVERIFY(action && action->isVisible());
            QCOMPARE(action->isEnabled(), members->current_row() > 0);
        }
        // A search that hides every member leaves none selected.
        members->search().setText("查无此人");
        QTRY_COMPARE(members->model().rowCount(), 0);
        QCOMPARE(members->current_row(), 0L);
        QVERIFY(!frame.findChild<QAction*>("add_w_m_og_councilmemberhonor")->isEnabled());
    }

    // The actions come from the catalogue: the bodies' list offers the
    // organisation members its bodies own, for the selected body.
    void the_bodies_list_adds_a_member_to_the_selected_body() {
        main_window& frame = shown_frame();
        register_tab* bodies = open("w_m_og_councilorgduty");
        QVERIFY(bodies);
        QCOMPARE(visible_buttons(frame), (QStringList{"添加", "修改", "删除", "刷新", "导出Excel…",
                                                      "导出CSV…", "打印…", "添加组织机构成员"}));
        const long body_2 = find_listed(bodies->page(), value(std::int64_t{2}));
        QVERIFY(body_2 > 0);
        bodies->view().selectRow(bodies->model().model_row(body_2));
        modal_driver<owner_dialog> chooser([](owner_dialog& o) { o.reject(); });
        value owner;
        modal_record_driver clerk([&](record_dialog& d) {
            owner = d.window().dw_1.getitem(1, "orgno");
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        QTest::mouseClick(tool_button(frame, "add_w_m_og_councilorgmember"), Qt::LeftButton);
        QVERIFY(!chooser.ran());
        QVERIFY(clerk.ran());
        QCOMPARE(owner.as_double(), std::optional<double>(2));
    }

    void a_side_list_takes_the_member_selected_in_the_members_list() {
        main_window& frame = shown_frame();
        register_tab* members = open(k_members);
        QVERIFY(members);
        click_member(*members, k_zhao_guiying);
        QVERIFY(open(k_honours));
        modal_driver<owner_dialog> chooser([](owner_dialog& o) { o.reject(); });
        shown_member seen;
        modal_record_driver clerk = reading_member(seen);
        QTest::mouseClick(tool_button(frame, "add"), Qt::LeftButton);
        QVERIFY(!chooser.ran());
        QVERIFY(clerk.ran());
        QCOMPARE(seen.personno, QString(k_zhao_guiying));
        QCOMPARE(seen.name, QString("赵桂英"));
    }

    void without_the_members_list_the_clerk_chooses_the_member() {
        main_window& frame = shown_frame();
        QVERIFY(open(k_training));
        QString title;
        QStringList offered;
        modal_driver<owner_dialog> chooser([&](owner_dialog& o) {
            title = o.windowTitle();
            for (int i = 0; i < o.list().count(); ++i) offered << o.list().item(i)->text();
            o.list().setCurrentRow(static_cast<int>(offered.indexOf("第五届、第六届  赵桂英")));
            QTest::keyClick(&o.list(), Qt::Key_Return);
        });
        shown_member seen;
        modal_record_driver clerk = reading_member(seen);
        QTest::mouseClick(tool_button(frame, "add"), Qt::LeftButton);
        QVERIFY(chooser.ran());
        QVERIFY(clerk.ran());
        QCOMPARE(title, QString("选择居委会成员"));
        // Each person once, a member of two terms named with both.
        QCOMPARE(offered.size(), static_cast<int>(count_of(
                                     office_->host.sqlca(),
                                     "SELECT count(DISTINCT personno) FROM tc_og_councilmemberinfo "
                                     "WHERE commno = '420106001001'")));
        QCOMPARE(offered.removeDuplicates(), qsizetype(0));
        QVERIFY(offered.contains("第五届、第六届  王建华"));
        QVERIFY(offered.contains("第六届  李文静"));
        QVERIFY(offered.contains("第五届  孙立新"));
        QCOMPARE(seen.personno, QString(k_zhao_guiying));
        QCOMPARE(seen.name, QString("赵桂英"));
    }

    // The rule is the core's: the frame shows its message and opens nothing.
    void a_member_the_community_no_longer_has_owns_nothing_new() {
        main_window& frame = shown_frame();
        register_tab* members = open(k_members);
        QVERIFY(members);
        click_member(*members, k_zhao_guiying);
        // Another workstation moves the member to the other community meanwhile.
        {
            auto other = open_connection(office_->path, office_->host);
            QVERIFY(other.is_ok());
            QCOMPARE((*other)->execute("UPDATE tc_og_councilmemberinfo SET commno = '420106001002' "
                                       "WHERE personno = 'P4201060010010005'"),
                     sql_code::ok);
            QCOMPARE((*other)->commit(), sql_code::ok);
        }
        const std::string all = "SELECT count(*) FROM tc_og_councilmembertrain";
        const long before = count_of(office_->host.sqlca(), all);
        box_answerer boxes;
        modal_record_driver clerk([](record_dialog&) {});
        QTest::mouseClick(tool_button(frame, "add_w_m_og_councilmembertrain"), Qt::LeftButton);
        QVERIFY(!clerk.ran());
        QVERIFY(!record_dialog::topmost());
        QCOMPARE(boxes.seen, std::vector<QString>{
                                 "提示信息 | 所选的不是本社区的居委会成员，不能为其添加记录！"});
        QCOMPARE(count_of(office_->host.sqlca(), all), before);
    }

    void cancelling_the_member_opens_nothing() {
        main_window& frame = shown_frame();
        register_tab* training = open(k_training);
        QVERIFY(training);
        const long listed = training->page().dw_1.rowcount();
        const std::string all = "SELECT count(*) FROM tc_og_councilmembertrain";
        const long before = count_of(office_->host.sqlca(), all);
        modal_driver<owner_dialog> chooser(
            [](owner_dialog& o) { QTest::keyClick(&o.list(), Qt::Key_Escape); });
        modal_record_driver clerk([](record_dialog&) {});
        QTest::mouseClick(tool_button(frame, "add"), Qt::LeftButton);
        QVERIFY(chooser.ran());
        QVERIFY(!clerk.ran());
        QVERIFY(!record_dialog::topmost());
        QCOMPARE(count_of(office_->host.sqlca(), all), before);
        QCOMPARE(training->page().dw_1.rowcount(), listed);
    }

    void a_side_form_shows_member_and_record_in_tab_order_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QStringList>("record_columns");
        const QString member = "居委会成员基本信息";
        QTest::newRow("training") << QString(k_training)
                                  << QStringList{member, "居委会成员培训信息"}
                                  << QStringList{"traindate", "trainlevel", "ispass", "note"};
        QTest::newRow("appraisal")
            << QString(k_appraisal) << QStringList{member, "居委会成员评议信息"}
            << QStringList{"assessyear", "assessresult", "note"};
        QTest::newRow("honours") << QString(k_honours) << QStringList{member, "居委会成员荣誉信息"}
                                 << QStringList{"prizedate", "prizelevel", "prizecode", "prizename",
                                                "note"};
        QTest::newRow("part-time posts")
            << QString(k_posts) << QStringList{member, "居委会成员兼职信息"}
            << QStringList{"holdtime", "parttimejob", "note"};
    }
    void a_side_form_shows_member_and_record_in_tab_order() {
        QFETCH(QString, window);
        QFETCH(QStringList, groups);
        QFETCH(QStringList, record_columns);
        open_register_record r(*office_, window.toStdString(), k_mode_modify);
        record_dialog& d = *r.dialog;
        QList<QGroupBox*> boxes = d.form().findChildren<QGroupBox*>();
        QStringList titles;
        for (QGroupBox* g : boxes) titles << g->title();
        QCOMPARE(titles, groups);
        // Each box reads in the order Tab walks the form.
        QStringList chain;
        for (column_editor* e : d.form().tab_chain()) chain << qs(e->definition().name);
        QStringList shown = laid_out(*boxes[0], d.form()) + laid_out(*boxes[1], d.form());
        QStringList shown_in_chain;
        for (const QString& c : shown)
            if (chain.contains(c)) shown_in_chain << c;
        QCOMPARE(shown_in_chain, chain);
        QCOMPARE(laid_out(*boxes[1], d.form()), record_columns);
        // The member's columns, in the first box, look as enterable as the
        // core lets them be.
        const QPalette standard = QApplication::palette(d.form().editor("idcard")->widget());
        data_window& dw = r.window().dw_1;
        for (const QString& column : laid_out(*boxes[0], d.form())) {
            column_editor* e = d.form().editor(column.toStdString());
            const bool enterable = dw.can_enter(e->column());
            QCOMPARE(read_only(*e), !enterable);
            QCOMPARE(
                e->widget()->palette().color(QPalette::Text),
                standard.color(enterable ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        }
        QCOMPARE(d.form().editor("personname")->text(),
                 qs(dw.getitemstring(1, "personname").value_or("")));
    }

    void the_member_box_is_laid_out_alike_in_every_side_form() {
        // Where each field of the member's box stands: its place in the
        // box's grid, its left edge and its width.
        const auto member_box = [this](const char* window) {
            open_register_record r(*office_, window, k_mode_modify);
            QGroupBox* box = r.dialog->form().findChildren<QGroupBox*>().value(0);
            if (!box) qFatal("no member box in %s", window);
            auto* grid = qobject_cast<QGridLayout*>(box->layout());
            QStringList places;
            for (column_editor* e : r.dialog->form().editors()) {
                if (!box->isAncestorOf(e->widget())) continue;
                int row = 0, column = 0, rows = 0, columns = 0;
                grid->getItemPosition(grid->indexOf(e->widget()), &row, &column, &rows, &columns);
                places << QString("%1 %2,%3 x%4 w%5")
                              .arg(qs(e->definition().name))
                              .arg(row)
                              .arg(column)
                              .arg(e->widget()->x())
                              .arg(e->widget()->width());
            }
            return places;
        };
        const QStringList training = member_box(k_training);
        QCOMPARE(training.size(), 7);
        QVERIFY2(
            training[0].startsWith("falldue 0,1 ") && training[1].startsWith("personname 0,3 "),
            qPrintable(training.join("; ")));
        for (const char* window : {k_appraisal, k_honours, k_posts})
            QCOMPARE(member_box(window), training);
    }

    void the_free_award_name_opens_only_for_the_award_not_in_the_list() {
        // Demo honour 1 is an award of the list (61).
        open_register_record r(*office_, k_honours, k_mode_modify);
        record_dialog& d = *r.dialog;
        data_window& dw = r.window().dw_1;
        QCOMPARE(dw.getitemstring(1, "prizecode").value_or(""), std::string("61"));
        column_editor* name = d.form().editor("prizename");
        auto* field = qobject_cast<QLineEdit*>(name->widget());
        QVERIFY(field);
        const QPalette standard = QApplication::palette(field);
        auto verify_locked = [&](bool locked) {
            QCOMPARE(dw.describe("prizename.protect"), std::string(locked ? "1" : "0"));
            QCOMPARE(field->isReadOnly(), locked);
            QCOMPARE(field->focusPolicy(), locked ? Qt::NoFocus : Qt::StrongFocus);
            // Locked and empty it is still told apart from an open field.
            const QColor core = QColor::fromRgb(0xffffff);
            QCOMPARE(dw.describe("prizename.background.color"), std::string("16777215"));
            QCOMPARE(field->palette().color(QPalette::Base),
                     locked ? standard.color(QPalette::Disabled, QPalette::Window) : core);
            QVERIFY(standard.color(QPalette::Disabled, QPalette::Window) != core);
        };
        verify_locked(true);
        if (QTest::currentTestFailed()) return;

        QVERIFY(choose(drop_down(d, "prizecode"), "99"));
        verify_locked(false);
        if (QTest::currentTestFailed()) return;
        type_into(d, "prizename", "优秀楼栋长");
        leave_with_tab(d, "prizename");
        QCOMPARE(dw.getitemstring(1, "prizename").value_or(""), std::string("优秀楼栋长"));

        // Another award of the list locks it again and empties it.
        QVERIFY(choose(drop_down(d, "prizecode"), "65"));
        verify_locked(true);
        QVERIFY(dw.getitem(1, "prizename").is_null());
        QCOMPARE(name->text(), QString());
    }
};

QTEST_MAIN(tst_side_registers)
#include "tst_side_registers.moc"
