#include "app/community_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace officerecords::app {

QDialogButtonBox* ok_cancel_buttons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText("确定");
    buttons->button(QDialogButtonBox::Cancel)->setText("取消");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

community_dialog::community_dialog(const std::vector<community>& communities,
                                   const std::string& preselect, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("选择社区");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("请选择要登记的社区：", this));
    list_ = new QComboBox(this);
    list_->setObjectName("community");
    for (const auto& c : communities)
        list_->addItem(QString::fromStdString(c.commname + "（" + c.commno + "）"),
                       QString::fromStdString(c.commno));
    int at = list_->findData(QString::fromStdString(preselect));
    list_->setCurrentIndex(at >= 0 ? at : 0);
    layout->addWidget(list_);
    layout->addWidget(ok_cancel_buttons(this));
    setMinimumWidth(360);
}

std::string community_dialog::chosen() const {
    return list_->currentData().toString().toStdString();
}

officerecords::result<std::vector<community>> community_dialog::load(transaction& t) {
    auto cur = t.open_cursor("SELECT commno, commname FROM tc_ge_community ORDER BY commno");
    if (!cur) return status::error(t.sqlerrtext());
    std::vector<community> out;
    while (cur->fetch())
        out.push_back({std::string(cur->column_text(0)), std::string(cur->column_text(1))});
    if (t.sqlcode() < 0) return status::error(t.sqlerrtext());
    return out;
}

}  // namespace officerecords::app
