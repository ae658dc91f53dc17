#include "app/owner_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/register_list_model.h"
#include "foundation/register_page.h"

namespace officerecords::app {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The list's sections that name a record: its first two columns after "序号".
constexpr int k_naming_sections = 2;

}  // namespace

const window_entry* owner_register(std::string_view column) {
    for (const window_entry& e : window_catalog())
        if (e.list && iequals(record_key_column(e.list()), column)) return &e;
    return nullptr;
}

owner_dialog::owner_dialog(const window_entry& owners, std::string_view caption, QWidget* parent)
    : QDialog(parent), owners_(owners), caption_(qs(caption)) {
    setObjectName("owner_dialog");
    setWindowTitle("选择" + caption_);
    auto* layout = new QVBoxLayout(this);
    note_ = new QLabel("新记录属于哪一个" + caption_ + "？", this);
    layout->addWidget(note_);
    list_ = new QListWidget(this);
    list_->setObjectName("owners");
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText("确定");
    buttons->button(QDialogButtonBox::Cancel)->setText("取消");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(420, 320);
}

owner_dialog::~owner_dialog() = default;

status owner_dialog::load(session& s) {
    list_->clear();
    status st = list_register(page_, std::string(owners_.window), owners_.list(), s);
    if (st) {
        register_list_model names(page_.dw_1);
        for (int r = 0; r < names.rowCount(); ++r) {
            QStringList parts;
            for (int section = 1; section <= k_naming_sections; ++section)
                parts << names.data(names.index(r, section), Qt::DisplayRole).toString();
            auto* item = new QListWidgetItem(parts.join("  "), list_);
            item->setData(Qt::UserRole, static_cast<qlonglong>(names.dw_row(r)));
        }
    }
    if (list_->count() > 0) {
        list_->setCurrentRow(0);
    } else if (st) {
        note_->setText("本社区还没有" + caption_ + "。");
    }
    ok_->setEnabled(list_->count() > 0);
    return st;
}

value owner_dialog::chosen(std::string_view column) const {
    QListWidgetItem* item = list_->currentItem();
    if (!item || result() != QDialog::Accepted) return value();
    return page_.dw_1.getitem(static_cast<long>(item->data(Qt::UserRole).toLongLong()), column);
}

}  // namespace officerecords::app
