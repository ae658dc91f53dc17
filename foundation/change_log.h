// The history of every saved change: who changed which record of which
// register, when, and each changed column's old and new value as text.
//
// The frame and the photo store write it, never a window, inside the very
// transaction of the change: a change that rolls back leaves no history,
// and a history row that cannot be written fails the change.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"
#include "foundation/transaction.h"

namespace officerecords {

// Where a change comes from; the same for every record of one save.
struct change_context {
    std::string window;       // w_m_og_…
    std::string commno;
    bool checked = true;      // false for a save without checks
    std::string when;         // "YYYY-MM-DD hh:mm:ss"
    std::string workstation;  // the computer's name
    std::string os_user;      // who is logged on to it
    // The file the records came from when they were imported, not typed;
    // empty for a clerk's own save.
    std::string imported_from;
};

// upgrade: the program brought the database's format on (its own change,
// not a clerk's).
enum class change_kind { insert, update, remove, upgrade };

// One column of one changed record; null stands for no value.
struct column_change {
    std::string column;
    value old_value;
    value new_value;
};

// A value as the history keeps it: dates ISO, decimals with their scale,
// a picture as its size and checksum.
// The item of an imported record's history that names the file.
inline constexpr const char* k_imported_file_item = "导入文件";
std::string history_text(const value& v);
// The same for a picture's bytes, without copying them.
std::string picture_history_text(std::span<const unsigned char> bytes);

// Writes the history of one change of one record of `table`, keyed by the
// text `key` ("commno=…;orderno=…"), in t's open transaction. Nothing is
// written for an update that changed no column. A record imported from a
// file is entered as "导入", its first item naming the file.
[[nodiscard]] status record_change(transaction& t, const change_context& context,
                                   std::string_view table, std::string_view key, change_kind kind,
                                   const std::vector<column_change>& columns);

// Names to t the history entry that record_change() wrote for the record
// `key` of `table` in the open transaction: it exists once the transaction
// has committed, and tells so should the transaction's own number no
// longer tell (see transaction::witness_commit).
void witness_change(transaction& t, const change_context& context, std::string_view table,
                    std::string_view key);

}  // namespace officerecords
