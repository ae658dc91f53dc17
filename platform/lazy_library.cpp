#include "platform/lazy_library.h"

#include <dlfcn.h>

namespace officerecords {

lazy_library::lazy_library(const char* file) : handle_(dlopen(file, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_) return;
    const char* why = dlerror();
    error_ = why ? why : file;
}

void* lazy_library::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

}  // namespace officerecords
