// Data-window objects: the declarative definition of a form or a list.
//
// An object names its SELECT, the table it writes back to and, per column
// of the SELECT list (in order, numbered from 1), the column's type, width,
// label, edit style, format, designed tab order and whether it is shown.
// Registers build their objects once, with the fluent `column(...)` builder,
// and keep them beside their window; the runtime never parses SQL to learn
// what a column is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

class transaction;
class value;

// A register's rule on deleting one of its records, named by its community
// and its number: asked inside the deleting transaction, under the write
// lock, before anything is deleted. The text that refuses the deletion, or
// the empty text to let it go on; an error when it cannot be told.
using deletion_rule = result<std::string> (*)(transaction& t, const value& commno,
                                              const value& key);

enum class column_type {
    text,     // char(n): width in characters
    date,
    decimal,  // fixed scale
    whole,    // long
    number,   // general number (double)
};

enum class edit_style {
    edit,       // one-line edit
    multiline,  // multi-line edit for long texts
    dropdown,   // drop-down of a code table: shows tname, stores tcode
    radio,      // radio buttons over a value list
    ddlb,       // drop-down over a value list
};

// The form's default background: white.
inline constexpr long k_default_background = 16777215;

struct column_def {
    std::string name;  // lower case, as items are addressed
    column_type type = column_type::text;
    int width = 0;     // text: characters; decimal: scale
    bool key = false;
    bool updatable = false;
    std::string label;       // text of the label object <name>_t (form) or header (list)
    std::string format;      // display format, e.g. "#,###,###.00" or "yyyy-mm-dd"
    std::string edit_mask;   // e.g. "yyyy-mm-dd"
    edit_style style = edit_style::edit;
    std::string code_table;  // drop-down name, e.g. "dddw_og_assetsort"
    std::string values;      // value list "是\t1/否\t0/" (display TAB data /)
    std::string initial;     // initial value of a new row, as typed text
    int tab = 0;             // designed tab order; 0 = skipped
    bool visible = false;    // shown on the object
    std::string group;       // caption of the group box that holds it
    long background = k_default_background;
    bool readonly = false;   // shown, even in the tab order, but protected from the start
    int display_order = 0;   // list objects: left-to-right position (1-based)
};

// A form label as the clerk reads it for a caption: without its closing
// colon or semicolon (half or full width) and the blanks before it;
// "价值（元）:" is "价值（元）", "品   牌:" is "品   牌".
std::string label_caption(std::string label);

// A fluent builder so that a register reads as a table of its columns.
class column {
public:
    explicit column(std::string name);
    column& text(int width);
    column& date();
    column& decimal(int scale);
    column& whole();
    column& number();
    column& key();
    column& update();  // written back to the update table
    column& label(std::string text);
    column& format(std::string f);
    column& mask(std::string m);
    column& multiline();
    column& dropdown(std::string code_table);
    column& radio(std::string values);
    column& ddlb(std::string values);
    column& initial(std::string v);
    column& tab(int order);  // also shows the column
    column& shown();         // on the form, but not in the tab order
    column& readonly();      // protected from the start: joined in for display
    column& group(std::string caption);
    column& background(long colour);
    operator column_def() const { return def_; }

private:
    column_def def_;
};

struct picture_def {
    std::string name;       // e.g. "p_photo"
    std::string file_name;  // initial FileName
};

struct dw_object {
    std::string name;
    std::string select;
    std::string update_table;
    std::vector<column_def> columns;  // in SELECT order
    std::vector<std::string> groups;  // group box captions, in layout order
    std::vector<picture_def> pictures;
    bool is_list = false;  // list objects lead with the row counter "序号"
    // What keeps a record from being deleted; none for most registers.
    deletion_rule refuse_deletion = nullptr;
    // The columns that tell the clerk which record this is (an asset's
    // name, date and value), most telling first: how the history, the
    // deletion's question and the record window's title name a record.
    std::vector<std::string> naming;

    // -1 when absent; names ignore letter case.
    int find(std::string_view column_name) const;
    // Columns of the update table that form its key, in SELECT order.
    std::vector<int> key_columns() const;
    // List objects: the numbers (from 1) of the columns the list shows,
    // left to right; the row counter "序号" before them is not a column.
    std::vector<int> shown_columns() const;
};

// The six reserved columns every register table ends with (date, decimal
// 2, text 254, twice); no window shows them.
void append_reserved(std::vector<column_def>& columns);

// One column shown by a list object: which form column, its header, and
// optionally another name under which the list knows it.
struct list_column {
    std::string column;
    std::string header;
    std::string format = {};
    std::string list_name = {};
    std::string code_table = {};  // lists may show a value-list column through a code table
};

// Builds a list object from a form object: same SELECT and columns, shown
// columns and headers as given (left to right), everything read-only.
dw_object make_list(const dw_object& form, std::string name, const std::vector<list_column>& shown);

}  // namespace officerecords
