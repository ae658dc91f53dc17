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

}  // namespace officerecords
