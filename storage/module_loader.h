// The program's modules: shared libraries of ours, each of which links a
// library that most runs never need (libpq, libxlsxwriter). A module is
// loaded by its first use, not when a program starts, and hands out one
// object through one entry function, as plugin systems do.
//
// A module resolves the core's functions from the program that loads it,
// so it carries no second copy of them; every program that loads modules
// exports its symbols (see CMakeLists.txt).
#pragma once

#include <string>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

// Where the modules are: $OFFICERECORDS_MODULE_DIR when set, else the
// program's own folder (a build tree, or /usr/bin beside its modules'
// folder ../lib/officerecords, where an install keeps them).
std::vector<std::string> module_folders();

// "libofficerecords_NAME.so".
std::string module_file(const std::string& name);

// The module NAME's file in the first of `folders` that has it; empty
// when none has.
std::string find_module(const std::string& name, const std::vector<std::string>& folders = module_folders());

// Every module of the program loaded, as its first use would load it: one
// line each, "postgres：/usr/lib/officerecords/libofficerecords_postgres.so",
// or what is missing. For a technician checking an installation.
std::string describe_modules(bool& all_loaded);

// Loads the module NAME from the first of `folders` that has it and calls
// its entry function "officerecords_module_NAME". A missing module, or a
// library it needs that is not installed, gives a message naming it and
// saying what it is `for_what` ("连接数据库服务器").
result<void*> load_module(const std::string& name, const std::string& for_what,
                          const std::vector<std::string>& folders = module_folders());

// The object module NAME hands out, as T; loaded by the first call and
// kept (with its failure) for the program's life.
template <typename T>
result<const T*> module_object(const std::string& name, const std::string& for_what) {
    static result<void*> loaded = load_module(name, for_what);
    if (!loaded) return status::error(loaded.message());
    return static_cast<const T*>(*loaded);
}

}  // namespace officerecords
