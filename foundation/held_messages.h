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

#include "foundation/forwarding_host.h"

namespace officerecords {

class held_messages final : public forwarding_host {
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
    // Whatever waits for the clerk shows what is held first.
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
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override {
        release();
        return host_.ask_unsaved(title, text);
    }
    void show_help(std::string_view window) override {
        release();
        host_.show_help(window);
    }
    // A field is led to once its message has been shown.
    void field_refused(w_modify& window, std::string_view column) override {
        release();
        host_.field_refused(window, column);
    }

private:
    host_services& target() override { return host_; }

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
