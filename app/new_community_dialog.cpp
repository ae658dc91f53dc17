#include "app/new_community_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/community_dialog.h"
#include "storage/communities.h"

namespace officerecords::app {

new_community_dialog::new_community_dialog(transaction& t, QWidget* parent)
    : QDialog(parent), t_(t) {
    setWindowTitle("新建社区");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("数据库中还没有社区。请输入本居委会所在社区的编号和名称：", this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* fields = new QFormLayout;
    number_ = new QLineEdit(this);
    number_->setObjectName("commno");
    name_ = new QLineEdit(this);
    name_->setObjectName("commname");
    fields->addRow("社区编号:", number_);
    fields->addRow("社区名称:", name_);
    layout->addLayout(fields);
    refusal_ = new QLabel(this);
    refusal_->setStyleSheet("color: #b00020");
    refusal_->setWordWrap(true);
    refusal_->hide();
    layout->addWidget(refusal_);
    // 确定 reaches accept() below, which adds the community first.
    layout->addWidget(ok_cancel_buttons(this));
    setMinimumWidth(360);
}

QString new_community_dialog::refusal() const { return refusal_->text(); }

void new_community_dialog::accept() {
    const std::string no = number_->text().trimmed().toStdString();
    if (status st = add_community(t_, no, name_->text().toStdString()); !st) {
        refusal_->setText(QString::fromStdString(st.message()));
        refusal_->show();
        return;
    }
    commno_ = no;
    QDialog::accept();
}

}  // namespace officerecords::app
