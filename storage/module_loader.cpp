#include "storage/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace officerecords {

namespace {

namespace fs = std::filesystem;

std::string program_folder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

// dlerror() of a module whose own library is missing reads
// "libpq.so.5: cannot open shared object file: No such file or directory".
std::string missing_library(const std::string& error) {
    const std::size_t at = error.find(": cannot open shared object file");
    if (at == std::string::npos) return {};
    const std::size_t space = error.rfind(' ', at);
    const std::size_t start = space == std::string::npos ? 0 : space + 1;
    return error.substr(start, at - start);
}

}  // namespace

std::vector<std::string> module_folders() {
    if (const char* dir = std::getenv("OFFICERECORDS_MODULE_DIR"); dir && *dir) return {dir};
    const std::string here = program_folder();
    return {here, (fs::path(here) / ".." / "lib" / "officerecords").lexically_normal().string()};
}

std::string module_file(const std::string& name) { return "libofficerecords_" + name + ".so"; }

std::string find_module(const std::string& name, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const fs::path candidate = fs::path(folder) / module_file(name);
        if (::access(candidate.c_str(), R_OK) == 0) return candidate.string();
    }
    return {};
}

result<void*> load_module(const std::string& name, const std::string& for_what,
                          const std::vector<std::string>& folders) {
    const std::string file = module_file(name);
    const std::string path = find_module(name, folders);
    if (path.empty()) {
        std::string where;
        for (const std::string& folder : folders) where += (where.empty() ? "" : "、") + folder;
        return status::error(for_what + "需要本程序的模块 " + file + "，但在 " + where + " 中没有找到它，请重新安装本程序");
    }
    // Loaded once and kept: the objects it hands out live as long as the program.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const std::string error = ::dlerror();
        const std::string library = missing_library(error);
        if (!library.empty())
            return status::error(for_what + "需要的库 " + library + " 没有安装（模块 " + file + " 要用它）");
        return status::error(for_what + "需要的模块 " + file + " 不能载入：" + error);
    }
    const std::string entry = "officerecords_module_" + name;
    using entry_function = void* (*)();
    auto* make = reinterpret_cast<entry_function>(::dlsym(handle, entry.c_str()));
    if (!make) return status::error("模块 " + path + " 不是本程序的模块（其中没有 " + entry + "）");
    return make();
}

}  // namespace officerecords
