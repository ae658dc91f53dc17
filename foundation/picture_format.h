// What kind of picture a run of bytes holds, told by its first bytes: the
// formats the photo store keeps (BMP, GIF, JPEG) and PNG, which every
// picture control here shows as well.
#pragma once

#include <span>
#include <string_view>

namespace officerecords {

enum class picture_format { none, bmp, gif, jpeg, png };

picture_format picture_format_of(std::span<const unsigned char> bytes);
// "BMP", "GIF", "JPEG", "PNG", or "" for none.
std::string_view picture_format_name(picture_format f);

}  // namespace officerecords
