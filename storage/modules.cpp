// The report of every module, beside the loader: the one place that names
// them all.
#include "storage/module_loader.h"
#include "storage/server_backend.h"
#include "storage/xlsx_writer.h"

namespace officerecords {

std::string describe_modules(bool& all_loaded) {
    all_loaded = true;
    std::string out;
    const auto line = [&](const std::string& name, const status& loaded) {
        all_loaded = all_loaded && loaded.is_ok();
        out += name + "：" + (loaded ? find_module(name) : loaded.message()) + "\n";
    };
    auto server = server_backend_module();
    line("postgres", server ? status::ok() : status::error(server.message()));
    auto writer = xlsx_writer_module();
    line("xlsx", writer ? status::ok() : status::error(writer.message()));
    return out;
}

}  // namespace officerecords
