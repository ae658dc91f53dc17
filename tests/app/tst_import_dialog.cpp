// 文件 → 导入… as a clerk uses it on the asset register: the file chosen,
// the check shown before anything is written, the rows that pass
// imported and listed, the failing ones exported to a workbook, corrected
// there (by openpyxl, a program independent of ours) and imported after
// them; the clerk's own mapping of a column, possible duplicates skipped,
// a check cancelled from its progress window, a file without a header.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTest>

#include "app/import_dialog.h"
#include "list_test_support.h"
#include "program_output.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

constexpr const char* k_asset_window = "w_m_og_assetregister";

// The texts of one row of a table.
QStringList row_texts(const QTableWidget& t, int row) {
    QStringList texts;
    for (int c = 0; c < t.columnCount(); ++c) texts << (t.item(row, c) ? t.item(row, c)->text() : QString());
    return texts;
}

// The texts of a table's column by its header, top to bottom.
QStringList column_of(const QTableWidget& t, const QString& header) {
    QStringList texts;
    for (int c = 0; c < t.columnCount(); ++c) {
        if (!t.horizontalHeaderItem(c) || t.horizontalHeaderItem(c)->text() != header) continue;
        for (int r = 0; r < t.rowCount(); ++r) texts << (t.item(r, c) ? t.item(r, c)->text() : QString());
    }
    return texts;
}

// The mapping's drop-down of a header text.
QComboBox* mapping_of(import_dialog& d, const QString& header_text) {
    QTableWidget& m = d.mapping();
    for (int r = 0; r < m.rowCount(); ++r)
        if (m.item(r, 0)->text() == header_text) return qobject_cast<QComboBox*>(m.cellWidget(r, 1));
    return nullptr;
}

bool write_text(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
}

QString xlsx_cell(const QString& sheet, const QString& cell) {
    for (const QString& line : sheet.split('\n'))
        if (line.startsWith(cell + " ")) return line.mid(cell.size() + 1);
    return {};
}

// What the clerk saw in the dialog before pressing anything.
struct seen_check {
    QString summary;
    QStringList first_problem;
    QStringList names_previewed;
    QString import_text;
    bool import_enabled = false;
    bool rejects_enabled = false;
    QString reason_mapped_to;
};

seen_check look_at(import_dialog& d) {
    seen_check s;
    s.summary = d.summary();
    if (d.problems().rowCount() > 0) s.first_problem = row_texts(d.problems(), 0);
    s.names_previewed = column_of(d.preview(), "资产名称");
    s.import_text = d.import_button().text();
    s.import_enabled = d.import_button().isEnabled();
    s.rejects_enabled = d.rejects_button().isEnabled();
    if (QComboBox* reason = mapping_of(d, k_reject_reason)) s.reason_mapped_to = reason->currentText();
    return s;
}

}  // namespace

class tst_import_dialog : public QObject {
    Q_OBJECT

    std::unique_ptr<frame_fixture> f_;
    QTemporaryDir out_;

    transaction& sqlca() { return f_->office.host.sqlca(); }
    long assets() {
        return count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_assetregister WHERE commno = '420106001001'");
    }
    QString sheet(const QString& name, const QString& text) {
        const QString path = out_.filePath(name);
        if (!write_text(path, text)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // The dialog on the asset list, as 导入… makes it, not yet given a file.
    std::unique_ptr<import_dialog> dialog_on_assets() {
        register_tab* tab = f_->open(k_assets);
        if (!tab) return nullptr;
        auto d = std::make_unique<import_dialog>(f_->office.host, tab->entry(), f_->frame.get());
        d->show();
        return d;
    }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init() { f_ = std::make_unique<frame_fixture>(); }
    void cleanup() { f_.reset(); }

    void the_rows_that_pass_go_in_and_the_corrected_rejects_after_them() {
        QVERIFY(!f_->action("import_records")->isEnabled());
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(f_->action("import_records")->isEnabled());
        const long before = assets();
        const int listed = tab->model().rowCount();
        const QString file = sheet("资产.csv",
                                   "资产名称,价值（元）,添置日期\n"
                                   "档案柜,1200,2023-03-01\n"
                                   "会议桌,abc,2023-03-02\n"
                                   "投影幕布,860.5,2023-03-05\n");
        const QString rejects = out_.filePath("未通过.xlsx");

        file_answerer files;
        files.queue(file);
        files.queue(rejects);
        box_answerer boxes;
        seen_check seen;
        modal_driver<import_dialog> clerk([&](import_dialog& d) {
            seen = look_at(d);
            // Nothing is written before 导入 N 条.
            QCOMPARE(assets(), before);
            QTest::mouseClick(&d.rejects_button(), Qt::LeftButton);
            QTest::mouseClick(&d.import_button(), Qt::LeftButton);
        });
        f_->action("import_records")->trigger();
        QVERIFY(clerk.ran());
        QCOMPARE(files.seen.size(), std::size_t{2});
        QCOMPARE(files.seen[0], QString("选择要导入的文件 | 表格文件 (*.xlsx *.xls *.csv)"));
        QCOMPARE(files.seen[1], QString("导出未通过的行 | Excel 工作簿 (*.xlsx)"));
        QCOMPARE(seen.summary, QString("共 3 行：2 行通过，1 行未通过"));
        QCOMPARE(seen.first_problem, (QStringList{"3", "“价值（元）”的“abc”不是能认出的数值"}));
        QCOMPARE(seen.names_previewed, (QStringList{"档案柜", "投影幕布"}));
        QCOMPARE(seen.import_text, QString("导入 2 条"));
        QVERIFY(seen.import_enabled);
        QVERIFY(seen.rejects_enabled);
        QCOMPARE(boxes.seen, (std::vector<QString>{"导入 | 已把 1 行未通过的行导出到 " + rejects + "。",
                                                   "导入 | 已导入 2 条记录。"}));

        // In the database, and in the list without a 刷新.
        QCOMPARE(assets(), before + 2);
        QCOMPARE(selected(sqlca(), "SELECT goodsname || '|' || printf('%.2f', originvalue) || '|' || purchasedate FROM "
                                   "tc_og_assetregister WHERE commno = '420106001001' AND goodsname IN "
                                   "('档案柜', '会议桌', '投影幕布') ORDER BY purchasedate"),
                 (QStringList{"档案柜|1200.00|2023-03-01", "投影幕布|860.50|2023-03-05"}));
        QCOMPARE(tab->model().rowCount(), listed + 2);
        const QStringList names = column_texts(*tab, k_name_section);
        QVERIFY(names.contains("档案柜"));
        QVERIFY(names.contains("投影幕布"));
        QVERIFY(!names.contains("会议桌"));

        // The rejected row as the clerk finds it in the workbook.
        const QString python = OFFICERECORDS_PYTHON;
        const QString book = output_of(python, {OFFICERECORDS_READ_XLSX, rejects});
        QVERIFY2(!book.isEmpty(), "openpyxl could not read the rejects");
        QCOMPARE(xlsx_cell(book, "A1"), QString("text \"资产名称\" bold"));
        QCOMPARE(xlsx_cell(book, "D1"), QString("text \"未通过的原因\" bold"));
        QCOMPARE(xlsx_cell(book, "A2"), QString("text \"会议桌\""));
        QCOMPARE(xlsx_cell(book, "B2"), QString("text \"abc\""));
        QCOMPARE(xlsx_cell(book, "D2"), QString("text \"“价值（元）”的“abc”不是能认出的数值\""));
        QVERIFY(xlsx_cell(book, "A3").isEmpty());

        // Corrected there, and imported.
        const QString corrected = out_.filePath("改正.xlsx");
        const QString fix = "import openpyxl, sys\n"
                            "book = openpyxl.load_workbook(sys.argv[1])\n"
                            "book.active['B2'] = '1500'\n"
                            "book.save(sys.argv[2])\n";
        QProcess p;
        p.start(python, {"-c", fix, rejects, corrected});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        // The same answerers: one left over would answer the next dialog first.
        files.queue(corrected);
        modal_driver<import_dialog> clerk_again([&](import_dialog& d) {
            seen = look_at(d);
            QTest::mouseClick(&d.import_button(), Qt::LeftButton);
        });
        f_->action("import_records")->trigger();
        QVERIFY(clerk_again.ran());
        QCOMPARE(seen.summary, QString("共 1 行：1 行通过，0 行未通过"));
        QCOMPARE(seen.reason_mapped_to, QString("（不导入）"));
        QCOMPARE(seen.import_text, QString("导入 1 条"));
        QVERIFY(!seen.rejects_enabled);
        QCOMPARE(files.seen.size(), std::size_t{3});
        QCOMPARE(boxes.seen.size(), std::size_t{3});
        QCOMPARE(boxes.seen.back(), QString("导入 | 已导入 1 条记录。"));
        QCOMPARE(assets(), before + 3);
        QCOMPARE(selected(sqlca(), "SELECT printf('%.2f', originvalue) || '|' || purchasedate FROM tc_og_assetregister "
                                   "WHERE commno = '420106001001' AND goodsname = '会议桌'"),
                 QStringList{"1500.00|2023-03-02"});
        QCOMPARE(tab->model().rowCount(), listed + 3);
        QVERIFY(column_texts(*tab, k_name_section).contains("会议桌"));
    }

    void closing_the_dialog_writes_nothing() {
        const long before = assets();
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        const int listed = tab->model().rowCount();
        bool checked = false;
        {
            file_answerer files;
            files.queue(sheet("关闭.csv", "资产名称,价值（元）\n书柜,300\n"));
            box_answerer boxes;
            modal_driver<import_dialog> clerk([&](import_dialog& d) {
                checked = d.import_button().isEnabled();
                d.reject();
            });
            f_->action("import_records")->trigger();
            QVERIFY(clerk.ran());
            QVERIFY(boxes.seen.empty());
        }
        QVERIFY(checked);
        QCOMPARE(assets(), before);
        QCOMPARE(tab->model().rowCount(), listed);

        // Nor does a file dialog the clerk cancels: no dialog at all.
        file_answerer none;
        modal_driver<import_dialog> never([](import_dialog&) {});
        f_->action("import_records")->trigger();
        QCOMPARE(none.seen.size(), std::size_t{1});
        QVERIFY(!never.ran());
    }

    void the_clerk_says_where_a_column_goes() {
        auto d = dialog_on_assets();
        QVERIFY(d);
        const long before = assets();
        box_answerer boxes;
        (void)d->choose_file(sheet("物品.csv", "物品,价值（元）,添置日期\n铁皮柜,600,2022-04-01\n"));
        QComboBox* goods = mapping_of(*d, "物品");
        QComboBox* value = mapping_of(*d, "价值（元）");
        QVERIFY(goods && value);
        QCOMPARE(goods->currentText(), QString("（不导入）"));
        QCOMPARE(value->currentText(), QString("价值（元）"));
        QVERIFY(goods->findText("资产名称") > 0);
        // A column whose caption matched may be left out too.
        QVERIFY(d->map("价值（元）", ""));
        QCOMPARE(value->currentText(), QString("（不导入）"));
        QVERIFY(column_of(d->preview(), "价值（元）").isEmpty());
        QVERIFY(d->map("价值（元）", "originvalue"));

        QVERIFY(d->map("物品", "goodsname"));
        QCOMPARE(goods->currentText(), QString("资产名称"));
        QCOMPARE(d->summary(), QString("共 1 行：1 行通过，0 行未通过"));
        QCOMPARE(column_of(d->preview(), "资产名称"), QStringList{"铁皮柜"});
        QCOMPARE(column_of(d->preview(), "价值（元）").value(0).remove(','), QString("600.00"));
        // And back: the header text goes nowhere again.
        QVERIFY(d->map("物品", ""));
        QCOMPARE(goods->currentText(), QString("（不导入）"));
        QVERIFY(!column_of(d->preview(), "资产名称").contains("铁皮柜"));
        QVERIFY(boxes.seen.empty());
        d->reject();
        QCOMPARE(assets(), before);
    }

    void possible_duplicates_are_shown_and_may_be_skipped() {
        auto d = dialog_on_assets();
        QVERIFY(d);
        const long before = assets();
        box_answerer boxes;
        QVERIFY(d->choose_file(sheet("重复.csv",
                                     "资产名称,价值（元）,添置日期\n"
                                     "测试投影仪,3000,2021-05-06\n"
                                     "测试投影仪,3000,2021-05-06\n")));
        QCOMPARE(d->summary(), QString("共 2 行：2 行通过，0 行未通过，1 行可能与已有记录重复"));
        QCOMPARE(d->problems().rowCount(), 1);
        QCOMPARE(d->problems().item(0, 0)->text(), QString("3"));
        QCOMPARE(d->problems().item(0, 1)->text(), QString("可能与本文件第 2 行重复：添置日期、资产名称和价值相同"));
        QCOMPARE(d->import_button().text(), QString("导入 2 条"));
        QVERIFY(!d->rejects_button().isEnabled());

        QTest::mouseClick(&d->skip_duplicates(), Qt::LeftButton);
        QVERIFY(d->skip_duplicates().isChecked());
        QCOMPARE(d->import_button().text(), QString("导入 1 条"));
        QCOMPARE(assets(), before);
        QSignalSpy closed(d.get(), &QDialog::accepted);
        QTest::mouseClick(&d->import_button(), Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(boxes.seen, std::vector<QString>{"导入 | 已导入 1 条记录。"});
        QCOMPARE(assets(), before + 1);
        QCOMPARE(count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_assetregister WHERE goodsname = '测试投影仪'"), 1L);
    }

    void a_cancelled_check_leaves_nothing_to_import() {
        auto d = dialog_on_assets();
        QVERIFY(d);
        const long before = assets();
        const long history = count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_changelog");
        QString text = "资产名称,价值（元）,添置日期\n";
        for (int n = 1; n <= 1000; ++n) text += QString("长表物品%1,10,2020-01-01\n").arg(n);
        const QString file = sheet("长表.csv", text);

        // The clerk presses 取消 once the progress window shows.
        long shown_at = 0;
        QString label;
        connect(d.get(), &import_dialog::rows_done, this, [&](long rows) {
            auto* progress = d->findChild<QProgressDialog*>("import_progress");
            if (!progress || !progress->isVisible() || shown_at > 0) return;
            shown_at = rows;
            label = progress->labelText();
            for (QPushButton* b : progress->findChildren<QPushButton*>())
                if (b->text() == "取消") QTest::mouseClick(b, Qt::LeftButton);
        });
        box_answerer boxes;
        QVERIFY(d->choose_file(file));
        QVERIFY(shown_at >= 300);
        QCOMPARE(label, QString("正在检查，已检查 %1 行…").arg(shown_at));
        QVERIFY(d->report());
        QVERIFY(d->report()->cancelled);
        QVERIFY2(d->report()->checked < 1000, qPrintable(QString::number(d->report()->checked)));
        QCOMPARE(d->summary(),
                 QString("已取消检查：检查了 %1 行，没有导入任何记录。").arg(d->report()->checked));
        QVERIFY(!d->import_button().isEnabled());
        QCOMPARE(d->importable(), 0L);
        QVERIFY(!d->import_passing());
        QVERIFY(d->findChild<QProgressDialog*>("import_progress") == nullptr);
        QVERIFY(boxes.seen.empty());
        QCOMPARE(assets(), before);
        QCOMPARE(count_of(sqlca(), "SELECT COUNT(*) FROM tc_og_changelog"), history);

        // Checked whole, the same file would import every row.
        QVERIFY(d->choose_file(file));
        QCOMPARE(d->summary(), QString("共 1000 行：1000 行通过，0 行未通过"));
        QCOMPARE(d->import_button().text(), QString("导入 1000 条"));
        QCOMPARE(assets(), before);
    }

    void a_file_without_a_header_is_refused_naming_it() {
        auto d = dialog_on_assets();
        QVERIFY(d);
        box_answerer boxes;
        QVERIFY(!d->choose_file(sheet("无表头.csv", "甲,乙\n1,2\n")));
        QCOMPARE(boxes.seen.size(), std::size_t{1});
        QVERIFY2(boxes.seen[0].startsWith("导入 | 无表头.csv"), qPrintable(boxes.seen[0]));
        QCOMPARE(d->summary(), boxes.seen[0].mid(QString("导入 | ").size()));
        QVERIFY(!d->import_button().isEnabled());
        QVERIFY(!d->rejects_button().isEnabled());
        QCOMPARE(d->mapping().rowCount(), 0);
        QVERIFY(!d->report());
    }
};

QTEST_MAIN(tst_import_dialog)
#include "tst_import_dialog.moc"
