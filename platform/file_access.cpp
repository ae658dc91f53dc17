#include "platform/file_access.h"

#include "foundation/picture_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
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

int read_photo_file(const std::string& path, blob& bytes) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(native_path(path), ec);
    if (ec || size > k_max_photo_bytes) return -1;
    blob data;
    if (read_file(path, data) != 1 || data.size() > k_max_photo_bytes) return -1;
    if (picture_format_of(data) == picture_format::none) return -1;
    bytes = std::move(data);
    return 1;
}

int write_file(const std::string& path, const blob& bytes) {
    std::string target = native_path(path);
    // Written beside the target and renamed over it, so a reader never sees
    // half a picture; every step is checked, the close included, since a
    // full disk often shows only when the last buffer is flushed.
    std::string temp = target + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return -1;
    }
    return 1;
}

}  // namespace officerecords
