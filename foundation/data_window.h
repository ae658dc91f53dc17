// The data window: the rows of one data-window object, their item status,
// the presentation properties windows change at run time, and the writing
// back of changed rows.
//
// Rows are numbered from 1. Each row keeps the values it was retrieved with
// beside its current values, so that update() can name every one of them in
// its WHERE clause: a record another workstation changed in any way since it
// was read is not overwritten, the statement affects no row and the update
// fails. Where the database delivered an item in another form than its typed
// value would be written (a date with a time, money stored as a binary
// fraction), that delivered value is kept too and the WHERE names it, so an
// untouched item never causes a false conflict. An item that cannot be read
// in its column's type at all is null to the windows, shown as stored, and
// left as stored unless the user enters a new value. Column names and
// property names ignore letter case.
//
// User input reaches the row through the pending edit: settext() holds the
// text being typed into the current column, accepttext() checks it against
// the column (type, width, the codes its drop-down offers now), raises
// itemchanged and stores it only when accepted.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/change_log.h"
#include "foundation/dw_child.h"
#include "foundation/dw_object.h"
#include "foundation/packed_row.h"
#include "foundation/status.h"
#include "foundation/value.h"

namespace officerecords {

// What a save is told when the record it would change was changed or
// removed by another workstation since it was read: nothing was written.
inline constexpr const char* k_changed_elsewhere =
    "该记录已被其他工作站修改或删除，本次修改没有保存。"
    "请按“还原数据(Ctrl+U)”或重新打开该记录，看过其他工作站保存的内容后再修改。";
inline constexpr const char* k_deleted_elsewhere =
    "该记录已被其他工作站修改或删除，没有删除。请刷新列表后再操作。";

// A text longer than its column takes, the label in its brackets:
// "【备注:】最多只能输入254个字符，现在输入了300个！".
std::string too_long_message(std::string_view label, std::size_t width, std::size_t length);

class transaction;

enum class row_status { not_modified, data_modified, new_row, new_modified };

// The column object handed to events.
struct dwo {
    std::string name;
    std::string coltype;
    std::string editmask;  // editmask.mask
    int id = 0;            // column number
};

// Receives the data window's events; the record window implements it.
class dw_events {
public:
    virtual ~dw_events() = default;
    // 0 accept, 1 reject, 2 reject and let the focus move.
    virtual int itemchanged(long row, const dwo& column, const std::string& data);
    virtual void itemfocuschanged(long row, const dwo& column);
    virtual void doubleclicked(int x, int y, long row, const dwo& column);
    // Typed text the column cannot take; `message` says why, in the user's language.
    virtual void itemerror(long row, const dwo& column, const std::string& message);
};

// One statement of an update, for the tests and the log of a failure, and
// the change of one record it makes, for the history.
struct planned_statement {
    std::string sql;
    std::vector<value> params;
    bool expect_one_row = false;  // UPDATE and DELETE of a retrieved row
    change_kind kind = change_kind::update;
    std::string key;                     // "commno=…;orderno=…"
    std::vector<column_change> changes;  // the columns whose values change
};

// Where a merged row goes in the list: searched for by its key, or appended
// without a search because it cannot be listed yet (a record just numbered).
enum class merge_place { find, append };

// The type name windows read with "#N.Coltype": "char(60)", "date",
// "decimal(2)", "long" or "number".
std::string coltype_name(const column_def& c);

// Properties a window may change at run time, per column.
struct column_state {
    int tab = 0;
    bool protect = false;
    std::string tag;
    long background = k_default_background;
    bool visible = false;
};

class data_window;

// Object notation, dw_1.Object.<name>.<property>: a column's items,
// protect and tag, or the text of a label object "<column>_t".
class object_ref {
public:
    object_ref(data_window& dw, std::string name) : dw_(dw), name_(std::move(name)) {}
    bool exists() const;
    int protect() const;
    void protect(int on);
    std::string tag() const;
    void tag(std::string text);
    std::string text() const;  // label objects
    void text(std::string text);
    value item(long row) const;
    void item(long row, const value& v);

private:
    data_window& dw_;
    std::string name_;
};

class data_window {
public:
    explicit data_window(std::string control_name = "dw_1");
    ~data_window();
    data_window(const data_window&) = delete;
    data_window& operator=(const data_window&) = delete;

    const std::string& name() const { return name_; }

    // Takes the object (copied) and the transaction; loads the drop-down
    // children of its code-table columns. Rows are reset.
    status set_dataobject(const dw_object& object, transaction& t);
    const dw_object& object() const { return object_; }
    bool has_object() const { return !object_.name.empty(); }
    transaction* trans() const { return trans_; }
    void set_events(dw_events* events) { events_ = events; }

    // Retrieves every row of the SELECT; returns the row count or -1.
    long retrieve();
    // Retrieves the rows of the SELECT that meet `condition`, written over
    // the SELECT's output column names (e.g. "commno = ? AND orderno = ?").
    long retrieve(std::string_view condition, std::span<const value> params,
                  std::string_view order_by = {});
    const std::string& last_error() const { return last_error_; }
    // Retrieves the rows that meet `condition` and puts each in place of the
    // row with the same key, or appends it. Returns the number of the last
    // row merged, 0 when none was found, -1 on an error.
    long merge(std::string_view condition, std::span<const value> params,
               merge_place where = merge_place::find);
    // The same with a row of another data window over the same SELECT, as
    // it stands there: no statement is run. -1 when the layouts differ.
    long merge(const data_window& source, long source_row, merge_place where = merge_place::find);

    long rowcount() const { return static_cast<long>(rows_.size()); }
    long deletedcount() const { return static_cast<long>(deleted_.size()); }
    long modifiedcount() const;
    long getrow() const { return current_row_; }
    int setrow(long row);
    // Inserts a new row before `before` (0 appends) with the columns'
    // initial values; the row is new and unmodified. Returns its number.
    long insertrow(long before);
    int deleterow(long row);
    void reset();

    int column_count() const { return static_cast<int>(object_.columns.size()); }
    // 1-based column number, 0 when there is no such column.
    int column_number(std::string_view name) const;
    const column_def& column_definition(int col) const { return object_.columns[col - 1]; }

    value getitem(long row, int col, bool original = false) const;
    value getitem(long row, std::string_view col, bool original = false) const;
    std::optional<std::string> getitemstring(long row, std::string_view col,
                                             bool original = false) const;
    std::optional<date> getitemdate(long row, std::string_view col, bool original = false) const;
    std::optional<double> getitemnumber(long row, std::string_view col,
                                        bool original = false) const;
    std::optional<decimal> getitemdecimal(long row, std::string_view col,
                                          bool original = false) const;
    // The stored value of an item that could not be read in its column's
    // type (getitem gives null for it); nullopt for every readable item.
    std::optional<value> unreadable_item(long row, int col) const;
    // Sets an item, converted to the column's type; the row counts as
    // modified. Returns 1, or -1 for a bad row, column or value.
    int setitem(long row, std::string_view col, const value& v);
    int setitem(long row, int col, const value& v);

    row_status getitemstatus(long row, int col = 0) const;
    // col 0 addresses the row: data_modified then not_modified turns a new
    // row into one that update() will not insert. Returns 1 or -1.
    int setitemstatus(long row, int col, row_status s);

    std::string describe(std::string_view property) const;
    // Applies "name.property=value" assignments separated by blanks;
    // returns "" or the text of the first error, which names a column or
    // property that does not exist: a fault of the caller's code, never to
    // be dropped unread.
    [[nodiscard]] std::string modify(std::string_view assignments);
    column_state& state(int col) { return states_[col - 1]; }
    const column_state& state(int col) const { return states_[col - 1]; }
    bool read_only() const { return read_only_; }
    // Puts every column's tab order and background back to the object's
    // design; protect, tags and visibility stay as windows set them.
    void restore_design();
    std::string label_text(std::string_view column) const;
    void set_label_text(std::string_view column, std::string text);
    object_ref object(std::string_view name) { return object_ref(*this, std::string(name)); }
    std::string picture_file(std::string_view picture) const;
    void set_picture_file(std::string_view picture, std::string file);

    // The drop-down child of a column and 1, or nullptr and -1.
    std::pair<dw_child*, int> getchild(std::string_view col);
    const dw_child* child(int col) const;
    // What the column shows for the item: a code's tname, a value list's
    // display text, otherwise the item as text.
    std::string lookup_display(long row, int col) const;
    // The item formatted for a list or form cell.
    std::string display_text(long row, int col) const;

    // Input as a user makes it.
    bool can_enter(int col) const;
    int getcolumn() const { return current_column_; }
    void setcolumn(int col) { current_column_ = col; }
    void settext(std::string text);
    bool has_pending_edit() const { return pending_.has_value(); }
    std::string gettext() const;
    // Moves the pending edit into the row: 1 when it was stored (or there
    // was none), -1 when it was refused. When itemchanged accepts the text
    // but has itself set that item, its value stands.
    int accepttext();
    int last_itemchanged_result() const { return last_itemchanged_; }
    // The text the last accepttext() refused because the column cannot
    // take it (not a date, too long), with its row and column, so that a
    // host can leave it in the field as typed; none after any other
    // accepttext() or settext().
    struct refused_text {
        long row = 0;
        int col = 0;
        std::string text;
    };
    const std::optional<refused_text>& last_refused_text() const { return refused_; }
    // Parses typed text for a column without storing it.
    result<value> parse_input(int col, std::string_view text) const;
    dwo column_object(int col) const;

    // The statements update() would run, in order.
    std::vector<planned_statement> plan_update() const;
    // How the history names the record in row `r`: "commno=…;orderno=…",
    // by the key it was retrieved with; empty outside the rows.
    std::string history_key(long r) const;
    // Writes deleted, modified and new rows through the transaction without
    // committing, and, given a context, each record's history beside it.
    // On failure nothing is reset and the message says why.
    status update(const change_context* history = nullptr);
    // After a commit: retrieved values become the current ones.
    void resetupdate();
    // Puts every row back to its retrieved values.
    void revert();

    void sort(int col, bool ascending);

private:
    // An item as the database delivered it, kept only where it differs from
    // the typed item: the WHERE of an update names it instead.
    struct delivered_item {
        int col;  // 0-based
        value stored;
        bool unreadable;  // the typed item is null because this could not be read
    };
    struct row {
        packed_row original;  // empty for new rows
        packed_row current;   // empty while unchanged
        row_status status = row_status::not_modified;
        // Null for almost every row: only unusual stored values need it.
        std::unique_ptr<std::vector<delivered_item>> delivered;
        const packed_row& values() const { return current.empty() ? original : current; }
        const delivered_item* delivered_at(int col) const;
    };
    bool valid_row(long r) const { return r >= 1 && r <= rowcount(); }
    std::string key_text(const packed_row& values) const;
    long fill(transaction& t, std::string_view sql, std::span<const value> params,
              std::vector<row>& out);
    bool same_key(const packed_row& a, const packed_row& b) const;
    long place(row found, merge_place where);
    std::string wrapped_select(std::string_view condition, std::string_view order_by) const;
    void reset_states();
    value convert(int col, const value& v, bool* ok) const;

    std::string name_;
    dw_object object_;
    transaction* trans_ = nullptr;
    dw_events* events_ = nullptr;
    std::vector<row> rows_;
    std::vector<row> deleted_;
    std::vector<long> deleted_at_;  // where each deleted row stood, for revert()
    std::vector<column_state> states_;
    std::vector<int> key_columns_;
    std::vector<std::pair<std::string, int>> names_;  // lower-case name -> column, sorted
    std::vector<std::unique_ptr<dw_child>> children_;  // per column, null without drop-down
    std::map<std::string, std::string, std::less<>> labels_;    // lower-case column -> label text
    std::map<std::string, std::string, std::less<>> pictures_;  // lower-case picture -> file
    bool read_only_ = false;
    long current_row_ = 0;
    int current_column_ = 0;
    std::optional<std::string> pending_;
    std::optional<refused_text> refused_;
    // The item accepttext() is entering while itemchanged runs.
    struct entering {
        long row = 0;
        int col = 0;
        bool set = false;
    } entering_;
    int last_itemchanged_ = 0;
    std::string last_error_;
};

}  // namespace officerecords
