// A 64-bit checksum of a run of bytes, as 16 hex digits: how the history
// tells pictures apart without keeping their bytes. Fast enough to run on
// every photo saved (several GB/s), and never a security measure.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace officerecords {

std::uint64_t checksum64(std::span<const unsigned char> bytes);
std::string checksum_hex(std::span<const unsigned char> bytes);

}  // namespace officerecords
