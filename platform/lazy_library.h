// A shared library opened when one of its functions is first called, not
// when the program starts. A loader file defines each function the program
// calls with OFFICERECORDS_FORWARD, which hands the call on to the
// library's own; without the library each returns its fallback.
#pragma once

#include <string>

namespace officerecords {

class lazy_library {
public:
    explicit lazy_library(const char* file);
    lazy_library(const lazy_library&) = delete;
    lazy_library& operator=(const lazy_library&) = delete;

    // The library's function, nullptr when the library or it is missing.
    void* symbol(const char* name) const;
    // Why the library could not be opened; empty when it was.
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace officerecords

#define OFFICERECORDS_FORWARD(library, ret, name, params, args, fallback) \
    extern "C" ret name params {                                          \
        using fn = ret(*) params;                                         \
        static const fn f = reinterpret_cast<fn>(library().symbol(#name)); \
        if (!f) return fallback;                                          \
        return f args;                                                    \
    }
