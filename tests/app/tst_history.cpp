// The history and the backups as a clerk reaches them: a record's 修改记录
// from the list and from the record window, the register's between two
// dates, the daily backup, a backup where the clerk chooses, and a restore
// that brings back what the backup held while the frame stays open.
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/backup_actions.h"
#include "app/history_dialog.h"
#include "list_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// The changes shown: per save its operation and, per column, caption,
// old and new value, as "资产名称: 旧 → 新".
struct shown_change {
    QString kind;
    QStringList columns;
};

std::vector<shown_change> shown(history_dialog& d) {
    QTreeWidget& tree = d.changes();
    const int shift = d.from_date() ? 1 : 0;
    std::vector<shown_change> out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem* save = tree.topLevelItem(i);
        shown_change c{save->text(3), {}};
        for (int k = 0; k < save->childCount(); ++k) {
            QTreeWidgetItem* col = save->child(k);
            c.columns << col->text(4 + shift) + ": " + col->text(5 + shift) + " → " + col->text(6 + shift);
        }
        out.push_back(c);
    }
    return out;
}

QString count_text(history_dialog& d) {
    for (QLabel* l : d.findChildren<QLabel*>())
        if (l->text().startsWith("共") || l->text() == "没有修改记录") return l->text();
    return {};
}

}  // namespace

class tst_history : public QObject {
    Q_OBJECT

    std::unique_ptr<frame_fixture> f_;

    transaction& sqlca() { return f_->office.host.sqlca(); }
    QString stored_name(int orderno) {
        return selected(sqlca(), "SELECT goodsname FROM tc_og_assetregister WHERE commno = '420106001001' "
                                 "AND orderno = " + std::to_string(orderno))
            .value(0);
    }
    // Renames the selected asset through its record window, as a clerk does.
    void rename_selected(const QString& name) {
        when_record_window_opens([name](record_dialog& d) {
            type_into(d, "goodsname", name);
            QTest::mouseClick(d.button("cb_save"), Qt::LeftButton);
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
    }
    // Selects the list row `row`; the number of the record it shows.
    static int select(register_tab& tab, int row) {
        tab.view().selectRow(row);
        return static_cast<int>(tab.page().dw_1.getitemnumber(tab.current_row(), "orderno").value_or(-1));
    }
    history_dialog* open_history(const char* action) {
        f_->action(action)->trigger();
        const auto all = f_->frame->findChildren<history_dialog*>();
        return all.isEmpty() ? nullptr : all.back();
    }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init() { f_ = std::make_unique<frame_fixture>(); }
    void cleanup() { f_.reset(); }

    void a_record_shows_both_of_two_edits_newest_first() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const int orderno = select(*tab, 1);
        const QString before = stored_name(orderno);
        QVERIFY(f_->action("history")->isEnabled());
        rename_selected("档案柜");
        rename_selected("文件柜");
        QCOMPARE(stored_name(orderno), QString("文件柜"));

        history_dialog* d = open_history("history");
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QCOMPARE(d->windowTitle().contains(QString("记录号 %1").arg(orderno)), true);
        const auto changes = shown(*d);
        QCOMPARE(changes.size(), std::size_t(2));
        QCOMPARE(changes[0].kind, QString("修改"));
        QCOMPARE(changes[0].columns, QStringList{"资产名称: 档案柜 → 文件柜"});
        QCOMPARE(changes[1].columns, QStringList{"资产名称: " + before + " → 档案柜"});
        QCOMPARE(count_text(*d), QString("共 2 次修改"));
    }

    void the_record_window_shows_its_own_history() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->view().selectRow(0);
        rename_selected("档案柜");
        QStringList seen;
        when_record_window_opens([&](record_dialog& d) {
            QVERIFY(d.history_button());
            d.history_button()->click();
            if (auto* h = d.findChild<history_dialog*>()) {
                for (const shown_change& c : shown(*h)) seen << c.columns;
                h->close();
            }
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        f_->action("modify")->trigger();
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].endsWith(" → 档案柜"), qPrintable(seen.join('\n')));
        // A record not yet saved has no history to show.
        bool offered_for_new = true;
        when_record_window_opens([&](record_dialog& d) {
            offered_for_new = d.history_button()->isEnabled();
            QTest::mouseClick(d.button("cb_exit"), Qt::LeftButton);
        });
        box_answerer discard(QMessageBox::No);
        f_->action("add")->trigger();
        QVERIFY(!offered_for_new);
    }

    void the_register_history_is_narrowed_by_its_dates() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        tab->view().selectRow(0);
        rename_selected("档案柜");
        tab->view().selectRow(2);
        rename_selected("保险柜");
        history_dialog* d = open_history("register_history");
        QVERIFY(d && d->from_date() && d->to_date());
        QCOMPARE(shown(*d).size(), std::size_t(2));
        QCOMPARE(d->changes().headerItem()->text(4), QString("记录号"));
        // From tomorrow on nothing was changed yet.
        d->from_date()->setDate(QDate::currentDate().addDays(1));
        d->to_date()->setDate(QDate::currentDate().addDays(2));
        QCOMPARE(shown(*d).size(), std::size_t(0));
        QCOMPARE(count_text(*d), QString("没有修改记录"));
    }

    void a_backup_holds_the_data_and_a_restore_brings_it_back() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const int orderno = select(*tab, 0);
        const QString before = stored_name(orderno);
        const QString backup = f_->office.dir.filePath("u盘/办公记录.db");
        QVERIFY(QDir().mkpath(QFileInfo(backup).absolutePath()));
        {
            file_answerer files;
            files.queue(backup);
            box_answerer boxes;
            f_->action("backup")->trigger();
            QCOMPARE(boxes.seen.size(), std::size_t(1));
            QVERIFY2(boxes.seen[0].contains("数据已备份到"), qPrintable(boxes.seen[0]));
        }
        QVERIFY(QFileInfo::exists(backup));

        rename_selected("档案柜");
        QCOMPARE(stored_name(orderno), QString("档案柜"));
        {
            file_answerer files;
            files.queue(backup);
            box_answerer boxes(QMessageBox::Yes);
            f_->action("restore")->trigger();
            QCOMPARE(boxes.seen.size(), std::size_t(2));
            QVERIFY2(boxes.seen[0].contains("确实要恢复数据吗？"), qPrintable(boxes.seen[0]));
            QVERIFY2(boxes.seen[1].contains("原来的数据库保存为"), qPrintable(boxes.seen[1]));
        }
        // The same register is listed again, from the restored data.
        register_tab* again = f_->frame->current_tab();
        QVERIFY(again);
        QCOMPARE(again->entry().window, tab_entry_window());
        QCOMPARE(stored_name(orderno), before);
        QCOMPARE(qs(again->page().dw_1.getitemstring(1, "goodsname").value_or("")), before);
        QCOMPARE(f_->office.host.sess().gs_commno, std::string("420106001001"));
        // The replaced database is kept beside it, with the change in it.
        const auto kept = QDir(f_->office.dir.path()).entryList({"office.db.before-restore-*"});
        QCOMPARE(kept.size(), 1);
    }

    void the_restore_dialog_offers_every_kind_of_backup() {
        file_answerer files;
        f_->action("restore")->trigger();
        QCOMPARE(files.seen,
                 std::vector<QString>{
                     "恢复数据 | 数据库备份 (*.db *.dump *.before-restore-*);;所有文件 (*)"});
        // What the first filter shows of a backup folder.
        const QString filter = files.seen[0].section(" | ", 1).section(";;", 0, 0);
        const QStringList patterns = filter.section('(', 1).chopped(1).split(' ');
        const std::pair<const char*, bool> names[] = {
            {"office-2026-12-09.db", true},
            {"office-2026-12-09.dump", true},
            {"office.db.before-restore-2026-12-09-08.30.00", true},
            {"office.before-restore-2026-12-09-08.30.00", true},
            {"office-升级前-版本3-2026-12-09-08.30.00.db", true},
            {"office-2026-12-09.db.tmp", false},
            {"说明.txt", false}};
        for (const auto& [name, offered] : names)
            QVERIFY2(QDir::match(patterns, name) == offered, name);
    }

    void a_restore_the_clerk_declines_changes_nothing() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const QString backup = f_->office.dir.filePath("备份.db");
        QCOMPARE(f_->frame->backups().backup_to(backup), QString());
        tab->view().selectRow(0);
        rename_selected("档案柜");
        file_answerer files;
        files.queue(backup);
        box_answerer boxes(QMessageBox::No);
        f_->action("restore")->trigger();
        QCOMPARE(boxes.seen.size(), std::size_t(1));
        QCOMPARE(f_->frame->current_tab(), tab);
        QCOMPARE(selected(sqlca(), "SELECT count(*) FROM tc_og_assetregister WHERE goodsname = '档案柜'").value(0),
                 QString("1"));
    }

    void the_daily_backup_is_made_once_and_a_failure_stays_in_sight() {
        backup_actions& backups = f_->frame->backups();
        QSignalSpy done(&backups, &backup_actions::daily_done);
        backups.start_daily();
        backups.wait_for_daily();
        QCOMPARE(done.size(), 1);
        QVERIFY2(done[0][0].toString().startsWith("今日数据已备份到"), qPrintable(done[0][0].toString()));
        QCOMPARE(done[0][1].toBool(), false);
        const QString today = "office-" + QDate::currentDate().toString("yyyy-MM-dd") + ".db";
        QVERIFY(QFileInfo::exists(QDir(backups.folder()).filePath(today)));
        QVERIFY(backups.folder().endsWith("/备份"));
        // The second start of the day leaves today's backup as it is.
        backups.start_daily();
        backups.wait_for_daily();
        QCOMPARE(done.size(), 2);
        QCOMPARE(done[1][0].toString(), QString());

        // A failure is shown beside the clerk's work until a backup succeeds.
        auto* failed = f_->frame->findChild<QLabel*>("backup_failed");
        QVERIFY(failed && failed->isHidden());
        f_->frame->show_backup_result("自动备份失败：磁盘已满", true);
        QVERIFY(failed->isVisible());
        QCOMPARE(failed->text(), QString("自动备份失败：磁盘已满"));
        f_->frame->menuBar()->actions().first()->hover();
        QVERIFY(failed->isVisible());
        f_->frame->show_backup_result("今日数据已备份到 x", false);
        QVERIFY(failed->isHidden());
    }

private:
    static std::string_view tab_entry_window() { return "w_m_og_assetregister"; }
};

QTEST_MAIN(tst_history)
#include "tst_history.moc"
