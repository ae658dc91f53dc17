// The first start, when the program knows no database (none given, none
// remembered, no demo database): the clerk chooses between the demo
// office, a new blank database and a database file he has. Nothing is
// made before he has chosen, and nothing at all when he cancels.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "foundation/clock.h"
#include "foundation/status.h"

class QPushButton;

namespace officerecords::app {

class first_start_dialog final : public QDialog {
    Q_OBJECT

public:
    enum class choice { demo, blank, existing };

    // `note` stands above the choices: why they are offered (again).
    explicit first_start_dialog(const QString& note, QWidget* parent = nullptr);

    // What the clerk chose; nullopt when he cancelled.
    std::optional<choice> chosen() const { return chosen_; }
    QPushButton* button(choice c) const;

private:
    std::optional<choice> chosen_;
    QPushButton* demo_ = nullptr;
    QPushButton* blank_ = nullptr;
    QPushButton* existing_ = nullptr;
};

// The demo database in the user's data folder, made there when missing;
// the message says why it could not be.
result<QString> demo_database(const clock_source& clock);

// Asks until a database is open or the clerk cancels: the demo database
// (made when missing), a new empty database where he chooses (never over
// a file that is there), or a file he chooses. Each is opened with
// `open`; a failure of the making or of `open` is shown, and the choices
// are offered again. Returns the database opened, empty when he
// cancelled.
QString run_first_start(const clock_source& clock,
                        const std::function<status(const QString&)>& open, const QString& note,
                        QWidget* parent = nullptr);

}  // namespace officerecords::app
