// The small dialog that asks which record of another register a new record
// belongs to (the body an organisation member joins): the current
// community's records of the owner register, each shown by the first two
// columns of that register's list (a body's term and name).
#pragma once

#include <QDialog>
#include <string_view>

#include "foundation/session.h"
#include "foundation/status.h"
#include "platform/window_catalog.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace officerecords::app {

// The register whose records are numbered by `column` (orgno: the bodies);
// nullptr when none is.
const window_entry* owner_register(std::string_view column);

class owner_dialog final : public QDialog {
    Q_OBJECT

public:
    // `caption` names what is chosen ("居委会组织机构").
    owner_dialog(const window_entry& owners, std::string_view caption, QWidget* parent);
    ~owner_dialog() override;

    // Lists the community's records of the owner register; the message
    // says why they could not be read.
    status load(session& s);
    // The chosen record's item of `column`; null while none is chosen.
    value chosen(std::string_view column) const;

    QListWidget& list() { return *list_; }

private:
    const window_entry& owners_;
    QString caption_;
    uo_tabpg_datawindow page_;
    QListWidget* list_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace officerecords::app
