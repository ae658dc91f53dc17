// The small dialog at start that picks the community (`gs_commno`) whose
// registers the clerk keeps, from tc_ge_community.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"

class QComboBox;
class QDialogButtonBox;

namespace officerecords::app {

struct community {
    std::string commno;
    std::string commname;
};

// 确定 and 取消 for a dialog, wired to its accept() and reject().
QDialogButtonBox* ok_cancel_buttons(QDialog* dialog);

class community_dialog final : public QDialog {
    Q_OBJECT

public:
    // Offers `communities`; `preselect` (a commno) is chosen at first when
    // it is among them.
    community_dialog(const std::vector<community>& communities, const std::string& preselect,
                     QWidget* parent = nullptr);

    // The commno chosen.
    std::string chosen() const;

    // Every community of the database in commno order; the message says
    // why they could not be read.
    static officerecords::result<std::vector<community>> load(transaction& t);

private:
    QComboBox* list_ = nullptr;
};

}  // namespace officerecords::app
