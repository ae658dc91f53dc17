// What an import must know of each register beyond its window: which
// columns it cannot do without, how a row names the person or the body it
// belongs to, and what makes a row look like a record already there.
#pragma once

#include <string_view>
#include <vector>

namespace officerecords {

// How a register's row names a person.
enum class person_use {
    none,
    picker,  // typed into personname, which opens the window's person picker
    owner    // the member the record belongs to (the side registers)
};

struct import_rules {
    // Each group: at least one of its columns must be in the header.
    std::vector<std::vector<std::string_view>> required;
    // Two rows with equal values in all of these are likely one record.
    std::vector<std::string_view> duplicate;
    // What the duplicate rule is called in the message ("日期、名称和金额").
    std::string_view duplicate_rule;
    person_use person = person_use::none;
    // The record belongs to a body of the committee named by its name and term.
    bool body_owner = false;
};

// The rules of the register whose window is `window`; a register without
// any has none of them.
const import_rules& rules_of(std::string_view window);

}  // namespace officerecords
