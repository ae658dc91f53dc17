// Reading the history back: the changes of one record of a register, newest
// first, each column with its caption and its old and new values both as
// stored and as the form shows them (codes by their names, dates and
// amounts in the form's formats), and their export like a list's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "foundation/dw_object.h"
#include "foundation/status.h"
#include "foundation/transaction.h"
#include "foundation/value.h"

namespace officerecords {

struct history_line {
    long changeno = 0;
    std::string when;
    std::string workstation;
    std::string os_user;
    std::string db_user;  // the server's login that made the change; empty on SQLite
    std::string window;
    std::string record;  // the record's key as history_key gives it
    std::string record_shown;  // its numbers without the community: "2"
    std::string owner_key;     // the register's record the line is of (an owned row's owner)
    std::string record_name;  // that record as the clerk knows it: "办公电脑，2020-01-01，5,000.00"
    std::string kind;  // 新增, 修改, 删除
    bool checked = true;
    std::string column;
    // The form's label without its colon. Columns the form does not
    // caption (the community, the record number) are left out of the
    // history; whether the record was checked is "数据校验", in words.
    std::string caption;
    value old_value;      // null for none
    value new_value;
    std::string old_shown;  // as the form shows it
    std::string new_shown;
};

// Who made a change: the workstation's user, and on a server the login.
std::string who_changed(const history_line& h);

// How the history names a record of `form`: its key columns' values.
std::string history_key(const dw_object& form, const std::vector<value>& key);
// The numbers of a record's key without its community: "2" for
// "commno=420106001001;orderno=2".
std::string record_number(const std::string& key);

// The least text after every text that starts with `prefix`, in the order
// of their bytes (UTF-8's order of code points): its last character one
// on, carrying past U+10FFFF and skipping the surrogates. Nullopt when
// there is none (an empty prefix, or one of U+10FFFF alone).
std::optional<std::string> prefix_successor(std::string_view prefix);

// The history of one record (`key` as history_key gives it) of the form's
// update table, newest change first, columns in the form's order; with
// the changes of the rows it owns (an activity's photos) made in its
// community.
result<std::vector<history_line>> record_history(transaction& t, const dw_object& form,
                                                 const std::string& key);
// The history of the whole register in one community between two dates
// (inclusive; empty: open), newest first, the owned rows' changes with it.
result<std::vector<history_line>> register_history(transaction& t, const dw_object& form,
                                                   const std::string& commno, const std::string& from,
                                                   const std::string& to);

// A list object of the history, one row per changed column: "时间",
// "工作站", "用户", "操作", ("记录号" and "记录" when `with_record`), "栏目",
// "原值", "新值".
dw_object history_list_object(bool with_record);

// Writes `lines` as a list of history_list_object(with_record) would show
// them, through the list export (see storage/list_export.h), to `path`
// as "csv" or "xlsx" (`format`). The title names the register's caption
// and "修改记录".
[[nodiscard]] status export_history(const std::vector<history_line>& lines, bool with_record,
                                    const std::string& caption, const std::string& community,
                                    transaction& t, const clock_source& clock, const std::string& format,
                                    const std::string& path, bool overwrite = false);

}  // namespace officerecords
