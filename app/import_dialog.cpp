#include "app/import_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/file_dialog.h"
#include "app/qt_host.h"

namespace officerecords::app {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// A check of a few hundred rows is over before the clerk would read a
// progress window; a longer one shows it, with 取消.
constexpr long k_progress_after_rows = 300;
// More rows than this in the table of problems help nobody: the rest are
// in the exported workbook.
constexpr int k_problems_shown = 1000;
constexpr const char* k_not_imported = "（不导入）";

// Where the next file dialog opens: the folder of the last file imported.
QString& last_folder() {
    static QString folder;
    return folder;
}

QString start_folder() {
    if (!last_folder().isEmpty() && QFileInfo(last_folder()).isDir()) return last_folder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QTableWidget* make_table(QWidget* parent, const char* name, const QStringList& headers) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setAlternatingRowColors(true);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    return t;
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

}  // namespace

import_dialog::import_dialog(qt_host& host, const window_entry& entry, QWidget* parent)
    : QDialog(parent), host_(host), entry_(entry) {
    request_.window = std::string(entry.window);
    build();
}

import_dialog::~import_dialog() = default;

void import_dialog::build() {
    setWindowTitle("导入 — " + qs(std::string(entry_.caption)));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("文件：", this));
    file_ = new QLabel("（还没有选择文件）", this);
    file_->setObjectName("file");
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(file_, 1);
    choose_ = new QPushButton("选择文件(&O)…", this);
    choose_->setObjectName("choose_file");
    choose_->setAutoDefault(false);
    connect(choose_, &QPushButton::clicked, this, [this] { (void)ask_for_file(); });
    top->addWidget(choose_);
    auto* sheet_label = new QLabel("工作表：", this);
    top->addWidget(sheet_label);
    sheets_ = new QComboBox(this);
    sheets_->setObjectName("sheet");
    sheets_->setEnabled(false);
    sheets_->setMinimumContentsLength(10);
    sheet_label->setBuddy(sheets_);
    connect(sheets_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && !running_) (void)choose_sheet(sheets_->itemText(i));
    });
    top->addWidget(sheets_);
    layout->addLayout(top);

    auto* split = new QSplitter(Qt::Horizontal, this);
    auto* columns_box = new QGroupBox("表格的列导入到", split);
    auto* columns_layout = new QVBoxLayout(columns_box);
    mapping_ = make_table(columns_box, "mapping", {"表格中的列", "导入到"});
    mapping_->setSelectionMode(QAbstractItemView::NoSelection);
    mapping_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    columns_layout->addWidget(mapping_);

    auto* outcome = new QWidget(split);
    auto* outcome_layout = new QVBoxLayout(outcome);
    outcome_layout->setContentsMargins(0, 0, 0, 0);
    summary_ = new QLabel(outcome);
    summary_->setObjectName("summary");
    summary_->setWordWrap(true);
    summary_->setTextFormat(Qt::PlainText);
    QFont bold = summary_->font();
    bold.setBold(true);
    summary_->setFont(bold);
    outcome_layout->addWidget(summary_);
    outcome_layout->addWidget(new QLabel("未通过和可能重复的行：", outcome));
    problems_ = make_table(outcome, "problems", {"行号", "原因"});
    problems_->verticalHeader()->hide();
    problems_->horizontalHeader()->setStretchLastSection(true);
    outcome_layout->addWidget(problems_, 1);
    preview_title_ = new QLabel("导入后的样子：", outcome);
    outcome_layout->addWidget(preview_title_);
    preview_ = make_table(outcome, "preview", {});
    outcome_layout->addWidget(preview_, 2);
    split->addWidget(columns_box);
    split->addWidget(outcome);
    split->setStretchFactor(1, 1);
    split->setSizes({280, 720});
    layout->addWidget(split, 1);

    auto* bottom = new QHBoxLayout;
    skip_ = new QCheckBox("跳过可能重复的行", this);
    skip_->setObjectName("skip_duplicates");
    skip_->setEnabled(false);
    connect(skip_, &QCheckBox::toggled, this, [this](bool on) {
        if (!running_) set_skip_duplicates(on);
    });
    bottom->addWidget(skip_);
    bottom->addStretch();
    rejects_ = new QPushButton("导出未通过的行(&E)…", this);
    rejects_->setObjectName("export_rejects");
    import_ = new QPushButton("导入", this);
    import_->setObjectName("import");
    auto* close = new QPushButton("关闭", this);
    close->setObjectName("close");
    // Enter never imports: only a deliberate press of 导入 N 条 writes.
    for (QPushButton* b : {rejects_, import_, close}) {
        b->setAutoDefault(false);
        bottom->addWidget(b);
    }
    connect(rejects_, &QPushButton::clicked, this, &import_dialog::export_rejects);
    connect(import_, &QPushButton::clicked, this, [this] { (void)import_passing(); });
    connect(close, &QPushButton::clicked, this, &import_dialog::reject);
    layout->addLayout(bottom);
    clear_outcome();
    resize(1000, 640);
}

bool import_dialog::ask_for_file() {
    if (running_) return false;
    QWidget* over = isVisible() ? static_cast<QWidget*>(this) : parentWidget();
    const QString path = file_dialog::open_file(over, "选择要导入的文件", start_folder(),
                                                "表格文件 (*.xlsx *.xls *.csv)");
    if (path.isEmpty()) return false;
    last_folder() = QFileInfo(path).absolutePath();
    (void)choose_file(path);
    return true;
}

bool import_dialog::choose_file(const QString& path) {
    if (running_) return false;
    request_.path = path.toStdString();
    request_.sheet.clear();
    request_.mapping.clear();
    const QFileInfo info(path);
    file_->setText(info.fileName());
    file_->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()));
    {
        const QSignalBlocker quiet(sheets_);
        sheets_->clear();
        sheets_->setEnabled(false);
    }
    header_.clear();
    build_mapping();
    auto names = sheet_names(request_.path);
    if (!names) {
        show_error(names.message());
        return false;
    }
    {
        const QSignalBlocker quiet(sheets_);
        for (const std::string& name : *names) sheets_->addItem(qs(name));
        // A CSV file, or a workbook of one sheet, leaves nothing to choose.
        sheets_->setEnabled(names->size() > 1);
    }
    return open_and_check(true);
}

bool import_dialog::choose_sheet(const QString& sheet) {
    if (running_ || request_.path.empty()) return false;
    // The first sheet is asked for as such: a CSV file's one sheet has a
    // name only for showing.
    const int index = sheets_->findText(sheet);
    if (index < 0) return false;
    if (sheets_->currentIndex() != index) {
        const QSignalBlocker quiet(sheets_);
        sheets_->setCurrentIndex(index);
    }
    request_.sheet = index == 0 ? std::string() : sheet.toStdString();
    request_.mapping.clear();
    return open_and_check(true);
}

bool import_dialog::map(const QString& header_text, const QString& column) {
    if (running_) return false;
    for (int row = 0; row < mapping_->rowCount(); ++row) {
        if (mapping_->item(row, 0)->text() != header_text) continue;
        auto* combo = qobject_cast<QComboBox*>(mapping_->cellWidget(row, 1));
        const int index = combo ? combo->findData(column) : -1;
        if (index < 0) return false;
        auto* items = qobject_cast<QStandardItemModel*>(combo->model());
        if (items && !(items->item(index)->flags() & Qt::ItemIsEnabled)) return false;
        if (combo->currentIndex() == index) return report_.has_value();
        combo->setCurrentIndex(index);  // checks again
        return report_.has_value();
    }
    return false;
}

void import_dialog::set_skip_duplicates(bool skip) {
    if (running_) return;
    if (skip_->isChecked() != skip) {
        const QSignalBlocker quiet(skip_);
        skip_->setChecked(skip);
    }
    if (request_.skip_duplicates == skip) return;
    request_.skip_duplicates = skip;
    if (!request_.path.empty()) (void)open_and_check(false);
}

bool import_dialog::open_and_check(bool new_header) {
    report_.reset();
    clear_outcome();
    job_ = std::make_unique<register_import>(host_.sess(), request_);
    const status opened = job_->open();
    if (new_header) {
        // Even a header the register cannot take is listed, so that the
        // clerk can say where its columns go.
        header_ = job_->header().header;
        matched_ = job_->header().columns;
        columns_ = job_->columns();
        build_mapping();
    }
    if (!opened) {
        show_error(opened.message());
        return false;
    }
    auto checked = run_job(import_mode::check);
    if (!checked) {
        show_error(checked.message());
        return false;
    }
    report_ = std::move(*checked);
    show_outcome();
    return true;
}

officerecords::result<import_report> import_dialog::run_job(import_mode mode) {
    const bool check = mode == import_mode::check;
    running_ = true;
    stop_asked_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool cursor_set = true;
    std::unique_ptr<QProgressDialog> progress;
    const auto on_rows = [&](long rows) {
        if (!progress && rows >= k_progress_after_rows) {
            progress = std::make_unique<QProgressDialog>(this);
            progress->setObjectName("import_progress");
            progress->setWindowTitle("导入");
            progress->setWindowModality(Qt::WindowModal);
            progress->setRange(0, 0);  // the rows are counted, not known beforehand
            progress->setMinimumDuration(0);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            if (check)
                progress->setCancelButtonText("取消");
            else
                progress->setCancelButton(nullptr);  // a write is not stopped half-way
            progress->show();
            // The progress window says it is busy; its 取消 takes clicks.
            QApplication::restoreOverrideCursor();
            cursor_set = false;
        }
        if (progress)
            progress->setLabelText(check ? QString("正在检查，已检查 %1 行…").arg(rows)
                                         : QString("正在导入，已处理 %1 行…").arg(rows));
        Q_EMIT rows_done(rows);
        // Only the progress window, once shown, takes the clerk's input: the
        // dialog itself must not change while the rows are read.
        QCoreApplication::processEvents(progress && check ? QEventLoop::AllEvents
                                                          : QEventLoop::ExcludeUserInputEvents);
        return !(stop_asked_ || (progress && progress->wasCanceled()));
    };
    auto outcome = job_->run(mode, on_rows);
    progress.reset();
    if (cursor_set) QApplication::restoreOverrideCursor();
    running_ = false;
    return outcome;
}

void import_dialog::build_mapping() {
    mapping_->setRowCount(0);
    for (std::size_t i = 0; i < header_.size(); ++i) {
        // A blank header cell heads nothing the clerk could name.
        if (header_[i].empty()) continue;
        const int row = mapping_->rowCount();
        mapping_->insertRow(row);
        mapping_->setItem(row, 0, cell(qs(header_[i])));
        // The sheet's column as the spreadsheet program labels it.
        mapping_->setVerticalHeaderItem(row, new QTableWidgetItem(qs(column_letters(static_cast<int>(i)))));
        auto* combo = new QComboBox(mapping_);
        combo->setObjectName("map_" + QString::number(row));
        combo->addItem(k_not_imported, QString());
        for (const register_column& c : columns_) combo->addItem(qs(c.captions.front()), qs(c.name));
        const std::string matched = i < matched_.size() ? matched_[i] : std::string();
        combo->setCurrentIndex(std::max(0, combo->findData(qs(matched))));
        combo->setProperty("header_index", static_cast<int>(i));
        connect(combo, &QComboBox::currentIndexChanged, this, [this] {
            if (!running_) mapping_changed();
        });
        mapping_->setCellWidget(row, 1, combo);
    }
}

void import_dialog::mapping_changed() {
    // The clerk's choices that differ from what the captions matched.
    request_.mapping.clear();
    for (int row = 0; row < mapping_->rowCount(); ++row) {
        auto* combo = qobject_cast<QComboBox*>(mapping_->cellWidget(row, 1));
        if (!combo) continue;
        const auto i = static_cast<std::size_t>(combo->property("header_index").toInt());
        const std::string chosen = combo->currentData().toString().toStdString();
        const std::string matched = i < matched_.size() ? matched_[i] : std::string();
        // An empty column leaves out a text whose caption matched one.
        if (chosen != matched) request_.mapping.emplace_back(header_[i], chosen);
    }
    (void)open_and_check(false);
}

long import_dialog::importable() const {
    if (!report_ || report_->cancelled) return 0;
    const long skipped = request_.skip_duplicates ? static_cast<long>(report_->duplicates.size()) : 0;
    return report_->passed - skipped;
}

QString import_dialog::summary() const { return summary_->text(); }

void import_dialog::clear_outcome() {
    summary_->clear();
    summary_->setStyleSheet({});
    problems_->setRowCount(0);
    preview_->setRowCount(0);
    preview_->setColumnCount(0);
    import_->setText("导入");
    import_->setEnabled(false);
    rejects_->setEnabled(false);
    skip_->setEnabled(!request_.path.empty());
}

void import_dialog::show_error(const std::string& message) {
    // The message names the file whatever part of the engine refused it.
    const std::string name = QFileInfo(qs(request_.path)).fileName().toStdString();
    const std::string text =
        name.empty() || message.find(name) != std::string::npos ? message : name + "：" + message;
    clear_outcome();
    summary_->setText(qs(text));
    summary_->setStyleSheet("color: #b00000;");
    host_.message_box("导入", text, icon::stop);
}

void import_dialog::show_outcome() {
    clear_outcome();
    const import_report& r = *report_;
    file_->setText(qs(r.file_name) + (r.description.empty() ? QString() : " — " + qs(r.description)));
    if (r.cancelled) {
        summary_->setText(QString("已取消检查：检查了 %1 行，没有导入任何记录。").arg(r.checked));
        return;
    }
    QString text = QString("共 %1 行：%2 行通过，%3 行未通过")
                       .arg(r.checked)
                       .arg(r.passed)
                       .arg(static_cast<long>(r.failures.size()));
    if (!r.duplicates.empty())
        text += QString("，%1 行可能与已有记录重复").arg(static_cast<long>(r.duplicates.size()));
    summary_->setText(text);

    // The failing and the duplicate rows in the file's order.
    struct listed {
        const import_row* row;
        bool duplicate;
    };
    std::vector<listed> rows;
    for (const import_row& f : r.failures) rows.push_back({&f, false});
    for (const import_row& d : r.duplicates) rows.push_back({&d, true});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const listed& a, const listed& b) { return a.row->sheet_row < b.row->sheet_row; });
    const int shown = static_cast<int>(std::min<std::size_t>(rows.size(), k_problems_shown));
    const bool more = rows.size() > static_cast<std::size_t>(shown);
    problems_->setRowCount(shown + (more ? 1 : 0));
    const QColor duplicate_colour(0x8a, 0x5a, 0x00);
    for (int i = 0; i < shown; ++i) {
        const listed& l = rows[static_cast<std::size_t>(i)];
        problems_->setItem(i, 0, cell(QString::number(l.row->sheet_row)));
        problems_->setItem(i, 1, cell(qs(l.row->message)));
        if (l.duplicate)
            for (int c = 0; c < 2; ++c) problems_->item(i, c)->setForeground(duplicate_colour);
    }
    if (more)
        problems_->setItem(shown, 1,
                           cell(QString("……还有 %1 行没有列出，导出未通过的行可以看到全部")
                                    .arg(static_cast<long>(rows.size()) - shown)));
    problems_->resizeColumnToContents(0);

    QStringList captions;
    for (const std::string& c : r.preview_captions) captions << qs(c);
    preview_->setColumnCount(static_cast<int>(captions.size()));
    preview_->setHorizontalHeaderLabels(captions);
    preview_->setRowCount(static_cast<int>(r.first_rows.size()));
    QStringList numbers;
    for (std::size_t i = 0; i < r.first_rows.size(); ++i) {
        const import_row& row = r.first_rows[i];
        numbers << QString::number(row.sheet_row);
        for (std::size_t c = 0; c < row.shown.size() && c < r.preview_captions.size(); ++c)
            preview_->setItem(static_cast<int>(i), static_cast<int>(c), cell(qs(row.shown[c])));
    }
    preview_->setVerticalHeaderLabels(numbers);
    preview_->resizeColumnsToContents();
    for (int c = 0; c < preview_->columnCount(); ++c)
        preview_->setColumnWidth(c, std::min(preview_->columnWidth(c), 240));
    preview_title_->setText(r.first_rows.empty()
                                ? QString("导入后的样子：")
                                : QString("导入后的样子（前 %1 行，左边是表格中的行号）：")
                                      .arg(static_cast<long>(r.first_rows.size())));

    const long n = importable();
    import_->setText(QString("导入 %1 条").arg(n));
    import_->setEnabled(n > 0);
    rejects_->setEnabled(!r.failures.empty());
    skip_->setEnabled(true);
}

bool import_dialog::import_passing() {
    if (running_ || !job_ || importable() <= 0) return false;
    write_tried_ = true;
    auto written = run_job(import_mode::write_passing);
    if (!written) {
        // Nothing was written: the check shown still holds.
        host_.message_box("导入", written.message(), icon::stop);
        return false;
    }
    if (written->imported <= 0) {
        report_ = std::move(*written);
        show_outcome();
        host_.message_box("导入", "没有导入任何记录：这时已经没有能通过检查的行了。", icon::exclamation);
        return false;
    }
    host_.message_box("导入", QString("已导入 %1 条记录。").arg(written->imported).toStdString(),
                      icon::information);
    accept();
    return true;
}

void import_dialog::export_rejects() {
    if (running_ || !report_ || report_->failures.empty()) return;
    const QFileInfo source(qs(request_.path));
    const QString suggested = source.dir().filePath(source.completeBaseName() + "_未通过的行.xlsx");
    QString path = file_dialog::save_file(this, "导出未通过的行", suggested, "Excel 工作簿 (*.xlsx)");
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().compare("xlsx", Qt::CaseInsensitive) != 0) path += ".xlsx";
    if (const QString failed = export_rejects_to(path); !failed.isEmpty()) {
        host_.message_box("导入", failed.toStdString(), icon::stop);
        return;
    }
    host_.message_box("导入",
                      QString("已把 %1 行未通过的行导出到 %2。")
                          .arg(static_cast<long>(report_->failures.size()))
                          .arg(QDir::toNativeSeparators(path))
                          .toStdString(),
                      icon::information);
}

QString import_dialog::export_rejects_to(const QString& path) {
    if (!report_) return "还没有检查过文件";
    // The clerk's own sheet is never written over with its failing rows.
    const QFileInfo target(path), source(qs(request_.path));
    if (target.exists() && source.exists() && target.canonicalFilePath() == source.canonicalFilePath())
        return "不能把未通过的行写进正在导入的文件 " + QDir::toNativeSeparators(path) + "，请换一个文件名";
    const status written = register_import::write_rejects(*report_, path.toStdString());
    return written ? QString() : qs(written.message());
}

void import_dialog::reject() {
    // Closing while rows are read stops a check; an import goes on to its end.
    if (running_) {
        stop_asked_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace officerecords::app
