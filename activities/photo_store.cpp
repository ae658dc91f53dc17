#include "activities/photo_store.h"

namespace officerecords {

std::optional<long> photo_store::count_of(std::string_view sql, std::span<const value> params) {
    const std::optional<value> n = t_.select_value(sql, params);
    if (!n || n->is_null()) return std::nullopt;
    return static_cast<long>(n->as_double().value_or(0));
}

std::optional<long> photo_store::count(std::int64_t orderno) {
    const value p[] = {value(orderno)};
    return count_of("SELECT COUNT(*) FROM TS_CommActivePhoto WHERE OrderNo = ?", p);
}

bool photo_store::list(std::int64_t orderno, std::vector<std::int64_t>& slots) {
    const value p[] = {value(orderno)};
    auto photo_cur = t_.open_cursor(
        "SELECT PhotoNo FROM TS_CommActivePhoto WHERE OrderNo = ? ORDER BY PhotoNo", p);
    if (!photo_cur) return false;
    std::size_t slot = 0;
    while (photo_cur->fetch()) {
        if (slots.size() <= ++slot) slots.resize(slot + 1, 0);
        slots[slot] = photo_cur->column_integer(0);
    }
    return true;
}

std::optional<long> photo_store::exists(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(orderno), value(photono)};
    return count_of("SELECT COUNT(*) FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?", p);
}

std::optional<photo_store::name_and_note> photo_store::read_name_and_note(std::int64_t orderno,
                                                                          std::int64_t photono) {
    const value p[] = {value(orderno), value(photono)};
    auto row = t_.select_row(
        "SELECT PhotoFileName, PhotoNote FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?", p);
    if (!row || row->size() < 2) return std::nullopt;
    auto text_or_null = [](const value& v) {
        return v.is_null() || v.to_text().empty() ? value() : value(v.to_text());
    };
    return name_and_note{text_or_null((*row)[0]), text_or_null((*row)[1])};
}

std::optional<blob> photo_store::read_picture(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(orderno), value(photono)};
    return t_.select_blob("SELECT Photo FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?", p);
}

std::optional<std::int64_t> photo_store::next_number(std::int64_t orderno) {
    const value p[] = {value(orderno)};
    const std::optional<value> highest =
        t_.select_value("SELECT MAX(PhotoNo) FROM TS_CommActivePhoto WHERE OrderNo = ?", p);
    if (t_.sqlcode() < 0) return std::nullopt;
    const std::int64_t top =
        highest && !highest->is_null() ? static_cast<std::int64_t>(highest->as_double().value_or(0)) : 0;
    return top > 0 ? top + 1 : 1;
}

sql_code photo_store::create(const std::string& commno, std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(commno), value(orderno), value(photono)};
    return t_.execute("INSERT INTO TS_CommActivePhoto (CommNo, OrderNo, PhotoNo) VALUES (?, ?, ?)", p);
}

sql_code photo_store::store_note(std::int64_t orderno, std::int64_t photono, const std::string& note) {
    const value p[] = {value(note), value(orderno), value(photono)};
    return t_.execute("UPDATE TS_CommActivePhoto SET PhotoNote = ? WHERE OrderNo = ? AND PhotoNo = ?", p);
}

sql_code photo_store::store_name_and_note(std::int64_t orderno, std::int64_t photono,
                                          const std::string& file_name, const std::string& note) {
    const value p[] = {value(file_name), value(note), value(orderno), value(photono)};
    return t_.execute(
        "UPDATE TS_CommActivePhoto SET PhotoFileName = ?, PhotoNote = ? WHERE OrderNo = ? AND "
        "PhotoNo = ?",
        p);
}

sql_code photo_store::store_picture(std::int64_t orderno, std::int64_t photono, const blob& bytes) {
    const value p[] = {value(orderno), value(photono)};
    return t_.update_blob("UPDATE TS_CommActivePhoto SET Photo = ? WHERE OrderNo = ? AND PhotoNo = ?",
                          bytes, p);
}

sql_code photo_store::remove(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(orderno), value(photono)};
    return t_.execute("DELETE FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?", p);
}

}  // namespace officerecords
