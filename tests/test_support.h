// Shared pieces of the core tests: a scratch database and a host that
// records what the windows show instead of showing it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "foundation/host_services.h"
#include "foundation/transaction.h"
#include "platform/database.h"

namespace officerecords {

// Readable failure messages for values.
inline void PrintTo(const value& v, std::ostream* os) {
    if (v.is_null())
        *os << "null";
    else
        *os << '"' << v.to_text() << '"';
}

}  // namespace officerecords

namespace officerecords::testkit {

class fixed_clock final : public clock_source {
public:
    explicit fixed_clock(date d) : today_(d) {}
    date today() const override { return today_; }
    date today_;
};

// A folder of its own under the system's temporary folder, removed at the end.
class scratch_dir {
public:
    scratch_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orec-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~scratch_dir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A host that answers from queues and records every message box; it is
// also the workstation's clock, set by `day`.
class recording_host final : public host_services, public clock_source {
public:
    std::vector<std::string> messages;  // "TITLE | TEXT"
    std::vector<std::string> calendar;  // column, or "hidden"
    std::vector<bool> answers;
    date day = *date::parse("2026-12-08");

    void message_box(std::string_view title, std::string_view text, icon) override {
        messages.push_back(std::string(title) + " | " + std::string(text));
    }
    bool question(std::string_view, std::string_view, bool) override {
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    // The files the dialog "chooses", in order; none left is a cancel.
    std::vector<std::string> chosen;
    std::optional<std::string> file_open(std::string_view, std::string_view,
                                         std::string_view) override {
        if (chosen.empty()) return std::nullopt;
        std::string path = chosen.front();
        chosen.erase(chosen.begin());
        return path;
    }
    std::string open_with_parm(std::string_view, std::string_view, w_modify&) override {
        return {};
    }
    void open_window(std::string_view, std::string_view, w_modify&) override {}
    void close_window(w_modify&) override { closed = true; }
    // Busy pointers shown and not yet taken back.
    int busy = 0;
    void set_pointer(pointer p) override { busy += p == pointer::hourglass ? 1 : -1; }
    std::string current_directory() override { return "."; }
    bool change_directory(const std::string&) override { return true; }
    date today() const override { return day; }
    // The picture files there are, by path.
    std::map<std::string, blob> files;
    int gf_readphotofile(const std::string& path, blob& bytes) override {
        auto it = files.find(path);
        if (it == files.end()) return -1;
        bytes = it->second;
        return 1;
    }
    // Files written, by path; writing fails while `writes_fail`.
    std::map<std::string, blob> written;
    bool writes_fail = false;
    int gf_writephotofile(const std::string& path, const blob& bytes) override {
        if (writes_fail) return -1;
        written[path] = bytes;
        return 1;
    }
    void calendar_changed(w_modify&, std::string_view column) override {
        calendar.push_back(column.empty() ? "hidden" : std::string(column));
    }
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override {
        ++unsaved_asked;
        messages.push_back("question " + std::string(title) + " | " + std::string(text));
        return unsaved;
    }
    bool closed = false;
    unsaved_choice unsaved = unsaved_choice::discard;
    int unsaved_asked = 0;
};

// A fresh database with the schema and, on request, the demo data.
struct scratch_database {
    scratch_dir dir;
    fixed_clock clock{*date::parse("2026-12-08")};
    database db;
    std::string path;

    explicit scratch_database(bool demo = false) : path(dir.file("office.db")) {
        status st = create_database(path, demo, clock);
        EXPECT_TRUE(st.is_ok()) << st.message();
        auto opened = open_database(path, clock);
        EXPECT_TRUE(opened.is_ok()) << opened.message();
        if (opened) db = opened.take();
    }
    transaction& sqlca() { return *db.sqlca; }
};

}  // namespace officerecords::testkit
