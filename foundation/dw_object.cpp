#include "foundation/dw_object.h"

#include <algorithm>

#include "foundation/value.h"

namespace officerecords {

column::column(std::string name) { def_.name = lower(name); }
column& column::text(int width) {
    def_.type = column_type::text;
    def_.width = width;
    return *this;
}
column& column::date() {
    def_.type = column_type::date;
    if (def_.format.empty()) def_.format = "yyyy-mm-dd";
    if (def_.edit_mask.empty()) def_.edit_mask = "yyyy-mm-dd";
    return *this;
}
column& column::decimal(int scale) {
    def_.type = column_type::decimal;
    def_.width = scale;
    return *this;
}
column& column::whole() {
    def_.type = column_type::whole;
    return *this;
}
column& column::number() {
    def_.type = column_type::number;
    return *this;
}
column& column::key() {
    def_.key = true;
    def_.updatable = true;
    return *this;
}
column& column::update() {
    def_.updatable = true;
    return *this;
}
column& column::label(std::string text) {
    def_.label = std::move(text);
    return *this;
}
column& column::format(std::string f) {
    def_.format = std::move(f);
    return *this;
}
column& column::mask(std::string m) {
    def_.edit_mask = std::move(m);
    return *this;
}
column& column::multiline() {
    def_.style = edit_style::multiline;
    return *this;
}
column& column::dropdown(std::string code_table) {
    def_.style = edit_style::dropdown;
    def_.code_table = lower(code_table);
    return *this;
}
column& column::radio(std::string values) {
    def_.style = edit_style::radio;
    def_.values = std::move(values);
    return *this;
}
column& column::ddlb(std::string values) {
    def_.style = edit_style::ddlb;
    def_.values = std::move(values);
    return *this;
}
column& column::initial(std::string v) {
    def_.initial = std::move(v);
    return *this;
}
column& column::tab(int order) {
    def_.tab = order;
    def_.visible = true;
    return *this;
}
column& column::readonly() {
    def_.readonly = true;
    return *this;
}
column& column::shown() {
    def_.visible = true;
    return *this;
}
column& column::group(std::string caption) {
    def_.group = std::move(caption);
    return *this;
}
column& column::background(long colour) {
    def_.background = colour;
    return *this;
}

int dw_object::find(std::string_view column_name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (iequals(columns[i].name, column_name)) return static_cast<int>(i);
    return -1;
}

std::vector<int> dw_object::key_columns() const {
    std::vector<int> keys;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].key) keys.push_back(static_cast<int>(i));
    return keys;
}

std::vector<int> dw_object::shown_columns() const {
    std::vector<int> shown;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].visible && columns[i].display_order > 0)
            shown.push_back(static_cast<int>(i) + 1);
    std::stable_sort(shown.begin(), shown.end(), [this](int a, int b) {
        return columns[a - 1].display_order < columns[b - 1].display_order;
    });
    return shown;
}

void append_reserved(std::vector<column_def>& columns) {
    columns.push_back(column("prepare1").date().update());
    columns.push_back(column("prepare2").decimal(2).update());
    columns.push_back(column("prepare3").text(254).update());
    columns.push_back(column("prepare4").date().update());
    columns.push_back(column("prepare5").decimal(2).update());
    columns.push_back(column("prepare6").text(254).update());
}

std::string label_caption(std::string label) {
    for (const char* colon : {":", "：", ";", "；"})
        if (label.ends_with(colon)) label.erase(label.size() - std::string_view(colon).size());
    while (label.ends_with(' ')) label.pop_back();
    return label;
}

dw_object make_list(const dw_object& form, std::string name, const std::vector<list_column>& shown) {
    dw_object list = form;
    list.name = std::move(name);
    list.is_list = true;
    list.groups.clear();
    list.pictures.clear();
    for (auto& c : list.columns) {
        c.visible = false;
        c.tab = 0;
        c.label.clear();
        c.display_order = 0;
        c.group.clear();
    }
    int order = 0;
    for (const auto& s : shown) {
        int i = list.find(s.column);
        if (i < 0) continue;
        auto& c = list.columns[i];
        c.visible = true;
        c.label = s.header;
        c.display_order = ++order;
        if (!s.format.empty()) c.format = s.format;
        if (!s.list_name.empty()) {
            // The record is still named by the column, under its list name.
            for (std::string& n : list.naming)
                if (n == c.name) n = lower(s.list_name);
            c.name = lower(s.list_name);
        }
        if (!s.code_table.empty()) {
            c.style = edit_style::dropdown;
            c.code_table = lower(s.code_table);
        }
    }
    return list;
}

}  // namespace officerecords
