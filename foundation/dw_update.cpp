// Writing the data window back: the statements for deleted, changed and
// new rows, and what the rows look like after a commit or a revert.
#include <algorithm>

#include "foundation/data_window.h"
#include "foundation/transaction.h"

namespace officerecords {

std::string data_window::key_text(const packed_row& values) const {
    std::string key;
    for (int k : key_columns_) {
        if (!key.empty()) key += ';';
        key += object_.columns[static_cast<std::size_t>(k)].name + "=" +
               values.get(k, object_.columns[static_cast<std::size_t>(k)]).to_text();
    }
    return key;
}

std::string data_window::history_key(long r) const {
    if (!valid_row(r)) return {};
    const row& rw = rows_[r - 1];
    return key_text(rw.original.empty() ? rw.values() : rw.original);
}

std::vector<planned_statement> data_window::plan_update() const {
    std::vector<planned_statement> out;
    const auto& cols = object_.columns;
    const std::string& table = object_.update_table;

    // The key and every column the window writes, as they were read: a row
    // another workstation changed in any way, or removed, then matches
    // nothing, so no rule checked on this copy is broken by a merge.
    auto where = [&](const row& r, std::vector<value>& params) {
        std::string w;
        auto add = [&](int i) {
            if (!w.empty()) w += " AND ";
            // An item stored in another form than its typed value is named
            // as stored, so an untouched value is never a false conflict.
            const delivered_item* d = r.delivered_at(i);
            value v = d ? d->stored : r.original.get(i, cols[i]);
            if (v.is_null()) {
                w += cols[i].name + " IS NULL";
            } else {
                w += cols[i].name + " = ?";
                params.push_back(std::move(v));
            }
        };
        for (int k : key_columns_) add(k);
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].updatable && !cols[i].key) add(static_cast<int>(i));
        return w;
    };

    auto key_of = [&](const packed_row& values) { return key_text(values); };
    // The value the database holds now, as the history tells it.
    auto stored = [&](const row& r, int i) {
        const delivered_item* d = r.delivered_at(i);
        return d ? d->stored : r.original.get(i, cols[i]);
    };

    for (const row& r : deleted_) {
        if (r.original.empty()) continue;
        planned_statement s;
        s.sql = "DELETE FROM " + table + " WHERE " + where(r, s.params);
        s.expect_one_row = true;
        s.kind = change_kind::remove;
        s.key = key_of(r.original);
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!cols[i].updatable) continue;
            value old = stored(r, static_cast<int>(i));
            if (!old.is_null()) s.changes.push_back({cols[i].name, std::move(old), value()});
        }
        out.push_back(std::move(s));
    }
    for (const row& r : rows_) {
        if (r.status != row_status::data_modified || r.current.empty()) continue;
        std::string set;
        planned_statement s;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!cols[i].updatable || !r.current.is_modified(static_cast<int>(i))) continue;
            if (!set.empty()) set += ", ";
            set += cols[i].name + " = ?";
            value now = r.current.get(static_cast<int>(i), cols[i]);
            value old = stored(r, static_cast<int>(i));
            if (history_text(old) != history_text(now) || old.is_null() != now.is_null())
                s.changes.push_back({cols[i].name, std::move(old), now});
            s.params.push_back(std::move(now));
        }
        if (set.empty()) continue;
        s.sql = "UPDATE " + table + " SET " + set + " WHERE " + where(r, s.params);
        s.expect_one_row = true;
        s.kind = change_kind::update;
        s.key = key_of(r.original);
        out.push_back(std::move(s));
    }
    for (const row& r : rows_) {
        if (r.status != row_status::new_modified) continue;
        planned_statement s;
        std::string names, marks;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!cols[i].updatable) continue;
            value v = r.current.get(static_cast<int>(i), cols[i]);
            // Columns left empty are not named, so the table's reserved
            // columns are never written by a window.
            if (v.is_null()) continue;
            if (!names.empty()) {
                names += ", ";
                marks += ", ";
            }
            names += cols[i].name;
            marks += "?";
            s.changes.push_back({cols[i].name, value(), v});
            s.params.push_back(std::move(v));
        }
        if (names.empty()) continue;
        s.sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        s.kind = change_kind::insert;
        s.key = key_of(r.current);
        out.push_back(std::move(s));
    }
    return out;
}

status data_window::update(const change_context* history) {
    if (!trans_) return status::error("no transaction");
    if (object_.update_table.empty()) return status::error(object_.name + " has no update table");
    for (const auto& s : plan_update()) {
        // A row another workstation changed or removed matches nothing: the
        // save stops there, before anything of it is committed.
        transaction::write_check check;
        if (s.expect_one_row) {
            check.rows = 1;
            check.otherwise = s.kind == change_kind::remove ? k_deleted_elsewhere : k_changed_elsewhere;
        }
        if (trans_->queue_write(s.sql, s.params, check) != sql_code::ok)
            return status::error(trans_->sqlerrtext());
        if (history) {
            if (status st = record_change(*trans_, *history, object_.update_table, s.key, s.kind,
                                          s.changes);
                !st)
                return st;
        }
    }
    return status::ok();
}

void data_window::resetupdate() {
    deleted_.clear();
    deleted_at_.clear();
    for (row& r : rows_) {
        if (r.status == row_status::new_row) continue;
        if (!r.current.empty()) {
            // What was written is now stored exactly as typed.
            if (r.delivered) {
                std::erase_if(*r.delivered,
                              [&](const delivered_item& d) { return r.current.is_modified(d.col); });
                if (r.delivered->empty()) r.delivered.reset();
            }
            r.original = r.current.with_no_modified();
            r.current = packed_row();
        }
        r.status = row_status::not_modified;
    }
}

void data_window::revert() {
    pending_.reset();
    // Deleted rows go back where they stood, the last deleted first, so
    // the list reads as before the deletions.
    for (std::size_t k = deleted_.size(); k-- > 0;) {
        const long at = std::clamp<long>(deleted_at_[k], 1, rowcount() + 1);
        rows_.insert(rows_.begin() + (at - 1), std::move(deleted_[k]));
    }
    deleted_.clear();
    deleted_at_.clear();
    std::erase_if(rows_, [](const row& r) { return r.original.empty(); });
    for (row& r : rows_) {
        r.current = packed_row();
        r.status = row_status::not_modified;
    }
    if (current_row_ > rowcount()) current_row_ = rowcount();
    if (current_row_ == 0 && rowcount() > 0) current_row_ = 1;
}

}  // namespace officerecords
