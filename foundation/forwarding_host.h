// A host that passes every call on to another one, for hosts that change
// only a few of the calls on their way (holding messages back, noting what
// a save said). Each derived host overrides what it changes and nothing
// else.
#pragma once

#include "foundation/host_services.h"

namespace officerecords {

class forwarding_host : public host_services {
public:
    void message_box(std::string_view title, std::string_view text, icon kind) override {
        target().message_box(title, text, kind);
    }
    bool question(std::string_view title, std::string_view text, bool default_no) override {
        return target().question(title, text, default_no);
    }
    std::optional<std::string> file_open(std::string_view title, std::string_view default_extension,
                                         std::string_view filter) override {
        return target().file_open(title, default_extension, filter);
    }
    std::string open_with_parm(std::string_view window, std::string_view parm,
                               w_modify& caller) override {
        return target().open_with_parm(window, parm, caller);
    }
    void open_window(std::string_view window, std::string_view mode, w_modify& caller) override {
        target().open_window(window, mode, caller);
    }
    void close_window(w_modify& window) override { target().close_window(window); }
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override {
        return target().ask_unsaved(title, text);
    }
    void set_focus(std::string_view where) override { target().set_focus(where); }
    void set_pointer(pointer p) override { target().set_pointer(p); }
    std::string current_directory() override { return target().current_directory(); }
    bool change_directory(const std::string& path) override {
        return target().change_directory(path);
    }
    int gf_readphotofile(const std::string& path, blob& bytes) override {
        return target().gf_readphotofile(path, bytes);
    }
    int gf_writephotofile(const std::string& path, const blob& bytes) override {
        return target().gf_writephotofile(path, bytes);
    }
    void show_help(std::string_view window) override { target().show_help(window); }
    void record_saved(w_modify& window, bool checked) override {
        target().record_saved(window, checked);
    }
    void control_changed(w_modify& window, control& c) override {
        target().control_changed(window, c);
    }
    void calendar_changed(w_modify& window, std::string_view column) override {
        target().calendar_changed(window, column);
    }
    void field_refused(w_modify& window, std::string_view column) override {
        target().field_refused(window, column);
    }

protected:
    // Where the calls go; may change from call to call.
    virtual host_services& target() = 0;
};

}  // namespace officerecords
