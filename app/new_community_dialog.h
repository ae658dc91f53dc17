// Asked at start when the database holds no community yet (a new, blank
// database): the number and name of the office's own community, added to
// the database before any register is opened.
#pragma once

#include <QDialog>
#include <string>

#include "foundation/transaction.h"

class QLabel;
class QLineEdit;

namespace officerecords::app {

class new_community_dialog final : public QDialog {
    Q_OBJECT

public:
    new_community_dialog(transaction& t, QWidget* parent = nullptr);

    // The number of the community added; valid once accepted.
    std::string commno() const { return commno_; }
    QLineEdit* number_field() const { return number_; }
    QLineEdit* name_field() const { return name_; }
    // Why the last 确定 added nothing; empty before.
    QString refusal() const;

    // 确定 adds the community and closes; a refusal stays in the dialog,
    // with the fields as typed.
    void accept() override;

private:
    transaction& t_;
    QLineEdit* number_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* refusal_ = nullptr;
    std::string commno_;
};

}  // namespace officerecords::app
