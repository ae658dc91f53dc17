#include "storage/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "foundation/picture_format.h"

namespace officerecords {

std::string native_path(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

namespace {

struct file_identity {
    dev_t device;
    ino_t inode;
    bool operator<(const file_identity& o) const {
        return device != o.device ? device < o.device : inode < o.inode;
    }
};

std::optional<file_identity> identity_of(const std::string& path) {
    struct stat st {};
    if (::stat(native_path(path).c_str(), &st) != 0) return std::nullopt;
    return file_identity{st.st_dev, st.st_ino};
}

// Connections open and close on the interface's thread and on the daily
// backup's.
std::mutex open_databases_guard;
std::multiset<file_identity>& open_databases() {
    static std::multiset<file_identity> files;
    return files;
}

}  // namespace

void note_database_opened(const std::string& path) {
    const auto id = identity_of(path);
    if (!id) return;
    std::lock_guard lock(open_databases_guard);
    open_databases().insert(*id);
}

void note_database_closed(const std::string& path) {
    const auto id = identity_of(path);
    if (!id) return;
    std::lock_guard lock(open_databases_guard);
    auto& files = open_databases();
    if (const auto it = files.find(*id); it != files.end()) files.erase(it);
}

bool is_open_database(const std::string& path) {
    std::string base = native_path(path);
    for (std::string_view companion : {"-wal", "-shm", "-journal"})
        if (base.ends_with(companion)) {
            base.resize(base.size() - companion.size());
            break;
        }
    std::lock_guard lock(open_databases_guard);
    if (open_databases().empty()) return false;
    for (const std::string& candidate : {native_path(path), base}) {
        const auto id = identity_of(candidate);
        if (id && open_databases().count(*id) > 0) return true;
    }
    return false;
}

namespace {

// The umask, read without changing it (another thread may be making a
// file); set and put back only where the kernel does not tell it.
mode_t current_umask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:")) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

status take_umask_mode(const std::string& path) {
    if (::chmod(native_path(path).c_str(), 0666 & ~current_umask()) != 0)
        return status::error("不能设置文件的权限 " + path + "：" + file_error_text(errno));
    return status::ok();
}

int read_file(const std::string& path, blob& bytes) {
    if (is_open_database(path)) return -1;
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
    auto staged = staged_file::create(native_path(path));
    if (!staged) return -1;
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return staged->append(data) && staged->publish(true) ? 1 : -1;
}

std::string file_error_text(int err) {
    switch (err) {
        case ENOENT:
            return "文件夹不存在";
        case ENOTDIR:
            return "路径中有一段不是文件夹";
        case EACCES:
        case EPERM:
            return "没有写入这个位置的权限";
        case EROFS:
            return "磁盘是只读的";
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case EFBIG:
            return "文件超出了允许的大小";
        case EISDIR:
            return "这是一个文件夹";
        case ENAMETOOLONG:
            return "文件名太长";
        case EIO:
            return "磁盘读写出错";
        default:
            return std::strerror(err);
    }
}

namespace {

std::filesystem::path folder_of(const std::string& target) {
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

constexpr std::string_view k_companions[] = {"-journal", "-wal", "-shm"};

constexpr std::string_view kind_mark(temporary_kind kind) {
    switch (kind) {
        case temporary_kind::part:
            return ".orpart";
        case temporary_kind::backup:
            return ".orbackup";
        case temporary_kind::keep:
            return ".orkeep";
        case temporary_kind::init:
            return ".orinit";
    }
    return ".orpart";
}

constexpr temporary_kind k_kinds[] = {temporary_kind::part, temporary_kind::backup,
                                      temporary_kind::keep, temporary_kind::init};

bool all_digits(std::string_view s) {
    return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process that made the temporary (or companion) `name`, when `host`
// made it; 0 for any other file.
long temporary_pid(std::string_view name, std::string_view host) {
    if (!name.starts_with('.')) return 0;
    for (std::string_view companion : k_companions) {
        if (name.ends_with(companion)) {
            name.remove_suffix(companion.size());
            break;
        }
    }
    // "...-HOST-PID-N": the two numbers from the right, then the host,
    // which may itself hold '-'.
    const std::size_t n_dash = name.rfind('-');
    if (n_dash == std::string_view::npos || !all_digits(name.substr(n_dash + 1))) return 0;
    name = name.substr(0, n_dash);
    const std::size_t pid_dash = name.rfind('-');
    if (pid_dash == std::string_view::npos || !all_digits(name.substr(pid_dash + 1))) return 0;
    const long pid = std::strtol(std::string(name.substr(pid_dash + 1)).c_str(), nullptr, 10);
    name = name.substr(0, pid_dash);
    if (!name.ends_with(host) || name.size() <= host.size() || name[name.size() - host.size() - 1] != '-')
        return 0;
    name = name.substr(0, name.size() - host.size() - 1);
    for (temporary_kind kind : k_kinds) {
        const std::string_view mark = kind_mark(kind);
        // "." and at least one character of the target's name before the mark.
        if (name.ends_with(mark) && name.size() > mark.size() + 1) return pid > 0 ? pid : 0;
    }
    return 0;
}

bool process_is_gone(long pid) {
    // EPERM: it is there, only someone else's.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string containing_folder(const std::string& path) { return folder_of(path).string(); }

temporary_owner this_process() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
    std::string host(name);
    // Only characters that are safe in a file name on any file system.
    for (char& c : host) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_';
        if (!safe) c = '_';
    }
    if (host.empty()) host = "localhost";
    return {host, static_cast<long>(::getpid())};
}

std::string temporary_name(const std::string& target, temporary_kind kind, const temporary_owner& owner) {
    static std::atomic<unsigned long> given{0};
    const std::filesystem::path t(target);
    const std::string name = "." + t.filename().string() + std::string(kind_mark(kind)) + "-" + owner.host +
                             "-" + std::to_string(owner.pid) + "-" + std::to_string(given++);
    return (folder_of(target) / name).string();
}

int remove_stale_temporaries(const std::string& folder) {
    const temporary_owner here = this_process();
    std::vector<std::filesystem::path> bases;
    std::vector<std::filesystem::path> companions;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const long pid = temporary_pid(name, here.host);
        if (pid == 0 || pid == here.pid || !process_is_gone(pid)) continue;
        const bool companion = std::any_of(std::begin(k_companions), std::end(k_companions),
                                           [&](std::string_view c) { return name.ends_with(c); });
        (companion ? companions : bases).push_back(entry.path());
    }
    int removed = 0;
    for (const auto* list : {&companions, &bases})
        for (const auto& path : *list) removed += ::unlink(path.c_str()) == 0 ? 1 : 0;
    return removed;
}

void remove_database_files(const std::string& path) {
    for (std::string_view companion : k_companions) ::unlink((path + std::string(companion)).c_str());
    ::unlink(path.c_str());
}

publish_target check_target(const std::string& target, std::string_view what,
                            const std::string& database) {
    std::error_code ec;
    const std::filesystem::file_status there = std::filesystem::status(target, ec);
    if (!std::filesystem::exists(there)) return {};
    const std::string named(what);
    if (std::filesystem::is_directory(there))
        return {target_state::refused, "这是一个文件夹，不能作为" + named + "：" + target};
    if (is_open_database(target) || (!database.empty() && std::filesystem::equivalent(target, database, ec)))
        return {target_state::refused, named + "不能是正在使用的数据库本身：" + target};
    return {target_state::replaceable, "文件“" + target + "”已经存在，是否替换？"};
}

status move_into_place(const std::string& built, const std::string& target, bool overwrite,
                       std::string_view what) {
    if (overwrite && is_open_database(target))
        return status::error("这是正在使用的数据库，不能用新建的" + std::string(what) + "替换它：" + target);
    int rc = overwrite
                 ? std::rename(built.c_str(), target.c_str())
                 : ::renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    // A file system without RENAME_NOREPLACE (some network and FUSE ones)
    // gets the check just before the rename instead.
    if (rc != 0 && !overwrite && (errno == EINVAL || errno == ENOSYS)) {
        std::error_code ec;
        if (std::filesystem::exists(target, ec)) {
            errno = EEXIST;
        } else {
            rc = std::rename(built.c_str(), target.c_str());
        }
    }
    if (rc != 0) {
        const int err = errno;
        if (err == EEXIST) return status::error("文件已经存在，不会覆盖它：" + target);
        return status::error("不能把新建的" + std::string(what) + "改名为 " + target + "：" +
                             file_error_text(err));
    }
    const int dir = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0) ::close(dir);
    if (!synced) return status::error("不能把新建的" + std::string(what) + "写入磁盘：" + target);
    return status::ok();
}

result<staged_file> staged_file::create(const std::string& target) {
    (void)remove_stale_temporaries(folder_of(target).string());
    // A name is never given twice in this process; one still there was
    // left by an earlier process of the same number, and the next is taken.
    for (int n = 0;; ++n) {
        std::string temp = temporary_name(target, temporary_kind::part);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return staged_file(target, std::move(temp), fd);
        const int err = errno;
        if (err != EEXIST || n == 999)
            return status::error("不能写入文件 " + target + "：" + file_error_text(err));
    }
}

staged_file::staged_file(staged_file&& other) noexcept
    : target_(std::move(other.target_)), temp_(std::move(other.temp_)), fd_(other.fd_) {
    other.temp_.clear();
    other.fd_ = -1;
}

staged_file::~staged_file() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

status staged_file::failed(int err) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    return status::error("不能写入文件 " + target_ + "：" + file_error_text(err));
}

status staged_file::append(std::string_view bytes) {
    if (fd_ < 0) return status::error("不能写入文件 " + target_ + "：文件已经关闭");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failed(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    return status::ok();
}

status staged_file::publish(bool overwrite) {
    if (fd_ < 0) return status::error("不能写入文件 " + target_ + "：文件已经关闭");
    // A full disk often shows only when the last buffers are flushed: the
    // sync and the close are checked as every write is.
    if (::fsync(fd_) != 0) return failed(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return failed(errno);
    status st = move_into_place(temp_, target_, overwrite, "文件");
    if (!st) ::unlink(temp_.c_str());
    temp_.clear();
    return st;
}

}  // namespace officerecords
