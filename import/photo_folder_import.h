// A folder of pictures into an activity's album: each file, in the order
// of its name, added as a new photo through the album window itself, so
// that each passes the album's own checks (a picture, not too large, not a
// reserved name, an activity that is still there).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/session.h"
#include "foundation/status.h"

namespace officerecords {

struct photo_folder_report {
    std::vector<std::string> added;                             // file names
    std::vector<std::pair<std::string, std::string>> refused;  // file name, why
};

// Adds every picture of `folder` (not its subfolders, nor hidden files) to
// the album of the current community's activity `orderno`. A file that is
// no BMP, GIF or JPEG picture, and one the album refuses, is listed with
// its reason and the others go on; each
// photo added is saved and on record on its own, as the album saves it.
result<photo_folder_report> import_photo_folder(session& s, std::int64_t orderno, const std::string& folder);

}  // namespace officerecords
