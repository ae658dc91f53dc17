// Writing a file is checked to its end: a write the disk does not take
// fails, and leaves neither a half file nor its temporary beside it.
#include "storage/file_access.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "storage/database.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::scratch_dir;

TEST(FileAccessTest, AWriteTheDiskRefusesFailsAndLeavesNothing) {
    scratch_dir dir;
    const std::string target = dir.file("cap_model.jpg");
    ASSERT_EQ(write_file(target, blob(3, 'a')), 1);
    // The child may write at most 1000 bytes per file: the disk is "full".
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(write_file(target, blob(5000, 'b')) == -1 ? 0 : 1);
    }
    int st = 0;
    ASSERT_EQ(waitpid(child, &st, 0), child);
    EXPECT_EQ(WEXITSTATUS(st), 0) << "the short write was reported as success";
    blob kept;
    ASSERT_EQ(read_file(target, kept), 1);
    EXPECT_EQ(kept, blob(3, 'a')) << "the old picture stays whole";
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("")))
        names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"cap_model.jpg"}) << "no temporary is left behind";
    EXPECT_EQ(write_file(dir.file("no/such/folder/x.jpg"), blob(1, 'c')), -1);
}

// What the photo store takes from a file: whole, a picture, not too large.
TEST(FileAccessTest, APhotoFileIsReadOnlyWhenItIsAPictureOfAFairSize) {
    scratch_dir dir;
    auto make = [&](const std::string& name, blob bytes) {
        EXPECT_EQ(write_file(dir.file(name), bytes), 1);
        return dir.file(name);
    };
    auto with = [](std::initializer_list<unsigned char> head, std::size_t size) {
        blob b(size, 0x55);
        std::copy(head.begin(), head.end(), b.begin());
        return b;
    };
    struct {
        std::string path;
        int result;
    } cases[] = {
        {make("a.bmp", with({'B', 'M'}, 100)), 1},
        {make("a.gif", with({'G', 'I', 'F', '8', '9', 'a'}, 50)), 1},
        {make("a.jpg", with({0xFF, 0xD8, 0xFF, 0xE0}, 50)), 1},
        {make("a.png", with({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 50)), 1},
        {make("letter.jpg", blob{'D', 'e', 'a', 'r', ' ', 'c', 'o', 'm', 'm', 'i', 't', 't', 'e', 'e'}), -1},
        {make("empty.bmp", blob{}), -1},
        {make("short.bmp", blob{'B', 'M'}), -1},
        {dir.file("missing.bmp"), -1},
        {dir.file(""), -1},  // a folder
    };
    for (const auto& c : cases) {
        blob bytes{1, 2, 3};
        EXPECT_EQ(read_photo_file(c.path, bytes), c.result) << c.path;
        if (c.result == -1) {
            EXPECT_EQ(bytes, (blob{1, 2, 3})) << "nothing is stored on a refusal";
        }
    }
    // Just over the limit, without writing 20 MB: a sparse file.
    const std::string big = make("big.bmp", with({'B', 'M'}, 64));
    std::filesystem::resize_file(big, k_max_photo_bytes + 1);
    blob bytes;
    EXPECT_EQ(read_photo_file(big, bytes), -1);
    std::filesystem::resize_file(big, k_max_photo_bytes);
    EXPECT_EQ(read_photo_file(big, bytes), 1);
    EXPECT_EQ(bytes.size(), k_max_photo_bytes);
}

// A process that has ended, its number not yet given to another.
long a_finished_process() {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// The temporaries a run leaves beside a database and a backup: those of a
// process that is gone go with their companions; those of a live process,
// of another host, and every file not named as ours stay.
TEST(FileAccessTest, OnlyTheTemporariesOfAFinishedProcessOfThisHostAreRemoved) {
    scratch_dir dir;
    const temporary_owner here = this_process();
    const long gone = a_finished_process();
    // Alive for the whole test: it waits for its pipe to close.
    int hold[2];
    ASSERT_EQ(pipe(hold), 0);
    std::fflush(nullptr);
    const pid_t alive = fork();
    if (alive == 0) {
        close(hold[1]);
        char c;
        _exit(read(hold[0], &c, 1) == 0 ? 0 : 1);
    }
    close(hold[0]);
    auto named = [&](const char* target, temporary_kind kind, std::string host, long pid) {
        return std::filesystem::path(temporary_name(dir.file(target), kind, {std::move(host), pid}))
            .filename()
            .string();
    };
    const std::string dead_backup = named("office-2026-12-09.db", temporary_kind::backup, here.host, gone);
    const std::string dead_keep = named("office.db", temporary_kind::keep, here.host, gone);
    struct {
        std::string name;
        bool removed;
    } cases[] = {
        {dead_backup, true},
        {dead_backup + "-journal", true},
        {dead_keep, true},
        {dead_keep + "-wal", true},
        {dead_keep + "-shm", true},
        {named("cap_model.jpg", temporary_kind::part, here.host, gone), true},
        {named("office.db", temporary_kind::init, here.host, gone), true},
        {named("office.db", temporary_kind::keep, here.host, alive), false},
        {named("office.db", temporary_kind::backup, here.host, here.pid), false},
        {named("office.db", temporary_kind::keep, "another-pc", gone), false},
        {named("office.db", temporary_kind::keep, here.host + "-2", gone), false},
        {"office.db", false},
        {"office.db-wal", false},
        {"office.db.before-restore-2026-12-09-08.30.00", false},
        {".office.db.part-" + std::to_string(gone) + "-0", false},
        {".office.db.orkeep-" + here.host + "-" + std::to_string(gone), false},
        {"notes.orkeep-" + here.host + "-" + std::to_string(gone) + "-0", false},
    };
    // Made as a killed run leaves them (write_file would clean up first).
    for (const auto& c : cases) ASSERT_TRUE(std::ofstream(dir.file(c.name)) << "x") << c.name;
    EXPECT_EQ(remove_stale_temporaries(dir.file("")), 7);
    for (const auto& c : cases)
        EXPECT_EQ(std::filesystem::exists(dir.file(c.name)), !c.removed) << c.name;
    close(hold[1]);
    int st = 0;
    ASSERT_EQ(waitpid(alive, &st, 0), alive);
    EXPECT_EQ(WEXITSTATUS(st), 0);
}

TEST(FileAccessTest, ATemporaryNamesItsTargetHostAndProcess) {
    const temporary_owner owner{"pc-12", 4321};
    const std::string first = temporary_name("/data/备份/office-2026-12-09.db", temporary_kind::backup, owner);
    EXPECT_TRUE(first.starts_with("/data/备份/.office-2026-12-09.db.orbackup-pc-12-4321-")) << first;
    EXPECT_NE(temporary_name("/data/备份/office-2026-12-09.db", temporary_kind::backup, owner), first)
        << "never the same name twice in one process";
    EXPECT_TRUE(temporary_name("office.db", temporary_kind::init).starts_with("./.office.db.orinit-"));
    EXPECT_EQ(this_process().pid, static_cast<long>(getpid()));
}

TEST(FileAccessTest, BackslashPathsAreReadAndWritten) {
    scratch_dir dir;
    std::filesystem::create_directories(dir.file("bmp"));
    const std::string windows_style = dir.file("") + "bmp\\photo.jpg";
    ASSERT_EQ(write_file(windows_style, blob{1, 2, 3}), 1);
    blob back;
    ASSERT_EQ(read_file(dir.file("bmp/photo.jpg"), back), 1);
    EXPECT_EQ(back, (blob{1, 2, 3}));
}

}  // namespace
}  // namespace officerecords

namespace officerecords {
namespace {

// Where a finished file may go: the one rule every writer of the program
// asks, the desktop's question included.
TEST(FileAccessTest, ANameIsTakenFreelyAfterTheClerksYesOrNever) {
    scratch_dir dir;
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_database(db, testkit::fixed_clock("2026-12-08")).is_ok());
    const std::string closed_db = dir.file("other.db");
    ASSERT_TRUE(create_database(closed_db, testkit::fixed_clock("2026-12-08")).is_ok());
    { std::ofstream(dir.file("old.csv")) << "x"; }
    std::filesystem::create_directory(dir.file("folder"));
    const testkit::fixed_clock clock("2026-12-08");
    auto opened = open_database(db, clock);
    ASSERT_TRUE(opened.is_ok()) << opened.message();
    struct {
        std::string target;
        std::string database;
        target_state state;
        std::string text;
    } cases[] = {
        {dir.file("new.csv"), "", target_state::free, ""},
        {dir.file("old.csv"), "", target_state::replaceable, "文件“" + dir.file("old.csv") + "”已经存在，是否替换？"},
        {dir.file("folder"), "", target_state::refused, "这是一个文件夹，不能作为备份文件：" + dir.file("folder")},
        {db, "", target_state::refused, "备份文件不能是正在使用的数据库本身：" + db},
        {dir.file("./office.db"), "", target_state::refused, "备份文件不能是正在使用的数据库本身：" + dir.file("./office.db")},
        {closed_db, closed_db, target_state::refused, "备份文件不能是正在使用的数据库本身：" + closed_db},
        {closed_db, "", target_state::replaceable, "文件“" + closed_db + "”已经存在，是否替换？"},
    };
    for (const auto& c : cases) {
        const publish_target at = check_target(c.target, "备份文件", c.database);
        EXPECT_EQ(at.state, c.state) << c.target;
        EXPECT_EQ(at.text, c.text) << c.target;
    }
}

}  // namespace
}  // namespace officerecords
