#include "app/list_output.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>

#include "app/community_dialog.h"
#include "app/file_dialog.h"
#include "app/print_document.h"
#include "app/qt_host.h"
#include "app/record_dialog.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "foundation/register_page.h"
#include "storage/file_access.h"

namespace officerecords::app {

namespace {

constexpr const char* k_folder_key = "export/folder";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

enum class csv_answer { excel, csv, cancel };

// The question before a CSV export that would lose digits in a
// spreadsheet; its default is the Excel file, which keeps them.
csv_answer ask_csv(QWidget* parent, const std::string& warning) {
    QMessageBox box(QMessageBox::Question, "提示信息", qs(warning),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText("导出Excel");
    box.button(QMessageBox::No)->setText("仍导出CSV");
    box.button(QMessageBox::Cancel)->setText("取消");
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes) return csv_answer::excel;
    return answer == QMessageBox::No ? csv_answer::csv : csv_answer::cancel;
}

}  // namespace

QString community_name(session& s) {
    if (auto all = community_dialog::load(s.sqlca))
        for (const community& c : *all)
            if (c.commno == s.gs_commno) return qs(c.commname);
    return qs(s.gs_commno);
}

std::unique_ptr<QPrintPreviewDialog> make_preview(const print_document& document, QWidget* parent) {
    auto dialog = std::make_unique<QPrintPreviewDialog>(parent);
    dialog->setObjectName("print_preview");
    dialog->setWindowTitle("打印预览 - " + document.title());
    dialog->printer()->setPageOrientation(document.orientation());
    dialog->printer()->setDocName(document.title());
    QObject::connect(dialog.get(), &QPrintPreviewDialog::paintRequested, dialog.get(),
                     [document](QPrinter* printer) { (void)document.paint(*printer); });
    dialog->resize(1000, 720);
    return dialog;
}

void preview_record(record_dialog& dialog) {
    if (!dialog.has_form()) return;
    w_modify& w = dialog.window();
    const print_document document = print_document::of_record(
        dialog.form(), w.dw_1, dialog.caption(), community_name(w.sess()), w.sess().clock);
    make_preview(document, &dialog)->exec();
}

list_output::list_output(qt_host& host, QSettings* settings, QWidget* parent)
    : host_(host), settings_(settings), parent_(parent) {}

QString list_output::last_folder() const {
    QString folder = settings_ ? settings_->value(k_folder_key).toString() : folder_;
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

QString list_output::choose_file(const QString& title, const QString& default_name,
                                 const QString& filter, const QString& extension, bool& overwrite) {
    file_dialog dialog(parent_, title, last_folder(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(extension);
    // The replacement is asked below, in the program's own words, and the
    // writer is told the answer.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(default_name + "." + extension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString path = dialog.selectedFiles().front();
    if (QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) != 0)
        path += "." + extension;
    const QString folder = QFileInfo(path).absolutePath();
    if (settings_)
        settings_->setValue(k_folder_key, folder);
    else
        folder_ = folder;
    const publish_target there = check_target(path.toStdString(), "导出的文件");
    if (there.state == target_state::refused) {
        host_.message_box("警告信息", there.text, icon::stop);
        return {};
    }
    overwrite = there.state == target_state::replaceable;
    if (overwrite && !host_.question("提示信息", there.text, true)) return {};
    return path;
}

bool list_output::export_list(register_tab& tab, export_format format) {
    const bool xlsx = format == export_format::xlsx;
    const QString caption = qs(tab.entry().caption);
    const export_title title{caption.toStdString(), community_name(host_.sess()).toStdString()};
    if (!xlsx) {
        const list_export asked(tab.page().dw_1, tab.shown_rows(), title, host_);
        if (const std::string warning = asked.csv_digits_warning(); !warning.empty()) {
            const csv_answer answer = ask_csv(parent_, warning);
            if (answer == csv_answer::cancel) return false;
            if (answer == csv_answer::excel) return export_list(tab, export_format::xlsx);
        }
    }
    bool overwrite = false;
    const QString path = choose_file(xlsx ? "导出Excel" : "导出CSV", caption,
                                     xlsx ? "Excel 工作簿 (*.xlsx)" : "CSV 文件 (*.csv)",
                                     xlsx ? "xlsx" : "csv", overwrite);
    if (path.isEmpty()) return false;
    // The rows as the list shows them once the dialogs are closed.
    const std::vector<long> rows = tab.shown_rows();
    const list_export out(tab.page().dw_1, rows, title, host_);
    if (status st = out.write(format, path.toStdString(), overwrite); !st) {
        host_.message_box("警告信息", "导出失败！" + st.message(), icon::stop);
        return false;
    }
    host_.message_box("提示信息",
                      QString("已导出 %1 条记录到 %2。")
                          .arg(rows.size())
                          .arg(QDir::toNativeSeparators(path))
                          .toStdString(),
                      icon::information);
    return true;
}

print_document list_output::list_document(register_tab& tab) {
    return print_document::of_list(tab.page().dw_1, tab.shown_rows(), qs(tab.entry().caption),
                                   community_name(host_.sess()), host_.sess().clock);
}

bool list_output::export_pdf(register_tab& tab) {
    return save_pdf(qs(tab.entry().caption), [this, &tab] { return list_document(tab).pdf(); });
}

bool list_output::save_pdf(const QString& default_name, const std::function<QByteArray()>& make) {
    return save_file("导出PDF", default_name, "PDF 文件 (*.pdf)", "pdf", "PDF文件",
                     [&make](staged_file& file) {
                         const QByteArray bytes = make();
                         if (bytes.isEmpty()) return status::error("无法生成PDF文件的页面。");
                         return file.append(std::string_view(bytes.constData(), bytes.size()));
                     });
}

bool list_output::save_file(const QString& title, const QString& default_name, const QString& filter,
                            const QString& extension, const QString& what,
                            const std::function<status(staged_file&)>& write) {
    bool overwrite = false;
    const QString path = choose_file(title, default_name, filter, extension, overwrite);
    if (path.isEmpty()) return false;
    auto file = staged_file::create(path.toStdString());
    status st = file ? write(*file) : status::error(file.message());
    if (st) st = file->publish(overwrite);
    if (!st) {
        host_.message_box("警告信息", "导出失败！" + st.message(), icon::stop);
        return false;
    }
    host_.message_box(
        "提示信息", QString("已导出%1 %2。").arg(what, QDir::toNativeSeparators(path)).toStdString(),
        icon::information);
    return true;
}

void list_output::preview_list(register_tab& tab) {
    make_preview(list_document(tab), parent_)->exec();
}

void list_output::preview_current_record(register_tab& tab) {
    const long row = tab.current_row();
    if (row < 1) return;
    tab.page().dw_1.setrow(row);
    host_.sess().guo_tabpg_now = &tab.page();
    // The record window reads the record and applies its register's rules
    // (which columns it shows); it is never shown.
    std::unique_ptr<record_dialog> dialog = host_.open_record(tab.entry(), k_mode_modify, parent_);
    if (!dialog->close_requested()) preview_record(*dialog);
}

}  // namespace officerecords::app
