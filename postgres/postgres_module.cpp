// The module's one entry: the backend the program asks for through
// server_backend_module().
#include "postgres/pg_backup.h"
#include "postgres/pg_transaction.h"
#include "storage/server_backend.h"

namespace officerecords {

namespace {

class postgres_backend final : public server_backend {
public:
    result<std::unique_ptr<transaction>> connect(const std::string& conninfo, const clock_source& clock,
                                                 const pg_options& options) const override {
        auto opened = pg_transaction::open(conninfo, clock, options);
        if (!opened) return status::error(opened.message());
        return std::unique_ptr<transaction>(opened.take());
    }

    result<std::string> encrypt_password(transaction& t, const std::string& user,
                                         const std::string& password) const override {
        auto* server = dynamic_cast<pg_transaction*>(&t);
        if (!server) return status::error("只有连接数据库服务器时才能设置账号的密码");
        return server->encrypt_password(user, password);
    }

    result<backup_report> backup(const std::string& target, const std::string& out,
                                 const clock_source& clock) const override {
        return backup_server_database(target, out, clock);
    }

    status restore(const std::string& target, const std::string& from, const std::string& replaced_as,
                   const clock_source& clock) const override {
        return restore_server_database(target, from, replaced_as, clock);
    }

    std::string database_name(const std::string& target) const override {
        return database_name_of(target);
    }
};

}  // namespace

}  // namespace officerecords

extern "C" __attribute__((visibility("default"))) void* officerecords_module_postgres() {
    static officerecords::postgres_backend backend;
    return static_cast<officerecords::server_backend*>(&backend);
}
