#include "foundation/register_page.h"

#include <algorithm>
#include <utility>

#include "foundation/change_log.h"
#include "foundation/record_name.h"
#include "foundation/transaction.h"

namespace officerecords {

long uo_tabpg_datawindow::shown_count() const {
    return shown.empty() ? dw_1.rowcount() : static_cast<long>(shown.size());
}

long uo_tabpg_datawindow::shown_row(long position) const {
    if (position < 1 || position > shown_count()) return 0;
    return shown.empty() ? position : shown[static_cast<std::size_t>(position - 1)];
}

long uo_tabpg_datawindow::position_of(long row) const {
    if (shown.empty()) return row >= 1 && row <= dw_1.rowcount() ? row : 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] == row) return static_cast<long>(i) + 1;
    return 0;
}

long uo_tabpg_datawindow::shown_beside(long row, bool forward) const {
    if (const long at = position_of(row)) return shown_row(at + (forward ? 1 : -1));
    // A row the narrowing hides (a record saved out of the search): the
    // shown rows are in list order, so the nearest one on that side.
    long found = 0;
    for (long p = 1; p <= shown_count(); ++p) {
        const long r = shown_row(p);
        if (forward && r > row) return r;
        if (!forward && r < row) found = r;
    }
    return found;
}

std::string record_key_column(const dw_object& object) {
    for (int k : object.key_columns())
        if (!iequals(object.columns[k].name, "commno")) return object.columns[k].name;
    return {};
}

status list_register(uo_tabpg_datawindow& page, const std::string& window, const dw_object& list,
                     session& s) {
    page.window = window;
    if (status st = page.dw_1.set_dataobject(list, s.sqlca); !st) return st;
    value commno(s.gs_commno);
    if (page.dw_1.retrieve("commno = ?", {&commno, 1}, record_key_column(list)) < 0)
        return status::error(page.dw_1.last_error());
    return status::ok();
}

status list_register_first(uo_tabpg_datawindow& page, const std::string& window,
                           const dw_object& list, session& s, long rows) {
    page.window = window;
    page.listed_partly = nullptr;
    if (status st = page.dw_1.set_dataobject(list, s.sqlca); !st) return st;
    const std::vector<value> params{value(s.gs_commno), value(static_cast<std::int64_t>(rows))};
    const long n = page.dw_1.retrieve("commno = ?", params, record_key_column(list) + " LIMIT ?");
    if (n < 0) return status::error(page.dw_1.last_error());
    // A page as long as asked for may be followed by more.
    if (n >= rows) page.listed_partly = &list;
    return status::ok();
}

long list_next_records(uo_tabpg_datawindow& page, session& s, const value& after,
                       std::span<const value> listed, long rows) {
    const std::string column = record_key_column(page.dw_1.object());
    std::string condition = "commno = ? AND " + column + " > ?";
    std::vector<value> params{value(s.gs_commno), after};
    if (!listed.empty()) {
        condition += " AND " + column + " NOT IN (";
        for (std::size_t i = 0; i < listed.size(); ++i) {
            condition += i ? ", ?" : "?";
            params.push_back(listed[i]);
        }
        condition += ")";
    }
    condition += " ORDER BY " + column + " LIMIT ?";
    params.emplace_back(static_cast<std::int64_t>(rows));
    const long before = page.dw_1.rowcount();
    if (page.dw_1.merge(condition, params, merge_place::append) < 0) return -1;
    return page.dw_1.rowcount() - before;
}

std::optional<long> count_listed_register(const uo_tabpg_datawindow& page, session& s) {
    const std::string sql = "SELECT count(*) FROM (" + page.dw_1.object().select + ") q WHERE commno = ?";
    const value commno(s.gs_commno);
    const std::optional<value> n = s.sqlca.select_value(sql, {&commno, 1});
    if (!n) return std::nullopt;
    const std::optional<double> d = n->as_double();
    if (!d) return std::nullopt;
    return static_cast<long>(*d);
}

status uo_tabpg_datawindow::complete(session& s) {
    if (!listed_partly) return status::ok();
    const dw_object& list = *listed_partly;
    const long at = dw_1.getrow();
    const value current = at > 0 ? dw_1.getitem(at, record_key_column(list)) : value();
    if (status st = list_register(*this, window, list, s); !st) return st;
    listed_partly = nullptr;
    const long found = current.is_null() ? 0 : find_listed(*this, current);
    dw_1.setrow(found > 0 ? found : dw_1.rowcount() > 0 ? 1 : 0);
    return status::ok();
}

std::optional<long> add_listed_record(uo_tabpg_datawindow& page, session& s, const value& key) {
    const std::string column = record_key_column(page.dw_1.object());
    std::vector<value> params{value(s.gs_commno), key};
    const long r = page.dw_1.merge("commno = ? AND " + column + " = ?", params, merge_place::append);
    if (r < 0) return std::nullopt;
    return r;
}

std::optional<long> list_records_by_key(uo_tabpg_datawindow& page, const std::string& window,
                                        const dw_object& list, session& s, const value& key) {
    page.window = window;
    if (!page.dw_1.set_dataobject(list, s.sqlca)) return std::nullopt;
    page.dw_1.reset();
    page.shown.clear();
    page.listed_partly = &list;
    if (key.is_null()) return 0;
    const std::optional<long> r = add_listed_record(page, s, key);
    if (r && *r > 0) page.dw_1.setrow(*r);
    return r;
}

long find_listed(const uo_tabpg_datawindow& page, const value& key) {
    std::string column = record_key_column(page.dw_1.object());
    auto wanted = key.as_double();
    if (!wanted) return 0;
    for (long r = 1; r <= page.dw_1.rowcount(); ++r)
        if (page.dw_1.getitemnumber(r, column) == wanted) return r;
    return 0;
}

namespace {

constexpr const char* k_deletion_in_doubt =
    "删除时与数据库服务器的连接中断了，还不知道这条记录是否已经删除。"
    "请在服务器恢复后再按删除：会先查明结果。";

enum class deletion_step { go_on, done, blocked };

// Finds out what became of the list's deletion in doubt. done: it was the
// current record, and it is gone.
deletion_step settle_deletion(uo_tabpg_datawindow& page, session& s) {
    switch (s.sqlca.resolve_commit(page.deletion_in_doubt)) {
        case commit_outcome::unknown:
            s.host.message_box("警告信息", k_deletion_in_doubt, icon::stop);
            return deletion_step::blocked;
        case commit_outcome::rolled_back:
            page.deletion_in_doubt = 0;
            return deletion_step::go_on;
        case commit_outcome::committed:
            break;
    }
    page.deletion_in_doubt = 0;
    const value key = std::exchange(page.deletion_key, value());
    const std::string column = record_key_column(page.dw_1.object());
    const value current = page.dw_1.getrow() > 0 ? page.dw_1.getitem(page.dw_1.getrow(), column) : value();
    // The list lets go of the row without writing anything: it is gone.
    if (const long gone = find_listed(page, key); gone > 0) {
        page.dw_1.deleterow(gone);
        page.dw_1.resetupdate();
        const long still = find_listed(page, current);
        page.dw_1.setrow(still > 0 ? still : std::min(gone, page.dw_1.rowcount()));
    }
    s.host.message_box("提示信息", "上次删除时与数据库服务器的连接中断了；现已查明，那条记录已经删除。",
                       icon::information);
    return current == key ? deletion_step::done : deletion_step::go_on;
}

}  // namespace

bool delete_current_record(uo_tabpg_datawindow& page, session& s) {
    if (page.deletion_in_doubt != 0) {
        const deletion_step step = settle_deletion(page, s);
        if (step != deletion_step::go_on) return step == deletion_step::done;
    }
    long r = page.dw_1.getrow();
    if (r < 1) return false;
    // The question names the record, so that the clerk deletes the one meant.
    const std::string named = record_label(page.dw_1, r);
    if (!s.host.question(
            "确认信息", "您确定要删除当前这条记录吗？" + (named.empty() ? "" : "\n" + named), true))
        return false;
    const dw_object& object = page.dw_1.object();
    const value commno = page.dw_1.getitem(r, "commno");
    const value key = page.dw_1.getitem(r, record_key_column(object));
    page.dw_1.deleterow(r);
    transaction& t = s.sqlca;
    status st = status::ok();
    bool in_doubt = false;
    std::string refused;
    {
        // The lock may keep it waiting: the busy pointer says so.
        busy_pointer busy(s.host);
        write_guard guard(t);
        if (!guard.began()) st = status::error(t.sqlerrtext());
        // The register's rule reads what no other workstation can change
        // before this deletion commits.
        if (st && object.refuse_deletion) {
            result<std::string> why = object.refuse_deletion(t, commno, key);
            if (!why)
                st = status::error(why.message());
            else
                refused = *why;
        }
        const change_context history = s.change_by(page.window, true);
        const bool deleting = st && refused.empty();
        if (deleting) st = page.dw_1.update(&history);
        if (deleting && st) {
            for (const planned_statement& ps : page.dw_1.plan_update()) {
                if (ps.changes.empty()) continue;
                witness_change(t, history, object.update_table, ps.key);
                break;
            }
            if (guard.commit() != sql_code::ok) {
                st = status::error(t.sqlerrtext());
                in_doubt = t.commit_in_doubt();
            }
        }
        // The lock goes before the message box, which waits for the clerk.
        if (!st || !refused.empty()) guard.abandon();
    }
    if (!st || !refused.empty()) {
        page.dw_1.revert();
        page.dw_1.setrow(r);
        if (!refused.empty()) {
            s.host.message_box("警告信息", refused, icon::exclamation);
            return false;
        }
        if (in_doubt) {
            page.deletion_in_doubt = t.doubt_number();
            page.deletion_key = page.dw_1.getitem(r, record_key_column(page.dw_1.object()));
            s.host.message_box("警告信息", k_deletion_in_doubt, icon::stop);
            return false;
        }
        s.host.message_box("警告信息", "数据删除失败！" + st.message(), icon::stop);
        return false;
    }
    page.dw_1.resetupdate();
    return true;
}

}  // namespace officerecords
