// Where a name the windows give resolves: the user's cache for what is
// written for display, the install's data folder, the build tree beside
// the program and the working folder for what is read; the user's
// folders from the XDG variables.
#include "storage/file_places.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "storage/file_access.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::scratch_dir;

const file_places k_places{
    {"/usr/share/officerecords", "/usr/bin"}, "/home/li/.cache/OfficeRecords", "/srv/office"};

struct resolution_case {
    const char* label;
    const char* name;
    file_use use;
    std::set<std::string> existing;
    const char* expected;
};

void PrintTo(const resolution_case& c, std::ostream* os) { *os << c.label; }

class ResolvePathTest : public ::testing::TestWithParam<resolution_case> {};

TEST_P(ResolvePathTest, TakesTheFirstPlaceThatHasTheFile) {
    const resolution_case& c = GetParam();
    const std::string got = resolve_path(c.name, c.use, k_places, [&](const std::string& path) {
        return c.existing.count(path) > 0;
    });
    EXPECT_EQ(got, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ResolvePathTest,
    ::testing::Values(
        // The window's picture from the install, whichever other copies exist.
        resolution_case{"InstallFirst",
                        "bmp\\cb_save.bmp",
                        file_use::read,
                        {"/usr/share/officerecords/bmp/cb_save.bmp", "/usr/bin/bmp/cb_save.bmp",
                         "/srv/office/bmp/cb_save.bmp"},
                        "/usr/share/officerecords/bmp/cb_save.bmp"},
        // A build tree: bmp/ beside the program.
        resolution_case{"BuildTreeBesideTheProgram",
                        "bmp\\cb_save.bmp",
                        file_use::read,
                        {"/usr/bin/bmp/cb_save.bmp", "/srv/office/bmp/cb_save.bmp"},
                        "/usr/bin/bmp/cb_save.bmp"},
        resolution_case{"WorkingFolderLast",
                        "bmp\\cb_save.bmp",
                        file_use::read,
                        {"/srv/office/bmp/cb_save.bmp"},
                        "/srv/office/bmp/cb_save.bmp"},
        // Missing everywhere: named in the working folder, as before.
        resolution_case{"MissingNamedInTheWorkingFolder",
                        "bmp\\cb_gone.bmp",
                        file_use::read,
                        {},
                        "/srv/office/bmp/cb_gone.bmp"},
        // The photo written for display is read back from the cache, before
        // any file of that name elsewhere.
        resolution_case{
            "DisplayFileReadFromTheCache",
            "bmp\\cap_model.jpg",
            file_use::read,
            {"/home/li/.cache/OfficeRecords/bmp/cap_model.jpg", "/srv/office/bmp/cap_model.jpg"},
            "/home/li/.cache/OfficeRecords/bmp/cap_model.jpg"},
        resolution_case{"HelpPage",
                        "help/keys.md",
                        file_use::read,
                        {"/usr/share/officerecords/help/keys.md"},
                        "/usr/share/officerecords/help/keys.md"},
        resolution_case{"AbsoluteAsItStands",
                        "/home/li/照片/合影.jpg",
                        file_use::read,
                        {},
                        "/home/li/照片/合影.jpg"},
        // Written for display: always the cache, whether or not it is there yet.
        resolution_case{"DisplayAlwaysInTheCache",
                        "bmp\\cap_model.jpg",
                        file_use::display,
                        {"/srv/office/bmp/cap_model.jpg"},
                        "/home/li/.cache/OfficeRecords/bmp/cap_model.jpg"},
        resolution_case{"DisplayBareName",
                        "cap_model.png",
                        file_use::display,
                        {},
                        "/home/li/.cache/OfficeRecords/cap_model.png"},
        // Nothing for display lands outside the cache.
        resolution_case{
            "DisplayNeverAboveTheCache", "bmp\\..\\..\\.bashrc", file_use::display, {}, ""},
        resolution_case{
            "DisplayNeverAbsolute", "/usr/bin/bmp/cap_model.jpg", file_use::display, {}, ""},
        resolution_case{"DisplayEmptyName", "", file_use::display, {}, ""},
        resolution_case{"ReadEmptyName", "", file_use::read, {}, ""}),
    [](const ::testing::TestParamInfo<resolution_case>& info) {
        return std::string(info.param.label);
    });

TEST(FilePlacesTest, TheProgramsOwnFilesComeFromTheInstallThenBesideTheProgram) {
    EXPECT_EQ(data_folders_of("/usr/bin"),
              (std::vector<std::string>{"/usr/share/officerecords", "/usr/bin"}));
    EXPECT_EQ(data_folders_of("/opt/or/build/bin"),
              (std::vector<std::string>{"/opt/or/build/share/officerecords", "/opt/or/build/bin"}));
}

// Sets an environment variable for one test and puts it back after.
class scoped_env {
public:
    scoped_env(const char* name, const char* value) : name_(name) {
        if (const char* was = std::getenv(name)) was_ = was;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~scoped_env() {
        if (was_)
            ::setenv(name_, was_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> was_;
};

TEST(FilePlacesTest, TheUsersFoldersFollowTheXdgVariablesWhenTheyAreAbsolute) {
    scoped_env home("HOME", "/home/li");
    {
        scoped_env data("XDG_DATA_HOME", "/data/li");
        scoped_env config("XDG_CONFIG_HOME", "/conf/li");
        scoped_env cache("XDG_CACHE_HOME", "/cache/li");
        EXPECT_EQ(user_folder_path(user_folder::data), "/data/li/OfficeRecords");
        EXPECT_EQ(user_folder_path(user_folder::config), "/conf/li/OfficeRecords");
        EXPECT_EQ(user_folder_path(user_folder::cache), "/cache/li/OfficeRecords");
    }
    // Unset, empty or relative: the defaults under HOME.
    scoped_env data("XDG_DATA_HOME", nullptr);
    scoped_env config("XDG_CONFIG_HOME", "");
    scoped_env cache("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(user_folder_path(user_folder::data), "/home/li/.local/share/OfficeRecords");
    EXPECT_EQ(user_folder_path(user_folder::config), "/home/li/.config/OfficeRecords");
    EXPECT_EQ(user_folder_path(user_folder::cache), "/home/li/.cache/OfficeRecords");
}

TEST(FilePlacesTest, ThisProcessReadsTheCacheFromTheEnvironmentAndItsOwnFolder) {
    scratch_dir dir;
    scoped_env cache("XDG_CACHE_HOME", dir.path().c_str());
    const file_places here = this_process_places();
    EXPECT_EQ(here.cache_folder, dir.file("OfficeRecords"));
    EXPECT_EQ(here.working_folder, fs::current_path().string());
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(here.data_folders, data_folders_of(program.string()));
}

std::set<std::string> files_under(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        out.insert(fs::relative(e.path(), folder).string());
    return out;
}

TEST(FilePlacesTest, ADisplayFileIsWrittenWholeIntoPrivateFoldersOfTheCache) {
    scratch_dir dir;
    const file_places places{{}, dir.file("cache/OfficeRecords"), dir.file("work")};
    ASSERT_EQ(write_display_file("bmp\\cap_model.jpg", blob{1, 2, 3}, places), 1);
    blob back;
    ASSERT_EQ(read_file(dir.file("cache/OfficeRecords/bmp/cap_model.jpg"), back), 1);
    EXPECT_EQ(back, (blob{1, 2, 3}));
    // The next person's photo replaces it.
    ASSERT_EQ(write_display_file("bmp\\cap_model.jpg", blob{9}, places), 1);
    ASSERT_EQ(read_file(dir.file("cache/OfficeRecords/bmp/cap_model.jpg"), back), 1);
    EXPECT_EQ(back, blob{9});
    EXPECT_EQ(files_under(dir.path()),
              (std::set<std::string>{"cache", "cache/OfficeRecords", "cache/OfficeRecords/bmp",
                                     "cache/OfficeRecords/bmp/cap_model.jpg"}))
        << "no temporary left, nothing in the working folder";
    for (const char* made : {"cache", "cache/OfficeRecords", "cache/OfficeRecords/bmp"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.file(made).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
}

TEST(FilePlacesTest, ADisplayFileThatCannotBeWrittenIsMinusOne) {
    scratch_dir dir;
    // A file stands where the cache's folder would be made.
    { std::ofstream(dir.file("cache")) << "x"; }
    const file_places places{{}, dir.file("cache/OfficeRecords"), dir.path()};
    EXPECT_EQ(write_display_file("bmp\\cap_model.jpg", blob{1}, places), -1);
    const file_places fine{{}, dir.file("ok"), dir.path()};
    EXPECT_EQ(write_display_file("bmp\\..\\..\\cap_model.jpg", blob{1}, fine), -1);
    EXPECT_FALSE(fs::exists(dir.file("cap_model.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("ok")));
}

}  // namespace
}  // namespace officerecords
