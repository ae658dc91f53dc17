// Files the host reads and writes for the windows: pictures under bmp\,
// photo files chosen by the user. Paths may be written with backslashes.
#pragma once

#include <string>

#include "foundation/value.h"

namespace officerecords {

// "bmp\cap_model.jpg" -> "bmp/cap_model.jpg".
std::string native_path(std::string_view path);
// -1 when the file cannot be read.
int read_file(const std::string& path, blob& bytes);
// -1 when the file cannot be written; the file is replaced whole.
int write_file(const std::string& path, const blob& bytes);

// The largest picture file the photo store takes.
inline constexpr std::size_t k_max_photo_bytes = 20u * 1024 * 1024;
// Reads a picture file whole for the photo store: -1, with `bytes`
// untouched, when it cannot be read, is larger than k_max_photo_bytes, or
// is not a BMP, GIF, JPEG or PNG picture, so that a stray document never
// lands among the photos.
int read_photo_file(const std::string& path, blob& bytes);

}  // namespace officerecords
