// A run killed half-way leaves its temporary beside the database or the
// backup; daily backups are named after the day, so nobody would ever
// finish it. The next run of any kind in that folder removes it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "storage/backup.h"
#include "storage/daily_backup.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::fixed_clock;
using testkit::scratch_dir;

const fixed_clock k_day1{*date::parse("2026-12-08")};
const fixed_clock k_day2{*date::parse("2026-12-09")};

[[noreturn]] void killed() {
    ::kill(::getpid(), SIGKILL);
    _exit(1);
}

// The hidden files in a folder: ours are all temporaries.
std::vector<std::string> hidden_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".")) names.push_back(e.path().filename().string());
    return names;
}

TEST(StaleTemporariesTest, TheNextRunRemovesWhatAKilledRunLeft) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, k_day1).is_ok());
    const std::string folder = backup_folder_for(db);
    fs::create_directories(folder);
    const std::string backup = folder + "/" + daily_backup_name(db, k_day1.today());
    ASSERT_TRUE(backup_database(db, backup, k_day1).is_ok());
    auto stop_at = [](std::string_view wanted) {
        return [wanted](std::string_view step) {
            if (step == wanted) killed();
        };
    };
    struct run {
        const char* what;
        std::string folder;
        std::function<void()> killed_run;
        std::function<bool()> next_run;
    } runs[] = {
        {"a backup", folder,
         [&] { (void)backup_database(db, folder + "/by-hand.db", k_day1, {false, stop_at("copied")}); },
         [&] { return backup_database(db, folder + "/by-hand-2.db", k_day1).is_ok(); }},
        {"a daily backup on a day whose backup is there", folder,
         [&] { (void)backup_database(db, folder + "/" + daily_backup_name(db, k_day2.today()), k_day2,
                                     {false, stop_at("verified")}); },
         [&] { return make_daily_backup(db, folder, k_day1).is_ok(); }},
        {"a restore", dir.file(""),
         [&] { (void)restore_database(db, backup, db + ".kept", k_day1, stop_at("keep copied")); },
         [&] { return restore_database(db, backup, db + ".kept-2", k_day1).is_ok(); }},
        {"a new database", dir.file(""),
         [&] {
             (void)create_demo_database(dir.file("other.db"), k_day1, [](std::unique_ptr<transaction> t) {
                 auto f = std::make_unique<testkit::faulty_transaction>(std::move(t));
                 f->on_step = [](int n) {
                     if (n == 50) killed();
                 };
                 return f;
             });
         },
         [&] { return create_database(dir.file("third.db"), k_day1).is_ok(); }},
        {"a file written whole", dir.file("bmp"),
         [&] {
             auto staged = staged_file::create(dir.file("bmp/cap_model.jpg"));
             if (staged && staged->append("half a picture")) killed();
         },
         [&] { return write_file(dir.file("bmp/other.jpg"), blob{1, 2, 3}) == 1; }},
    };
    fs::create_directories(dir.file("bmp"));
    for (const run& r : runs) {
        SCOPED_TRACE(r.what);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            r.killed_run();
            _exit(0);
        }
        int st = 0;
        ASSERT_EQ(::waitpid(child, &st, 0), child);
        ASSERT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL) << "the run was not stopped";
        ASSERT_FALSE(hidden_in(r.folder).empty()) << "the killed run left nothing to remove";
        ASSERT_TRUE(r.next_run());
        EXPECT_EQ(hidden_in(r.folder), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace officerecords
