// One row's items packed into a single allocation.
//
// A list of 100,000 records must not cost a heap block per item, so a row is
// one block: a null bitmap, a modified bitmap, one 8-byte slot per column
// (a whole number, a double, a decimal's units at the column's scale, a
// date's day number, or the offset and length of a text in the tail) and
// then the text bytes. A packed row is immutable; changing an item builds a
// new row, which only edited rows ever pay for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/dw_object.h"
#include "foundation/value.h"

namespace officerecords {

class packed_row {
public:
    packed_row() = default;
    packed_row(const packed_row& other);
    packed_row& operator=(const packed_row& other);
    packed_row(packed_row&&) noexcept = default;
    packed_row& operator=(packed_row&&) noexcept = default;

    bool empty() const { return !block_; }
    int column_count() const;

    bool is_null(int col) const;
    bool is_modified(int col) const;
    std::int64_t integer(int col) const;  // whole, and decimal units
    double real(int col) const;
    std::int32_t day(int col) const;
    std::string_view text(int col) const;

    // The item as a value of the column's type.
    value get(int col, const column_def& def) const;

    // A copy with one item replaced; `v` must already have the column's type
    // (text, date, decimal at the column's scale, whole or number).
    packed_row with_item(int col, const value& v, const std::vector<column_def>& columns,
                         bool mark_modified) const;
    // A copy with every modified flag cleared (or set to `flag` for one column).
    packed_row with_modified(int col, bool flag) const;
    packed_row with_no_modified() const;
    bool any_modified() const;

    std::size_t bytes() const;  // size of the block

    // Builds rows from raw items without a value per item; used by retrieve.
    class builder {
    public:
        explicit builder(int columns);
        void reset();
        void set_null(int col);
        void set_integer(int col, std::int64_t v);
        void set_real(int col, double v);
        void set_day(int col, std::int32_t d);
        void set_text(int col, std::string_view s);
        packed_row build() const;

    private:
        int columns_;
        std::vector<std::uint64_t> slots_;
        std::vector<std::uint8_t> nulls_;
        std::vector<char> text_;
    };

private:
    struct header {
        std::uint32_t size;
        std::uint16_t columns;
        std::uint16_t bitmap_bytes;
    };
    static packed_row allocate(std::size_t size);
    const header& head() const;
    const std::uint8_t* null_bits() const;
    const std::uint8_t* modified_bits() const;
    const std::uint64_t* slot_array() const;
    const char* text_area() const;
    static std::size_t slots_offset(int columns);

    std::unique_ptr<std::byte[]> block_;
};

}  // namespace officerecords
