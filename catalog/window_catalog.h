// The record windows the host can open, by name: their captions for the
// navigator, their form and list objects, and how to make one.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "foundation/w_modify.h"

namespace officerecords {

struct window_entry {
    std::string_view window;     // w_m_og_...
    std::string_view caption;    // what the navigator shows, or the window's title
    std::string_view subsystem;  // navigator group
    const dw_object& (*form)();  // nullptr for a window that is opened by another
    const dw_object& (*list)();
    std::unique_ptr<w_modify> (*make)(session&);
};

// The registers: each is listed in the navigator and has a form and a list.
const std::vector<window_entry>& window_catalog();
// Windows that only a register's window opens (the photo album), with
// neither form nor list.
const std::vector<window_entry>& child_windows();
// nullptr when no window has that name (letter case ignored).
const window_entry* find_window_entry(std::string_view window);

}  // namespace officerecords
