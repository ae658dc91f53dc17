// The small dialog that asks which record of another register a new record
// belongs to (the body an organisation member joins, the member a training
// record is of): the current community's records of the owner register,
// each shown by the first two columns of that register's list (a body's
// term and name, a member's term and name). Records that give the same
// owner (one person a member in two terms) are one entry, which names
// each of their values once: "第五届、第六届  王建华".
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

#include "foundation/session.h"
#include "foundation/status.h"
#include "catalog/window_catalog.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace officerecords::app {

class owner_dialog final : public QDialog {
    Q_OBJECT

public:
    // `column` is the owner register's column that the new record takes
    // (orgno, personno); `caption` names what is chosen ("居委会成员").
    owner_dialog(const window_entry& owners, std::string_view column, std::string_view caption,
                 QWidget* parent);
    ~owner_dialog() override;

    // Lists the community's records of the owner register; the message
    // says why they could not be read.
    status load(session& s);
    // The chosen entry's owner; null while none is chosen or the dialog
    // was not accepted.
    value chosen() const;

    QListWidget& list() { return *list_; }

private:
    const window_entry& owners_;
    std::string column_;
    QString caption_;
    uo_tabpg_datawindow page_;
    QListWidget* list_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace officerecords::app
