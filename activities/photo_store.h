// The photo store: the photographs of community activities in
// TS_CommActivePhoto, one row per photo, found by the community's CommNo,
// the activity's OrderNo and the photo's PhotoNo. A store serves one
// community: what another community stored under the same OrderNo (an
// activity it deleted, whose number went to a new one) is never read,
// counted, numbered after, changed or deleted through it.
//
// Every operation is one statement on the transaction it is given, which
// is photosqlca; after each the caller reads that transaction's sqlcode()
// and sqlerrtext(). Reads are never committed; the album commits or rolls
// back its saves and deletions itself. Numbers are not reused while a
// higher one exists: a deletion leaves a gap.
//
// Given whose changes they are, the store keeps the history of what it
// writes: write_history() puts it in the open transaction before the
// caller commits, so a photo saved is a photo on record.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/change_log.h"
#include "foundation/transaction.h"

namespace officerecords {

// The characters a photo's note and file name hold (TS_CommActivePhoto).
inline constexpr std::size_t k_photo_note_width = 254;

class photo_store {
public:
    // The photos of community `commno`.
    photo_store(transaction& photosqlca, std::string commno)
        : t_(photosqlca), commno_(std::move(commno)) {}
    // `history` names who changes the photos and from which window; it is
    // asked again for every change (its time).
    photo_store(transaction& photosqlca, std::string commno,
                std::function<change_context()> history)
        : t_(photosqlca), commno_(std::move(commno)), history_(std::move(history)) {}
    transaction& trans() { return t_; }

    // The activity's number of photos; nullopt when the count failed.
    std::optional<long> count(std::int64_t orderno);
    // Fetches the photo numbers in ascending order into slots 1, 2, … of
    // `slots` (slot 0 unused), growing it as needed; slots past the new
    // count keep what they held. False when the list cannot be opened.
    bool list(std::int64_t orderno, std::vector<std::int64_t>& slots);
    // How many photos have that number (0 or 1); nullopt when the count failed.
    std::optional<long> exists(std::int64_t orderno, std::int64_t photono);
    // File name and note, each null when empty; nullopt when the read failed.
    struct name_and_note {
        value file_name;
        value note;
    };
    std::optional<name_and_note> read_name_and_note(std::int64_t orderno, std::int64_t photono);
    // The picture bytes (empty for a null picture); nullopt when the read failed.
    std::optional<blob> read_picture(std::int64_t orderno, std::int64_t photono);
    // The number for a new photo: one more than the highest, 1 for the
    // first; nullopt when the highest cannot be read.
    std::optional<std::int64_t> next_number(std::int64_t orderno);

    sql_code create(std::int64_t orderno, std::int64_t photono);
    sql_code store_note(std::int64_t orderno, std::int64_t photono, const std::string& note);
    sql_code store_name_and_note(std::int64_t orderno, std::int64_t photono,
                                 const std::string& file_name, const std::string& note);
    sql_code store_picture(std::int64_t orderno, std::int64_t photono, const blob& bytes);
    sql_code remove(std::int64_t orderno, std::int64_t photono);
    sql_code commit() { return t_.commit(); }
    sql_code rollback() { return t_.rollback(); }

    // Writes the history of the writes since the last call in the open
    // transaction; a store without a history context writes nothing.
    [[nodiscard]] status write_history();
    // Drops what was not written: the writes were rolled back.
    void forget_history() { pending_.clear(); }

private:
    struct pending_change {
        std::int64_t orderno;
        std::int64_t photono;
        change_kind kind;
        std::vector<column_change> columns;
        std::string unreadable;  // why the stored values could not be read first
    };
    std::optional<long> count_of(std::string_view sql, std::span<const value> params);
    // The change of that photo being made, begun with what is stored now.
    pending_change& change_of(std::int64_t orderno, std::int64_t photono);
    void note(std::int64_t orderno, std::int64_t photono, const char* column, value now);

    transaction& t_;
    std::string commno_;
    std::function<change_context()> history_;
    std::vector<pending_change> pending_;
};

}  // namespace officerecords
