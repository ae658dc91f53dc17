#include "cli/script_session.h"

#include "cli/register_import_command.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <sstream>

#include "foundation/picture_format.h"
#include "foundation/register_page.h"
#include "storage/file_access.h"
#include "storage/file_places.h"
#include "catalog/person_selection.h"
#include "storage/record_history.h"
#include "storage/system_clock.h"
#include "catalog/window_catalog.h"

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

std::vector<std::string> script_lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
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

// How a value prints: null as "null", blobs by size, whole-valued reals as
// the sqlite3 shell shows them, so they are not taken for whole numbers.
std::string printable(const value& v) {
    if (v.is_null()) return "null";
    if (v.is_blob()) return "<blob " + std::to_string(v.bytes().size()) + " bytes>";
    std::string text = v.to_text();
    if (v.is_double() && text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
    return escape_text(text);
}

// A decimal column prints with its declared fraction digits, whatever
// form the backend stores it in, so every backend prints the same line.
std::string printable_column(const cursor& c, int i) {
    const value v = c.column_value(i);
    const int scale = c.column_scale(i);
    if (scale < 0 || v.is_null() || v.is_blob()) return printable(v);
    std::optional<decimal> d;
    if (v.is_integer()) d = decimal(v.integer(), 0);
    if (v.is_double()) d = decimal::from_double(v.real(), scale);
    if (v.is_text()) d = decimal::parse(v.text());
    return d ? d->rescaled(scale).str() : printable(v);
}

bool is_comment_or_blank(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos || line[first] == '#';
}

}  // namespace

// A command of the script language: its name, how many words may follow
// it, and what it does.
struct script_session::command {
    std::string_view name;
    std::size_t min_args;
    std::size_t max_args;
    void (script_session::*run)(const words&);
};

const std::vector<script_session::command>& script_session::commands() {
    static const std::vector<command> table = {
        {"today", 1, 1, &script_session::do_today},
        {"community", 1, 1, &script_session::do_community},
        {"sql", 1, 1, &script_session::do_sql},
        {"open", 2, 3, &script_session::do_open},
        {"delete", 2, 2, &script_session::do_delete},
        {"type", 2, 2, &script_session::do_type},
        {"edit", 2, 2, &script_session::do_type},
        {"focus", 1, 1, &script_session::do_focus},
        {"dblclick", 1, 1, &script_session::do_focus},
        {"click", 1, 1, &script_session::do_click},
        {"answer", 1, 1, &script_session::do_answer},
        {"file", 1, 1, &script_session::do_file},
        {"pick", 1, 1, &script_session::do_pick},
        {"print", 1, 2, &script_session::do_print},
        {"close", 0, 0, &script_session::do_close},
        {"import", 1, 4, &script_session::do_import},
    };
    return table;
}

script_session::script_session(std::string target, std::ostream& out, connection_options options)
    : target_(std::move(target)), out_(out), options_(options) {}

script_session::~script_session() {
    // Windows go before the session and the connections they use.
    windows_.clear();
}

bool script_session::connect(std::string& why) {
    auto db = open_database(target_, *this, options_);
    if (!db) {
        why = db.message();
        return false;
    }
    sqlca_ = std::move(db->sqlca);
    photosqlca_ = std::move(db->photosqlca);
    session_ = std::make_unique<session>(
        session{*this, *this, *sqlca_, *photosqlca_, {}, {}, nullptr});
    session_->gs_apppath = current_directory();
    const workstation_identity here = this_workstation();
    session_->workstation = here.workstation;
    session_->os_user = here.os_user;
    auto lowest = sqlca_->select_value("SELECT MIN(commno) FROM tc_ge_community");
    if (!lowest) {
        why = target_ + ": " + sqlca_->sqlerrtext();
        return false;
    }
    if (!lowest->is_null()) session_->gs_commno = lowest->to_text();
    return true;
}

void script_session::print(const std::string& line) { out_ << line << '\n'; }

int script_session::run(std::string_view script, std::ostream& err) {
    lines_ = script_lines(script);
    next_line_ = 0;
    try {
        run_lines_until(nullptr);
    } catch (const script_error& e) {
        out_.flush();
        err << "error: line " << next_line_ << ": " << e.why << '\n';
        return 2;
    }
    out_.flush();
    return 0;
}

void script_session::run_lines_until(const w_modify* window_closed) {
    auto closed = [&] {
        for (const auto& e : windows_)
            if (e.window.get() == window_closed && e.closed) return true;
        return false;
    };
    // A window may close while it opens (no community to own its records).
    if (window_closed && closed()) return;
    while (next_line_ < lines_.size()) {
        const std::string& line = lines_[next_line_++];
        // A comment is not split into words: anything may follow its "#".
        if (is_comment_or_blank(line)) continue;
        std::string why;
        auto w = split_words(line, why);
        if (!w) throw script_error{why};
        if (w->empty()) continue;
        execute(*w);
        if (!window_closed)
            collect_closed();
        else if (closed())
            return;
    }
}

void script_session::execute(const words& w) {
    const auto& table = commands();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const command& c) { return c.name == w[0]; });
    if (it == table.end()) throw script_error{"unknown command " + w[0]};
    const std::size_t given = w.size() - 1;
    if (given < it->min_args)
        throw script_error{w[0] + " needs " + std::to_string(it->min_args) + " argument(s)"};
    if (given > it->max_args)
        throw script_error{w[0] + " takes at most " + std::to_string(it->max_args) +
                           " argument(s), " + std::to_string(given) + " given: " + w.back()};
    (this->*(it->run))(w);
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

void script_session::report_itemchanged(w_modify& w, int col) {
    const int changed = w.dw_1.last_itemchanged_result();
    if (changed != 0 && col > 0)
        print("itemchanged " + w.dw_1.column_definition(col).name + " returned " +
              std::to_string(changed));
}

// The frame's field-leave rule; the transcript shows a refusal of the
// field that was left.
bool script_session::move_into(w_modify& w, int col) {
    const int from = w.dw_1.getcolumn();
    const bool leaving = w.dw_1.has_pending_edit() && from != col;
    const bool entered = w.enter_column(col);
    if (leaving) report_itemchanged(w, from);
    return entered;
}

void script_session::print_item(w_modify& w, int col) {
    const std::string& name = w.dw_1.column_definition(col).name;
    const long row = w.dw_1.getrow();
    if (auto stored = w.dw_1.unreadable_item(row, col)) {
        print(name + " = null (stored: " + printable(*stored) + ")");
        return;
    }
    print(name + " = " + printable(w.dw_1.getitem(row, col)));
}

void script_session::do_today(const words& w) {
    auto d = date::parse(w[1]);
    if (!d || w[1].size() != 10) throw script_error{"not a date: " + w[1]};
    today_ = d;
}

bool script_session::choose_community(const std::string& commno) {
    value wanted(commno);
    auto found =
        sqlca_->select_value("SELECT count(*) FROM tc_ge_community WHERE commno = ?", {&wanted, 1});
    if (!found || found->as_double().value_or(0) == 0) return false;
    session_->gs_commno = commno;
    return true;
}

void script_session::do_community(const words& w) {
    if (!choose_community(w[1])) throw script_error{"no community " + w[1]};
}

void script_session::do_sql(const words& w) {
    lists_.clear();
    // A connection of its own, opened by the first statement: most scripts
    // have none, and opening one reads the whole schema.
    if (!sql_) {
        auto own = open_connection(sql_target_.empty() ? target_ : sql_target_, *this, options_);
        if (!own) throw script_error{"sql failed: " + own.message()};
        sql_ = own.take();
    }
    auto cur = sql_->open_cursor(w[1]);
    if (!cur) throw script_error{"sql failed: " + sql_->sqlerrtext()};
    while (cur->fetch()) {
        std::string line = "row: ";
        for (int i = 0; i < cur->column_count(); ++i) {
            if (i > 0) line += " | ";
            line += printable_column(*cur, i);
        }
        print(line);
    }
    const bool failed = sql_->sqlcode() < 0;
    const std::string why = sql_->sqlerrtext();
    cur.reset();
    if (failed) {
        sql_->rollback_keeping_error();
        throw script_error{"sql failed: " + why};
    }
    if (sql_->commit() != sql_code::ok) throw script_error{"sql commit failed: " + sql_->sqlerrtext()};
}

std::shared_ptr<uo_tabpg_datawindow> script_session::listed(const window_entry& entry,
                                                            const std::string& number, bool whole) {
    const std::string window(entry.window);
    value key;
    if (!number.empty()) {
        auto wanted = decimal::parse(number);
        if (!wanted) throw script_error{"not a record number: " + number};
        // A whole number is bound as one, as the key column holds it.
        const bool is_whole = decimal(wanted->truncated(), 0) == *wanted;
        key = is_whole ? value(wanted->truncated()) : value(*wanted);
    }
    std::shared_ptr<uo_tabpg_datawindow>& page = lists_[window + "\n" + session_->gs_commno];
    if (!page) {
        auto fresh = std::make_shared<uo_tabpg_datawindow>();
        if (!whole) {
            if (!list_records_by_key(*fresh, window, entry.list(), *session_, value()))
                throw script_error{"cannot list " + window + ": " + fresh->dw_1.last_error()};
        } else if (status st = list_register(*fresh, window, entry.list(), *session_); !st) {
            throw script_error{"cannot list " + window + ": " + st.message()};
        }
        page = std::move(fresh);
    } else if (whole) {
        if (status st = page->complete(*session_); !st)
            throw script_error{"cannot list " + window + ": " + st.message()};
    }
    // As freshly listed: the first record is the current one.
    page->dw_1.setrow(page->dw_1.rowcount() > 0 ? 1 : 0);
    if (!key.is_null()) {
        long found = find_listed(*page, key);
        if (found == 0 && page->partial()) {
            const std::optional<long> added = add_listed_record(*page, *session_, key);
            if (!added)
                throw script_error{"cannot list " + window + ": " + page->dw_1.last_error()};
            found = *added;
        }
        if (found == 0)
            throw script_error{"no record " + number + " of community " + session_->gs_commno +
                               " in " + window};
        page->dw_1.setrow(found);
    }
    return page;
}

void script_session::do_open(const words& w) {
    const window_entry* entry = find_window_entry(w[1]);
    if (!entry) throw script_error{"no window " + w[1]};
    if (!entry->list) throw script_error{w[1] + " opens only from its register's window"};
    const std::string& mode = w[2];
    if (mode != k_mode_add && mode != k_mode_modify)
        throw script_error{"the mode is " + std::string(k_mode_add) + " or " + k_mode_modify +
                           ", not " + mode};
    // In 添加 the key names the new record's owner (the body a member joins).
    const bool owner_given = w.size() > 3 && mode == k_mode_add;
    const std::string number = w.size() > 3 && !owner_given ? w[3] : std::string();
    // A window opened on one record, or to add one, needs no more of the
    // list than that record: the rest is read when the list is moved along
    // or looked at.
    const std::shared_ptr<uo_tabpg_datawindow> page =
        listed(*entry, number, number.empty() && mode != k_mode_add);
    session_->guo_tabpg_now = page.get();
    open_window_entry e;
    e.page = page;
    e.window = entry->make(*session_);
    w_modify* opened = e.window.get();
    windows_.push_back(std::move(e));
    print("open " + std::string(entry->window));
    opened->open_with(mode);
    if (owner_given) {
        // Taken as the owner column's type: a body's number, a person's.
        // An owner refused is the window's to say; one not taken, the script's error.
        if (opened->set_owner(value(w[3])) == w_modify::owner_outcome::not_taken)
            throw script_error{w[1] + " takes no owner for a new record"};
    }
}

void script_session::do_delete(const words& w) {
    const window_entry* entry = find_window_entry(w[1]);
    if (!entry || !entry->list) throw script_error{"no register " + w[1]};
    const std::shared_ptr<uo_tabpg_datawindow> page = listed(*entry, w[2], false);
    session_->guo_tabpg_now = page.get();
    (void)delete_current_record(*page, *session_);
}

void script_session::do_type(const words& w) {
    w_modify& win = current();
    if (control* c = win.find_control(w[1]); c && c->kind() == control_kind::edit) {
        if (!c->enabled() || !c->visible()) {
            print("cannot enter " + w[1]);
            return;
        }
        (void)win.enter_text(*c, w[2]);
        return;
    }
    int col = column_or_fail(win, w[1]);
    if (win.dw_1.getrow() < 1) throw script_error{"no current row"};
    if (!win.dw_1.can_enter(col)) {
        print("cannot enter " + w[1]);
        return;
    }
    if (!move_into(win, col)) return;
    win.dw_1.settext(w[2]);
    if (w[0] == "type") {
        (void)win.leave_field();
        report_itemchanged(win, col);
    }
}

void script_session::do_focus(const words& w) {
    w_modify& win = current();
    int col = column_or_fail(win, w[1]);
    if (win.dw_1.getrow() < 1) throw script_error{"no current row"};
    const bool focus = w[0] == "focus";
    if (!(focus ? win.dw_1.can_enter(col) : win.dw_1.state(col).visible)) {
        print("cannot enter " + w[1]);
        return;
    }
    if (!move_into(win, col)) return;
    if (focus)
        win.itemfocuschanged(win.dw_1.getrow(), win.dw_1.column_object(col));
    else
        win.doubleclicked(0, 0, win.dw_1.getrow(), win.dw_1.column_object(col));
}

void script_session::do_click(const words& w) {
    w_modify& win = current();
    control* c = win.find_control(w[1]);
    if (!c) throw script_error{"no control " + w[1] + " in " + win.name()};
    if (!c->enabled() || !c->visible()) {
        print("cannot click " + w[1]);
        return;
    }
    if (c->clicked) c->clicked();
}

void script_session::do_answer(const words& w) {
    if (w[1] == "yes")
        answers_.push_back(answer::yes);
    else if (w[1] == "no")
        answers_.push_back(answer::no);
    else if (w[1] == "cancel")
        answers_.push_back(answer::cancel);
    else
        throw script_error{"answer yes, no or cancel"};
}

void script_session::do_import(const words& w) {
    // import [WINDOW] FILE [--dry-run] [--skip-duplicates]: into the
    // register named, or the current window's.
    register_import_request request;
    std::size_t i = 1;
    if (w.size() > 2 && w[1].starts_with("w_")) request.import.window = w[i++];
    if (i >= w.size()) throw script_error{"import takes a file"};
    request.import.path = w[i++];
    for (; i < w.size(); ++i) {
        if (w[i] == "--dry-run")
            request.dry_run = true;
        else if (w[i] == "--skip-duplicates")
            request.import.skip_duplicates = true;
        else
            throw script_error{"import does not know " + w[i]};
    }
    if (request.import.window.empty()) request.import.window = current().name();
    std::ostringstream printed;
    (void)run_import(*session_, request, printed);
    std::istringstream lines(printed.str());
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("note: ")) print(line);
}

void script_session::do_file(const words& w) {
    files_.push_back(w[1] == "cancel" ? std::nullopt : std::optional<std::string>(w[1]));
}

void script_session::do_pick(const words& w) { picks_.push_back(w[1]); }

void script_session::do_print(const words& w) {
    const std::string& what = w[1];
    // What each kind of print takes after its name.
    struct kind {
        std::string_view name;
        bool takes_argument;
    };
    static constexpr kind kinds[] = {{"item", true},    {"row", false},    {"describe", true},
                                     {"control", true}, {"window", false}, {"child", true},
                                     {"list", false},   {"listed", true},  {"history", false}};
    const auto* k = std::find_if(std::begin(kinds), std::end(kinds),
                                 [&](const kind& x) { return x.name == what; });
    if (k == std::end(kinds)) throw script_error{"unknown print " + what};
    if (k->takes_argument != (w.size() == 3))
        throw script_error{"print " + what + (k->takes_argument ? " needs" : " takes no") +
                           " argument"};
    if (what == "list" || what == "listed") {
        // The host's list the current window works on (guo_tabpg_now).
        uo_tabpg_datawindow* page = session_->guo_tabpg_now;
        if (!page) throw script_error{"no list is open"};
        if (status st = page->complete(*session_); !st) throw script_error{"cannot list: " + st.message()};
        if (what == "list") {
            print("list " + page->window + " row=" + std::to_string(page->dw_1.getrow()) +
                  " rows=" + std::to_string(page->dw_1.rowcount()));
            return;
        }
        const int col = page->dw_1.column_number(w[2]);
        if (col == 0) throw script_error{"no column " + w[2] + " in " + page->dw_1.object().name};
        print(w[2] + " = " + escape_text(page->dw_1.display_text(page->dw_1.getrow(), col)));
        return;
    }
    w_modify& win = current();
    if (what == "item") {
        print_item(win, column_or_fail(win, w[2]));
    } else if (what == "row") {
        for (int c = 1; c <= win.dw_1.column_count(); ++c) print_item(win, c);
    } else if (what == "describe") {
        print("describe " + escape_text(w[2]) + " = " + escape_text(win.dw_1.describe(w[2])));
    } else if (what == "control") {
        if (iequals(w[2], "dw_1")) {
            print(w[2] + " enabled=1 visible=1 picture= text=");
            return;
        }
        control* c = win.find_control(w[2]);
        if (!c) throw script_error{"no control " + w[2] + " in " + win.name()};
        // A picture shown from memory prints its kind and size.
        const std::string picture =
            c->picture_bytes().empty()
                ? escape_text(c->picture())
                : "<" + std::string(picture_format_name(picture_format_of(c->picture_bytes()))) + " " +
                      std::to_string(c->picture_bytes().size()) + " bytes>";
        print(w[2] + " enabled=" + (c->enabled() ? "1" : "0") + " visible=" +
              (c->visible() ? "1" : "0") + " picture=" + picture + " text=" + escape_text(c->text()));
    } else if (what == "history") {
        print_history(win);
    } else if (what == "window") {
        bool modified = win.dw_1.modifiedcount() + win.dw_1.deletedcount() > 0;
        print("window " + win.name() + " mode=" + win.is_stringparm +
              " row=" + std::to_string(win.dw_1.getrow()) +
              " rows=" + std::to_string(win.dw_1.rowcount()) + " modified=" + (modified ? "1" : "0"));
    } else {
        column_or_fail(win, w[2]);
        auto [child, rc] = win.dw_1.getchild(w[2]);
        if (rc != 1) throw script_error{w[2] + " has no drop-down"};
        std::string line = "child " + w[2] + ":";
        for (const auto& code : child->offered_codes()) line += " " + escape_text(code);
        print(line);
    }
}

void script_session::do_close(const words&) { current().cb_exit_clicked(); }

// The record's history as its window's 修改记录 shows it, newest change
// first; when, where and by whom each was made is left out, since no two
// runs share it.
void script_session::print_history(w_modify& win) {
    const dw_object& form = win.dw_1.object();
    if (form.update_table.empty()) throw script_error{win.name() + " keeps no history of its own"};
    const long row = win.dw_1.getrow() > 0 ? win.dw_1.getrow() : 1;
    std::vector<value> key;
    for (int k : form.key_columns())
        key.push_back(win.dw_1.getitem(row, form.columns[static_cast<std::size_t>(k)].name));
    auto lines = record_history(win.sqlca(), form, history_key(form, key));
    if (!lines) throw script_error{lines.message()};
    auto shown = [](const std::string& text) {
        return text.empty() ? std::string("（空）") : escape_text(text);
    };
    for (const history_line& h : *lines)
        print("history " + h.kind + (h.checked ? "" : "（未校验）") + " " + escape_text(h.caption) +
              ": " + shown(h.old_shown) + " -> " + shown(h.new_shown));
}

void script_session::message_box(std::string_view title, std::string_view text, icon) {
    print("message " + escape_text(title) + " | " + escape_text(text));
}

bool script_session::question(std::string_view title, std::string_view text, bool) {
    if (answers_.empty())
        throw script_error{"a question was asked with no answer queued: " + std::string(text)};
    const answer a = answers_.front();
    if (a == answer::cancel)
        throw script_error{"cancel answers only the question before leaving a changed record"};
    answers_.pop_front();
    print("question " + escape_text(title) + " | " + escape_text(text) + " -> " +
          (a == answer::yes ? "yes" : "no"));
    return a == answer::yes;
}

// Leaving a changed record without an answer queued discards the changes,
// as a script that just moves on means; the question is printed all the same.
unsaved_choice script_session::ask_unsaved(std::string_view title, std::string_view text) {
    answer a = answer::no;
    if (!answers_.empty()) {
        a = answers_.front();
        answers_.pop_front();
    }
    static constexpr const char* said[] = {"yes", "no", "cancel"};
    print("question " + escape_text(title) + " | " + escape_text(text) + " -> " +
          said[static_cast<int>(a)]);
    if (a == answer::yes) return unsaved_choice::save;
    return a == answer::no ? unsaved_choice::discard : unsaved_choice::cancel;
}

std::optional<std::string> script_session::file_open(std::string_view title, std::string_view,
                                                     std::string_view) {
    if (files_.empty()) throw script_error{"a file dialog opened with no file queued"};
    auto chosen = files_.front();
    files_.pop_front();
    print("dialog " + escape_text(title) + " -> " + (chosen ? escape_text(*chosen) : "cancel"));
    return chosen;
}

std::string script_session::open_with_parm(std::string_view window, std::string_view parm,
                                           w_modify& caller) {
    if (!person_selection::handles(window))
        throw script_error{"no selection window " + std::string(window)};
    if (picks_.empty())
        throw script_error{"selection window " + std::string(window) + " opened with no pick queued"};
    person_selection selection(window, parm, caller);
    if (status st = selection.search(); !st) throw script_error{st.message()};
    const std::string pick = picks_.front();
    picks_.pop_front();
    std::string result = pick;
    if (pick != person_selection::k_abandoned && !pick.empty()) {
        const long n = selection.find(pick);
        if (n == 0)
            throw script_error{"selection window " + selection.window() + " does not list " + pick +
                               " for “" + selection.typed() + "”"};
        result = selection.pick(n);
    }
    print("select " + selection.window() + " | " + escape_text(selection.typed()) + " | " +
          std::to_string(selection.count()) + " listed -> " + (pick.empty() ? "\"\"" : pick));
    return result;
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

date script_session::today() const { return today_ ? *today_ : system_clock().today(); }

// A script that sets the date sets the whole day: its changes are at midnight.
std::string script_session::now() const {
    return today_ ? clock_source::now() : system_clock().now();
}

int script_session::gf_readphotofile(const std::string& path, blob& bytes) {
    return read_photo_file(path, bytes);
}

// The display file goes to the user's cache, never the working folder,
// which may be anyone's; the transcript names it as the window does.
int script_session::gf_writephotofile(const std::string& path, const blob& bytes) {
    return write_display_file(path, bytes, this_process_places());
}

void script_session::calendar_changed(w_modify&, std::string_view column) {
    print(column.empty() ? std::string("calendar hidden") : "calendar " + std::string(column));
}

}  // namespace officerecords
