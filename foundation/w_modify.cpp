#include "foundation/w_modify.h"

#include <algorithm>
#include <optional>

#include "foundation/change_log.h"
#include "foundation/held_messages.h"
#include "foundation/refused_field.h"
#include "foundation/register_page.h"
#include "foundation/transaction.h"

namespace officerecords {

w_modify::w_modify(session& s, std::string name, const dw_object& form)
    : mc_1("mc_1", control_kind::calendar),
      cb_help("cb_help", control_kind::button, "bmp\\cb_help.bmp", "查看相应帮助(Ctrl+H)"),
      cb_last("cb_last", control_kind::button, "bmp\\cb_Last.bmp", "最后一条记录"),
      cb_next("cb_next", control_kind::button, "bmp\\cb_Next.bmp", "下一条记录"),
      cb_prior("cb_prior", control_kind::button, "bmp\\cb_prior.bmp", "上一条记录"),
      cb_first("cb_first", control_kind::button, "bmp\\cb_First.bmp", "第一条记录"),
      cb_exit("cb_exit", control_kind::button, "bmp\\cb_exit.bmp", "关闭窗口(Esc)"),
      cb_save("cb_save", control_kind::button, "bmp\\cb_save.bmp", "保存数据(Ctrl+S)"),
      cb_roll("cb_roll", control_kind::button, "bmp\\cb_roll.bmp", "还原数据(Ctrl+U)"),
      dw_1("dw_1"),
      cb_tempsave("cb_tempsave", control_kind::button, "bmp\\cb_TempSave.bmp",
                  "不做数据校验临时保存(Ctrl+T)"),
      session_(s),
      name_(std::move(name)) {
    mc_1.set_visible(false);
    for (control* c : {&mc_1, &cb_help, &cb_last, &cb_next, &cb_prior, &cb_first, &cb_exit,
                       &cb_save, &cb_roll, &cb_tempsave})
        add_control(*c);
    // Pressing a button raises its (possibly overridden) clicked event.
    cb_help.clicked = [this] { cb_help_clicked(); };
    cb_last.clicked = [this] { cb_last_clicked(); };
    cb_next.clicked = [this] { cb_next_clicked(); };
    cb_prior.clicked = [this] { cb_prior_clicked(); };
    cb_first.clicked = [this] { cb_first_clicked(); };
    cb_exit.clicked = [this] { cb_exit_clicked(); };
    cb_save.clicked = [this] { save_pressed(); };
    cb_roll.clicked = [this] { cb_roll_clicked(); };
    cb_tempsave.clicked = [this] { cb_tempsave_clicked(); };

    status st = dw_1.set_dataobject(form, s.sqlca);
    if (!st) host().message_box("警告信息", "读取代码表失败！" + st.message(), icon::stop);
    dw_1.set_events(this);
    key_column_ = record_key_column(form);
}

uo_tabpg_datawindow* w_modify::own_list() const {
    uo_tabpg_datawindow* list = session_.guo_tabpg_now;
    // Another register's list is not this window's to move along or
    // merge into: its record numbers are another table's.
    return list && iequals(list->window, name_) ? list : nullptr;
}

bool w_modify::has_unsaved_changes() const {
    return dw_1.modifiedcount() + dw_1.deletedcount() > 0 || dw_1.has_pending_edit();
}

long w_modify::list_position() const {
    const uo_tabpg_datawindow* list = own_list();
    // A list holding only the opened record does not know where it stands.
    if (!list || list->partial() || dw_1.rowcount() < 1) return 0;
    const row_status s = dw_1.getitemstatus(1, 0);
    if (s == row_status::new_row || s == row_status::new_modified) return 0;
    return list->position_of(list->dw_1.getrow());
}

long w_modify::list_count() const {
    const uo_tabpg_datawindow* list = own_list();
    return list && !list->partial() ? list->shown_count() : 0;
}

bool w_modify::leave_record() {
    if (!has_unsaved_changes()) return true;
    switch (host().ask_unsaved("提示信息", "当前记录已经修改，是否保存？")) {
        case unsaved_choice::save:
            cb_save_clicked();
            return !has_unsaved_changes();
        case unsaved_choice::discard:
            drop_unsaved_changes();
            return true;
        case unsaved_choice::cancel:
            return false;
    }
    return false;
}

bool w_modify::leave_field() { return !dw_1.has_pending_edit() || dw_1.accepttext() == 1; }

bool w_modify::enter_column(int col) {
    if (dw_1.getcolumn() == col) return true;
    if (!leave_field()) return false;
    dw_1.setcolumn(col);
    return true;
}

bool w_modify::enter_text(control& c, std::string text) {
    if (!valid_utf8(text) || has_control_character(text)) {
        host().message_box("提示信息", "输入的内容含有无法识别的字符或控制字符，请重新输入！",
                           icon::exclamation);
        return false;
    }
    c.set_text(std::move(text));
    return true;
}

w_modify::~w_modify() = default;

void w_modify::add_control(control& c) {
    controls_.push_back(&c);
    c.set_observer([this](control& changed) { on_control_changed(changed); });
}

control* w_modify::find_control(std::string_view name) {
    auto it = std::find_if(controls_.begin(), controls_.end(),
                           [&](control* c) { return iequals(c->name(), name); });
    return it == controls_.end() ? nullptr : *it;
}

void w_modify::on_control_changed(control& c) {
    if (&c == &mc_1) {
        std::string column;
        if (mc_1.visible() && ii_col >= 1 && ii_col <= dw_1.column_count())
            column = dw_1.column_definition(ii_col).name;
        host().calendar_changed(*this, column);
        return;
    }
    host().control_changed(*this, c);
}

void w_modify::open_with(std::string mode) {
    is_stringparm = std::move(mode);
    if (session_.gs_commno.empty()) {
        host().message_box("提示信息",
                           "数据库中还没有登记社区，不能打开登记窗口。请先登记社区后再录入记录。",
                           icon::exclamation);
        host().close_window(*this);
        return;
    }
    open();
    ue_postopen();
    ue_loadphoto();
}

void w_modify::open() {
    if (is_stringparm == k_mode_add) {
        new_record();
        return;
    }
    uo_tabpg_datawindow* list = own_list();
    if (list && list->dw_1.getrow() > 0) load_record(list->dw_1.getrow());
}

void w_modify::ue_postopen() {}
void w_modify::ue_loadphoto() {}
void w_modify::ue_setautocolumn(long) {}

int w_modify::itemchanged(long, const dwo&, const std::string&) { return 0; }
void w_modify::itemfocuschanged(long, const dwo&) {}
void w_modify::doubleclicked(int, int, long, const dwo&) {}

void w_modify::itemerror(long, const dwo& column, const std::string& message) {
    host().message_box("提示信息", message, icon::exclamation);
    host().field_refused(*this, column.name);
}

// Notes what a pressed Save said on its way to the host: the first check's
// message, whether the record was saved, and whether a field was already
// named (a value the column could not take).
class save_watch final : public forwarding_host {
public:
    explicit save_watch(w_modify& w) : window_(w) { window_.watch_ = this; }
    ~save_watch() override { window_.watch_ = nullptr; }
    save_watch(const save_watch&) = delete;
    save_watch& operator=(const save_watch&) = delete;

    void message_box(std::string_view title, std::string_view text, icon kind) override {
        if (!check_message && is_check_title(title)) check_message = std::string(text);
        forwarding_host::message_box(title, text, kind);
    }
    void record_saved(w_modify& w, bool checked) override {
        saved = true;
        forwarding_host::record_saved(w, checked);
    }
    void field_refused(w_modify& w, std::string_view column) override {
        field_named = true;
        forwarding_host::field_refused(w, column);
    }

    std::optional<std::string> check_message;
    bool saved = false;
    bool field_named = false;

private:
    host_services& target() override { return window_.inner_host(); }
    w_modify& window_;
};

void w_modify::save_pressed() {
    // What is still being typed is entered first: a value the column
    // cannot take stops the save with its one message, instead of the
    // record being saved without it.
    if (dw_1.has_pending_edit() && !leave_field()) return;
    const long row = dw_1.getrow();
    const std::vector<value> before = row_items(dw_1, row);
    std::optional<std::string> message;
    {
        save_watch watch(*this);
        cb_save_clicked();
        if (watch.saved || watch.field_named || !watch.check_message) return;
        message = watch.check_message;
    }
    // The window may have moved on (closed, another record) meanwhile.
    if (dw_1.getrow() != row) return;
    const std::string field = refused_field(dw_1, row, before, *message);
    if (!field.empty()) host().field_refused(*this, field);
}

void w_modify::new_record() {
    // A save in doubt belongs to the record left behind, not to this new one.
    in_doubt_.reset();
    dw_1.reset();
    long r = dw_1.insertrow(0);
    dw_1.setrow(r);
    // The community is the record's owner from the start, not an edit of
    // the user's: the row stays unmodified until something is entered.
    set_owned_item(r, "commno", value(session_.gs_commno));
    if (!owner_.is_null() && !owner_column().empty()) {
        set_owned_item(r, owner_column(), owner_);
        owner_set();
    }
    ue_setautocolumn(r);
}

void w_modify::set_owned_item(long row, std::string_view column, const value& v) {
    const row_status before = dw_1.getitemstatus(row, 0);
    (void)dw_1.setitem(row, column, v);
    (void)dw_1.setitemstatus(row, dw_1.column_number(column), row_status::not_modified);
    if (before == row_status::new_row) (void)dw_1.setitemstatus(row, 0, row_status::new_row);
}

w_modify::owner_outcome w_modify::set_owner(const value& owner) {
    const long row = dw_1.getrow();
    const std::string_view column = owner_column();
    if (column.empty() || row < 1 || dw_1.column_number(column) == 0)
        return owner_outcome::not_taken;
    const row_status s = dw_1.getitemstatus(row, 0);
    if (s != row_status::new_row && s != row_status::new_modified) return owner_outcome::not_taken;
    set_owned_item(row, column, owner);
    // An owner the column cannot hold is no owner.
    const value held = dw_1.getitem(row, column);
    if (held.is_null()) return owner_outcome::not_taken;
    const std::optional<bool> ours = owner_in_community(dw_1.getitem(row, "commno"), held);
    if (!ours || !*ours) {
        set_owned_item(row, column, value());
        if (ours)
            host().message_box(
                "提示信息",
                "所选的不是本社区的" + std::string(owner_caption()) + "，不能为其添加记录！",
                icon::exclamation);
        else
            host().message_box("警告信息", "读取数据失败！" + sqlca().sqlerrtext(), icon::stop);
        // A new record with no owner of this community has nothing to be
        // kept for: the window goes.
        host().close_window(*this);
        return owner_outcome::refused;
    }
    owner_ = owner;
    owner_set();
    return owner_outcome::taken;
}

std::optional<bool> w_modify::owner_in_community(const value& commno, const value& owner) {
    const value params[] = {commno, owner};
    const std::optional<value> n =
        sqlca().select_value("SELECT COUNT(*) FROM " + std::string(owner_table()) +
                                 " WHERE commno = ? AND " + std::string(owner_column()) + " = ?",
                             params);
    if (!n) return std::nullopt;
    return n->as_double().value_or(0) > 0;
}

void w_modify::load_record(long list_row) {
    uo_tabpg_datawindow* list = own_list();
    if (!list || list_row < 1 || list_row > list->dw_1.rowcount()) return;
    value key = list->dw_1.getitem(list_row, key_column_);
    std::vector<value> params{value(session_.gs_commno), key};
    in_doubt_.reset();
    long n = dw_1.retrieve("commno = ? AND " + key_column_ + " = ?", params);
    if (n < 0)
        host().message_box("警告信息", "读取数据失败！" + dw_1.last_error(), icon::stop);
    else if (n == 0)
        host().message_box("提示信息", "该记录已不存在，可能已被其他工作站删除！",
                           icon::exclamation);
}

void w_modify::move_to(long list_row) {
    uo_tabpg_datawindow* list = own_list();
    if (!list || list_row < 1 || list_row > list->dw_1.rowcount()) return;
    if (list_row == list->dw_1.getrow() && dw_1.rowcount() > 0 &&
        dw_1.getitemstatus(1, 0) != row_status::new_row &&
        dw_1.getitemstatus(1, 0) != row_status::new_modified)
        return;
    if (!leave_record()) return;
    list->dw_1.setrow(list_row);
    load_record(list_row);
    // Each record starts from the form's designed presentation; the
    // window's ue_loadphoto then applies what this record calls for.
    dw_1.restore_design();
    ue_loadphoto();
}

// The list to move along, whole: a list holding only the records opened by
// number is read in full first.
uo_tabpg_datawindow* w_modify::list_to_move_along() {
    uo_tabpg_datawindow* list = own_list();
    if (!list) return nullptr;
    if (status st = list->complete(session_); !st) {
        host().message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
        return nullptr;
    }
    return list;
}

// The buttons move along the list as the clerk sees it: narrowed rows
// are passed over.
void w_modify::cb_first_clicked() {
    if (auto* list = list_to_move_along()) move_to(list->shown_row(1));
}

void w_modify::cb_prior_clicked() {
    if (auto* list = list_to_move_along()) move_to(list->shown_beside(list->dw_1.getrow(), false));
}

void w_modify::cb_next_clicked() {
    if (auto* list = list_to_move_along()) move_to(list->shown_beside(list->dw_1.getrow(), true));
}

void w_modify::cb_last_clicked() {
    if (auto* list = list_to_move_along()) move_to(list->shown_row(list->shown_count()));
}

void w_modify::cb_save_clicked() { save(true); }
void w_modify::cb_tempsave_clicked() { save(false); }

namespace {

// A highest number as a whole number; 0 for none.
std::int64_t whole_number(const std::optional<value>& highest) {
    if (!highest || highest->is_null()) return 0;
    if (highest->is_integer()) return highest->integer();
    // Stored by another program as a real or a text: read exactly, then round.
    std::optional<decimal> d = highest->is_double()
                                   ? decimal::from_double(highest->real(), 0)
                                   : decimal::parse(highest->to_text());
    return d ? d->rescaled(0).units() : 0;
}

// One more than the highest record number in the whole table, and than
// every number the rows numbered along with it hold: a number identifies a
// record on its own, whatever the community, and is never one a deleted
// record left behind.
std::optional<std::int64_t> next_record_number(transaction& t, const std::string& table,
                                               const std::string& column,
                                               const std::vector<w_modify::numbered_along>& also) {
    std::int64_t top = whole_number(t.highest(table, column));
    if (t.sqlcode() < 0) return std::nullopt;
    for (const w_modify::numbered_along& a : also) {
        top = std::max(top, whole_number(t.highest(a.table, a.column)));
        if (t.sqlcode() < 0) return std::nullopt;
    }
    return top + 1;
}

}  // namespace

bool w_modify::save(bool checks) {
    write_failed_ = false;
    if (dw_1.accepttext() < 0) return false;
    transaction& t = sqlca();
    // Torn down in reverse: the lock is let go first, then the messages
    // held meanwhile are shown.
    held_messages held(session_.host);
    struct holding {
        host_services*& slot;
        ~holding() { slot = nullptr; }
    } hold{held_ = &held};
    std::vector<long> numbered;
    // Numbers given for this attempt are taken back when it fails, so the
    // next attempt numbers afresh; the edit itself stays in the window.
    // Waiting for another workstation's lock can take the busy timeout:
    // the clerk sees the busy pointer, not a frozen window, until a
    // message asks for attention.
    std::optional<busy_pointer> busy;
    auto failed = [&](const std::string& why) {
        write_failed_ = true;
        busy.reset();
        for (long r : numbered) (void)dw_1.setitem(r, key_column_, value());
        host().message_box("警告信息", "数据保存失败！" + why, icon::stop);
        return false;
    };

    busy.emplace(host());
    if (in_doubt_) {
        switch (settle_doubt()) {
            case doubt_step::go_on:
                break;
            case doubt_step::done:
                return true;
            case doubt_step::blocked:
                return false;
        }
    }
    // The write lock is taken before anything is read for the save: the
    // rules that count other records and the next record number see what
    // no other workstation can change before this commit.
    // An import holds the write open itself: it has the lock already.
    std::optional<write_guard> own_write;
    if (!into_open_write_) {
        // Saves to other registers go on meanwhile; this register's wait.
        if (dw_1.object().update_table.empty())
            own_write.emplace(t);
        else
            own_write.emplace(t, dw_1.object().update_table);
        if (!own_write->began()) return failed(t.sqlerrtext());
    } else if (!t.in_transaction()) {
        return failed("导入的写入没有开始。");
    }
    auto abandon = [&] {
        if (own_write) own_write->abandon();
    };
    // The owner's register is read for the rule below: no other
    // workstation removes the owner before this commit.
    if (!owner_column().empty() && t.lock_register(owner_table()) != sql_code::ok) {
        abandon();
        return failed(t.sqlerrtext());
    }
    if (checks && wf_dw_verify() == 1) return false;

    // A record without its owner would be saved where no list shows it;
    // one whose owner is no longer the community's (another workstation
    // removed the member meanwhile) would belong to another community.
    if (!owner_column().empty()) {
        for (long r = 1; r <= dw_1.rowcount(); ++r) {
            if (dw_1.getitemstatus(r, 0) != row_status::new_modified) continue;
            const value owner = dw_1.getitem(r, owner_column());
            const std::string caption(owner_caption());
            if (owner.is_null()) {
                host().message_box("提示信息", "新记录还没有所属的" + caption + "，不能保存！",
                                   icon::exclamation);
                return false;
            }
            const std::optional<bool> ours = owner_in_community(dw_1.getitem(r, "commno"), owner);
            if (!ours) return failed(t.sqlerrtext());
            if (!*ours) {
                host().message_box("提示信息",
                                   "新记录所属的" + caption + "已不在本社区的登记中，不能保存！",
                                   icon::exclamation);
                return false;
            }
        }
    }
    if (checks && wf_age_check() == 1) return false;

    const std::string& table = dw_1.object().update_table;
    int issave = dw_1.column_number("issave");
    for (long r = 1; r <= dw_1.rowcount(); ++r) {
        row_status s = dw_1.getitemstatus(r, 0);
        if (s != row_status::new_modified && s != row_status::data_modified) continue;
        if (issave > 0 && dw_1.column_definition(issave).updatable)
            (void)dw_1.setitem(r, issave, value(checks ? "1" : "0"));
        if (s != row_status::new_modified || key_column_.empty()) continue;
        auto current = dw_1.getitemnumber(r, key_column_);
        if (current && *current != 0) continue;
        std::optional<std::int64_t> next =
            next_record_number(t, table, key_column_, numbers_also_in());
        if (!next) {
            abandon();
            return failed(t.sqlerrtext());
        }
        (void)dw_1.setitem(r, key_column_, value(*next));
        numbered.push_back(r);
    }

    const change_context history = session_.change_by(name_, checks);
    if (status st = dw_1.update(session_.keep_history ? &history : nullptr); !st) {
        abandon();
        return failed(st.message());
    }
    if (session_.keep_history) {
        for (const planned_statement& s : dw_1.plan_update()) {
            if (s.changes.empty()) continue;
            witness_change(t, history, table, s.key);
            break;
        }
    }
    if (own_write && own_write->commit() != sql_code::ok) {
        std::string why = t.sqlerrtext();
        abandon();
        if (!t.commit_in_doubt()) return failed(why);
        // It may have been written: the edit and its numbers stay as they
        // were sent, and nothing is sent again before the server tells.
        busy.reset();
        in_doubt_ = pending_save{t.doubt_number(), checks, numbered, row_values()};
        host().message_box("警告信息", k_save_in_doubt, icon::stop);
        return false;
    }
    busy.reset();
    dw_1.resetupdate();
    refresh_list_row(!numbered.empty());
    // A new record once saved is a stored one: the window is in 修改 for
    // every purpose from here, and shows what it joins in as for one it opened.
    if (!numbered.empty() && is_stringparm == k_mode_add) {
        is_stringparm = k_mode_modify;
        ue_loadphoto();
    }
    host().record_saved(*this, checks);
    return true;
}

std::vector<std::vector<value>> w_modify::row_values() const {
    std::vector<std::vector<value>> rows;
    for (long r = 1; r <= dw_1.rowcount(); ++r) {
        std::vector<value>& items = rows.emplace_back();
        for (int c = 1; c <= dw_1.column_count(); ++c) items.push_back(dw_1.getitem(r, c));
    }
    return rows;
}

w_modify::doubt_step w_modify::settle_doubt() {
    const pending_save p = *in_doubt_;
    switch (sqlca().resolve_commit(p.number)) {
        case commit_outcome::unknown:
            host().message_box("警告信息", k_save_in_doubt, icon::stop);
            return doubt_step::blocked;
        case commit_outcome::rolled_back:
            // Nothing was written: Save writes it now, numbered afresh.
            in_doubt_.reset();
            for (long r : p.numbered) (void)dw_1.setitem(r, key_column_, value());
            return doubt_step::go_on;
        case commit_outcome::committed:
            break;
    }
    in_doubt_.reset();
    take_saved_state(p);
    host().message_box("提示信息", "上次保存时与数据库服务器的连接中断了；现已查明，那次保存已经写入数据库。",
                       icon::information);
    return has_unsaved_changes() ? doubt_step::go_on : doubt_step::done;
}

void w_modify::take_saved_state(const pending_save& p) {
    const std::vector<std::vector<value>> now = row_values();
    const bool same_rows = now.size() == p.written.size();
    auto each_changed = [&](auto&& act) {
        if (!same_rows) return;
        for (std::size_t r = 0; r < now.size(); ++r)
            for (std::size_t c = 0; c < now[r].size() && c < p.written[r].size(); ++c)
                if (!(now[r][c] == p.written[r][c]))
                    act(static_cast<long>(r + 1), static_cast<int>(c + 1), r, c);
    };
    each_changed([&](long r, int c, std::size_t ri, std::size_t ci) {
        (void)dw_1.setitem(r, c, p.written[ri][ci]);
    });
    dw_1.resetupdate();
    each_changed(
        [&](long r, int c, std::size_t ri, std::size_t ci) { (void)dw_1.setitem(r, c, now[ri][ci]); });
    refresh_list_row(!p.numbered.empty());
    host().record_saved(*this, p.checked);
}

void w_modify::refresh_list_row(bool inserted) {
    uo_tabpg_datawindow* list = own_list();
    if (!list || !list->dw_1.has_object() || dw_1.rowcount() < 1 || key_column_.empty()) return;
    long row = dw_1.getrow() > 0 ? dw_1.getrow() : 1;
    value key = dw_1.getitem(row, key_column_);
    if (key.is_null()) return;
    // A record numbered in this save is new to every list and goes to its
    // end; a changed one is found (usually the list's current row).
    const merge_place where = inserted ? merge_place::append : merge_place::find;
    // A list over the form's own SELECT takes the saved row as it stands;
    // any other list reads it back.
    long r = list->dw_1.merge(dw_1, row, where);
    if (r < 0) {
        std::vector<value> params{value(session_.gs_commno), key};
        r = list->dw_1.merge("commno = ? AND " + key_column_ + " = ?", params, where);
    }
    if (r > 0) list->dw_1.setrow(r);
}

void w_modify::cb_roll_clicked() {
    long r = dw_1.getrow() > 0 ? dw_1.getrow() : 1;
    if (dw_1.rowcount() == 0 || dw_1.getitemstatus(r, 0) == row_status::new_row ||
        dw_1.getitemstatus(r, 0) == row_status::new_modified) {
        begin_new_record();
        return;
    }
    // Back to what is stored now, which may be newer than what was read,
    // and shows whether a save in doubt was written.
    in_doubt_.reset();
    value key = dw_1.getitem(r, key_column_, true);
    std::vector<value> params{value(session_.gs_commno), key};
    if (dw_1.retrieve("commno = ? AND " + key_column_ + " = ?", params) < 0) {
        dw_1.revert();
        host().message_box("警告信息", "读取数据失败！" + dw_1.last_error(), icon::stop);
    }
    dw_1.restore_design();
    ue_loadphoto();
}

void w_modify::begin_new_record() {
    is_stringparm = k_mode_add;
    new_record();
    dw_1.restore_design();
    ue_loadphoto();
}

void w_modify::cb_exit_clicked() {
    if (wf_closequery() != 0) return;
    if (!leave_record()) return;
    host().close_window(*this);
}

void w_modify::cb_help_clicked() { host().show_help(name()); }

void w_modify::set_properties(std::string_view assignments) {
    if (std::string error = dw_1.modify(assignments); !error.empty())
        property_errors_.push_back(name_ + ": " + std::string(assignments) + ": " + error);
}

void w_modify::wf_opencalendar() {
    mc_1.set_visible(true);
}

void w_modify::calendar_chosen(date d) {
    if (ii_col < 1 || ii_col > dw_1.column_count() || dw_1.getrow() < 1) return;
    mc_1.set_visible(false);
    if (!dw_1.can_enter(ii_col)) return;
    // What was typed into another field is entered before the chosen date.
    if (dw_1.has_pending_edit() && dw_1.getcolumn() != ii_col && dw_1.accepttext() < 0) return;
    dw_1.setcolumn(ii_col);
    dw_1.settext(d.iso());
    dw_1.accepttext();
}

}  // namespace officerecords
