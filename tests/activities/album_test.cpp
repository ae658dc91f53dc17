// The photo album against a photo transaction that fails on purpose: each
// statement of a save and of a deletion fails in turn, and each time the
// photo store is exactly as before, the album says what failed, and the
// busy pointer is back.
#include <gtest/gtest.h>

#include "activities/commactivityrecord.h"
#include "activities/commactivityrecord_pic.h"
#include "foundation/register_page.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::faulty_transaction;
using testkit::k_injected_fault;
using testkit::recording_host;
using testkit::scratch_database;

// A BMP's first bytes and some pixels: enough to count as a picture.
blob picture(unsigned char fill) {
    blob b(64, fill);
    b[0] = 'B';
    b[1] = 'M';
    return b;
}

class AlbumTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list_register(page, "w_m_og_commactivityrecord", d_og_commactivityrecord(), s).is_ok());
        page.dw_1.setrow(1);  // activity 1 of the community: three photos
        host.files["new.bmp"] = picture(7);
    }
    std::string photos() {
        std::string out;
        auto rows = db.sqlca().open_cursor(
            "SELECT OrderNo, PhotoNo, PhotoFileName, PhotoNote, hex(Photo) FROM TS_CommActivePhoto "
            "ORDER BY OrderNo, PhotoNo");
        while (rows && rows->fetch()) {
            for (int i = 0; i < rows->column_count(); ++i) out += rows->column_value(i).to_text() + "|";
            out += "\n";
        }
        auto history = db.sqlca().select_value(
            "SELECT (SELECT count(*) FROM tc_og_changelog) + (SELECT count(*) FROM tc_og_changelog_item)");
        auto ok = db.sqlca().select_value("PRAGMA integrity_check");
        return out + (history ? history->to_text() : "?") + " history rows, " + (ok ? ok->to_text() : "?");
    }
    std::unique_ptr<w_m_og_commactivityrecord_pic> open_album() {
        auto album = std::make_unique<w_m_og_commactivityrecord_pic>(s);
        album->open_with("");
        host.messages.clear();
        return album;
    }

    scratch_database db{true};
    faulty_transaction faulty{*db.db.photosqlca};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, *db.db.sqlca, faulty, "420106001001", ".", &page};
};

struct step_case {
    const char* name;
    bool adding;
    // The message after a failure of each step, from the first.
    std::vector<std::string> messages;
};

// The statements of a save, then its history: the change, numbered by its
// own INSERT, and the one statement writing its columns, then the commit.
std::vector<std::string> with_history(std::vector<std::string> steps) {
    const std::string injected = k_injected_fault;
    const std::string history = "提示信息 | 照片数据保存失败！修改记录写入失败：" + injected;
    steps.insert(steps.end(), 2, history);
    steps.push_back("提示信息 | 照片数据保存失败！" + injected);
    return steps;
}

TEST_F(AlbumTest, EachFailedStepOfASaveLeavesTheStoreAsItWas) {
    const std::string injected = k_injected_fault;
    const step_case cases[] = {
        // The activity is still there; community, activity and number,
        // file name, note and picture.
        {"new photo", true,
         with_history(
             {"提示信息 | 照片数据保存失败！" + injected, "警告信息 | 新增照片不成功！" + injected,
              "提示信息 | 读取最大照片序号失败！", "警告信息 | 新增照片不成功！" + injected,
              "提示信息 | 照片文件名或照片说明保存失败！", "提示信息 | 照片数据保存失败！"})},
        // What was stored is read first, for the history; then file name,
        // note and picture each change.
        {"replaced picture", false,
         with_history({"提示信息 | 照片数据保存失败！" + injected,
                       "提示信息 | 照片数据保存失败！修改记录写入失败：" + injected,
                       "提示信息 | 照片文件名或照片说明保存失败！",
                       "提示信息 | 照片数据保存失败！"})},
    };
    for (const step_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = photos();
        for (std::size_t fail = 1; fail <= c.messages.size() + 1; ++fail) {
            SCOPED_TRACE("failing step " + std::to_string(fail));
            auto album = open_album();
            host.chosen = {"new.bmp"};
            c.adding ? album->cb_new_clicked() : album->cb_alter_clicked();
            album->sle_note.set_text("新的说明");
            faulty.fail_at(static_cast<int>(fail));
            album->cb_save_clicked();
            faulty.fail_at(0);
            EXPECT_EQ(host.busy, 0) << "the busy pointer stayed";
            EXPECT_FALSE(faulty.in_transaction());
            if (fail > c.messages.size()) {
                EXPECT_EQ(host.messages, std::vector<std::string>{"提示信息 | 照片数据保存成功！"});
                EXPECT_NE(photos(), before);
                break;
            }
            EXPECT_EQ(host.messages, std::vector<std::string>{c.messages[fail - 1]});
            EXPECT_EQ(photos(), before);
            EXPECT_TRUE(album->ib_notsaved) << "the chosen picture is still to be saved";
        }
    }
}

TEST_F(AlbumTest, EachFailedStepOfADeletionKeepsThePhoto) {
    const std::string before = photos();
    // Begin, the stored values for the history, the DELETE, the change and
    // its columns, the commit; the seventh run goes through.
    constexpr int k_steps = 7;
    for (int fail = 1; fail <= k_steps; ++fail) {
        SCOPED_TRACE("failing step " + std::to_string(fail));
        auto album = open_album();
        album->cb_next_clicked();
        host.answers = {true};
        faulty.fail_at(fail);
        album->cb_del_clicked();
        faulty.fail_at(0);
        EXPECT_FALSE(faulty.in_transaction());
        if (fail == k_steps) {
            EXPECT_EQ(host.messages.back(), "提示信息 | 照片删除成功！");
            EXPECT_EQ(album->st_total.text(), "2");
            break;
        }
        EXPECT_EQ(host.messages, std::vector<std::string>{"警告信息 | 照片删除失败！"});
        EXPECT_EQ(photos(), before);
        EXPECT_EQ(album->st_total.text(), "3");
        EXPECT_EQ(album->st_photono.text(), "2");
    }
}

// Delete on a new photo not saved yet removes nothing: it goes to the last
// photo, asking first whether to save the chosen picture.
TEST_F(AlbumTest, DeleteWhileAddingActsAsLast) {
    const std::string before = photos();
    auto album = open_album();
    host.chosen = {"new.bmp"};
    album->cb_new_clicked();
    ASSERT_EQ(album->il_photono, 4);
    host.unsaved = unsaved_choice::cancel;
    album->cb_del_clicked();
    EXPECT_EQ(album->il_photono, 4) << "取消 stays on the new photo";
    host.unsaved = unsaved_choice::discard;
    album->cb_del_clicked();
    EXPECT_EQ(host.messages, (std::vector<std::string>{"question 提示信息 | 当前记录已经修改，是否保存？",
                                                       "question 提示信息 | 当前记录已经修改，是否保存？"}));
    EXPECT_EQ(album->il_photono, 3);
    EXPECT_EQ(photos(), before);
    EXPECT_EQ(host.busy, 0);
}

// Nothing the clerk typed is dropped unasked: an edited note, or a new
// photo, left by a move or by closing the album asks the frame's question;
// 是 saves as the album's Save does, 取消 stays, 否 drops the edit.
TEST_F(AlbumTest, UnsavedWorkIsAskedAboutWhereverTheAlbumLeavesIt) {
    const std::string question = "question 提示信息 | 当前记录已经修改，是否保存？";
    auto album = open_album();
    ASSERT_TRUE(album->enter_text(album->sle_note, "改过的说明"));
    host.unsaved = unsaved_choice::cancel;
    album->cb_next_clicked();
    EXPECT_EQ(album->il_photono, 1);
    EXPECT_EQ(album->sle_note.text(), "改过的说明");
    EXPECT_EQ(album->wf_closequery(), 1) << "closing stays too";
    host.unsaved = unsaved_choice::save;
    album->cb_next_clicked();
    EXPECT_EQ(album->il_photono, 2);
    EXPECT_NE(photos().find("|改过的说明|"), std::string::npos) << photos();
    EXPECT_EQ(host.messages, (std::vector<std::string>{question, question, question, "提示信息 | 照片数据保存成功！"}));

    host.messages.clear();
    album->cb_prior_clicked();
    EXPECT_EQ(host.messages, std::vector<std::string>{}) << "what is saved is left without a question";
    host.chosen = {"new.bmp"};
    album->cb_new_clicked();
    ASSERT_TRUE(album->enter_text(album->sle_note, "新照片"));
    const std::string before = photos();
    host.unsaved = unsaved_choice::discard;
    EXPECT_EQ(album->wf_closequery(), 0);
    EXPECT_EQ(host.messages, std::vector<std::string>{question});
    EXPECT_EQ(photos(), before);
}

// An empty album shows no position.
TEST_F(AlbumTest, AnEmptyAlbumShowsNoPosition) {
    ASSERT_EQ(db.sqlca().execute("DELETE FROM TS_CommActivePhoto WHERE OrderNo = 1"), sql_code::ok);
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    auto album = open_album();
    EXPECT_EQ(album->st_total.text(), "0");
    EXPECT_EQ(album->st_photono.text(), "");
    host.chosen = {"new.bmp"};
    album->cb_new_clicked();
    EXPECT_EQ(album->st_photono.text(), "1") << "a new photo has its place";
}

// What the album shows while reading its photos leaves no busy pointer
// behind, whichever way the reading ends.
TEST_F(AlbumTest, ReadingAPhotoAlwaysGivesThePointerBack) {
    ASSERT_EQ(db.sqlca().execute("UPDATE TS_CommActivePhoto SET PhotoFileName = NULL WHERE PhotoNo = 1"),
              sql_code::ok);
    ASSERT_EQ(db.sqlca().execute("UPDATE TS_CommActivePhoto SET Photo = X'00' WHERE PhotoNo = 2"),
              sql_code::ok);
    ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    auto album = std::make_unique<w_m_og_commactivityrecord_pic>(s);
    album->open_with("");
    EXPECT_EQ(host.messages.back(), "警告信息 | 没有找到图片资料，可能上次没有保存成功！");
    EXPECT_EQ(host.busy, 0);
    album->cb_next_clicked();
    EXPECT_FALSE(album->p_1.visible());
    EXPECT_EQ(host.busy, 0);
    faulty.fail_at(3);  // the count, the name and note, then the picture itself
    album->cb_next_clicked();
    EXPECT_EQ(host.messages.back(), std::string("警告信息 | 读取照片不成功！") + k_injected_fault);
    EXPECT_EQ(host.busy, 0);
}

}  // namespace
}  // namespace officerecords
