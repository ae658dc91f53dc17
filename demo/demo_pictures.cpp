#include "demo/demo_pictures.h"

#include <cstdint>

namespace officerecords::demo {

namespace {

void put_le(blob& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An uncompressed 24-bit BMP; `pixel(x, y)` is asked top row first.
template <typename Pixel>
blob make_bmp(int width, int height, Pixel pixel) {
    const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(height);
    blob out;
    out.push_back('B');
    out.push_back('M');
    put_le(out, 54 + image_bytes, 4);
    put_le(out, 0, 4);
    put_le(out, 54, 4);
    put_le(out, 40, 4);
    put_le(out, static_cast<std::uint32_t>(width), 4);
    put_le(out, static_cast<std::uint32_t>(height), 4);
    put_le(out, 1, 2);
    put_le(out, 24, 2);
    put_le(out, 0, 4);
    put_le(out, image_bytes, 4);
    put_le(out, 2835, 4);  // 72 dpi
    put_le(out, 2835, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    // BMP rows run bottom-up, pixels as blue, green, red.
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const rgb c = pixel(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < row_bytes; ++pad)
            out.push_back(0);
    }
    return out;
}

}  // namespace

blob portrait(rgb background, rgb shirt) {
    return make_bmp(32, 40, [&](int x, int y) -> rgb {
        const int dx = x - 16, dy = y - 15;
        if (dx * dx * 64 + dy * dy * 49 <= 49 * 64)
            return y < 11 ? rgb{40, 32, 30} : rgb{238, 198, 168};
        if (y >= 26 && (x - 16) * (x - 16) <= (6 + (y - 26)) * (6 + (y - 26))) return shirt;
        return background;
    });
}

blob scene(rgb sky, rgb banner) {
    return make_bmp(48, 32, [&](int x, int y) -> rgb {
        if (y >= 6 && y <= 11 && x >= 8 && x <= 39)
            return (x % 4 == 0 && y == 8) ? rgb{250, 220, 60} : banner;
        if (y > 21) return rgb{static_cast<unsigned char>(60 + y), 150, 70};
        return rgb{sky.r, static_cast<unsigned char>(sky.g - y * 2), sky.b};
    });
}

}  // namespace officerecords::demo
