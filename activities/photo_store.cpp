#include "activities/photo_store.h"

namespace officerecords {

std::optional<long> photo_store::count_of(std::string_view sql, std::span<const value> params) {
    const std::optional<value> n = t_.select_value(sql, params);
    if (!n || n->is_null()) return std::nullopt;
    return static_cast<long>(n->as_double().value_or(0));
}

std::optional<long> photo_store::count(std::int64_t orderno) {
    const value p[] = {value(commno_), value(orderno)};
    return count_of("SELECT COUNT(*) FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ?", p);
}

bool photo_store::list(std::int64_t orderno, std::vector<std::int64_t>& slots) {
    const value p[] = {value(commno_), value(orderno)};
    auto photo_cur = t_.open_cursor(
        "SELECT PhotoNo FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? ORDER BY PhotoNo",
        p);
    if (!photo_cur) return false;
    std::size_t slot = 0;
    while (photo_cur->fetch()) {
        if (slots.size() <= ++slot) slots.resize(slot + 1, 0);
        slots[slot] = photo_cur->column_integer(0);
    }
    return true;
}

std::optional<long> photo_store::exists(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(commno_), value(orderno), value(photono)};
    return count_of(
        "SELECT COUNT(*) FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?",
        p);
}

std::optional<photo_store::name_and_note> photo_store::read_name_and_note(std::int64_t orderno,
                                                                          std::int64_t photono) {
    const value p[] = {value(commno_), value(orderno), value(photono)};
    auto row = t_.select_row(
        "SELECT PhotoFileName, PhotoNote FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? "
        "AND "
        "PhotoNo = ?",
        p);
    if (!row || row->size() < 2) return std::nullopt;
    auto text_or_null = [](const value& v) {
        return v.is_null() || v.to_text().empty() ? value() : value(v.to_text());
    };
    return name_and_note{text_or_null((*row)[0]), text_or_null((*row)[1])};
}

std::optional<blob> photo_store::read_picture(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(commno_), value(orderno), value(photono)};
    return t_.select_blob(
        "SELECT Photo FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?", p);
}

std::optional<std::int64_t> photo_store::next_number(std::int64_t orderno) {
    const value p[] = {value(commno_), value(orderno)};
    const std::optional<value> highest = t_.select_value(
        "SELECT MAX(PhotoNo) FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ?", p);
    if (t_.sqlcode() < 0) return std::nullopt;
    const std::int64_t top =
        highest && !highest->is_null() ? static_cast<std::int64_t>(highest->as_double().value_or(0)) : 0;
    return top > 0 ? top + 1 : 1;
}

photo_store::pending_change& photo_store::change_of(std::int64_t orderno, std::int64_t photono) {
    for (pending_change& c : pending_)
        if (c.orderno == orderno && c.photono == photono) return c;
    pending_.push_back({orderno, photono, change_kind::update, {}, {}});
    pending_change& c = pending_.back();
    const value key[] = {value(commno_), value(orderno), value(photono)};
    auto old = t_.select_row(
        "SELECT PhotoFileName, PhotoNote, Photo FROM TS_CommActivePhoto WHERE CommNo = ? AND "
        "OrderNo = ? "
        "AND PhotoNo = ?",
        key);
    // Without the old values the history would tell a change that did not
    // happen: the change is refused when its history is written.
    if (t_.sqlcode() < 0) c.unreadable = t_.sqlerrtext();
    const char* names[] = {"PhotoFileName", "PhotoNote", "Photo"};
    for (std::size_t i = 0; i < 3; ++i) {
        // A picture is kept as its text, not as a second copy of its bytes.
        value stored = old ? std::move((*old)[i]) : value();
        if (stored.is_blob()) stored = value(history_text(stored));
        c.columns.push_back({names[i], std::move(stored), value()});
    }
    return c;
}

// Records the new value of a column; an update keeps only what changed.
void photo_store::note(std::int64_t orderno, std::int64_t photono, const char* column, value now) {
    if (!history_) return;
    pending_change& c = change_of(orderno, photono);
    for (column_change& col : c.columns) {
        if (col.column != column) continue;
        col.new_value = std::move(now);
        return;
    }
    c.columns.push_back({column, value(), std::move(now)});
}

status photo_store::write_history() {
    std::vector<pending_change> changes = std::move(pending_);
    pending_.clear();
    if (!history_) return status::ok();
    const change_context who = history_();
    bool witnessed = false;
    for (pending_change& c : changes) {
        if (!c.unreadable.empty()) return status::error("修改记录写入失败：" + c.unreadable);
        if (c.kind == change_kind::update)
            std::erase_if(c.columns, [](const column_change& col) {
                return col.new_value.is_null() || history_text(col.old_value) == history_text(col.new_value);
            });
        const std::string key = "OrderNo=" + std::to_string(c.orderno) + ";PhotoNo=" + std::to_string(c.photono);
        if (status st = record_change(t_, who, "TS_CommActivePhoto", key, c.kind, c.columns); !st) return st;
        // The entry tells whether a commit in doubt was written when the
        // server's own answer is lost with a crash.
        if (!witnessed && !c.columns.empty()) {
            witness_change(t_, who, "TS_CommActivePhoto", key);
            witnessed = true;
        }
    }
    return status::ok();
}

sql_code photo_store::create(std::int64_t orderno, std::int64_t photono) {
    const value p[] = {value(commno_), value(orderno), value(photono)};
    const sql_code rc =
        t_.execute("INSERT INTO TS_CommActivePhoto (CommNo, OrderNo, PhotoNo) VALUES (?, ?, ?)", p);
    if (rc == sql_code::ok && history_)
        pending_.push_back({orderno,
                            photono,
                            change_kind::insert,
                            {{"CommNo", value(), value(commno_)},
                             {"OrderNo", value(), value(orderno)},
                             {"PhotoNo", value(), value(photono)}},
                            {}});
    return rc;
}

sql_code photo_store::store_note(std::int64_t orderno, std::int64_t photono, const std::string& note) {
    this->note(orderno, photono, "PhotoNote", value(note));
    const value p[] = {value(note), value(commno_), value(orderno), value(photono)};
    return t_.execute(
        "UPDATE TS_CommActivePhoto SET PhotoNote = ? WHERE CommNo = ? AND OrderNo = ? AND PhotoNo "
        "= ?",
        p);
}

sql_code photo_store::store_name_and_note(std::int64_t orderno, std::int64_t photono,
                                          const std::string& file_name, const std::string& note) {
    this->note(orderno, photono, "PhotoFileName", value(file_name));
    this->note(orderno, photono, "PhotoNote", value(note));
    const value p[] = {value(file_name), value(note), value(commno_), value(orderno),
                       value(photono)};
    return t_.execute(
        "UPDATE TS_CommActivePhoto SET PhotoFileName = ?, PhotoNote = ? WHERE CommNo = ? AND "
        "OrderNo = ? AND PhotoNo = ?",
        p);
}

sql_code photo_store::store_picture(std::int64_t orderno, std::int64_t photono, const blob& bytes) {
    if (history_) note(orderno, photono, "Photo", value(picture_history_text(bytes)));
    const value p[] = {value(commno_), value(orderno), value(photono)};
    return t_.update_blob(
        "UPDATE TS_CommActivePhoto SET Photo = ? WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?",
        bytes, p);
}

sql_code photo_store::remove(std::int64_t orderno, std::int64_t photono) {
    if (history_) {
        pending_change& c = change_of(orderno, photono);
        c.kind = change_kind::remove;
        std::erase_if(c.columns, [](const column_change& col) { return col.old_value.is_null(); });
    }
    const value p[] = {value(commno_), value(orderno), value(photono)};
    return t_.execute(
        "DELETE FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ? AND PhotoNo = ?", p);
}

}  // namespace officerecords
