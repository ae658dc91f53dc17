#include "app/history_dialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/file_dialog.h"
#include "app/qt_host.h"
#include "foundation/record_name.h"

namespace officerecords::app {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The earliest date the pickers offer stands for "no limit".
const QDate k_open_date(1900, 1, 1);

std::string iso_or_open(const QDateEdit* edit) {
    return edit->date() == k_open_date ? std::string() : edit->date().toString(Qt::ISODate).toStdString();
}

}  // namespace

history_dialog::history_dialog(qt_host& host, const window_entry& entry, std::string key, QWidget* parent)
    : QDialog(parent), host_(host), entry_(entry), key_(std::move(key)), community_(host.community_name()) {
    build("修改记录 — " + qs(std::string(entry.caption)));
    reload();
}

history_dialog::history_dialog(qt_host& host, const window_entry& entry, QWidget* parent)
    : QDialog(parent), host_(host), entry_(entry), community_(host.community_name()) {
    build("修改记录 — " + qs(std::string(entry.caption)));
    reload();
}

history_dialog* history_dialog::show_for(qt_host& host, const window_entry& entry, std::string key,
                                         QWidget* parent) {
    auto* d = key.empty() ? new history_dialog(host, entry, parent)
                          : new history_dialog(host, entry, std::move(key), parent);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->show();
    return d;
}

history_dialog::~history_dialog() = default;

void history_dialog::build(const QString& title) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    if (key_.empty()) {
        auto* range = new QHBoxLayout;
        const QDate today = QDate::fromString(qs(host_.today().iso()), Qt::ISODate);
        for (auto [edit, caption, start] :
             {std::tuple{&from_, "从", today.addMonths(-1)}, std::tuple{&to_, "到", today}}) {
            *edit = new QDateEdit(start, this);
            (*edit)->setCalendarPopup(true);
            (*edit)->setDisplayFormat("yyyy-MM-dd");
            (*edit)->setMinimumDate(k_open_date);
            (*edit)->setSpecialValueText("不限");
            auto* label = new QLabel(caption, this);
            label->setBuddy(*edit);
            range->addWidget(label);
            range->addWidget(*edit);
            connect(*edit, &QDateEdit::dateChanged, this, &history_dialog::reload);
        }
        range->addStretch();
        layout->addLayout(range);
    }
    tree_ = new QTreeWidget(this);
    QStringList headers = {"时间", "工作站", "用户", "操作"};
    if (key_.empty())
        headers << "记录号"
                << "记录";
    headers << "栏目" << "原值" << "新值";
    tree_->setHeaderLabels(headers);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setAlternatingRowColors(true);
    tree_->setUniformRowHeights(true);
    layout->addWidget(tree_, 1);

    auto* bottom = new QHBoxLayout;
    count_ = new QLabel(this);
    bottom->addWidget(count_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* exporting = buttons->addButton("导出(&E)…", QDialogButtonBox::ActionRole);
    connect(exporting, &QPushButton::clicked, this, &history_dialog::export_chosen);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(900, 520);
}

void history_dialog::reload() {
    auto read = key_.empty() ? register_history(host_.sqlca(), entry_.form(), host_.sess().gs_commno,
                                                iso_or_open(from_), iso_or_open(to_))
                             : record_history(host_.sqlca(), entry_.form(), key_);
    if (read) {
        lines_ = std::move(*read);
        // The record's own history names it as the list does.
        if (!key_.empty()) {
            const std::string name = lines_.empty() ? std::string() : lines_.front().record_name;
            setWindowTitle("修改记录 — " + qs(std::string(entry_.caption)) + " — " +
                           qs(record_label(record_number(key_), name)));
        }
    } else {
        lines_.clear();
        count_->setText(qs(read.message()));
    }
    show_lines();
    if (!read) count_->setText(qs(read.message()));
}

void history_dialog::show_lines() {
    tree_->clear();
    const int shift = key_.empty() ? 2 : 0;
    QTreeWidgetItem* change = nullptr;
    long changeno = 0;
    int saves = 0;
    for (const history_line& h : lines_) {
        if (!change || h.changeno != changeno) {
            changeno = h.changeno;
            ++saves;
            change = new QTreeWidgetItem(tree_);
            change->setText(0, qs(h.when));
            change->setText(1, qs(h.workstation));
            change->setText(2, qs(who_changed(h)));
            change->setText(3, qs(h.kind) + (h.checked ? "" : "（未校验）"));
            if (shift) {
                change->setText(4, qs(h.record_shown));
                change->setText(5, qs(h.record_name));
            }
        }
        QString captions = change->text(4 + shift);
        change->setText(4 + shift, captions.isEmpty() ? qs(h.caption) : captions + "、" + qs(h.caption));
        auto* item = new QTreeWidgetItem(change);
        item->setText(4 + shift, qs(h.caption));
        item->setText(5 + shift, qs(h.old_shown));
        item->setText(6 + shift, qs(h.new_shown));
        item->setToolTip(5 + shift, qs(h.old_shown));
        item->setToolTip(6 + shift, qs(h.new_shown));
    }
    tree_->expandAll();
    for (int c = 0; c < tree_->columnCount(); ++c) tree_->resizeColumnToContents(c);
    for (int c = 4 + shift; c < tree_->columnCount(); ++c)
        tree_->setColumnWidth(c, std::min(tree_->columnWidth(c), 260));
    count_->setText(saves ? QString("共 %1 次修改").arg(saves) : QString("没有修改记录"));
}

QString history_dialog::export_to(const QString& path) const {
    const std::string format = QFileInfo(path).suffix().toLower().toStdString();
    status st = export_history(lines_, key_.empty(), std::string(entry_.caption), community_.toStdString(),
                               host_.sqlca(), host_, format, path.toStdString(), true);
    return st ? QString() : qs(st.message());
}

void history_dialog::export_chosen() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString name = qs(std::string(entry_.caption)) + "修改记录.xlsx";
    QString selected;
    QString path = file_dialog::save_file(this, "导出修改记录", QDir(folder).filePath(name),
                                          "Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)", &selected);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += selected.contains("csv") ? ".csv" : ".xlsx";
    if (const QString failed = export_to(path); !failed.isEmpty())
        QMessageBox::warning(this, "导出修改记录", failed);
}

}  // namespace officerecords::app
