// The host an import drives a register's window with: it shows nothing,
// keeps a row's first message as the row's reason, and answers the
// window's person picker with the person the row names by key.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/host_services.h"

namespace officerecords {

class import_host : public host_services {
public:
    explicit import_host(host_services& real) : real_(real) {}

    void start_row() {
        message_.clear();
        saved_ = false;
        person_.reset();
    }
    const std::string& message() const { return message_; }
    bool saved() const { return saved_; }
    void refuse(std::string why) {
        if (message_.empty()) message_ = std::move(why);
    }
    // The person the row names, whom the picker is to pick.
    void expect_person(std::string personno) { person_ = std::move(personno); }

    // Windows refuse with any icon, the default one too: the first message
    // is the reason, should the row not be saved.
    void message_box(std::string_view, std::string_view text, icon) override { refuse(std::string(text)); }
    // The file the next file dialog chooses, once.
    void offer_file(std::string path) { file_ = std::move(path); }
    bool question(std::string_view, std::string_view, bool) override { return false; }
    std::optional<std::string> file_open(std::string_view, std::string_view, std::string_view) override {
        return std::exchange(file_, std::nullopt);
    }
    std::string open_with_parm(std::string_view window, std::string_view parm, w_modify& caller) override;
    void open_window(std::string_view, std::string_view, w_modify&) override {}
    void close_window(w_modify&) override {}
    unsaved_choice ask_unsaved(std::string_view, std::string_view) override { return unsaved_choice::cancel; }
    void set_pointer(pointer) override {}
    std::string current_directory() override { return real_.current_directory(); }
    bool change_directory(const std::string&) override { return false; }
    int gf_readphotofile(const std::string& path, blob& bytes) override {
        return real_.gf_readphotofile(path, bytes);
    }
    // Photos shown beside a member are of no use here; nothing is written.
    int gf_writephotofile(const std::string&, const blob&) override { return 1; }
    void record_saved(w_modify&, bool) override { saved_ = true; }

private:
    host_services& real_;
    std::string message_;
    bool saved_ = false;
    std::optional<std::string> person_;
    std::optional<std::string> file_;
};

}  // namespace officerecords
