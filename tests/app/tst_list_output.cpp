// A list leaves the program as the clerk sees it: exported to CSV and
// XLSX narrowed and sorted (read back by a parser of the test's own and by
// openpyxl), printed to PDF with its title, header on every page and page
// numbers (read back by pdftotext), and one record printed as its form
// shows it. The print previews open from the list and from Ctrl+P.
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>

#include "app/list_output.h"
#include "app/print_document.h"
#include "list_test_support.h"
#include "pdf_test_support.h"
#include "tests/csv_records.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// The exported records as texts; none when the file is not a whole CSV.
std::vector<QStringList> parse_csv(const QByteArray& bytes) {
    std::vector<QStringList> records;
    const auto read = testkit::csv_records(std::string_view(bytes.constData(), bytes.size()));
    for (const auto& fields : read.value_or(std::vector<std::vector<std::string>>{})) {
        QStringList record;
        for (const std::string& f : fields) record << QString::fromStdString(f);
        records.push_back(record);
    }
    return records;
}

QByteArray read_all(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The openpyxl line of a cell, without its coordinate ("text \"序号\" bold").
QString xlsx_cell(const QString& sheet, const QString& cell) {
    for (const QString& line : sheet.split('\n'))
        if (line.startsWith(cell + " ")) return line.mid(cell.size() + 1);
    return {};
}

}  // namespace

class tst_list_output : public QObject {
    Q_OBJECT

    std::unique_ptr<frame_fixture> f_;
    QTemporaryDir out_;

    // The asset list bought from 2015 to 2020, the dearest first.
    register_tab* narrowed_sorted_assets() {
        register_tab* tab = f_->open(k_assets);
        if (!tab || !narrow_by_dates(*tab, "2015-01-01", "2020-12-31")) return nullptr;
        click_header(*tab, k_value_section);
        click_header(*tab, k_value_section);
        return tab;
    }
    // Runs the action, answering its save dialog with `file` and every
    // message box with `answer`; the boxes seen.
    std::vector<QString> export_to(const char* action, const QString& file,
                                   QMessageBox::StandardButton answer = QMessageBox::Ok) {
        file_answerer files;
        files.queue(file);
        box_answerer boxes(answer);
        f_->action(action)->trigger();
        return boxes.seen;
    }

private Q_SLOTS:
    void initTestCase() {
        setup_application(*qApp);
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init() { f_ = std::make_unique<frame_fixture>(); }
    void cleanup() { f_.reset(); }

    void the_csv_holds_the_narrowed_sorted_list() {
        register_tab* tab = narrowed_sorted_assets();
        QVERIFY(tab);
        const QString file = out_.filePath("资产.csv");
        const std::vector<QString> boxes = export_to("export_csv", file);
        QCOMPARE(boxes, std::vector<QString>{"提示信息 | 已导出 4 条记录到 " + file + "。"});
        const std::vector<QStringList> csv = parse_csv(read_all(file));
        QCOMPARE(int(csv.size()), 5);
        QCOMPARE(csv[0].mid(0, 4), (QStringList{"序号", "资产分类", "资产名称", "品牌"}));
        QCOMPARE(csv[0][k_value_section], QString("价值（元）"));
        QStringList names, values, counters;
        for (std::size_t r = 1; r < csv.size(); ++r) {
            counters << csv[r][0];
            names << csv[r][k_name_section];
            values << csv[r][k_value_section];
        }
        QCOMPARE(counters, (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(names, selected(f_->office.host.sqlca(),
                                 assets_2015_to_2020_dearest_first("goodsname")));
        // The display text: grouped thousands, as the list shows it.
        QCOMPARE(values.front(), QString("19,960.00"));
        QCOMPARE(values, column_texts(*tab, k_value_section));
    }

    void the_xlsx_holds_the_narrowed_sorted_list_with_numbers() {
        register_tab* tab = narrowed_sorted_assets();
        QVERIFY(tab);
        const QString file = out_.filePath("资产.xlsx");
        QCOMPARE(export_to("export_xlsx", file).size(), std::size_t{1});
        const QString sheet = output_of(OFFICERECORDS_PYTHON, {OFFICERECORDS_READ_XLSX, file});
        QVERIFY2(!sheet.isEmpty(), "openpyxl could not read the file");
        QCOMPARE(xlsx_cell(sheet, "A1"), QString("text \"固定资产登记 — 水果湖社区\" bold"));
        QCOMPARE(xlsx_cell(sheet, "A2"), QString("text \"序号\" bold"));
        QCOMPARE(xlsx_cell(sheet, "C2"), QString("text \"资产名称\" bold"));
        const QStringList names = selected(f_->office.host.sqlca(),
                                           assets_2015_to_2020_dearest_first("goodsname"));
        const QStringList values = selected(f_->office.host.sqlca(),
                                            assets_2015_to_2020_dearest_first("originvalue"));
        QCOMPARE(names.size(), 4);
        for (int i = 0; i < names.size(); ++i) {
            const QString row = QString::number(i + 3);
            QCOMPARE(xlsx_cell(sheet, "A" + row), QString("number %1.0").arg(i + 1));
            QCOMPARE(xlsx_cell(sheet, "C" + row), "text \"" + names[i] + "\"");
            QCOMPARE(xlsx_cell(sheet, "H" + row),
                     QString("number %1 [#,##0.00]").arg(values[i].toDouble(), 0, 'f', 1));
        }
        QVERIFY(xlsx_cell(sheet, "A7").isEmpty());
    }

    // The members' list holds ID numbers, which a spreadsheet opening a
    // CSV file turns into 4.20106E+17: the CSV export offers the Excel
    // file first, and the clerk's answer decides what is written.
    void a_list_of_id_numbers_offers_the_excel_file_before_the_csv_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("written");
        QTest::newRow("导出Excel") << int(QMessageBox::Yes) << "成员.xlsx";
        QTest::newRow("仍导出CSV") << int(QMessageBox::No) << "成员.csv";
        QTest::newRow("取消") << int(QMessageBox::Cancel) << "";
    }
    void a_list_of_id_numbers_offers_the_excel_file_before_the_csv() {
        QFETCH(int, answer);
        QFETCH(QString, written);
        register_tab* tab = f_->open("居委会成员");
        QVERIFY(tab);
        const QString asked =
            "提示信息 | 该列表含有身份证号、电话号码或以0开头的编号（【身份证号码】），"
            "用电子表格打开CSV文件会丢失它们的数字；要在Excel或WPS中查看，请导出为Excel文件。";
        const QStringList before = QDir(out_.path()).entryList(QDir::Files);
        file_answerer files;
        if (!written.isEmpty()) files.queue(out_.filePath(written));
        box_answerer boxes(static_cast<QMessageBox::StandardButton>(answer));
        f_->action("export_csv")->trigger();
        QVERIFY(!boxes.seen.empty());
        QCOMPARE(boxes.seen.front(), asked);
        if (written.isEmpty()) {
            QCOMPARE(boxes.seen.size(), std::size_t{1});
            QVERIFY(files.seen.empty());
            QCOMPARE(QDir(out_.path()).entryList(QDir::Files), before);
            return;
        }
        const QString file = out_.filePath(written);
        QCOMPARE(boxes.seen.size(), std::size_t{2});
        QCOMPARE(boxes.seen.back(), "提示信息 | 已导出 " + QString::number(tab->model().rowCount()) +
                                        " 条记录到 " + file + "。");
        QCOMPARE(files.seen.size(), std::size_t{1});
        const bool excel = written.endsWith(".xlsx");
        QVERIFY(files.seen.front().startsWith(excel ? "导出Excel | " : "导出CSV | "));
        const data_window& dw = tab->page().dw_1;
        QString id;
        for (int c : dw.object().shown_columns())
            if (dw.column_definition(c).label == "身份证号码") id = qs(dw.display_text(1, c));
        QVERIFY2(id.size() == 18, qPrintable(id));
        if (excel) {
            const QString sheet = output_of(OFFICERECORDS_PYTHON, {OFFICERECORDS_READ_XLSX, file});
            QVERIFY2(sheet.contains(" text \"" + id + "\"\n"), qPrintable(sheet));
        } else {
            QVERIFY(read_all(file).contains("," + id.toUtf8() + ","));
        }
    }

    void an_existing_file_is_replaced_only_when_the_clerk_agrees() {
        register_tab* tab = narrowed_sorted_assets();
        QVERIFY(tab);
        const QString file = out_.filePath("已有.csv");
        {
            QFile keep(file);
            QVERIFY(keep.open(QIODevice::WriteOnly));
            keep.write("keep me");
        }
        const QString asked = "提示信息 | 文件“" + file + "”已经存在，是否替换？";
        QCOMPARE(export_to("export_csv", file, QMessageBox::No), std::vector<QString>{asked});
        QCOMPARE(read_all(file), QByteArray("keep me"));
        const std::vector<QString> boxes = export_to("export_csv", file, QMessageBox::Yes);
        QCOMPARE(boxes.size(), std::size_t{2});
        QCOMPARE(boxes[0], asked);
        QCOMPARE(parse_csv(read_all(file)).size(), std::size_t{5});
    }

    void the_next_export_opens_in_the_last_export_folder() {
        QVERIFY(f_->open(k_assets));
        QVERIFY(QDir(out_.path()).mkpath("导出"));
        const QString folder = out_.filePath("导出");
        QCOMPARE(export_to("export_csv", folder + "/一.csv").size(), std::size_t{1});
        QString opened_in;
        modal_driver<QFileDialog> dialog([&](QFileDialog& d) {
            opened_in = d.directory().absolutePath();
            d.reject();
        });
        f_->action("export_xlsx")->trigger();
        QVERIFY(dialog.ran());
        QCOMPARE(opened_in, folder);
    }

    void the_pdf_of_a_list_repeats_its_header_and_numbers_its_pages() {
        // Enough records for several landscape pages.
        transaction& t = f_->office.host.sqlca();
        QCOMPARE(t.begin_write(), sql_code::ok);
        for (int n = 1; n <= 100; ++n)
            QCOMPARE(t.execute("INSERT INTO tc_og_assetregister (commno, orderno, goodsname, "
                               "purchasedate, originvalue, issave) VALUES ('420106001001', " +
                               std::to_string(1000 + n) + ", '测试资产" + std::to_string(n) +
                               "', '2018-01-01', '100.00', '1')"),
                     sql_code::ok);
        QCOMPARE(t.commit(), sql_code::ok);
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QCOMPARE(tab->model().rowCount(), 107);
        const QString file = out_.filePath("资产.pdf");
        QCOMPARE(export_to("export_pdf", file),
                 std::vector<QString>{"提示信息 | 已导出PDF文件 " + file + "。"});
        const int pages = pdf_pages(file);
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        const QString first = pdf_text(file, 1);
        QVERIFY2(first.contains("固定资产登记"), qPrintable(first));
        QVERIFY(first.contains("水果湖社区"));
        QVERIFY(first.contains("台式计算机"));
        QVERIFY(first.contains("电子设备"));  // a code by its name
        QVERIFY(first.contains("19,960.00"));
        for (int p = 1; p <= pages; ++p) {
            const QString text = pdf_text(file, p);
            QVERIFY2(text.contains("资产名称") && text.contains("添置日期"),
                     qPrintable(QString("page %1 has no header").arg(p)));
            QVERIFY(text.contains(QString("第%1页共%2页").arg(p).arg(pages)));
        }
        QVERIFY(pdf_text(file, pages).contains("测试资产100"));
    }

    void the_pdf_of_a_record_shows_its_visible_captions_and_values() {
        open_asset_record r(f_->office, k_mode_modify, 1);
        data_window& dw = r.window().dw_1;
        // A column the window hides is not printed.
        dw.state(dw.column_number("note")).visible = false;
        const QByteArray bytes = print_document::of_record(r.dialog->form(), dw, k_assets,
                                                           community_name(f_->office.sess()),
                                                           f_->office.sess().clock)
                                     .pdf();
        const QString file = out_.filePath("记录.pdf");
        {
            QFile pdf(file);
            QVERIFY(pdf.open(QIODevice::WriteOnly));
            QCOMPARE(pdf.write(bytes), bytes.size());
        }
        QCOMPARE(pdf_pages(file), 1);
        const QString text = pdf_text(file);
        for (const char* shown : {"固定资产登记", "水果湖社区", "资产名称", "资产分类", "价值（元）",
                                  "电子设备", "第1页共1页"})
            QVERIFY2(text.contains(shown), qPrintable(QString(shown) + " missing in\n" + text));
        QVERIFY(text.contains(qs(dw.getitemstring(1, "goodsname").value_or("?"))));
        QVERIFY(!text.contains("备注"));
    }

    void a_record_prints_its_group_boxes_captions() {
        open_register_record r(f_->office, "w_m_og_councilmemberinfo", k_mode_modify, 1);
        const auto& groups = r.window().dw_1.object().groups;
        QVERIFY(!groups.empty());
        const QString file = out_.filePath("成员.pdf");
        {
            QFile pdf(file);
            QVERIFY(pdf.open(QIODevice::WriteOnly));
            pdf.write(print_document::of_record(r.dialog->form(), r.window().dw_1, "居委会成员",
                                                "水果湖社区", f_->office.sess().clock)
                          .pdf());
        }
        const QString text = pdf_text(file);
        for (const std::string& g : groups) QVERIFY2(text.contains(qs(g)), g.c_str());
    }

    void ctrl_p_previews_the_record_window() {
        open_asset_record r(f_->office, k_mode_modify, 1);
        QString title;
        int pages = 0;
        modal_driver<QPrintPreviewDialog> preview([&](QPrintPreviewDialog& d) {
            title = d.windowTitle();
            if (auto* w = d.findChild<QPrintPreviewWidget*>()) pages = w->pageCount();
            d.reject();
        });
        QTest::keyClick(r.dialog.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(preview.ran());
        QCOMPARE(title, QString("打印预览 - 固定资产登记 — 水果湖社区"));
        QCOMPARE(pages, 1);
    }

    void the_list_and_its_record_are_previewed_from_the_frame() {
        register_tab* tab = f_->open(k_assets);
        QVERIFY(tab);
        QVERIFY(!f_->action("print_record")->isEnabled() || tab->current_row() > 0);
        for (const char* which : {"print", "print_record"}) {
            QString title;
            modal_driver<QPrintPreviewDialog> preview([&](QPrintPreviewDialog& d) {
                title = d.windowTitle();
                d.reject();
            });
            tab->view().selectRow(1);
            QVERIFY(f_->action(which)->isEnabled());
            f_->action(which)->trigger();
            QVERIFY2(preview.ran(), which);
            QCOMPARE(title, QString("打印预览 - 固定资产登记 — 水果湖社区"));
        }
        // The record window read for the print is gone; the list is current.
        QCOMPARE(f_->office.sess().guo_tabpg_now, &tab->page());
        QVERIFY(!record_dialog::topmost());
    }
};

QTEST_MAIN(tst_list_output)
#include "tst_list_output.moc"
