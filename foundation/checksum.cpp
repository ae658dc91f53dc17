#include "foundation/checksum.h"

#include <cstdio>
#include <cstring>

namespace officerecords {

// Eight bytes at a time, each word multiplied in and its high bits folded
// back, then the tail and the length; the final mix spreads every input
// bit over the whole result.
std::uint64_t checksum64(std::span<const unsigned char> bytes) {
    constexpr std::uint64_t m = 0xc6a4a7935bd1e995ull;
    constexpr int r = 47;
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ (bytes.size() * m);
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t k;
        std::memcpy(&k, bytes.data() + i, 8);
        k *= m;
        k ^= k >> r;
        k *= m;
        h ^= k;
        h *= m;
    }
    std::uint64_t tail = 0;
    for (std::size_t j = 0; i + j < bytes.size(); ++j) tail |= std::uint64_t(bytes[i + j]) << (8 * j);
    if (i < bytes.size()) {
        h ^= tail;
        h *= m;
    }
    h ^= h >> r;
    h *= m;
    h ^= h >> r;
    return h;
}

std::string checksum_hex(std::span<const unsigned char> bytes) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(checksum64(bytes)));
    return buf;
}

}  // namespace officerecords
