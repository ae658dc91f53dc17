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
