// A scripted session: the headless host that plays a script of user
// actions against the record windows and prints what happens.
//
// It implements the host services with queued answers (questions, file
// dialogs, selection windows) and writes a transcript line for every
// message box, question, dialog, window opened or closed and calendar
// change. The script format is documented in docs/scripted-sessions.md.
#pragma once

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/session.h"
#include "foundation/w_modify.h"

namespace officerecords {

// Splits a script line into words: blanks separate, "..." groups and
// knows \" \\ \n \r \t. Returns nullopt with `why` set for a bad line.
std::optional<std::vector<std::string>> split_words(std::string_view line, std::string& why);
// Escapes a printed text: \r, \n and \ are written \r, \n and \\.
std::string escape_text(std::string_view text);

class script_session final : public host_services, public clock_source {
public:
    // `target` is the database; `out` receives the transcript.
    script_session(std::string target, std::ostream& out);
    ~script_session() override;

    // Opens the database; false with the message on failure.
    bool connect(std::string& why);
    // Plays a whole script. Returns 0, or 2 after printing
    // "error: line N: WHY" to `err`.
    int run(std::istream& script, std::ostream& err);

    // host_services
    void message_box(std::string_view title, std::string_view text, icon kind) override;
    bool question(std::string_view title, std::string_view text, bool default_no) override;
    std::optional<std::string> file_open(std::string_view title, std::string_view default_extension,
                                         std::string_view filter) override;
    std::string open_with_parm(std::string_view window, std::string_view parm,
                               w_modify& caller) override;
    void open_window(std::string_view window, std::string_view mode, w_modify& caller) override;
    void close_window(w_modify& window) override;
    void set_pointer(pointer p) override;
    std::string current_directory() override;
    bool change_directory(const std::string& path) override;
    date today() const override;
    int gf_readphotofile(const std::string& path, blob& bytes) override;
    int gf_writephotofile(const std::string& path, const blob& bytes) override;
    void calendar_changed(w_modify& window, std::string_view column) override;

private:
    struct open_window_entry {
        std::unique_ptr<uo_tabpg_datawindow> page;  // the list it navigates
        std::unique_ptr<w_modify> window;
        bool closed = false;
    };
    // A failure of the script itself (not of the windows).
    struct script_error {
        std::string why;
    };

    void execute(const std::vector<std::string>& words);
    void run_lines_until(const w_modify* window_closed);
    w_modify& current();
    void open_record_window(const std::string& name, const std::string& mode,
                            const std::optional<std::string>& key);
    void collect_closed();
    void print_value(const std::string& label, const value& v);
    int column_or_fail(w_modify& w, const std::string& column);
    bool accept_pending(w_modify& w);
    void print(const std::string& line);

    std::string target_;
    std::ostream& out_;
    std::istream* script_ = nullptr;
    int line_number_ = 0;
    std::unique_ptr<transaction> sqlca_;
    std::unique_ptr<transaction> photosqlca_;
    std::unique_ptr<transaction> sql_;
    std::unique_ptr<session> session_;
    std::vector<open_window_entry> windows_;
    std::optional<date> today_;
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::string> picks_;
};

}  // namespace officerecords
