// The person register as the committee windows see it: the person's
// columns they join into their rows, read-only, and the member photo shown
// beside the member forms from the person photo store on photosqlca.
#pragma once

#include <vector>

#include "foundation/dw_object.h"
#include "foundation/w_modify.h"

namespace officerecords {

// The person columns of a member form, in the order the member SELECTs
// give them: personname, idcard, sex, birthdate, rprtype, rpraddr,
// nationality, polity, contactphone, edulevel, presentaddr1, personkind,
// tc_ge_personotherinfo_isvolunteer, age. None is written back; only the
// name can be entered (tab order `name_tab`), which is how a person is
// picked. `group` is the caption of the group box that holds them.
std::vector<column_def> person_columns(int name_tab, const std::string& group);

// The list headers of those columns, for list objects: the names the list
// knows them by carry the prefix "tc_ge_personinfo_".
std::vector<list_column> person_list_columns();

// Shows in the form's picture p_photo the photo of the person in the
// current row of dw_1: "bmp\photo.jpg" when the person has none, else the
// stored picture written to "bmp\cap_model." + its three-character
// extension. A stored name whose extension is not three letters or digits
// is reported like an unreadable name, so nothing is ever written outside
// bmp. Problems are warnings, after which the default picture is shown;
// nothing else stops.
void show_member_photo(w_modify& window);

// The tab orders a side register (training, appraisal, honours, part-time
// posts) designs for the member columns it shows beside its own.
struct member_tabs {
    int falldue, personname, idcard, sex, birthdate, contactphone, presentaddr1;
};

// The columns every side register begins with, in its SELECT order:
// commno, orderno, the member's term falldue, personno, then the person's
// name, identity number, sex, birth date, address and telephone; only the
// register's own are written back, `group` holds the member columns.
std::vector<column_def> member_side_columns(const member_tabs& tabs, const std::string& group);
// A list column of a side register that another table joins in, named
// after that table: tc_ge_personinfo_personname, tc_og_councilmemberinfo_falldue.
list_column joined_list_column(const std::string& column, std::string header);
// Shows in a side register's new row which member it belongs to: the
// person's columns and the member's latest term in the row's community,
// as owned items.
void show_member_of_new_row(w_modify& window);

// The committee's date rule on row 1: a date after today is refused with
// "【" + the column's label + "】不能大于今天的日期！". 1 when refused, else 0.
int refuse_future_date(w_modify& window, const char* column);

// A side register's window: a new row belongs to the member the host adds
// it to, and shows who that is.
class member_side_window : public w_modify {
public:
    using w_modify::w_modify;
    std::string_view owner_column() const override { return "personno"; }
    std::string_view owner_caption() const override { return "居委会成员"; }
    std::string_view owner_window() const override { return "w_m_og_councilmemberinfo"; }
    std::string_view owner_table() const override { return "tc_og_councilmemberinfo"; }
    void owner_set() override { show_member_of_new_row(*this); }
};

// What the member selection window answered for a typed name.
enum class member_pick { picked, nothing, abandoned };

// Opens the member selection window `selection` for the name typed into
// `column` of `row`. Abandoned: the new record is given up (it will not be
// inserted) and the window asked to close. Otherwise the item takes the
// picked name, or the empty text when nothing was picked, and then the
// focus goes back to the host's list and the window.
member_pick pick_member(w_modify& window, const char* selection, long row, int column,
                        const std::string& typed);

}  // namespace officerecords
