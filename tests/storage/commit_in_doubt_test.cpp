// The connection breaks while the server has a save's COMMIT: cut before the
// server has it, cut after it committed (its answer lost), cut on the
// clerk's side only (the server still holding the transaction), and each
// with the server out of reach for a while. The clerk is told what really
// happened, a record is never stored twice nor a change refused as another
// workstation's, and the history has one entry for each change written.
// The cuts are made by a proxy in front of the test server (OFFICERECORDS_PG_URI).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "activities/commactivityrecord.h"
#include "activities/commactivityrecord_pic.h"
#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "foundation/w_modify.h"
#include "storage/database.h"
#include "tests/cutting_proxy.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using testkit::commit_cut;
using testkit::cutting_proxy;
using testkit::recording_host;

constexpr const char* k_commno = "420106001001";
constexpr const char* k_failed = "警告信息 | 数据保存失败！与数据库服务器的连接中断了";
constexpr const char* k_in_doubt = "警告信息 | 保存时与数据库服务器的连接中断了，还不知道这次保存是否已经写入数据库。";
constexpr const char* k_found_saved =
    "提示信息 | 上次保存时与数据库服务器的连接中断了；现已查明，那次保存已经写入数据库。";

class pg_commit_in_doubt_test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
        server_ = std::make_unique<testkit::server_database>();
        ASSERT_TRUE(create_demo_database(server_->target(), clock_).is_ok());
        proxy_ = std::make_unique<cutting_proxy>(server_->target());
        auto opened = open_database(proxy_->via(server_->target()), clock_);
        ASSERT_TRUE(opened.is_ok()) << opened.message();
        db_ = opened.take();
        auto direct = open_connection(server_->target(), clock_);
        ASSERT_TRUE(direct.is_ok()) << direct.message();
        direct_ = direct.take();
        s_ = std::make_unique<session>(
            session{host_, host_, *db_.sqlca, *db_.photosqlca, k_commno, {}, &page_});
        list(1);
    }

    void list(long row) {
        ASSERT_TRUE(list_register(page_, "w_m_og_assetregister", d_og_assetregister(), *s_).is_ok());
        page_.dw_1.setrow(row);
    }

    // Read on a connection of its own, past the proxy.
    long records_named(const std::string& name) {
        const value v(name);
        auto n = direct_->select_value("SELECT count(*) FROM tc_og_assetregister WHERE goodsname = ?", {&v, 1});
        return n ? static_cast<long>(n->integer()) : -1;
    }
    std::int64_t number_of(const std::string& name) {
        const value v(name);
        auto n = direct_->select_value("SELECT orderno FROM tc_og_assetregister WHERE goodsname = ?", {&v, 1});
        return n && n->is_integer() ? n->integer() : -1;
    }
    // The history entries that gave a record this name, oldest first.
    std::string history_of(const std::string& name) {
        const value v(name);
        auto rows = direct_->open_cursor(
            "SELECT c.changekind FROM tc_og_changelog c JOIN tc_og_changelog_item i ON i.logno = c.logno "
            "WHERE i.columnname = 'goodsname' AND i.newvalue = ? ORDER BY c.logno",
            {&v, 1});
        std::string kinds;
        while (rows && rows->fetch()) kinds += std::string(rows->column_text(0)) + ";";
        return kinds;
    }
    long history_count() {
        auto n = direct_->select_value("SELECT count(*) FROM tc_og_changelog");
        return n ? static_cast<long>(n->integer()) : -1;
    }
    std::string listed_name() {
        return page_.dw_1.getitem(page_.dw_1.getrow(), "goodsname").to_text();
    }

    // A window with one edit: a new record, or a change of the list's first.
    std::unique_ptr<w_m_og_assetregister> edited(bool add, const std::string& name) {
        auto w = std::make_unique<w_m_og_assetregister>(*s_);
        w->open_with(add ? k_mode_add : k_mode_modify);
        (void)w->dw_1.setitem(1, "goodsname", value(name));
        return w;
    }

    // The window is as after a save that went through: its record
    // numbered as stored, nothing left to save, the list showing it.
    void expect_saved(w_m_og_assetregister& w, const std::string& name) {
        EXPECT_FALSE(w.save_in_doubt());
        EXPECT_FALSE(w.has_unsaved_changes());
        EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::not_modified);
        EXPECT_EQ(w.dw_1.getitem(1, "orderno").to_text(), std::to_string(number_of(name)));
        EXPECT_EQ(listed_name(), name);
        EXPECT_EQ(page_.dw_1.getitem(page_.dw_1.getrow(), "orderno").to_text(),
                  std::to_string(number_of(name)));
    }

    // Save pressed once more with nothing changed writes nothing.
    void expect_nothing_more_written(w_m_og_assetregister& w, const std::string& name) {
        const long history = history_count();
        host_.messages.clear();
        w.cb_save_clicked();
        EXPECT_THAT(host_.messages, IsEmpty());
        EXPECT_EQ(records_named(name), 1);
        EXPECT_EQ(history_count(), history);
    }

    // A later edit of the same window saves as any other.
    void expect_later_edit_saved(w_m_og_assetregister& w, const std::string& name) {
        host_.messages.clear();
        const std::string renamed = name + "（改）";
        (void)w.dw_1.setitem(1, "goodsname", value(renamed));
        w.cb_save_clicked();
        EXPECT_THAT(host_.messages, IsEmpty());
        EXPECT_EQ(records_named(name), 0);
        EXPECT_EQ(records_named(renamed), 1);
        EXPECT_EQ(history_of(renamed), "修改;");
        expect_saved(w, renamed);
    }

    testkit::fixed_clock clock_{*date::parse("2026-12-08")};
    std::unique_ptr<testkit::server_database> server_;
    std::unique_ptr<cutting_proxy> proxy_;
    database db_;
    std::unique_ptr<transaction> direct_;
    recording_host host_;
    uo_tabpg_datawindow page_;
    std::unique_ptr<session> s_;
};

// Each case for a new record and for a change of a saved one.
struct edit_case {
    bool add;
    const char* name;
    const char* history;
};
constexpr edit_case k_edits[] = {{true, "二号碎纸机", "新增;"}, {false, "旧电脑", "修改;"}};

TEST_F(pg_commit_in_doubt_test, ACommitCutBeforeTheServerHasItIsAFailureAndSavingAgainWritesItOnce) {
    for (const edit_case& c : k_edits) {
        SCOPED_TRACE(c.name);
        list(1);
        const long listed = page_.dw_1.rowcount();
        auto w = edited(c.add, c.name);
        host_.messages.clear();
        proxy_->cut_next_commit(commit_cut::before);
        w->cb_save_clicked();
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_THAT(host_.messages[0], StartsWith(k_failed));
        EXPECT_THAT(host_.messages[0], HasSubstr("没有写入任何数据"));
        EXPECT_FALSE(w->save_in_doubt());
        EXPECT_EQ(records_named(c.name), 0);
        EXPECT_EQ(w->dw_1.getitemstatus(1, 0), c.add ? row_status::new_modified : row_status::data_modified);

        host_.messages.clear();
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, IsEmpty());
        EXPECT_EQ(records_named(c.name), 1);
        EXPECT_EQ(history_of(c.name), c.history);
        EXPECT_EQ(page_.dw_1.rowcount(), listed + (c.add ? 1 : 0));
        expect_saved(*w, c.name);
    }
    EXPECT_EQ(proxy_->cuts(), 2);
}

TEST_F(pg_commit_in_doubt_test, ACommitWhoseAnswerIsLostIsASaveNeitherDuplicatedNorRefusedAfterwards) {
    for (const edit_case& c : k_edits) {
        SCOPED_TRACE(c.name);
        list(1);
        const long listed = page_.dw_1.rowcount();
        auto w = edited(c.add, c.name);
        host_.messages.clear();
        proxy_->cut_next_commit(commit_cut::after);
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, IsEmpty());
        EXPECT_EQ(records_named(c.name), 1);
        EXPECT_EQ(history_of(c.name), c.history);
        EXPECT_EQ(page_.dw_1.rowcount(), listed + (c.add ? 1 : 0));
        expect_saved(*w, c.name);
        expect_nothing_more_written(*w, c.name);
        expect_later_edit_saved(*w, c.name);
    }
    EXPECT_EQ(proxy_->cuts(), 2);
}

// While the server is out of reach nothing is written, by Save or by the
// save without checks; once it is back, Save finds the save written.
TEST_F(pg_commit_in_doubt_test, ASaveInDoubtWhileTheServerIsOutOfReachIsFoundWrittenOnceItIsBack) {
    for (const edit_case& c : k_edits) {
        SCOPED_TRACE(c.name);
        list(1);
        const long listed = page_.dw_1.rowcount();
        auto w = edited(c.add, c.name);
        host_.messages.clear();
        proxy_->cut_next_commit(commit_cut::after);
        proxy_->refuse(true);
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt)));
        EXPECT_TRUE(w->save_in_doubt());
        EXPECT_TRUE(w->has_unsaved_changes());
        const std::string numbered = w->dw_1.getitem(1, "orderno").to_text();
        EXPECT_EQ(numbered, std::to_string(number_of(c.name)));
        for (bool checked : {true, false}) {
            host_.messages.clear();
            checked ? w->cb_save_clicked() : w->cb_tempsave_clicked();
            EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt)));
            EXPECT_TRUE(w->save_in_doubt());
            EXPECT_EQ(records_named(c.name), 1);
            EXPECT_EQ(history_of(c.name), c.history);
        }
        EXPECT_GT(proxy_->refused(), 0);

        proxy_->refuse(false);
        host_.messages.clear();
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(k_found_saved));
        EXPECT_EQ(w->dw_1.getitem(1, "orderno").to_text(), numbered);
        EXPECT_EQ(records_named(c.name), 1);
        EXPECT_EQ(history_of(c.name), c.history);
        EXPECT_EQ(page_.dw_1.rowcount(), listed + (c.add ? 1 : 0));
        expect_saved(*w, c.name);
        expect_nothing_more_written(*w, c.name);
        expect_later_edit_saved(*w, c.name);
    }
}

TEST_F(pg_commit_in_doubt_test, ASaveInDoubtThatWasNotWrittenIsWrittenOnceTheServerIsBack) {
    for (const edit_case& c : k_edits) {
        SCOPED_TRACE(c.name);
        list(1);
        const long listed = page_.dw_1.rowcount();
        auto w = edited(c.add, c.name);
        host_.messages.clear();
        proxy_->cut_next_commit(commit_cut::before);
        proxy_->refuse(true);
        w->cb_save_clicked();
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt), StartsWith(k_in_doubt)));
        EXPECT_EQ(records_named(c.name), 0);

        proxy_->refuse(false);
        host_.messages.clear();
        w->cb_save_clicked();
        EXPECT_THAT(host_.messages, IsEmpty());
        EXPECT_EQ(records_named(c.name), 1);
        EXPECT_EQ(history_of(c.name), c.history);
        EXPECT_EQ(page_.dw_1.rowcount(), listed + (c.add ? 1 : 0));
        expect_saved(*w, c.name);
        expect_nothing_more_written(*w, c.name);
    }
}

// What the clerk changed while the save was in doubt is not taken for
// saved with it: it is written by the Save that finds the first one saved.
TEST_F(pg_commit_in_doubt_test, AnEditMadeWhileASaveWasInDoubtIsSavedAfterIt) {
    auto w = edited(true, "电风扇");
    proxy_->cut_next_commit(commit_cut::after);
    proxy_->refuse(true);
    w->cb_save_clicked();
    ASSERT_TRUE(w->save_in_doubt());
    (void)w->dw_1.setitem(1, "note", value("放在会议室"));

    proxy_->refuse(false);
    host_.messages.clear();
    w->cb_save_clicked();
    EXPECT_THAT(host_.messages, ::testing::ElementsAre(k_found_saved));
    EXPECT_EQ(records_named("电风扇"), 1);
    const value key(number_of("电风扇"));
    auto note = direct_->select_value("SELECT note FROM tc_og_assetregister WHERE orderno = ?", {&key, 1});
    ASSERT_TRUE(note.has_value());
    EXPECT_EQ(*note, value("放在会议室"));
    EXPECT_EQ(history_of("电风扇"), "新增;");
    EXPECT_FALSE(w->has_unsaved_changes());
}

// A doubt settled by another write before its window asked is still told
// to that window as it was, not as another commit's outcome.
TEST_F(pg_commit_in_doubt_test, ADoubtSettledByAnotherWriteIsToldToItsOwnWindow) {
    auto w = edited(true, "录音笔");
    proxy_->cut_next_commit(commit_cut::before);
    proxy_->refuse(true);
    w->cb_save_clicked();
    ASSERT_TRUE(w->save_in_doubt());

    proxy_->refuse(false);
    auto other = edited(false, "另一台电脑");
    host_.messages.clear();
    other->cb_save_clicked();
    EXPECT_THAT(host_.messages, IsEmpty());
    EXPECT_EQ(records_named("另一台电脑"), 1);

    w->cb_save_clicked();
    EXPECT_THAT(host_.messages, IsEmpty());
    EXPECT_EQ(records_named("录音笔"), 1);
    EXPECT_EQ(history_of("录音笔"), "新增;");
}

TEST_F(pg_commit_in_doubt_test, TheTransactionFindsOutAtOnceOrKeepsTheDoubt) {
    transaction& t = *db_.photosqlca;
    auto write = [&](const std::string& note) {
        const std::vector<value> v{value(note)};
        return t.execute("UPDATE tc_og_assetregister SET note = ? WHERE orderno = 1", v);
    };
    auto note = [&] {
        auto n = direct_->select_value("SELECT note FROM tc_og_assetregister WHERE orderno = 1");
        return n ? n->to_text() : std::string("<none>");
    };

    ASSERT_EQ(write("甲"), sql_code::ok);
    proxy_->cut_next_commit(commit_cut::after);
    EXPECT_EQ(t.commit(), sql_code::ok) << t.sqlerrtext();
    EXPECT_FALSE(t.commit_in_doubt());
    EXPECT_EQ(note(), "甲");

    ASSERT_EQ(write("乙"), sql_code::ok);
    proxy_->cut_next_commit(commit_cut::before);
    EXPECT_EQ(t.commit(), sql_code::error);
    EXPECT_FALSE(t.commit_in_doubt());
    EXPECT_THAT(t.sqlerrtext(), HasSubstr("没有写入任何数据"));
    EXPECT_EQ(note(), "甲");

    ASSERT_EQ(write("丙"), sql_code::ok);
    proxy_->cut_next_commit(commit_cut::after);
    proxy_->refuse(true);
    EXPECT_EQ(t.commit(), sql_code::error);
    ASSERT_TRUE(t.commit_in_doubt());
    const std::uint64_t number = t.doubt_number();
    EXPECT_NE(number, 0u);
    EXPECT_EQ(t.resolve_commit(number), commit_outcome::unknown);
    EXPECT_TRUE(t.commit_in_doubt());
    proxy_->refuse(false);
    EXPECT_EQ(t.resolve_commit(number), commit_outcome::committed);
    EXPECT_FALSE(t.commit_in_doubt());
    EXPECT_EQ(note(), "丙");

    ASSERT_EQ(write("丁"), sql_code::ok);
    proxy_->cut_next_commit(commit_cut::before);
    proxy_->refuse(true);
    EXPECT_EQ(t.commit(), sql_code::error);
    ASSERT_TRUE(t.commit_in_doubt());
    const std::uint64_t second = t.doubt_number();
    EXPECT_NE(second, number);
    proxy_->refuse(false);
    EXPECT_EQ(t.resolve_commit(second), commit_outcome::rolled_back);
    EXPECT_EQ(note(), "丙");
    EXPECT_EQ(proxy_->cuts(), 4);
}

TEST_F(pg_commit_in_doubt_test, ADeletionInDoubtIsFoundOutBeforeTheNextOne) {
    page_.dw_1.setrow(2);
    const value key = page_.dw_1.getitem(2, "orderno");
    const std::string name = page_.dw_1.getitem(2, "goodsname").to_text();
    const long listed = page_.dw_1.rowcount();
    auto stored = [&] {
        auto n = direct_->select_value("SELECT count(*) FROM tc_og_assetregister WHERE orderno = ?", {&key, 1});
        return n ? n->integer() : -1;
    };
    auto deletions = [&] {
        auto n = direct_->select_value("SELECT count(*) FROM tc_og_changelog WHERE changekind = '删除'");
        return n ? n->integer() : -1;
    };

    proxy_->cut_next_commit(commit_cut::after);
    proxy_->refuse(true);
    host_.answers = {true};
    EXPECT_FALSE(delete_current_record(page_, *s_));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_THAT(host_.messages[0], HasSubstr("还不知道这条记录是否已经删除"));
    EXPECT_EQ(page_.dw_1.rowcount(), listed);
    EXPECT_EQ(stored(), 0);

    host_.messages.clear();
    host_.answers = {true};
    EXPECT_FALSE(delete_current_record(page_, *s_));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_THAT(host_.messages[0], HasSubstr("还不知道这条记录是否已经删除"));

    proxy_->refuse(false);
    host_.messages.clear();
    host_.answers = {true};
    EXPECT_TRUE(delete_current_record(page_, *s_));
    EXPECT_THAT(host_.messages, ::testing::ElementsAre(
                                    "提示信息 | 上次删除时与数据库服务器的连接中断了；现已查明，那条记录已经删除。"));
    EXPECT_EQ(page_.dw_1.rowcount(), listed - 1);
    EXPECT_EQ(find_listed(page_, key), 0);
    EXPECT_EQ(deletions(), 1);
    EXPECT_EQ(records_named(name), 0);

    // A deletion whose answer is lost is found done at once.
    page_.dw_1.setrow(1);
    host_.messages.clear();
    host_.answers = {true};
    proxy_->cut_next_commit(commit_cut::after);
    EXPECT_TRUE(delete_current_record(page_, *s_));
    EXPECT_THAT(host_.messages, IsEmpty());
    EXPECT_EQ(page_.dw_1.rowcount(), listed - 2);
    EXPECT_EQ(deletions(), 2);
}

// Many saves cut at their commit in turn, each way, with the server out of
// reach for some: every record is stored once, with one history entry.
TEST_F(pg_commit_in_doubt_test, ManyCutCommitsLeaveEveryRecordStoredOnce) {
    enum class told { saved, failed, in_doubt };
    struct way {
        commit_cut cut;
        bool out_of_reach;
        told expected;
        const char* message;  // the start of the message, if any
    };
    const way ways[] = {{commit_cut::before, false, told::failed, k_failed},
                        {commit_cut::after, false, told::saved, nullptr},
                        {commit_cut::client_side, false, told::failed, k_failed},
                        {commit_cut::before, true, told::in_doubt, k_in_doubt},
                        {commit_cut::after, true, told::in_doubt, k_in_doubt}};
    const long history = history_count();
    for (int round = 0; round < 4; ++round) {
        for (const way& how : ways) {
            const std::string name = "第" + std::to_string(round) + "轮" +
                                     std::to_string(static_cast<int>(how.cut)) +
                                     (how.out_of_reach ? "断开" : "");
            SCOPED_TRACE(name);
            host_.messages.clear();
            auto w = edited(true, name);
            proxy_->cut_next_commit(how.cut);
            proxy_->refuse(how.out_of_reach);
            w->cb_save_clicked();
            proxy_->refuse(false);
            const told got = host_.messages.empty() ? told::saved
                             : w->save_in_doubt()   ? told::in_doubt
                                                    : told::failed;
            EXPECT_EQ(got, how.expected);
            if (how.message) {
                EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(how.message)));
            }
            // Save pressed until nothing is left to save, as a clerk would.
            for (int press = 0; press < 3 && w->has_unsaved_changes(); ++press) w->cb_save_clicked();
            EXPECT_FALSE(w->has_unsaved_changes());
            EXPECT_EQ(records_named(name), 1);
            EXPECT_EQ(history_of(name), "新增;");
            expect_saved(*w, name);
        }
    }
    EXPECT_EQ(proxy_->cuts(), 20);
    EXPECT_EQ(history_count(), history + 20);
}

// The album's save and deletion in doubt: nothing is stored twice or taken
// for failed while the server has not told, and the album takes the place
// of what was written once it has.
TEST_F(pg_commit_in_doubt_test, TheAlbumWaitsForTheServerToTellBeforeItSavesOrDeletesAgain) {
    ASSERT_TRUE(list_register(page_, "w_m_og_commactivityrecord", d_og_commactivityrecord(), *s_).is_ok());
    page_.dw_1.setrow(1);
    blob picture(64, 7);
    picture[0] = 'B';
    picture[1] = 'M';
    host_.files["new.bmp"] = picture;
    const auto activity = static_cast<std::int64_t>(page_.dw_1.getitemnumber(1, "orderno").value_or(0));
    auto photos = [&](const std::string& note) {
        const value p[] = {value(activity), value(note)};
        auto n = direct_->select_value(
            "SELECT count(*) FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNote = ?", p);
        return n ? n->integer() : -1;
    };
    auto photo_history = [&] {
        auto n = direct_->select_value(
            "SELECT count(*) FROM tc_og_changelog WHERE tablename = 'TS_CommActivePhoto'");
        return n ? n->integer() : -1;
    };
    const struct {
        commit_cut cut;
        const char* note;
        bool written;  // whether the first save's commit reached the server
    } cases[] = {{commit_cut::after, "写入后断开", true}, {commit_cut::before, "写入前断开", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        w_m_og_commactivityrecord_pic album(*s_);
        album.open_with("");
        const long total = std::stol(album.st_total.text());
        host_.chosen = {"new.bmp"};
        album.cb_new_clicked();
        album.sle_note.set_text(c.note);
        const long history = photo_history();
        host_.messages.clear();
        proxy_->cut_next_commit(c.cut);
        proxy_->refuse(true);
        album.cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt)));
        // Saving or deleting again asks first, and writes nothing meanwhile.
        host_.messages.clear();
        album.cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt)));
        EXPECT_EQ(photos(c.note), c.written ? 1 : 0);

        proxy_->refuse(false);
        host_.messages.clear();
        album.cb_save_clicked();
        // Written: the album takes its place and says so; not written: this
        // Save writes it. Either way, one photo, and Save once more stores
        // the same photo again, not a second one.
        EXPECT_THAT(host_.messages, ::testing::ElementsAre("提示信息 | 照片数据保存成功！"));
        host_.messages.clear();
        album.cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre("提示信息 | 照片数据保存成功！"));
        EXPECT_EQ(photos(c.note), 1);
        EXPECT_EQ(album.st_total.text(), std::to_string(total + 1));
        EXPECT_FALSE(album.ib_notsaved);
        EXPECT_EQ(photo_history(), history + 1);

        // The deletion of that photo, its answer lost: found deleted.
        host_.messages.clear();
        host_.answers = {true};
        proxy_->cut_next_commit(commit_cut::after);
        proxy_->refuse(true);
        album.cb_del_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre(StartsWith(k_in_doubt)));
        EXPECT_EQ(photos(c.note), 0);
        proxy_->refuse(false);
        host_.messages.clear();
        album.cb_del_clicked();
        EXPECT_THAT(host_.messages, ::testing::ElementsAre("提示信息 | 照片删除成功！"));
        EXPECT_EQ(album.st_total.text(), std::to_string(total));
    }
}

}  // namespace
}  // namespace officerecords
