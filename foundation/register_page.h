// The host's list of one register: the tab page `guo_tabpg_now` whose dw_1
// holds the current community's records in key order, and the deletion of
// a listed record.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "foundation/session.h"
#include "foundation/status.h"

namespace officerecords {

// The column that numbers the object's records: orderno, or orgno.
std::string record_key_column(const dw_object& object);

// Fills the page with the community's records of the register, in key
// order. The page remembers which record window edits them.
status list_register(uo_tabpg_datawindow& page, const std::string& window, const dw_object& list,
                     session& s);

// Lists the community's first `rows` records of the register, in key
// order: what the screen shows first. When there may be more, the page is
// left partial (see complete()) and list_next_records reads on.
status list_register_first(uo_tabpg_datawindow& page, const std::string& window,
                           const dw_object& list, session& s, long rows);

// Appends to a partial page the community's next `rows` records, in key
// order, after the key `after`, leaving out the keys in `listed` (records
// that came into the page otherwise). Returns how many were appended, -1
// on a failed read (the page's data window has the text).
long list_next_records(uo_tabpg_datawindow& page, session& s, const value& after,
                       std::span<const value> listed, long rows);

// How many records of the community the page's register holds, counted as
// the page lists them; nullopt on a failed read.
std::optional<long> count_listed_register(const uo_tabpg_datawindow& page, session& s);

// Makes the page hold only the record of the community whose key is `key`
// (none for a null key), so that a record window can show it, or add one,
// without the register listed; complete() lists the rest when the list is
// moved along or looked at. Returns the record's row, 0 when there is none.
std::optional<long> list_records_by_key(uo_tabpg_datawindow& page, const std::string& window,
                                        const dw_object& list, session& s, const value& key);

// Adds the record `key` of the community to a partial page, at its end;
// its row, 0 when there is no such record, nullopt on a failed read.
std::optional<long> add_listed_record(uo_tabpg_datawindow& page, session& s, const value& key);

// Finds the listed record whose key is `key`; 0 when it is not listed.
long find_listed(const uo_tabpg_datawindow& page, const value& key);

// Deletes the page's current record after the user confirms it; the
// deletion is committed on sqlca. The register's deletion rule (its list
// object's refuse_deletion) is asked in that transaction first, and its
// text, shown as "警告信息", keeps the record. Returns true when the
// record is gone.
bool delete_current_record(uo_tabpg_datawindow& page, session& s);

}  // namespace officerecords
