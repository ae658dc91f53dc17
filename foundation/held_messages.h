// A host that holds back message boxes while a save holds the database's
// write lock, and shows them, in their order, once the lock is let go.
//
// A save checks the rules that read other records (a duty held once per
// term, a name used once per term) inside the transaction that writes, so
// that no other workstation can slip a record in between check and write.
// A message box is modal: shown there, it would keep every other
// workstation waiting for as long as the clerk takes to read it. Whatever
// needs an answer (a question, a dialog) first shows what is held, so the
// clerk still sees everything in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "foundation/host_services.h"

namespace officerecords {

class held_messages final : public host_services {
public:
    explicit held_messages(host_services& host) : host_(host) {}
    ~held_messages() override { release(); }
    held_messages(const held_messages&) = delete;
    held_messages& operator=(const held_messages&) = delete;

    // Shows what is held; called once the lock is let go.
    void release();

    void message_box(std::string_view title, std::string_view text, icon kind) override {
        held_.push_back({std::string(title), std::string(text), kind});
    }
    bool question(std::string_view title, std::string_view text, bool default_no) override {
        release();
        return host_.question(title, text, default_no);
    }
    std::optional<std::string> file_open(std::string_view title, std::string_view default_extension,
                                         std::string_view filter) override {
        release();
        return host_.file_open(title, default_extension, filter);
    }
    std::string open_with_parm(std::string_view window, std::string_view parm, w_modify& caller) override {
        release();
        return host_.open_with_parm(window, parm, caller);
    }
    void open_window(std::string_view window, std::string_view mode, w_modify& caller) override {
        release();
        host_.open_window(window, mode, caller);
    }
    void close_window(w_modify& window) override { host_.close_window(window); }
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override {
        release();
        return host_.ask_unsaved(title, text);
    }
    void set_focus(std::string_view target) override { host_.set_focus(target); }
    void set_pointer(pointer p) override { host_.set_pointer(p); }
    std::string current_directory() override { return host_.current_directory(); }
    bool change_directory(const std::string& path) override { return host_.change_directory(path); }
    int gf_readphotofile(const std::string& path, blob& bytes) override {
        return host_.gf_readphotofile(path, bytes);
    }
    int gf_writephotofile(const std::string& path, const blob& bytes) override {
        return host_.gf_writephotofile(path, bytes);
    }
    void show_help(std::string_view window) override {
        release();
        host_.show_help(window);
    }
    void record_saved(w_modify& window, bool checked) override { host_.record_saved(window, checked); }
    void control_changed(w_modify& window, control& c) override { host_.control_changed(window, c); }
    void calendar_changed(w_modify& window, std::string_view column) override {
        host_.calendar_changed(window, column);
    }

private:
    struct message {
        std::string title;
        std::string text;
        icon kind;
    };
    host_services& host_;
    std::vector<message> held_;
};

inline void held_messages::release() {
    std::vector<message> shown = std::exchange(held_, {});
    for (const message& m : shown) host_.message_box(m.title, m.text, m.kind);
}

}  // namespace officerecords
