#include "storage/file_places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "storage/file_access.h"

namespace officerecords {

namespace fs = std::filesystem;

namespace {

std::string home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return ".";
}

std::string program_folder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string working_folder() {
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

// The folders the XDG rules want made 0700: a member's photo is nobody
// else's to read.
bool make_private_folders(const fs::path& folder) {
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        std::error_code ec;
        if (fs::is_directory(made, ec)) continue;
        if (::mkdir(made.c_str(), 0700) != 0 && !fs::is_directory(made, ec)) return false;
    }
    return true;
}

bool has_parent_part(const fs::path& p) {
    for (const fs::path& part : p)
        if (part == "..") return true;
    return false;
}

}  // namespace

std::string user_folder_path(user_folder which) {
    struct kind {
        const char* variable;
        const char* below_home;
    };
    static constexpr kind kinds[] = {{"XDG_DATA_HOME", ".local/share"},
                                     {"XDG_CONFIG_HOME", ".config"},
                                     {"XDG_CACHE_HOME", ".cache"}};
    const kind& k = kinds[static_cast<int>(which)];
    const char* set = std::getenv(k.variable);
    const fs::path base =
        set && fs::path(set).is_absolute() ? fs::path(set) : fs::path(home_folder()) / k.below_home;
    return (base / "OfficeRecords").string();
}

std::vector<std::string> data_folders_of(const std::string& program_folder) {
    const fs::path program(program_folder);
    return {(program.parent_path() / "share" / "officerecords").string(), program.string()};
}

file_places this_process_places() {
    return {data_folders_of(program_folder()), user_folder_path(user_folder::cache),
            working_folder()};
}

std::vector<std::string> candidate_paths(std::string_view name, file_use use,
                                         const file_places& places) {
    const fs::path p(native_path(name));
    if (p.empty()) return {};
    if (use == file_use::display) {
        if (p.is_absolute() || has_parent_part(p) || places.cache_folder.empty()) return {};
        return {(fs::path(places.cache_folder) / p).string()};
    }
    if (p.is_absolute()) return {p.string()};
    std::vector<std::string> out;
    if (!places.cache_folder.empty()) out.push_back((fs::path(places.cache_folder) / p).string());
    for (const std::string& folder : places.data_folders)
        out.push_back((fs::path(folder) / p).string());
    out.push_back((fs::path(places.working_folder) / p).string());
    return out;
}

std::string resolve_path(std::string_view name, file_use use, const file_places& places,
                         const std::function<bool(const std::string&)>& exists) {
    const std::vector<std::string> candidates = candidate_paths(name, use, places);
    if (candidates.empty()) return {};
    if (use == file_use::display) return candidates.front();
    for (const std::string& c : candidates)
        if (exists(c)) return c;
    return candidates.back();
}

std::string resolve_path(std::string_view name, file_use use, const file_places& places) {
    return resolve_path(name, use, places, [](const std::string& path) {
        std::error_code ec;
        return fs::is_regular_file(path, ec);
    });
}

int write_display_file(std::string_view name, const blob& bytes, const file_places& places) {
    const std::string target = resolve_path(name, file_use::display, places);
    if (target.empty()) return -1;
    if (!make_private_folders(fs::path(target).parent_path())) return -1;
    return write_file(target, bytes);
}

}  // namespace officerecords
