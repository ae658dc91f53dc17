// The main frame end to end: a register opened from the navigator, a record
// modified, added and deleted through the real modal dialogs, and the list
// keeping the clerk's place; quitting while today's backup runs.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "app/about_dialog.h"
#include "app/backup_actions.h"
#include "app/column_editor.h"
#include "app/form_view.h"
#include "app/main_window.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "gui_test_support.h"
#include "storage/schema.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

QAction* action(main_window& m, const char* name) { return m.findChild<QAction*>(name); }

// A daily backup that ends when the test lets it, and in any case before
// the test does: a backup never let go would hold the frame's end.
struct held_backup {
    QSemaphore go;
    backup_actions::daily_report report;
    ~held_backup() {
        if (go.available() == 0) go.release();
    }
    void start(backup_actions& backups) {
        backups.start_daily([this] {
            go.acquire();
            return report;
        });
    }
};

}  // namespace

class tst_main_window : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;
    std::unique_ptr<main_window> frame_;

    register_tab* open_assets() {
        QTreeWidgetItem* item = nullptr;
        for (auto* i : frame_->navigator().findItems("固定资产登记", Qt::MatchRecursive)) item = i;
        if (!item) return nullptr;
        QRect at = frame_->navigator().visualItemRect(item);
        QTest::mouseClick(frame_->navigator().viewport(), Qt::LeftButton, {}, at.center());
        return frame_->current_tab();
    }

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() {
        office_ = std::make_unique<scratch_office>();
        frame_ = std::make_unique<main_window>(office_->host, "测试社区");
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup() {
        frame_.reset();
        office_.reset();
    }

    void navigator_lists_the_catalogue() {
        int leaves = 0;
        for (int i = 0; i < frame_->navigator().topLevelItemCount(); ++i)
            leaves += frame_->navigator().topLevelItem(i)->childCount();
        QCOMPARE(leaves, static_cast<int>(window_catalog().size()));
        // A window only a register opens (the photo album) is not listed.
        QCOMPARE(frame_->navigator().findItems("社区活动记录", Qt::MatchRecursive).size(), 1);
        QVERIFY(frame_->navigator().findItems("社区活动记录照片", Qt::MatchRecursive).isEmpty());
    }

    void opening_a_register_lists_the_communitys_records() {
        register_tab* tab = open_assets();
        QVERIFY(tab);
        auto count = office_->host.sqlca().select_value(
            "SELECT count(*) FROM tc_og_assetregister WHERE commno = '420106001001'");
        QCOMPARE(tab->model().rowCount(), static_cast<int>(*count->as_double()));
        QCOMPARE(office_->sess().guo_tabpg_now, &tab->page());
        QCOMPARE(frame_->tabs().tabText(0), QString("固定资产登记"));
    }

    void a_modified_record_stays_current_in_the_list() {
        register_tab* tab = open_assets();
        QVERIFY(tab);
        tab->view().selectRow(2);
        QCOMPARE(tab->current_row(), 3L);
        when_record_window_opens([](record_dialog& d) {
            type_into(d, "goodsname", "档案柜");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        action(*frame_, "modify")->trigger();
        QCOMPARE(tab->current_row(), 3L);
        QCOMPARE(tab->view().currentIndex().row(), 2);
        QCOMPARE(tab->model().data(tab->model().index(2, 2), Qt::DisplayRole).toString(),
                 QString("档案柜"));
    }

    void an_added_record_joins_the_list_and_is_selected() {
        register_tab* tab = open_assets();
        QVERIFY(tab);
        int before = tab->model().rowCount();
        when_record_window_opens([](record_dialog& d) {
            type_into(d, "goodsname", "饮水机");
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        action(*frame_, "add")->trigger();
        QCOMPARE(tab->model().rowCount(), before + 1);
        int row = tab->view().currentIndex().row();
        QCOMPARE(tab->model().data(tab->model().index(row, 2), Qt::DisplayRole).toString(),
                 QString("饮水机"));
    }

    void the_navigator_marks_the_register_in_view() {
        const auto marked = [this] {
            QTreeWidgetItem* item = frame_->navigator().currentItem();
            return item && item->isSelected() ? item->text(0) : QString();
        };
        QVERIFY(open_assets());
        QCOMPARE(marked(), QString("固定资产登记"));
        QVERIFY(frame_->open_register(*find_window_entry("w_m_og_councilmemberinfo")));
        QCOMPARE(marked(), QString("居委会成员"));
        // Ctrl+Tab in the list goes to the next tab (the first again).
        frame_->current_tab()->view().setFocus();
        QTest::keyClick(&frame_->current_tab()->view(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(frame_->tabs().currentIndex(), 0);
        QCOMPARE(marked(), QString("固定资产登记"));
        frame_->close_tab(0);
        QCOMPARE(marked(), QString("居委会成员"));
        frame_->close_tab(0);
        QCOMPARE(marked(), QString());
        QVERIFY(frame_->navigator().selectedItems().isEmpty());
    }

    // The windows name the desktop entry the package installs.
    void the_windows_name_the_packaged_desktop_entry() {
        const QString entry = QString(OFFICERECORDS_PACKAGING) + "/" +
                              QGuiApplication::desktopFileName() + ".desktop";
        QVERIFY2(!QGuiApplication::desktopFileName().isEmpty() && QFileInfo::exists(entry),
                 qPrintable(entry));
    }

    void about_names_the_version_the_database_and_its_format() {
        // The version, and the commit when built from a checkout.
        QVERIFY2(QRegularExpression(R"(^\d+\.\d+\.\d+( \(git [0-9A-Za-z._+-]+\))?$)")
                     .match(program_version())
                     .hasMatch(),
                 qPrintable(program_version()));
        const QString format =
            QString("数据库格式版本：%1（本程序的格式版本为 %1）").arg(k_schema_version);
        const QString expected =
            "社区居委会办公记录　版本 " + program_version() +
            "\n固定资产、收支、工作日志、印章使用、迁入登记、社区活动与居委会组织的登记簿。"
            "\n\n数据库文件：" +
            QDir::toNativeSeparators(qs(office_->path)) + "\n" + format;
        box_answerer boxes;
        action(*frame_, "about")->trigger();
        QCOMPARE(boxes.seen, std::vector<QString>{"关于 | " + expected});
        // Read from the database, not taken for the program's own.
        QCOMPARE(office_->host.sqlca().execute("PRAGMA user_version = 3"), sql_code::ok);
        QVERIFY2(
            about_text(office_->host)
                .endsWith(
                    QString("数据库格式版本：3（本程序的格式版本为 %1）").arg(k_schema_version)),
            qPrintable(about_text(office_->host)));
    }

    void quitting_with_no_backup_running_closes_at_once() {
        QVERIFY(!frame_->backups().daily_running());
        QVERIFY(frame_->close());
        QVERIFY(!frame_->isVisible());
    }

    void quitting_waits_for_the_backup_under_way_and_says_so() {
        held_backup backup;
        backup.report = {"今日数据已备份到 /tmp/备份/office-2026-12-10.db", false};
        backup.start(frame_->backups());
        QVERIFY(frame_->backups().daily_running());
        QVERIFY(!frame_->close());
        QVERIFY(frame_->isVisible());
        auto* waiting = frame_->findChild<QMessageBox*>("quit_waiting");
        QVERIFY(waiting && waiting->isVisible());
        QCOMPARE(waiting->text(), QString("正在备份数据库，备份完成后程序将退出。"));
        // Asked again: one message, still waiting.
        QVERIFY(!frame_->close());
        QCOMPARE(frame_->findChildren<QMessageBox*>("quit_waiting").size(), 1);

        QSignalSpy done(&frame_->backups(), &backup_actions::daily_done);
        backup.go.release();
        QVERIFY(done.wait(5000));
        QTRY_VERIFY(!frame_->isVisible());
        QVERIFY(!frame_->findChild<QMessageBox*>("quit_waiting"));
    }

    void a_backup_that_failed_while_quitting_is_told_first() {
        held_backup backup;
        backup.report = {"自动备份失败：磁盘已满", true};
        backup.start(frame_->backups());
        QVERIFY(!frame_->close());
        box_answerer boxes;
        QSignalSpy done(&frame_->backups(), &backup_actions::daily_done);
        backup.go.release();
        QVERIFY(done.wait(5000));
        QTRY_VERIFY(!frame_->isVisible());
        QCOMPARE(boxes.seen, std::vector<QString>{"自动备份 | 自动备份失败：磁盘已满"});
    }

    void a_deleted_record_leaves_the_list_after_confirmation() {
        register_tab* tab = open_assets();
        QVERIFY(tab);
        int before = tab->model().rowCount();
        tab->view().selectRow(0);
        {
            box_answerer boxes(QMessageBox::No);
            action(*frame_, "delete")->trigger();
            // The question names the record as the list shows it.
            QCOMPARE(boxes.seen,
                     std::vector<QString>{"确认信息 | 您确定要删除当前这条记录吗？\n记录号 "
                                          "1（台式计算机，2019-04-10，19,960.00）"});
            QCOMPARE(tab->model().rowCount(), before);
        }
        box_answerer boxes(QMessageBox::Yes);
        action(*frame_, "delete")->trigger();
        QCOMPARE(boxes.seen.size(), std::size_t{1});
        QCOMPARE(tab->model().rowCount(), before - 1);
    }
};

QTEST_MAIN(tst_main_window)
#include "tst_main_window.moc"
