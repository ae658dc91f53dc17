// A folder of pictures into an activity's album: each file through the
// album's own checks, the refused ones named with the album's reason.
#include "import/photo_folder_import.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/import/sheet_fixture.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;
using testkit::dump;
using testkit::recording_host;
using testkit::scratch_database;

TEST(PhotoFolderImportTest, EachPictureIsAPhotoAndWhatTheAlbumRefusesIsListed) {
    scratch_database db{true};
    recording_host host;
    session s{host, host, db.sqlca(), *db.db.photosqlca, "420106001001", {}, nullptr};
    const fs::path folder = fs::path(db.dir.path()) / "照片";
    fs::create_directory(folder);
    const fs::path from = fs::path(OFFICERECORDS_SESSIONS) / "files";
    for (const char* name : {"photo_a.bmp", "photo_b.gif", "empty.bmp", "letter.jpg", "CAP_MODEL.1.jpg"})
        fs::copy_file(from / name, folder / name);
    testkit::write_bytes((folder / ".hidden.bmp").string(), "not looked at");
    fs::create_directory(folder / "子文件夹");
    // The album reads the files through the host, as it reads a chosen one.
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = testkit::file_bytes(entry.path().string());
        host.files[entry.path().string()] = blob(bytes.begin(), bytes.end());
    }
    const std::string photos = "SELECT COUNT(*) FROM TS_CommActivePhoto WHERE CommNo = '420106001001' AND OrderNo = 1";
    const std::string before = dump(db.sqlca(), photos);

    auto report = import_photo_folder(s, 1, folder.string());
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->added, (std::vector<std::string>{"photo_a.bmp", "photo_b.gif"}));
    // No picture at all, and a name the album keeps for itself.
    EXPECT_EQ(report->refused, (std::vector<std::pair<std::string, std::string>>{
                                   {"CAP_MODEL.1.jpg", "您不能使用该名称的图片！"},
                                   {"empty.bmp", "不是相册能保存的图片（BMP、GIF或JPG）"},
                                   {"letter.jpg", "不是相册能保存的图片（BMP、GIF或JPG）"}}));
    EXPECT_EQ(std::stoi(dump(db.sqlca(), photos)), std::stoi(before) + 2);
    EXPECT_EQ(dump(db.sqlca(),
                   "SELECT PhotoFileName FROM TS_CommActivePhoto WHERE CommNo = '420106001001' AND OrderNo = 1 "
                   "ORDER BY PhotoNo DESC LIMIT 2"),
              "photo_b.gif\nphoto_a.bmp\n");

    auto missing = import_photo_folder(s, 9999, folder.string());
    ASSERT_FALSE(missing.is_ok());
    EXPECT_EQ(missing.message(), "本社区没有序号为 9999 的活动记录");
}

}  // namespace
}  // namespace officerecords
