// The member photo beside the member forms: what it writes, where, and
// what it shows, for every kind of stored photo row.
#include "committee/personinfo.h"

#include <gtest/gtest.h>

#include "committee/councilmemberinfo.h"
#include "foundation/register_page.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::faulty_transaction;
using testkit::k_injected_fault;
using testkit::recording_host;
using testkit::scratch_database;

constexpr const char* k_person = "P4201060010010001";  // member record 1, with a photo

class MemberPhotoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list_register(page, "w_m_og_councilmemberinfo", d_og_councilmemberinfo(), s).is_ok());
        page.dw_1.setrow(1);
    }
    void store_name(const value& name) {
        const value p[] = {name, value(k_person)};
        ASSERT_EQ(db.sqlca().execute("UPDATE TS_PersonPhoto SET PhotoFileName = ? WHERE PersonNo = ?", p),
                  sql_code::ok);
        ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    }
    // Opens the member's record; its photo is shown on load.
    std::string shown() {
        w_m_og_councilmemberinfo w(s);
        w.open_with(k_mode_modify);
        return w.dw_1.picture_file("p_photo");
    }

    scratch_database db{true};
    faulty_transaction photos{*db.db.photosqlca};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, *db.db.sqlca, photos, "420106001001", ".", &page};
};

TEST_F(MemberPhotoTest, AStoredNameNeverLeadsOutsideBmp) {
    struct {
        value stored;
        const char* shown;       // p_photo's file afterwards
        const char* written;     // the file written, "" for none
        const char* message;     // "" for none
    } cases[] = {
        {value("P1.bmp"), "bmp\\cap_model.bmp", "bmp\\cap_model.bmp", ""},
        {value("合影.JPG"), "bmp\\cap_model.JPG", "bmp\\cap_model.JPG", ""},
        {value("photo.jpeg"), "bmp\\cap_model.peg", "bmp\\cap_model.peg", ""},
        {value(), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value(""), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value("ab"), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value("x.j/g"), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value("x\\..\\a.\\.."), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value("x.p\ng"), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
        {value("照片.图片"), "bmp\\photo.jpg", "", "警告信息 | 检索照片出错！上次保存的图片名无法读取！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.to_text());
        store_name(c.stored);
        host.messages.clear();
        host.written.clear();
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(host.messages, *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        if (*c.written) {
            ASSERT_EQ(host.written.size(), 1u);
            EXPECT_EQ(host.written.begin()->first, c.written);
            EXPECT_FALSE(host.written.begin()->second.empty()) << "the stored bytes are written";
        } else {
            EXPECT_TRUE(host.written.empty());
        }
        EXPECT_EQ(host.busy, 0) << "the busy pointer stayed";
    }
}

TEST_F(MemberPhotoTest, AFailedReadOrWriteWarnsAndShowsTheDefault) {
    // The count, the name, then the picture: each read fails in turn.
    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE("failing read " + std::to_string(step));
        host.messages.clear();
        photos.fail_at(0);
        w_m_og_councilmemberinfo w(s);
        photos.fail_at(step);
        w.open_with(k_mode_modify);
        photos.fail_at(0);
        EXPECT_EQ(w.dw_1.picture_file("p_photo"), "bmp\\photo.jpg");
        if (step == 1) {
            EXPECT_TRUE(host.messages.empty()) << "no photo is not an error";
        } else if (step == 3) {
            EXPECT_EQ(host.messages,
                      std::vector<std::string>{std::string("警告信息 | 检索照片出错！错误信息为：") + k_injected_fault});
        }
        EXPECT_EQ(host.busy, 0);
    }
    host.messages.clear();
    host.writes_fail = true;
    EXPECT_EQ(shown(), "bmp\\photo.jpg");
    EXPECT_EQ(host.messages, std::vector<std::string>{"警告信息 | 检索照片出错！上次保存的图片无法读取！"});
    EXPECT_EQ(host.busy, 0);
}

}  // namespace
}  // namespace officerecords
