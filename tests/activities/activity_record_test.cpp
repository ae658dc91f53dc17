// The activity record's camera button follows the record: disabled, saying
// why, until the new record is saved; then the window is in 修改 and the
// album can be opened without reopening the record.
#include "activities/commactivityrecord.h"

#include <gtest/gtest.h>

#include "foundation/register_page.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

bool type(w_modify& w, const char* column, const char* text) {
    if (!w.enter_column(w.dw_1.column_number(column))) return false;
    w.dw_1.settext(text);
    return w.leave_field();
}

TEST(ActivityRecordTest, ASavedNewActivityTakesPhotosAtOnce) {
    scratch_database db{true};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, db.sqlca(), *db.db.photosqlca, "420106001001", {}, &page};
    ASSERT_TRUE(list_register(page, "w_m_og_commactivityrecord", d_og_commactivityrecord(), s).is_ok());
    w_m_og_commactivityrecord w(s);
    w.open_with(k_mode_add);
    EXPECT_FALSE(w.cb_photo.enabled());
    EXPECT_EQ(w.cb_photo.tooltip(), "请先保存当前数据！再录入图片资料。");

    ASSERT_TRUE(type(w, "activitydate", "2026-12-01"));
    ASSERT_TRUE(type(w, "activitytopic", "05"));
    ASSERT_TRUE(type(w, "activitysumup", "发放宣传资料100份。"));
    w.cb_save_clicked();
    ASSERT_EQ(host.messages, std::vector<std::string>{});
    EXPECT_EQ(w.is_stringparm, k_mode_modify);
    EXPECT_TRUE(w.cb_photo.enabled());
    EXPECT_EQ(w.cb_photo.tooltip(), "");

    // A failed save of another new record leaves the window adding.
    w_m_og_commactivityrecord again(s);
    again.open_with(k_mode_add);
    again.cb_save_clicked();
    EXPECT_EQ(again.is_stringparm, k_mode_add);
    EXPECT_FALSE(again.cb_photo.enabled());
}

}  // namespace
}  // namespace officerecords
