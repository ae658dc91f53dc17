#include "import/import_host.h"

#include "catalog/person_selection.h"

namespace officerecords {

std::string import_host::open_with_parm(std::string_view window, std::string_view parm, w_modify& caller) {
    if (!person_selection::handles(window)) return "";
    person_selection pick(window, parm, caller);
    if (status st = pick.search(); !st) {
        refuse(st.message());
        return "";
    }
    const long n = person_ ? pick.find(*person_) : 0;
    if (n == 0) {
        refuse("“" + pick.typed() + "”不在可以选择的人员中");
        return "";
    }
    return pick.pick(n);
}

}  // namespace officerecords
