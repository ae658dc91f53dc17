// The form of a record window: dw_1 drawn from its data-window object, one
// label and editor per column, group boxes for the object's groups, and
// the clerk's actions turned into the data window's events. The object's
// pictures are the record window's: they stay in view beside the form.
//
// What the clerk does reaches the core as the scripted host sends it:
// typing is a pending edit of the current column; leaving the field (the
// focus moves to another field of the form, or the record window's Enter)
// accepts it, which raises itemchanged; arriving in another column raises itemfocuschanged;
// a double-click raises doubleclicked. When the core refuses the value the
// focus goes back to the field. After every event `core_changed` asks the
// record window to draw everything again from the core.
#pragma once

#include <QWidget>
#include <string_view>
#include <vector>

#include "foundation/w_modify.h"


namespace officerecords::app {

class column_editor;

class form_view final : public QWidget {
    Q_OBJECT

public:
    form_view(w_modify& window, QWidget* parent);
    ~form_view() override;

    // Draws every value and state again from dw_1.
    void refresh();
    // The editor of a column; nullptr when the form has none.
    column_editor* editor(std::string_view column) const;
    const std::vector<column_editor*>& editors() const { return editors_; }
    // The enterable editors in the designed tab order.
    std::vector<column_editor*> tab_chain() const;
    // Puts the focus into the first field of the tab order.
    void focus_first();
    // Leaves the field as Tab does and moves on to the next one in the
    // tab order; a value the core refuses keeps the clerk in its field.
    void next_field();
    // A check or the column refused what the field holds: the focus goes
    // there and the field is marked until the clerk changes it (or another
    // record is shown). A text the column could not take stays typed in.
    void lead_to(std::string_view column);
    // The column marked as refused; 0 when none is.
    int marked_column() const { return marked_col_; }

Q_SIGNALS:
    void core_changed();
    // The clerk typed into the pending edit: nothing else changed.
    void typed();

private:
    void build();
    void on_focus_changed(QWidget* old, QWidget* now);
    void on_edited(int col, const QString& text);
    void on_chosen(int col, const QString& code);
    void on_double_clicked(int col, QPoint pos);
    // Moves the pending edit into the row as leaving its field does;
    // false when the core refused it (the focus then returns to it).
    bool leave_field();
    // Makes `col` the current column, accepting the pending edit of
    // another one first; false when that was refused.
    bool enter_column(int col);
    column_editor* editor_of(const QObject* o) const;
    column_editor* editor_at(int col) const;
    void update_tab_order();

    w_modify& window_;
    data_window& dw_;
    std::vector<column_editor*> editors_;
    QMetaObject::Connection focus_watch_;
    bool busy_ = false;  // an event is inside the core: focus moves are not the clerk's
    // The refused field, and the record and value it was refused with.
    int marked_col_ = 0;
    value marked_value_;
    std::string marked_record_;
    void unmark();
};

}  // namespace officerecords::app
