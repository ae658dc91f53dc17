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
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/session.h"
#include "foundation/w_modify.h"
#include "storage/database.h"

namespace officerecords {

struct window_entry;

// Splits a script line into words: blanks separate, "..." groups and
// knows \" \\ \n \r \t. Returns nullopt with `why` set for a bad line.
std::optional<std::vector<std::string>> split_words(std::string_view line, std::string& why);
// The lines of a script: a UTF-8 byte order mark at the start is dropped,
// and CR LF, CR and LF all end a line.
std::vector<std::string> script_lines(std::string_view text);
// Escapes a printed text: \r, \n and \ are written \r, \n and \\.
std::string escape_text(std::string_view text);

class script_session final : public host_services, public clock_source {
public:
    // `target` is the database; `out` receives the transcript.
    script_session(std::string target, std::ostream& out, connection_options options = {});
    ~script_session() override;
    // Where the script's `sql` lines run, when not on the windows' database
    // login: they stand for another program, such as the administrator's
    // psql beside a clerk's workstation.
    void set_sql_target(std::string target) { sql_target_ = std::move(target); }

    // Opens the database; false with the message on failure.
    bool connect(std::string& why);
    // Makes `commno` the community whose records the windows keep; false
    // when the database has no such community.
    bool choose_community(const std::string& commno);
    // What the windows see, once connected: for the program's commands
    // that work on the registers without a script.
    session& windows_session() { return *session_; }
    // Plays a whole script. Returns 0, or 2 after printing
    // "error: line N: WHY" to `err`.
    int run(std::string_view script, std::ostream& err);

    // host_services
    void message_box(std::string_view title, std::string_view text, icon kind) override;
    bool question(std::string_view title, std::string_view text, bool default_no) override;
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override;
    std::optional<std::string> file_open(std::string_view title, std::string_view default_extension,
                                         std::string_view filter) override;
    std::string open_with_parm(std::string_view window, std::string_view parm,
                               w_modify& caller) override;
    void open_window(std::string_view window, std::string_view mode, w_modify& caller) override;
    void close_window(w_modify& window) override;
    void set_pointer(pointer p) override;
    std::string current_directory() override;
    bool change_directory(const std::string& path) override;
    int gf_readphotofile(const std::string& path, blob& bytes) override;
    int gf_writephotofile(const std::string& path, const blob& bytes) override;
    void calendar_changed(w_modify& window, std::string_view column) override;

    // clock_source: the script's `today`, else the workstation's date.
    date today() const override;
    std::string now() const override;

private:
    using words = std::vector<std::string>;
    struct command;
    struct open_window_entry {
        std::shared_ptr<uo_tabpg_datawindow> page;  // the list it navigates
        std::unique_ptr<w_modify> window;
        bool closed = false;
    };
    // A failure of the script itself (not of the windows).
    struct script_error {
        std::string why;
    };
    enum class answer { yes, no, cancel };

    static const std::vector<command>& commands();
    void execute(const words& w);
    void run_lines_until(const w_modify* window_closed);
    w_modify& current();
    void collect_closed();
    int column_or_fail(w_modify& w, const std::string& column);
    bool move_into(w_modify& w, int col);
    void report_itemchanged(w_modify& w, int col);
    void print_item(w_modify& w, int col);
    void print(const std::string& line);

    void do_today(const words& w);
    void do_community(const words& w);
    void do_sql(const words& w);
    // The register's list in the current community, kept between windows,
    // with the record numbered `number` current (a script error when the
    // community has none), else the first. `whole` lists every record;
    // otherwise no more than that record is read.
    std::shared_ptr<uo_tabpg_datawindow> listed(const window_entry& entry,
                                                const std::string& number, bool whole);
    void do_open(const words& w);
    void do_delete(const words& w);
    void do_type(const words& w);
    void do_focus(const words& w);
    void do_click(const words& w);
    void do_answer(const words& w);
    void do_file(const words& w);
    void do_import(const words& w);
    void do_pick(const words& w);
    void do_print(const words& w);
    void do_close(const words& w);
    void print_history(w_modify& win);

    std::string target_;
    std::string sql_target_;
    std::ostream& out_;
    connection_options options_;
    std::vector<std::string> lines_;
    std::size_t next_line_ = 0;
    std::unique_ptr<transaction> sqlca_;
    std::unique_ptr<transaction> photosqlca_;
    std::unique_ptr<transaction> sql_;
    std::unique_ptr<session> session_;
    std::vector<open_window_entry> windows_;
    // Each register's list, by window and community, kept between windows
    // as the desktop program keeps a list's tab: a window merges what it
    // saves or deletes into it, so opening the next one reads no register.
    // A scripted statement may change anything, and lets go of them all.
    std::map<std::string, std::shared_ptr<uo_tabpg_datawindow>> lists_;
    std::optional<date> today_;
    std::deque<answer> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::string> picks_;
};

}  // namespace officerecords
