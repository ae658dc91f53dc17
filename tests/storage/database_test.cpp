// Creating a database is all or nothing: stopped at any step, or failing
// at any step, it leaves either the complete file or none of that name,
// and nothing half-made beside it.
#include "storage/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "tests/fault_injection.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::faulty_transaction;
using testkit::fixed_clock;
using testkit::scratch_dir;

const fixed_clock k_clock{*date::parse("2026-12-08")};

// Every file in the folder, so that leftovers show.
std::set<std::string> files_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// How many rows the demo database holds in all, or a message.
std::string demo_summary(const std::string& path) {
    auto db = open_database(path, k_clock);
    if (!db) return db.message();
    auto v = db->sqlca->select_value(
        "SELECT (SELECT count(*) FROM tc_ge_code) || '/' || (SELECT count(*) FROM "
        "tc_ge_personinfo) || '/' || (SELECT count(*) FROM tc_og_assetregister)");
    auto ok = db->sqlca->select_value("PRAGMA integrity_check");
    return (v ? v->to_text() : db->sqlca->sqlerrtext()) + " " + (ok ? ok->to_text() : "?");
}

// The steps a demo database takes to build.
int steps_of_a_demo_build(const std::string& path) {
    int steps = 0;
    status st = create_demo_database(path, k_clock, [&](std::unique_ptr<transaction> t) {
        auto f = std::make_unique<faulty_transaction>(std::move(t));
        f->on_step = [&](int n) { steps = n; };
        return f;
    });
    EXPECT_TRUE(st.is_ok()) << st.message();
    return steps;
}

TEST(CreateDatabaseTest, KilledAtAnyStepLeavesTheWholeFileOrNone) {
    scratch_dir dir;
    const std::string reference = dir.file("reference.db");
    const int total = steps_of_a_demo_build(reference);
    ASSERT_GT(total, 100);
    const std::string complete = demo_summary(reference);
    fs::remove(reference);
    const std::set<std::string> empty_folder = files_in(dir.file(""));

    // The first and the last steps, the commit, the moment after it, and
    // steps drawn with a fixed seed in between. -1 stands for "after the
    // commit, while the connection closes".
    std::vector<int> kill_at = {1, 2, total - 1, total, -1};
    std::mt19937 pick(20261209);
    for (int i = 0; i < 12; ++i) kill_at.push_back(std::uniform_int_distribution<int>(3, total - 2)(pick));

    const std::string target = dir.file("office.db");
    for (int at : kill_at) {
        SCOPED_TRACE("killed at step " + std::to_string(at));
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            (void)create_demo_database(target, k_clock, [at](std::unique_ptr<transaction> t) {
                auto f = std::make_unique<faulty_transaction>(std::move(t));
                f->on_step = [at](int n) {
                    if (n == at) _exit(9);
                };
                f->on_close = [at] {
                    if (at == -1) _exit(9);
                };
                return f;
            });
            _exit(0);
        }
        int st = 0;
        ASSERT_EQ(waitpid(child, &st, 0), child);
        ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 9) << "the child was not stopped";
        if (fs::exists(target)) {
            EXPECT_EQ(demo_summary(target), complete);
            fs::remove(target);
        }
        // The next init finishes the job and clears what the killed one left.
        status again = create_demo_database(target, k_clock);
        ASSERT_TRUE(again.is_ok()) << again.message();
        EXPECT_EQ(demo_summary(target), complete);
        std::set<std::string> expected = empty_folder;
        expected.insert("office.db");
        EXPECT_EQ(files_in(dir.file("")), expected);
        fs::remove(target);
    }
}

TEST(CreateDatabaseTest, AFailedStepLeavesNoFileAndSaysWhy) {
    scratch_dir dir;
    const int total = steps_of_a_demo_build(dir.file("reference.db"));
    fs::remove(dir.file("reference.db"));
    const std::string target = dir.file("office.db");
    for (int at : {1, 2, total / 2, total}) {
        SCOPED_TRACE("failing step " + std::to_string(at));
        status st = create_demo_database(target, k_clock, [at](std::unique_ptr<transaction> t) {
            auto f = std::make_unique<faulty_transaction>(std::move(t));
            f->fail_at(at);
            return f;
        });
        ASSERT_FALSE(st.is_ok());
        EXPECT_NE(st.message().find(testkit::k_injected_fault), std::string::npos) << st.message();
        EXPECT_TRUE(files_in(dir.file("")).empty()) << "something was left behind";
    }
}

TEST(CreateDatabaseTest, RefusesAnExistingFileAndLeavesIt) {
    scratch_dir dir;
    const std::string target = dir.file("office.db");
    ASSERT_TRUE(create_database(target, k_clock).is_ok());
    const auto size = fs::file_size(target);
    status again = create_demo_database(target, k_clock);
    ASSERT_FALSE(again.is_ok());
    EXPECT_EQ(again.message(), "文件已经存在，不会覆盖它：" + target);
    EXPECT_EQ(fs::file_size(target), size);
}

// Clerks sharing a folder make their files group-writable with umask
// 0002; a new database must be too, as any other new file, and a private
// umask keeps it private.
TEST(CreateDatabaseTest, ANewDatabaseHasTheModeTheUmaskGives) {
    scratch_dir dir;
    const mode_t before = ::umask(0);
    for (const auto& [mask, mode] : {std::pair{mode_t(0002), 0664u}, std::pair{mode_t(0077), 0600u},
                                     std::pair{mode_t(0022), 0644u}}) {
        ::umask(mask);
        const std::string target = dir.file("office-" + std::to_string(mask) + ".db");
        ASSERT_TRUE(create_database(target, k_clock).is_ok());
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode) << "umask " << std::oct << mask;
    }
    ::umask(before);
}

}  // namespace
}  // namespace officerecords
