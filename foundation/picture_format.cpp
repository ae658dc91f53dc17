#include "foundation/picture_format.h"

#include <algorithm>

namespace officerecords {

picture_format picture_format_of(std::span<const unsigned char> bytes) {
    auto starts = [&](std::initializer_list<unsigned char> magic) {
        return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
    };
    // A BMP's header alone is 14 bytes, and "BM" must be followed by them.
    if (bytes.size() >= 26 && starts({'B', 'M'})) return picture_format::bmp;
    if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'}))
        return picture_format::gif;
    if (starts({0xFF, 0xD8, 0xFF})) return picture_format::jpeg;
    if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return picture_format::png;
    return picture_format::none;
}

std::string_view picture_format_name(picture_format f) {
    switch (f) {
        case picture_format::bmp:
            return "BMP";
        case picture_format::gif:
            return "GIF";
        case picture_format::jpeg:
            return "JPEG";
        case picture_format::png:
            return "PNG";
        case picture_format::none:
            break;
    }
    return "";
}

}  // namespace officerecords
