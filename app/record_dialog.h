// A record window on the screen: the dialog that shows one core window
// object (w_m_og_…), its toolbar in the order of the window's controls,
// its form, and the calendar when the window opens it. The window's own
// controls (labels, pictures, edits, its own buttons) stand in a row
// between the toolbar and the form; the pictures of the form's object (a
// member's photo) stand at its right, out of its scrolling. A window whose
// dw_1 has no data-window object has no form: its own controls make the
// page instead, rows of captions and values around a group box that
// frames its picture.
//
// The dialog owns the window object. Every button and shortcut presses
// the control (only when it is enabled and shown), and after every event
// the whole dialog is drawn again from the core, which may have changed
// any state meanwhile. The title names the register, whether the record
// is added or modified and its place in the list, with a mark while it
// holds unsaved changes; a status line beside the toolbar says when it
// was saved, until the next change.
//
// The keys: those the buttons' tooltips promise, Ctrl+PgUp / PgDn / Home
// / End for the previous, next, first and last record, F1 for help.
// Enter moves on to the next field as Tab does (Ctrl+Enter in a text of
// many lines, where Enter breaks the line). The dialog closes only when
// the window asks the host to close it: Esc and the title bar's close
// button press cb_exit, except that Esc in an open drop-down or calendar
// closes only that.
#pragma once

#include <QDialog>
#include <QKeySequence>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/picture_label.h"
#include "foundation/w_modify.h"

class QCalendarWidget;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class QLineEdit;
class QToolButton;

namespace officerecords::app {

class form_view;

class record_dialog final : public QDialog {
    Q_OBJECT

public:
    // `caption` is the register's name, which the title starts with.
    record_dialog(std::unique_ptr<w_modify> window, const QString& caption, QWidget* parent);
    ~record_dialog() override;

    // The dialog showing `window`; nullptr when none does.
    static record_dialog* of(const w_modify& window);
    // The dialog opened last of those still open; nullptr when none.
    static record_dialog* topmost();

    w_modify& window() { return *window_; }
    // Only for a window whose dw_1 has a data-window object.
    form_view& form() { return *form_; }
    bool has_form() const { return form_ != nullptr; }
    // The button of a control; nullptr for other controls.
    QToolButton* button(std::string_view control_name) const;
    // The widget of one of the window's own labels, pictures, edits or
    // group boxes (a picture_label for a picture); nullptr for others.
    QWidget* control_widget(std::string_view control_name) const;
    // The widget of a picture of the form's data-window object (p_photo),
    // beside the form; nullptr for others.
    picture_label* form_picture(std::string_view picture) const;
    QCalendarWidget* calendar() const { return calendar_; }
    // "修改记录": the shown record's history; nullptr without a form.
    // The register's caption, without the mode and place of the title.
    const QString& caption() const { return caption_; }
    QToolButton* history_button() const { return history_; }
    // The line that says the record was saved; empty after any change.
    QLabel* status_line() const { return status_; }

    // Raises open, ue_postopen and ue_loadphoto with the edit mode, gives
    // a new record its owner when one is given (not null), then draws the
    // dialog.
    void open_with(const std::string& mode, const value& owner = value());
    // Draws everything again from the core.
    void refresh();
    void refresh_controls();
    // Pops the calendar up below the column's field, taking the keyboard
    // (arrows, Enter, Esc); empty hides it.
    void show_calendar(std::string_view column);
    // A check or the column refused the field: the form leads the clerk there.
    void lead_to(std::string_view column);
    // The window asked to be closed: the dialog closes once the current
    // event has returned.
    void close_after_event();
    bool close_requested() const { return close_requested_; }
    // Presses a control as a click on it would.
    void press(control& c);
    // The record was saved now, with its checks or without them.
    void show_saved(bool checked);

Q_SIGNALS:
    // The dialog was drawn again after an event.
    void refreshed();
    // The clerk asked for the shown record's history.
    void history_requested();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Lets the window's shortcuts win over the editors' own keys.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the toolbar; returns the controls left for the page, in order.
    std::vector<control*> build_toolbar(QHBoxLayout* toolbar);
    QToolButton* make_button(control& c);
    void add_shortcut(const QKeySequence& key, control& c);
    void update_title();
    // The record the form shows, by its number (null for none yet).
    value shown_record() const;
    // Enter moving on; false for a key the widget keeps.
    bool enter_pressed(QWidget* w, const QKeyEvent& key);
    // A drop-down's list or the calendar of this dialog is open.
    bool own_popup_open() const;
    QWidget* make_widget(control& c, picture_label::sizing pictures);
    void lay_out_extras(const std::vector<control*>& own, QHBoxLayout* extras);
    // The form's pictures in a column at the right of `body`; returns the
    // width they take.
    int lay_out_form_pictures(QHBoxLayout* body);
    void lay_out_album(const std::vector<control*>& own, QVBoxLayout* page);
    void calendar_closed_by_clerk();

    std::unique_ptr<w_modify> window_;
    QString caption_;
    form_view* form_ = nullptr;
    QLabel* status_ = nullptr;
    QToolButton* history_ = nullptr;
    value saved_record_;  // the record the status line speaks of
    std::map<control*, QToolButton*> buttons_;
    std::map<control*, QWidget*> others_;  // the window's own labels, pictures, edits
    std::map<std::string, picture_label*> form_pictures_;  // lower-case picture name
    std::map<QKeySequence, control*> shortcuts_;
    QCalendarWidget* calendar_ = nullptr;
    bool close_requested_ = false;
    bool closing_ = false;
    bool focused_once_ = false;
    bool hiding_calendar_ = false;
};

}  // namespace officerecords::app
