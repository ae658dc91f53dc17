// Writing a file is checked to its end: a write the disk does not take
// fails, and leaves neither a half file nor its temporary beside it.
#include "platform/file_access.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

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
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));
    EXPECT_EQ(write_file(dir.file("no/such/folder/x.jpg"), blob(1, 'c')), -1);
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
