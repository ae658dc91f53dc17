// The presentation side of the data window: property queries (describe),
// run-time changes (modify), object notation and the design's defaults.
#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "foundation/data_window.h"

namespace officerecords {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string data_window::label_text(std::string_view column) const {
    auto it = labels_.find(lower(column));
    return it == labels_.end() ? std::string() : it->second;
}

void data_window::set_label_text(std::string_view column, std::string text) {
    labels_[lower(column)] = std::move(text);
}

bool object_ref::exists() const {
    if (dw_.column_number(name_) > 0) return true;
    return name_.size() > 2 && iequals(std::string_view(name_).substr(name_.size() - 2), "_t") &&
           dw_.describe(name_ + ".text") != "!";
}

int object_ref::protect() const {
    int col = dw_.column_number(name_);
    return col > 0 && dw_.state(col).protect ? 1 : 0;
}

void object_ref::protect(int on) {
    if (int col = dw_.column_number(name_)) dw_.state(col).protect = on != 0;
}

std::string object_ref::tag() const {
    int col = dw_.column_number(name_);
    return col > 0 ? dw_.state(col).tag : std::string();
}

void object_ref::tag(std::string text) {
    if (int col = dw_.column_number(name_)) dw_.state(col).tag = std::move(text);
}

std::string object_ref::text() const {
    std::string t = dw_.describe(name_ + ".text");
    return t == "!" ? std::string() : t;
}

void object_ref::text(std::string text) {
    if (name_.size() > 2) dw_.set_label_text(name_.substr(0, name_.size() - 2), std::move(text));
}

value object_ref::item(long row) const { return dw_.getitem(row, name_); }

void object_ref::item(long row, const value& v) { dw_.setitem(row, name_, v); }

std::string data_window::picture_file(std::string_view picture) const {
    auto it = pictures_.find(lower(picture));
    return it == pictures_.end() ? std::string() : it->second;
}

void data_window::set_picture_file(std::string_view picture, std::string file) {
    pictures_[lower(picture)] = std::move(file);
}

std::string data_window::describe(std::string_view property) const {
    using namespace std::string_view_literals;
    // Windows ask for properties many times a save; short ones are folded
    // to lower case on the stack.
    std::string_view trimmed = trim(property);
    char buffer[64];
    std::string long_folded;
    std::string_view p;
    if (trimmed.size() < sizeof buffer) {
        for (std::size_t i = 0; i < trimmed.size(); ++i) {
            char c = trimmed[i];
            buffer[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        buffer[trimmed.size()] = '\0';
        p = std::string_view(buffer, trimmed.size());
    } else {
        long_folded = lower(trimmed);
        p = long_folded;
    }
    if (p.empty()) return "!";

    if (p[0] == 'd' && p.starts_with("datawindow."sv)) {
        std::string_view what = p.substr(11);
        if (what == "column.count"sv) return std::to_string(column_count());
        if (what == "readonly"sv) return read_only_ ? "yes" : "no";
        if (what == "table.updatetable"sv) return object_.update_table;
        if (what == "table.select"sv) return object_.select;
    }

    if (p[0] == 'e' && p.starts_with("evaluate("sv)) {
        // Evaluate('LookUpDisplay(<column>)',<row>)
        auto open = p.find("lookupdisplay("sv);
        auto close = p.find(')', open == std::string_view::npos ? 0 : open);
        auto comma = p.rfind(',');
        if (open == std::string_view::npos || close == std::string_view::npos ||
            comma == std::string_view::npos)
            return "!";
        std::string_view col = trim(p.substr(open + 14, close - open - 14));
        std::string_view rowtext = trim(p.substr(comma + 1));
        if (!rowtext.empty() && rowtext.back() == ')') rowtext.remove_suffix(1);
        rowtext = trim(rowtext);
        long r = 0;
        if (std::from_chars(rowtext.data(), rowtext.data() + rowtext.size(), r).ec != std::errc())
            return "!";
        int c = column_number(col);
        if (c == 0) return "!";
        return lookup_display(r, c);
    }

    auto dot = p.find('.');
    if (dot == std::string_view::npos) return "!";
    std::string_view object = p.substr(0, dot);
    std::string_view prop = p.substr(dot + 1);
    if (object.empty()) return "!";

    int col = 0;
    if (object[0] == '#') {
        auto digits = object.substr(1);
        if (std::from_chars(digits.data(), digits.data() + digits.size(), col).ec != std::errc())
            return "!";
        if (col < 1 || col > column_count()) return "!";
    } else {
        col = column_number(object);
    }
    if (col > 0) {
        const column_def& c = object_.columns[col - 1];
        const column_state& s = states_[col - 1];
        if (prop == "visible"sv) return s.visible ? "1" : "0";
        if (prop == "coltype"sv) return coltype_name(c);
        if (prop == "name"sv) return c.name;
        if (prop == "id"sv) return std::to_string(col);
        if (prop == "tabsequence"sv) return std::to_string(s.tab);
        if (prop == "tag"sv) return s.tag;
        if (prop == "protect"sv) return s.protect ? "1" : "0";
        if (prop == "background.color"sv) return std::to_string(s.background);
        if (prop == "editmask.mask"sv || prop == "edit.mask"sv) return c.edit_mask;
        if (prop == "format"sv) return c.format.empty() ? "[general]" : c.format;
        if (prop == "dddw.name"sv) return c.code_table;
        if (prop == "values"sv) return c.values;
        if (prop == "dbname"sv) return object_.update_table + "." + c.name;
        return "!";
    }
    if (object.ends_with("_t"sv) && prop == "text"sv) {
        auto it = labels_.find(object.substr(0, object.size() - 2));
        return it == labels_.end() ? "!" : it->second;
    }
    if (prop == "filename"sv) {
        auto it = pictures_.find(object);
        return it == pictures_.end() ? "!" : it->second;
    }
    return "!";
}

std::string data_window::modify(std::string_view text) {
    std::string_view rest = text;
    while (true) {
        rest = trim(rest);
        if (rest.empty()) return {};
        auto eq = rest.find('=');
        if (eq == std::string_view::npos) return "missing '=' in \"" + std::string(rest) + "\"";
        std::string target = lower(trim(rest.substr(0, eq)));
        rest = trim(rest.substr(eq + 1));
        std::string raw;
        if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
            auto end = rest.find(rest.front(), 1);
            if (end == std::string_view::npos) return "unterminated value for " + target;
            raw = std::string(rest.substr(1, end - 1));
            rest = rest.substr(end + 1);
        } else {
            auto end = rest.find_first_of(" \t");
            raw = std::string(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        }

        auto dot = target.find('.');
        if (dot == std::string::npos) return "unknown property " + target;
        std::string object = target.substr(0, dot);
        std::string prop = target.substr(dot + 1);
        if (object == "datawindow" && prop == "readonly") {
            read_only_ = iequals(raw, "yes") || raw == "1";
            continue;
        }
        int col = column_number(object);
        if (col > 0) {
            column_state& s = states_[col - 1];
            if (prop == "tabsequence") {
                s.tab = static_cast<int>(std::clamp<std::int64_t>(leading_whole(raw), 0, 1 << 30));
            } else if (prop == "background.color") {
                s.background = static_cast<long>(leading_whole(raw));
            } else if (prop == "tag") {
                s.tag = raw;
            } else if (prop == "protect") {
                s.protect = leading_whole(raw) != 0;
            } else if (prop == "visible") {
                s.visible = leading_whole(raw) != 0;
            } else {
                return "unknown property " + target;
            }
            continue;
        }
        if (object.ends_with("_t") && prop == "text") {
            labels_[object.substr(0, object.size() - 2)] = raw;
            continue;
        }
        if (prop == "filename") {
            pictures_[object] = raw;
            continue;
        }
        return "unknown object " + object;
    }
}

void data_window::restore_design() {
    for (std::size_t i = 0; i < states_.size(); ++i) {
        states_[i].tab = object_.columns[i].tab;
        states_[i].background = object_.columns[i].background;
    }
}

}  // namespace officerecords
