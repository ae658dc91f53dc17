// The host's selection windows for persons on the screen (w_selectperson,
// w_select_councilmember, w_select_councilorgmember): a search field with
// the text the clerk typed into the record window, the persons the core's
// person_selection finds for it, and the clerk's answer.
//
// The search and the filling of the caller's row are the core's; the
// dialog lists what the selection shows and forwards the answer. Enter or
// a double-click on a person picks him (the selection writes him into the
// caller's row) and the dialog closes with his name; 不选择 closes with ""
// (nothing picked); Esc or the title bar's close button abandons, "close".
// Searching again makes a fresh selection for the new text, for the same
// window and caller.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/person_selection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace officerecords::app {

class person_dialog final : public QDialog {
    Q_OBJECT

public:
    // Searches for the text in `parm` at once; `window` must be one that
    // person_selection::handles.
    person_dialog(std::string_view window, std::string_view parm, w_modify& caller,
                  QWidget* parent);
    ~person_dialog() override;

    // The dialog's title for a selection window.
    static QString title_of(std::string_view window);

    // What the selection window closes with: the picked person's name, ""
    // or person_selection::k_abandoned. Abandoned until the clerk answers.
    const std::string& answer() const { return answer_; }

    // Lists the persons found for `text`; a failed search lists nobody and
    // says why.
    void search(const QString& text);
    // Picks the person in the list's row `row` (0-based) and closes.
    void pick_row(int row);
    void pick_nobody();

    const person_selection& selection() const { return *selection_; }
    QLineEdit& search_field() { return *search_; }
    QTableWidget& list() { return *list_; }
    QLabel& note() { return *note_; }

protected:
    void reject() override;

private:
    void fill_list();

    w_modify& caller_;
    std::string window_;
    std::string columns_;  // what follows the typed text in the parm
    std::unique_ptr<person_selection> selection_;
    std::string answer_ = person_selection::k_abandoned;
    QLineEdit* search_ = nullptr;
    QTableWidget* list_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* pick_ = nullptr;
};

}  // namespace officerecords::app
