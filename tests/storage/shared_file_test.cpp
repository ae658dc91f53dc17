// One database file shared by several programs: a program holds its
// SQLite lock on the file for as long as it has the file open, whatever
// else it does with the file meanwhile. Without the lock, another program
// takes the file for unused and removes its log under the running one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/maintenance.h"
#include "cli/register_export.h"
#include "storage/backup.h"
#include "storage/daily_backup.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "tests/lock_probe.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using testkit::fixed_clock;
using testkit::lock_holder;
using testkit::scratch_dir;

const fixed_clock k_clock{*date::parse("2026-12-08")};

struct way_in {
    const char* name;
    std::function<bool(const std::string& db, scratch_dir& dir)> run;
};

TEST(SharedFileTest, TheProgramKeepsItsLockThroughEveryWayItOpensTheFile) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, k_clock).is_ok());
    auto program = open_database(db, k_clock);
    ASSERT_TRUE(program.is_ok()) << program.message();
    ASSERT_EQ(lock_holder(db), ::getpid());

    std::ostringstream out, err;
    const way_in ways[] = {
        {"a second connection, closed again",
         [](const std::string& path, scratch_dir&) { return open_connection(path, k_clock).is_ok(); }},
        {"a second workstation's database, closed again",
         [](const std::string& path, scratch_dir&) { return open_database(path, k_clock).is_ok(); }},
        {"a backup",
         [](const std::string& path, scratch_dir& d) {
             return backup_database(path, d.file("copy.db"), k_clock).is_ok();
         }},
        {"the daily backup",
         [](const std::string& path, scratch_dir& d) {
             return make_daily_backup(path, d.file("备份"), k_clock).is_ok();
         }},
        {"a record's history",
         [&](const std::string& path, scratch_dir&) {
             return print_history(path, "w_m_og_assetregister", "1", "", out, err) == 0;
         }},
        {"an export",
         [&](const std::string& path, scratch_dir& d) {
             register_export_request request;
             request.window = "w_m_og_assetregister";
             request.database = path;
             request.out = d.file("assets.csv");
             return export_register(request, out, err) == 0;
         }},
        {"the database chosen as a photo",
         [](const std::string& path, scratch_dir&) {
             blob bytes;
             return read_photo_file(path, bytes) == -1 && read_photo_file(path + "-wal", bytes) == -1;
         }},
        {"an export over the database",
         [&](const std::string& path, scratch_dir&) {
             register_export_request request;
             request.window = "w_m_og_assetregister";
             request.database = path;
             request.out = path;
             request.overwrite = true;
             return export_register(request, out, err) == 1;
         }},
    };
    for (const way_in& way : ways) {
        SCOPED_TRACE(way.name);
        EXPECT_TRUE(way.run(db, dir)) << err.str();
        EXPECT_EQ(lock_holder(db), ::getpid());
    }
    // The lock goes with the program's last connection, not before.
    program->sqlca.reset();
    EXPECT_EQ(lock_holder(db), ::getpid());
    program->photosqlca.reset();
    EXPECT_EQ(lock_holder(db), 0);
}

}  // namespace
}  // namespace officerecords
