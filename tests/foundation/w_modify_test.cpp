#include "foundation/w_modify.h"

#include <gtest/gtest.h>

#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.gs_commno = "420106001001";
        ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
        s.guo_tabpg_now = &page;
        ASSERT_GE(page.dw_1.rowcount(), 3);
    }
    std::string stored_name(int orderno) {
        value key(orderno);
        auto v = db.sqlca().select_value("SELECT goodsname FROM tc_og_assetregister WHERE orderno = ?",
                                         {&key, 1});
        return v && !v->is_null() ? v->text() : "<none>";
    }

    scratch_database db{true};
    recording_host host;
    session s{host, host, *db.db.sqlca, *db.db.photosqlca, {}, {}, nullptr};
    uo_tabpg_datawindow page;
};

TEST_F(FrameTest, ListsOnlyTheCommunitysRecordsInKeyOrder) {
    double last = 0;
    for (long r = 1; r <= page.dw_1.rowcount(); ++r) {
        EXPECT_EQ(*page.dw_1.getitemstring(r, "commno"), "420106001001");
        EXPECT_GT(*page.dw_1.getitemnumber(r, "orderno"), last);
        last = *page.dw_1.getitemnumber(r, "orderno");
    }
}

TEST_F(FrameTest, LeavingAnEditedRecordOffersToSaveIt) {
    w_m_og_assetregister w(s);
    page.dw_1.setrow(1);
    w.open_with(k_mode_modify);
    int first = static_cast<int>(*w.dw_1.getitemnumber(1, "orderno"));

    w.dw_1.setitem(1, "goodsname", value("改名一"));
    host.unsaved = unsaved_choice::cancel;
    w.cb_next.clicked();
    EXPECT_EQ(*w.dw_1.getitemnumber(1, "orderno"), first) << "cancel must keep the record";
    EXPECT_EQ(*w.dw_1.getitemstring(1, "goodsname"), "改名一");

    host.unsaved = unsaved_choice::save;
    w.cb_next.clicked();
    EXPECT_EQ(stored_name(first), "改名一");
    EXPECT_NE(*w.dw_1.getitemnumber(1, "orderno"), first);
    EXPECT_EQ(page.dw_1.getrow(), 2);

    w.dw_1.setitem(1, "goodscount", value(-5));
    host.unsaved = unsaved_choice::save;
    w.cb_exit.clicked();
    EXPECT_FALSE(host.closed) << "a save refused by the rules keeps the window open";
    EXPECT_EQ(host.messages.back(), "提示 | 数量:不能为负值");

    host.unsaved = unsaved_choice::discard;
    w.cb_exit.clicked();
    EXPECT_TRUE(host.closed);
    EXPECT_EQ(host.unsaved_asked, 4);
}

TEST_F(FrameTest, ASavedNewRecordJoinsTheListAndKeepsItsPlace) {
    w_m_og_assetregister w(s);
    w.open_with(k_mode_add);
    long before = page.dw_1.rowcount();
    w.dw_1.setitem(1, "goodsname", value("碎纸机"));
    w.cb_save.clicked();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(page.dw_1.rowcount(), before + 1);
    EXPECT_EQ(*page.dw_1.getitemstring(page.dw_1.getrow(), "goodsname"), "碎纸机");
    EXPECT_EQ(*page.dw_1.getitemnumber(page.dw_1.getrow(), "orderno"),
              *w.dw_1.getitemnumber(1, "orderno"));
}

TEST_F(FrameTest, ADateChosenInTheCalendarIsEnteredAfterWhatWasBeingTyped) {
    w_m_og_assetregister w(s);
    page.dw_1.setrow(1);
    w.open_with(k_mode_modify);
    w.dw_1.setcolumn(w.dw_1.column_number("goodsname"));
    w.dw_1.settext("档案柜");
    w.ii_col = w.dw_1.column_number("scrapedate");
    w.wf_opencalendar();
    EXPECT_EQ(host.calendar, std::vector<std::string>{"scrapedate"});
    w.calendar_chosen(*date::parse("2026-01-31"));
    EXPECT_EQ(host.calendar, (std::vector<std::string>{"scrapedate", "hidden"}));
    EXPECT_EQ(*w.dw_1.getitemstring(1, "goodsname"), "档案柜");
    EXPECT_EQ(*w.dw_1.getitemdate(1, "scrapedate"), *date::parse("2026-01-31"));

    // A column that cannot be entered does not take the date.
    ASSERT_EQ(w.dw_1.modify("scrapedate.protect=1"), "");
    w.calendar_chosen(*date::parse("2026-02-28"));
    EXPECT_EQ(*w.dw_1.getitemdate(1, "scrapedate"), *date::parse("2026-01-31"));
}

// The buttons follow the list as the clerk sees it: a narrowed list's
// hidden rows are passed over, also from a row the narrowing hides.
TEST_F(FrameTest, NavigationFollowsTheNarrowedList) {
    ASSERT_GE(page.dw_1.rowcount(), 4);
    page.shown = {1, 3, 4};
    page.dw_1.setrow(1);
    w_m_og_assetregister w(s);
    w.open_with(k_mode_modify);
    auto at = [&] { return page.dw_1.getrow(); };
    w.cb_next.clicked();
    EXPECT_EQ(at(), 3);
    EXPECT_EQ(*w.dw_1.getitemnumber(1, "orderno"), *page.dw_1.getitemnumber(3, "orderno"));
    w.cb_last.clicked();
    EXPECT_EQ(at(), 4);
    w.cb_prior.clicked();
    EXPECT_EQ(at(), 3);
    w.cb_first.clicked();
    EXPECT_EQ(at(), 1);
    w.cb_prior.clicked();
    EXPECT_EQ(at(), 1) << "nothing before the first shown row";
    page.shown = {1, 4};
    page.dw_1.setrow(3);  // the record on screen is no longer shown
    w.cb_next.clicked();
    EXPECT_EQ(at(), 4);
    page.dw_1.setrow(3);
    w.cb_prior.clicked();
    EXPECT_EQ(at(), 1);
    EXPECT_EQ(page.position_of(4), 2);
    EXPECT_EQ(page.position_of(3), 0);
}

TEST_F(FrameTest, DeletingAsksFirstAndRefusesARecordChangedMeanwhile) {
    page.dw_1.setrow(2);
    int key = static_cast<int>(*page.dw_1.getitemnumber(2, "orderno"));
    long rows = page.dw_1.rowcount();

    host.answers = {false};
    EXPECT_FALSE(delete_current_record(page, s));
    EXPECT_NE(stored_name(key), "<none>");

    ASSERT_EQ(db.db.photosqlca->execute("UPDATE tc_og_assetregister SET note = '已盘点' WHERE orderno = 2"),
              sql_code::ok);
    ASSERT_EQ(db.db.photosqlca->commit(), sql_code::ok);
    host.answers = {true};
    EXPECT_FALSE(delete_current_record(page, s));
    EXPECT_EQ(host.messages.back().rfind("警告信息 | 数据删除失败！", 0), 0u) << host.messages.back();
    EXPECT_EQ(page.dw_1.rowcount(), rows);
    EXPECT_NE(stored_name(key), "<none>");

    ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
    page.dw_1.setrow(2);
    host.answers = {true};
    EXPECT_TRUE(delete_current_record(page, s));
    EXPECT_EQ(page.dw_1.rowcount(), rows - 1);
    EXPECT_EQ(stored_name(key), "<none>");
}

// What a deletion rule saw when it was asked.
struct rule_seen {
    bool in_transaction = false;
    std::string record;
};
rule_seen seen;

result<std::string> keeps_it(transaction& t, const value& commno, const value& key) {
    seen = {t.in_transaction(), commno.to_text() + "/" + key.to_text()};
    return std::string("该记录还有附属记录，不能删除！");
}
result<std::string> lets_it_go(transaction& t, const value& commno, const value& key) {
    seen = {t.in_transaction(), commno.to_text() + "/" + key.to_text()};
    return std::string();
}
result<std::string> cannot_tell(transaction& t, const value& commno, const value& key) {
    seen = {t.in_transaction(), commno.to_text() + "/" + key.to_text()};
    return status::error("附属记录读取失败");
}

TEST_F(FrameTest, ARegistersDeletionRuleIsAskedInTheDeletingTransaction) {
    struct {
        const char* name;
        deletion_rule rule;
        bool deleted;
        std::vector<std::string> messages;
    } cases[] = {
        {"refused", &keeps_it, false, {"警告信息 | 该记录还有附属记录，不能删除！"}},
        {"cannot be told", &cannot_tell, false, {"警告信息 | 数据删除失败！附属记录读取失败"}},
        {"let go", &lets_it_go, true, {}},
    };
    // The list object outlives the page that lists with it.
    static dw_object ruled = d_og_assetregister();
    auto history_rows = [this] {
        return testkit::dump(db.sqlca(), "SELECT count(*) FROM tc_og_changelog");
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ruled.refuse_deletion = c.rule;
        ASSERT_TRUE(list_register(page, "w_m_og_assetregister", ruled, s).is_ok());
        page.dw_1.setrow(2);
        const long rows = page.dw_1.rowcount();
        const int key = static_cast<int>(*page.dw_1.getitemnumber(2, "orderno"));
        const std::string history = history_rows();
        seen = {};
        host.messages.clear();
        host.answers = {true};
        EXPECT_EQ(delete_current_record(page, s), c.deleted);
        EXPECT_TRUE(seen.in_transaction) << "the rule reads under the deletion's write lock";
        EXPECT_EQ(seen.record, "420106001001/" + std::to_string(key));
        EXPECT_FALSE(db.sqlca().in_transaction()) << "the lock is let go";
        EXPECT_EQ(host.messages, c.messages);
        EXPECT_EQ(page.dw_1.rowcount(), c.deleted ? rows - 1 : rows);
        EXPECT_EQ(stored_name(key) == "<none>", c.deleted);
        if (!c.deleted) {
            EXPECT_EQ(page.dw_1.getrow(), 2);
            EXPECT_EQ(history_rows(), history) << "a kept record has no deletion on record";
        }
    }
}

}  // namespace
}  // namespace officerecords
