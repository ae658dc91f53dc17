// What a record window asks of the application that hosts it.
//
// The windows speak to the user only through this interface: the desktop
// program implements it with real dialogs, the scripted host with a queue
// of answers and a transcript. Modal calls return only when the user has
// answered.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace officerecords {

class w_modify;
class control;

enum class icon { information, exclamation, question, stop };
enum class pointer { arrow, hourglass };
enum class unsaved_choice { save, discard, cancel };

class host_services {
public:
    virtual ~host_services() = default;

    virtual void message_box(std::string_view title, std::string_view text,
                             icon kind = icon::information) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(std::string_view title, std::string_view text, bool default_no) = 0;
    // File-open dialog: the chosen path, or nullopt when cancelled.
    virtual std::optional<std::string> file_open(std::string_view title,
                                                 std::string_view default_extension,
                                                 std::string_view filter) = 0;
    // Opens a host window (a selection window such as w_selectperson) modally
    // with a text parameter; returns the text it closes with.
    virtual std::string open_with_parm(std::string_view window, std::string_view parm,
                                       w_modify& caller) = 0;
    // Opens another record window of the module modally above `caller`.
    virtual void open_window(std::string_view window, std::string_view mode, w_modify& caller) = 0;
    // The window asks to be closed; the host closes it once the current
    // event has returned.
    virtual void close_window(w_modify& window) = 0;
    // The frame's question before a record with unsaved changes is left
    // (the window closed, another record shown): Yes saves, No drops the
    // changes, Cancel stays. The frame gives the title and the text.
    virtual unsaved_choice ask_unsaved(std::string_view title, std::string_view text) = 0;
    // Focus requests (the host's tab page, a window).
    virtual void set_focus(std::string_view target) { (void)target; }

    virtual void set_pointer(pointer p) = 0;
    virtual std::string current_directory() = 0;
    virtual bool change_directory(const std::string& path) = 0;

    // -1 when the file cannot be read.
    virtual int gf_readphotofile(const std::string& path, blob& bytes) = 0;
    // -1 when the file cannot be written.
    virtual int gf_writephotofile(const std::string& path, const blob& bytes) = 0;

    // Help for a window: its page (docs/help/WINDOW.md) where the host can
    // show one; a host without pages gives the short hint.
    virtual void show_help(std::string_view window) {
        (void)window;
        message_box("帮助", "填写各项内容后按“保存数据(Ctrl+S)”保存；日期按yyyy-mm-dd格式输入。",
                    icon::information);
    }
    // A record was saved and committed (with the checks, or without them):
    // a host may say so briefly where the clerk is looking.
    virtual void record_saved(w_modify& window, bool checked) {
        (void)window;
        (void)checked;
    }
    // A window changed one of its controls (shown, hidden, enabled, picture).
    virtual void control_changed(w_modify& window, control& c) {
        (void)window;
        (void)c;
    }
    // The calendar opened for a column, or was hidden (empty column).
    virtual void calendar_changed(w_modify& window, std::string_view column) {
        (void)window;
        (void)column;
    }
    // A value the column cannot take, or a save's check, was refused with
    // a message about `column`: a host leads the clerk to that field and
    // marks it until it is changed.
    virtual void field_refused(w_modify& window, std::string_view column) {
        (void)window;
        (void)column;
    }
};

// The busy pointer for as long as it lives: whichever way a handler leaves,
// the normal pointer comes back.
class busy_pointer {
public:
    explicit busy_pointer(host_services& host) : host_(host) { host_.set_pointer(pointer::hourglass); }
    ~busy_pointer() { host_.set_pointer(pointer::arrow); }
    busy_pointer(const busy_pointer&) = delete;
    busy_pointer& operator=(const busy_pointer&) = delete;

private:
    host_services& host_;
};

}  // namespace officerecords
