#include "foundation/packed_row.h"

#include <cstring>

namespace officerecords {

namespace {

std::size_t bitmap_size(int columns) { return (static_cast<std::size_t>(columns) + 7) / 8; }

std::uint64_t text_slot(std::uint32_t offset, std::uint32_t length) {
    return (static_cast<std::uint64_t>(offset) << 32) | length;
}

}  // namespace

std::size_t packed_row::slots_offset(int columns) {
    std::size_t raw = sizeof(header) + 2 * bitmap_size(columns);
    return (raw + 7) & ~std::size_t{7};
}

packed_row packed_row::allocate(std::size_t size) {
    packed_row r;
    r.block_ = std::make_unique_for_overwrite<std::byte[]>(size);
    return r;
}

packed_row::packed_row(const packed_row& other) {
    if (other.block_) {
        std::size_t n = other.bytes();
        block_ = std::make_unique_for_overwrite<std::byte[]>(n);
        std::memcpy(block_.get(), other.block_.get(), n);
    }
}

packed_row& packed_row::operator=(const packed_row& other) {
    if (this != &other) *this = packed_row(other);
    return *this;
}

const packed_row::header& packed_row::head() const {
    return *reinterpret_cast<const header*>(block_.get());
}
const std::uint8_t* packed_row::null_bits() const {
    return reinterpret_cast<const std::uint8_t*>(block_.get()) + sizeof(header);
}
const std::uint8_t* packed_row::modified_bits() const {
    return null_bits() + head().bitmap_bytes;
}
const std::uint64_t* packed_row::slot_array() const {
    return reinterpret_cast<const std::uint64_t*>(block_.get() + slots_offset(head().columns));
}
const char* packed_row::text_area() const {
    return reinterpret_cast<const char*>(slot_array() + head().columns);
}

std::size_t packed_row::bytes() const { return block_ ? head().size : 0; }
int packed_row::column_count() const { return block_ ? head().columns : 0; }

bool packed_row::is_null(int col) const { return (null_bits()[col >> 3] >> (col & 7)) & 1; }
bool packed_row::is_modified(int col) const {
    return (modified_bits()[col >> 3] >> (col & 7)) & 1;
}
std::int64_t packed_row::integer(int col) const {
    return static_cast<std::int64_t>(slot_array()[col]);
}
double packed_row::real(int col) const {
    double d;
    std::memcpy(&d, &slot_array()[col], sizeof d);
    return d;
}
std::int32_t packed_row::day(int col) const { return static_cast<std::int32_t>(slot_array()[col]); }
std::string_view packed_row::text(int col) const {
    std::uint64_t s = slot_array()[col];
    return {text_area() + (s >> 32), static_cast<std::size_t>(s & 0xffffffffu)};
}

value packed_row::get(int col, const column_def& def) const {
    if (is_null(col)) return value();
    switch (def.type) {
        case column_type::text:
            return value(std::string(text(col)));
        case column_type::date:
            return value(date::from_days(day(col)));
        case column_type::decimal:
            return value(decimal(integer(col), def.width));
        case column_type::whole:
            return value(integer(col));
        case column_type::number:
            return value(real(col));
    }
    return value();
}

bool packed_row::any_modified() const {
    for (std::size_t i = 0; i < head().bitmap_bytes; ++i)
        if (modified_bits()[i]) return true;
    return false;
}

packed_row packed_row::with_modified(int col, bool flag) const {
    packed_row copy(*this);
    auto* bits = const_cast<std::uint8_t*>(copy.modified_bits());
    if (flag)
        bits[col >> 3] |= static_cast<std::uint8_t>(1u << (col & 7));
    else
        bits[col >> 3] &= static_cast<std::uint8_t>(~(1u << (col & 7)));
    return copy;
}

packed_row packed_row::with_no_modified() const {
    packed_row copy(*this);
    std::memset(const_cast<std::uint8_t*>(copy.modified_bits()), 0, copy.head().bitmap_bytes);
    return copy;
}

packed_row packed_row::with_item(int col, const value& v, const std::vector<column_def>& columns,
                                 bool mark_modified) const {
    int n = column_count();
    builder b(n);
    for (int i = 0; i < n; ++i) {
        bool replace = i == col;
        if (replace ? v.is_null() : is_null(i)) {
            b.set_null(i);
            continue;
        }
        switch (columns[i].type) {
            case column_type::text:
                b.set_text(i, replace ? std::string_view(v.text()) : text(i));
                break;
            case column_type::date:
                b.set_day(i, replace ? v.day().days() : day(i));
                break;
            case column_type::decimal:
                b.set_integer(i, replace ? v.dec().rescaled(columns[i].width).units() : integer(i));
                break;
            case column_type::whole:
                b.set_integer(i, replace ? v.integer() : integer(i));
                break;
            case column_type::number:
                b.set_real(i, replace ? *v.as_double() : real(i));
                break;
        }
    }
    packed_row out = b.build();
    auto* bits = const_cast<std::uint8_t*>(out.modified_bits());
    std::memcpy(bits, modified_bits(), head().bitmap_bytes);
    if (mark_modified) bits[col >> 3] |= static_cast<std::uint8_t>(1u << (col & 7));
    return out;
}

packed_row::builder::builder(int columns)
    : columns_(columns), slots_(columns), nulls_(bitmap_size(columns)) {
    text_.reserve(256);
}

void packed_row::builder::reset() {
    std::fill(nulls_.begin(), nulls_.end(), 0);
    text_.clear();
}

void packed_row::builder::set_null(int col) {
    nulls_[col >> 3] |= static_cast<std::uint8_t>(1u << (col & 7));
    slots_[col] = 0;
}
void packed_row::builder::set_integer(int col, std::int64_t v) {
    slots_[col] = static_cast<std::uint64_t>(v);
}
void packed_row::builder::set_real(int col, double v) { std::memcpy(&slots_[col], &v, sizeof v); }
void packed_row::builder::set_day(int col, std::int32_t d) {
    slots_[col] = static_cast<std::uint32_t>(d);
}
void packed_row::builder::set_text(int col, std::string_view s) {
    slots_[col] = text_slot(static_cast<std::uint32_t>(text_.size()),
                            static_cast<std::uint32_t>(s.size()));
    text_.insert(text_.end(), s.begin(), s.end());
}

packed_row packed_row::builder::build() const {
    std::size_t bitmap = bitmap_size(columns_);
    std::size_t offset = slots_offset(columns_);
    std::size_t size = offset + 8 * static_cast<std::size_t>(columns_) + text_.size();
    packed_row r = allocate(size);
    std::byte* p = r.block_.get();
    header h{static_cast<std::uint32_t>(size), static_cast<std::uint16_t>(columns_),
             static_cast<std::uint16_t>(bitmap)};
    std::memcpy(p, &h, sizeof h);
    std::memcpy(p + sizeof h, nulls_.data(), bitmap);
    std::memset(p + sizeof h + bitmap, 0, offset - sizeof h - bitmap);
    std::memcpy(p + offset, slots_.data(), 8 * static_cast<std::size_t>(columns_));
    if (!text_.empty()) std::memcpy(p + offset + 8 * columns_, text_.data(), text_.size());
    return r;
}

}  // namespace officerecords
