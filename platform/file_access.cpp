#include "platform/file_access.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace officerecords {

std::string native_path(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

int read_file(const std::string& path, blob& bytes) {
    std::ifstream in(native_path(path), std::ios::binary);
    if (!in) return -1;
    blob data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return -1;
    bytes = std::move(data);
    return 1;
}

int write_file(const std::string& path, const blob& bytes) {
    std::string target = native_path(path);
    // Written beside the target and renamed over it, so a reader never sees
    // half a picture.
    std::string temp = target + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return -1;
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::remove(temp.c_str());
            return -1;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return -1;
    }
    return 1;
}

}  // namespace officerecords
