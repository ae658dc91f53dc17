// The host's selection windows for persons: w_selectperson (the seal use
// record's applicant) and w_select_councilmember / w_select_councilorgmember
// (the committee's members). Each searches the person register for what
// the clerk typed, lists the matches, and on a pick writes the person into
// the calling record window's row. Both hosts drive the same search and
// the same filling; only the listing on the screen is theirs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/data_window.h"
#include "foundation/status.h"
#include "foundation/w_modify.h"

namespace officerecords {

class person_selection {
public:
    // What a selection window closes with when the clerk abandons it.
    static constexpr const char* k_abandoned = "close";

    // Whether `window` is one of the selection windows.
    static bool handles(std::string_view window);

    // `parm` is what the caller opened the window with: for w_selectperson
    // the typed text followed by the columns to fill, comma-separated; for
    // the committee windows the typed name.
    person_selection(std::string_view window, std::string_view parm, w_modify& caller);

    const std::string& window() const { return window_; }
    const std::string& typed() const { return typed_; }

    // Lists the persons whose name (for w_selectperson also the identity
    // number or person number) contains the typed text, by name.
    status search();
    long count() const { return static_cast<long>(rows_.size()); }
    // An item of the n-th listed person (1-based), as the list shows it.
    std::string shown(long n, std::string_view column) const;
    value item(long n, std::string_view column) const;
    // The place of a person in the list; 0 when not listed.
    long find(std::string_view personno) const;
    // Writes the n-th listed person into the caller's row; returns the
    // person's name, the text the window closes with.
    std::string pick(long n);

private:
    long row_of(long n) const { return rows_[static_cast<std::size_t>(n - 1)]; }

    std::string window_;
    std::string typed_;
    std::vector<std::string> fill_;  // the caller's columns a pick writes
    long target_row_;
    w_modify& caller_;
    data_window list_{"dw_select"};
    std::vector<long> rows_;  // one list row per person
};

}  // namespace officerecords
