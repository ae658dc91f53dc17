#include "app/owner_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>
#include <vector>

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

owner_dialog::owner_dialog(const window_entry& owners, std::string_view column,
                           std::string_view caption, QWidget* parent)
    : QDialog(parent), owners_(owners), column_(column), caption_(qs(caption)) {
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
        // In the order of the first naming column (the term): an owner of
        // several records names its terms as they followed one another.
        names.sort(1, Qt::AscendingOrder);
        struct entry {
            long dw_row;
            std::vector<QStringList> sections;
        };
        std::vector<entry> entries;
        std::map<std::string, std::size_t> by_owner;
        for (int r = 0; r < names.rowCount(); ++r) {
            const long dw_row = names.dw_row(r);
            const value owner = page_.dw_1.getitem(dw_row, column_);
            if (owner.is_null()) continue;
            auto [at, added] = by_owner.try_emplace(owner.to_text(), entries.size());
            if (added) entries.push_back({dw_row, std::vector<QStringList>(k_naming_sections)});
            entry& e = entries[at->second];
            for (int section = 1; section <= k_naming_sections; ++section) {
                QString text = names.data(names.index(r, section), Qt::DisplayRole).toString();
                QStringList& seen = e.sections[static_cast<std::size_t>(section - 1)];
                if (!seen.contains(text)) seen << text;
            }
        }
        for (const entry& e : entries) {
            QStringList parts;
            for (const QStringList& values : e.sections) parts << values.join("、");
            auto* item = new QListWidgetItem(parts.join("  "), list_);
            item->setData(Qt::UserRole, static_cast<qlonglong>(e.dw_row));
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

value owner_dialog::chosen() const {
    QListWidgetItem* item = list_->currentItem();
    if (!item || result() != QDialog::Accepted) return value();
    return page_.dw_1.getitem(static_cast<long>(item->data(Qt::UserRole).toLongLong()), column_);
}

}  // namespace officerecords::app
