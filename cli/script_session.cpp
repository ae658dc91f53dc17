#include "cli/script_session.h"

#include <unistd.h>

#include <ctime>
#include <istream>
#include <ostream>

#include "foundation/register_page.h"
#include "platform/database.h"
#include "platform/file_access.h"
#include "platform/window_catalog.h"

namespace officerecords {

std::optional<std::vector<std::string>> split_words(std::string_view line, std::string& why) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < line.size()) {
                    char e = line[i++];
                    switch (e) {
                        case 'n': word += '\n'; break;
                        case 'r': word += '\r'; break;
                        case 't': word += '\t'; break;
                        case '"': word += '"'; break;
                        case '\\': word += '\\'; break;
                        default:
                            why = std::string("unknown escape \\") + e;
                            return std::nullopt;
                    }
                    continue;
                }
                word += d;
            }
            if (!closed) {
                why = "unterminated quoted word";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string escape_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

namespace {

std::string printable(const value& v) {
    if (v.is_null()) return "null";
    if (v.is_blob()) return "<blob " + std::to_string(v.bytes().size()) + " bytes>";
    std::string text = v.to_text();
    // A whole-valued real from the database reads as the sqlite3 shell
    // shows it, so it is not mistaken for a whole number.
    if (v.is_double() && text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
    return escape_text(text);
}

date local_today() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return *date::from_ymd(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

}  // namespace

script_session::script_session(std::string target, std::ostream& out)
    : target_(std::move(target)), out_(out) {}

script_session::~script_session() {
    // Windows go before the session and the connections they use.
    windows_.clear();
}

bool script_session::connect(std::string& why) {
    auto db = open_database(target_, *this);
    if (!db) {
        why = db.message();
        return false;
    }
    auto own = open_connection(target_, *this);
    if (!own) {
        why = own.message();
        return false;
    }
    sqlca_ = std::move(db->sqlca);
    photosqlca_ = std::move(db->photosqlca);
    sql_ = own.take();
    session_ = std::make_unique<session>(session{*this, *sqlca_, *photosqlca_, {}, {}, nullptr});
    session_->gs_apppath = current_directory();
    auto lowest = sqlca_->select_value("SELECT MIN(commno) FROM tc_ge_community");
    if (!lowest) {
        why = target_ + ": " + sqlca_->sqlerrtext();
        return false;
    }
    if (!lowest->is_null()) session_->gs_commno = lowest->to_text();
    return true;
}

void script_session::print(const std::string& line) { out_ << line << '\n'; }

int script_session::run(std::istream& script, std::ostream& err) {
    script_ = &script;
    try {
        run_lines_until(nullptr);
    } catch (const script_error& e) {
        out_.flush();
        err << "error: line " << line_number_ << ": " << e.why << '\n';
        return 2;
    }
    out_.flush();
    return 0;
}

void script_session::run_lines_until(const w_modify* window_closed) {
    std::string line;
    while (std::getline(*script_, line)) {
        ++line_number_;
        std::string why;
        auto words = split_words(line, why);
        if (!words) throw script_error{why};
        if (words->empty() || (*words)[0].starts_with("#")) continue;
        execute(*words);
        if (window_closed) {
            for (const auto& e : windows_)
                if (e.window.get() == window_closed && e.closed) return;
        } else {
            collect_closed();
        }
    }
}

void script_session::collect_closed() {
    std::erase_if(windows_, [](const open_window_entry& e) { return e.closed; });
    session_->guo_tabpg_now = nullptr;
    for (auto& e : windows_)
        if (e.page) session_->guo_tabpg_now = e.page.get();
}

w_modify& script_session::current() {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (!it->closed) return *it->window;
    throw script_error{"no window is open"};
}

int script_session::column_or_fail(w_modify& w, const std::string& column) {
    int col = w.dw_1.column_number(column);
    if (col == 0) throw script_error{"no column " + column + " in " + w.dw_1.object().name};
    return col;
}

// Leaving a field moves its pending edit into the row first.
bool script_session::accept_pending(w_modify& w) {
    if (!w.dw_1.has_pending_edit()) return true;
    int col = w.dw_1.getcolumn();
    int rc = w.dw_1.accepttext();
    int changed = w.dw_1.last_itemchanged_result();
    if (changed != 0 && col > 0)
        print("itemchanged " + w.dw_1.column_definition(col).name + " returned " +
              std::to_string(changed));
    return rc == 1;
}

void script_session::print_value(const std::string& label, const value& v) {
    print(label + " = " + printable(v));
}

void script_session::execute(const std::vector<std::string>& words) {
    const std::string& cmd = words[0];
    auto need = [&](std::size_t n) {
        if (words.size() < n + 1)
            throw script_error{cmd + " needs " + std::to_string(n) + " argument(s)"};
    };

    if (cmd == "today") {
        need(1);
        auto d = date::parse(words[1]);
        if (!d || words[1].size() != 10) throw script_error{"not a date: " + words[1]};
        today_ = d;
    } else if (cmd == "community") {
        need(1);
        value commno(words[1]);
        auto found = sqlca_->select_value("SELECT count(*) FROM tc_ge_community WHERE commno = ?",
                                          {&commno, 1});
        if (!found || found->as_double().value_or(0) == 0)
            throw script_error{"no community " + words[1]};
        session_->gs_commno = words[1];
    } else if (cmd == "sql") {
        need(1);
        auto cur = sql_->open_cursor(words[1]);
        if (!cur) throw script_error{"sql failed: " + sql_->sqlerrtext()};
        while (cur->fetch()) {
            std::string line = "row: ";
            for (int i = 0; i < cur->column_count(); ++i) {
                if (i > 0) line += " | ";
                line += printable(cur->column_value(i));
            }
            print(line);
        }
        bool failed = sql_->sqlcode() < 0;
        std::string why = sql_->sqlerrtext();
        cur.reset();
        if (failed) {
            sql_->rollback();
            throw script_error{"sql failed: " + why};
        }
        if (sql_->commit() != sql_code::ok) throw script_error{"sql commit failed: " + sql_->sqlerrtext()};
    } else if (cmd == "open") {
        need(2);
        std::optional<std::string> key;
        if (words.size() > 3) key = words[3];
        open_record_window(words[1], words[2], key);
    } else if (cmd == "type" || cmd == "edit") {
        need(2);
        w_modify& w = current();
        if (control* c = w.find_control(words[1]); c && c->kind() == control_kind::edit) {
            if (!c->enabled() || !c->visible()) {
                print("cannot enter " + words[1]);
                return;
            }
            c->set_text(words[2]);
            return;
        }
        int col = column_or_fail(w, words[1]);
        if (w.dw_1.getrow() < 1) throw script_error{"no current row"};
        if (!w.dw_1.can_enter(col)) {
            print("cannot enter " + words[1]);
            return;
        }
        if (w.dw_1.getcolumn() != col && !accept_pending(w)) return;
        w.dw_1.setcolumn(col);
        w.dw_1.settext(words[2]);
        if (cmd == "type") {
            w.dw_1.accepttext();
            int changed = w.dw_1.last_itemchanged_result();
            if (changed != 0) print("itemchanged " + words[1] + " returned " + std::to_string(changed));
        }
    } else if (cmd == "focus" || cmd == "dblclick") {
        need(1);
        w_modify& w = current();
        int col = column_or_fail(w, words[1]);
        if (w.dw_1.getrow() < 1) throw script_error{"no current row"};
        bool enterable = cmd == "focus" ? w.dw_1.can_enter(col) : w.dw_1.state(col).visible;
        if (!enterable) {
            print("cannot enter " + words[1]);
            return;
        }
        if (w.dw_1.getcolumn() != col && !accept_pending(w)) return;
        w.dw_1.setcolumn(col);
        if (cmd == "focus")
            w.itemfocuschanged(w.dw_1.getrow(), w.dw_1.column_object(col));
        else
            w.doubleclicked(0, 0, w.dw_1.getrow(), w.dw_1.column_object(col));
    } else if (cmd == "click") {
        need(1);
        w_modify& w = current();
        control* c = w.find_control(words[1]);
        if (!c) throw script_error{"no control " + words[1] + " in " + w.name()};
        if (!c->enabled() || !c->visible()) {
            print("cannot click " + words[1]);
            return;
        }
        if (c->clicked) c->clicked();
    } else if (cmd == "answer") {
        need(1);
        if (words[1] != "yes" && words[1] != "no") throw script_error{"answer yes or no"};
        answers_.push_back(words[1] == "yes");
    } else if (cmd == "file") {
        need(1);
        files_.push_back(words[1] == "cancel" ? std::nullopt : std::optional<std::string>(words[1]));
    } else if (cmd == "pick") {
        need(1);
        picks_.push_back(words[1]);
    } else if (cmd == "print") {
        need(1);
        const std::string& what = words[1];
        if (what == "item") {
            need(2);
            w_modify& w = current();
            int col = column_or_fail(w, words[2]);
            print_value(words[2], w.dw_1.getitem(w.dw_1.getrow(), col));
        } else if (what == "row") {
            w_modify& w = current();
            for (int c = 1; c <= w.dw_1.column_count(); ++c)
                print_value(w.dw_1.column_definition(c).name, w.dw_1.getitem(w.dw_1.getrow(), c));
        } else if (what == "describe") {
            need(2);
            w_modify& w = current();
            print("describe " + escape_text(words[2]) + " = " + escape_text(w.dw_1.describe(words[2])));
        } else if (what == "control") {
            need(2);
            w_modify& w = current();
            if (iequals(words[2], "dw_1")) {
                print(words[2] + " enabled=1 visible=1 picture= text=");
                return;
            }
            control* c = w.find_control(words[2]);
            if (!c) throw script_error{"no control " + words[2] + " in " + w.name()};
            print(words[2] + " enabled=" + (c->enabled() ? "1" : "0") +
                  " visible=" + (c->visible() ? "1" : "0") + " picture=" + escape_text(c->picture()) +
                  " text=" + escape_text(c->text()));
        } else if (what == "window") {
            w_modify& w = current();
            bool modified = w.dw_1.modifiedcount() + w.dw_1.deletedcount() > 0;
            print("window " + w.name() + " mode=" + w.is_stringparm +
                  " row=" + std::to_string(w.dw_1.getrow()) +
                  " rows=" + std::to_string(w.dw_1.rowcount()) + " modified=" + (modified ? "1" : "0"));
        } else if (what == "child") {
            need(2);
            w_modify& w = current();
            column_or_fail(w, words[2]);
            auto [child, rc] = w.dw_1.getchild(words[2]);
            if (rc != 1) throw script_error{words[2] + " has no drop-down"};
            std::string line = "child " + words[2] + ":";
            for (const auto& code : child->offered_codes()) line += " " + escape_text(code);
            print(line);
        } else {
            throw script_error{"unknown print " + what};
        }
    } else if (cmd == "close") {
        w_modify& w = current();
        w.cb_exit_clicked();
    } else {
        throw script_error{"unknown command " + cmd};
    }
}

void script_session::open_record_window(const std::string& name, const std::string& mode,
                                        const std::optional<std::string>& key) {
    const window_entry* entry = find_window_entry(name);
    if (!entry) throw script_error{"no window " + name};
    auto page = std::make_unique<uo_tabpg_datawindow>();
    if (status st = list_register(*page, std::string(entry->window), entry->list(), *session_); !st)
        throw script_error{"cannot list " + name + ": " + st.message()};
    if (key) {
        auto wanted = decimal::parse(*key);
        if (!wanted) throw script_error{"not a record number: " + *key};
        long found = find_listed(*page, value(*wanted));
        if (found == 0)
            throw script_error{"no record " + *key + " of community " + session_->gs_commno + " in " + name};
        page->dw_1.setrow(found);
    }
    session_->guo_tabpg_now = page.get();
    open_window_entry e;
    e.page = std::move(page);
    e.window = entry->make(*session_);
    w_modify* w = e.window.get();
    windows_.push_back(std::move(e));
    print("open " + std::string(entry->window));
    w->open_with(mode);
}

void script_session::message_box(std::string_view title, std::string_view text, icon) {
    print("message " + escape_text(title) + " | " + escape_text(text));
}

bool script_session::question(std::string_view title, std::string_view text, bool) {
    if (answers_.empty())
        throw script_error{"a question was asked with no answer queued: " + std::string(text)};
    bool yes = answers_.front();
    answers_.pop_front();
    print("question " + escape_text(title) + " | " + escape_text(text) + " -> " + (yes ? "yes" : "no"));
    return yes;
}

std::optional<std::string> script_session::file_open(std::string_view title, std::string_view,
                                                     std::string_view) {
    if (files_.empty()) throw script_error{"a file dialog opened with no file queued"};
    auto chosen = files_.front();
    files_.pop_front();
    print("dialog " + escape_text(title) + " -> " + (chosen ? escape_text(*chosen) : "cancel"));
    return chosen;
}

std::string script_session::open_with_parm(std::string_view window, std::string_view,
                                           w_modify&) {
    if (picks_.empty())
        throw script_error{"selection window " + std::string(window) + " opened with no pick queued"};
    throw script_error{"selection window " + std::string(window) + " is not available"};
}

void script_session::open_window(std::string_view window, std::string_view mode, w_modify&) {
    const window_entry* entry = find_window_entry(window);
    if (!entry) throw script_error{"no window " + std::string(window)};
    open_window_entry e;
    e.window = entry->make(*session_);
    w_modify* w = e.window.get();
    windows_.push_back(std::move(e));
    print("open " + std::string(entry->window));
    w->open_with(std::string(mode));
    // Modal: the caller resumes when the script has closed this window.
    run_lines_until(w);
}

void script_session::close_window(w_modify& window) {
    for (auto& e : windows_) {
        if (e.window.get() == &window && !e.closed) {
            e.closed = true;
            print("close " + window.name());
        }
    }
}

void script_session::set_pointer(pointer) {}

std::string script_session::current_directory() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

bool script_session::change_directory(const std::string& path) {
    return chdir(native_path(path).c_str()) == 0;
}

date script_session::today() const { return today_ ? *today_ : local_today(); }

int script_session::gf_readphotofile(const std::string& path, blob& bytes) {
    return read_file(path, bytes);
}

int script_session::gf_writephotofile(const std::string& path, const blob& bytes) {
    return write_file(path, bytes);
}

void script_session::calendar_changed(w_modify&, std::string_view column) {
    print(column.empty() ? std::string("calendar hidden") : "calendar " + std::string(column));
}

}  // namespace officerecords
