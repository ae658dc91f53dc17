#include "storage/server_backend.h"

#include <cctype>

#include "storage/module_loader.h"

namespace officerecords {

bool is_server_target(const std::string& target) {
    if (target.starts_with("postgresql://") || target.starts_with("postgres://")) return true;
    // A keyword/value connection string begins with a keyword and "=".
    std::size_t i = 0;
    while (i < target.size() && (std::islower(static_cast<unsigned char>(target[i])) || target[i] == '_'))
        ++i;
    while (i < target.size() && target[i] == ' ') ++i;
    return i > 0 && i < target.size() && target[i] == '=';
}

result<const server_backend*> server_backend_module() {
    return module_object<server_backend>("postgres", "连接数据库服务器");
}

std::string server_database_name(const std::string& target) {
    auto backend = server_backend_module();
    return backend ? (*backend)->database_name(target) : std::string();
}

result<std::unique_ptr<transaction>> connect_server(const std::string& conninfo, const clock_source& clock,
                                                    const pg_options& options) {
    auto backend = server_backend_module();
    if (!backend) return status::error(backend.message());
    return (*backend)->connect(conninfo, clock, options);
}

}  // namespace officerecords
