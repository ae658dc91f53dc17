// Writing a file is checked to its end: a write the disk does not take
// fails, and leaves neither a half file nor its temporary beside it.
#include "platform/file_access.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
