// The history a save, a save without checks, a deletion and a photo save
// leave: exactly the changed columns, with old and new values, under one
// change number each, and who made the change.
#include "foundation/change_log.h"

#include <gtest/gtest.h>

#include "activities/commactivityrecord.h"
#include "activities/commactivityrecord_pic.h"
#include "finance/assetregister.h"
#include "foundation/checksum.h"
#include "foundation/register_page.h"
#include "storage/record_history.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

class ChangeLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.workstation = "居委会前台";
        s.os_user = "clerk";
        ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
    }
    // The history since `after`, one line per column, oldest first.
    std::string history(long after = 0) {
        std::string out;
        const value from[] = {value(after)};
        auto rows = db.sqlca().open_cursor(
            "SELECT c.logno, changetime, workstation, osuser, commno, windowname, tablename, "
            "recordkey, changekind, ischecked, columnname, oldvalue, newvalue FROM tc_og_changelog c "
            "JOIN tc_og_changelog_item i ON i.logno = c.logno WHERE c.logno > ? ORDER BY c.logno, itemno",
            from);
        while (rows && rows->fetch()) {
            for (int i = 0; i < rows->column_count(); ++i) {
                const value v = rows->column_value(i);
                out += (i ? "|" : "") + (v.is_null() ? std::string("~") : v.to_text());
            }
            out += "\n";
        }
        return out;
    }
    long last_log() {
        auto n = db.sqlca().select_value("SELECT ifnull(MAX(logno), 0) FROM tc_og_changelog");
        return static_cast<long>(n->as_double().value_or(0));
    }
    long find(int orderno) {
        for (long r = 1; r <= page.dw_1.rowcount(); ++r)
            if (page.dw_1.getitemnumber(r, "orderno") == orderno) return r;
        return 0;
    }

    scratch_database db{true};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, db.sqlca(), *db.db.photosqlca, "420106001001", ".", &page};
};

TEST_F(ChangeLogTest, ASaveKeepsWhatChangedFromWhatToWhat) {
    const std::string head = "2026-12-08 00:00:00|居委会前台|clerk|420106001001|w_m_og_assetregister|"
                             "tc_og_assetregister|commno=420106001001;orderno=2|";
    page.dw_1.setrow(find(2));
    w_m_og_assetregister w(s);
    w.open_with(k_mode_modify);
    const std::string name = w.dw_1.getitemstring(1, "goodsname").value_or("");
    const std::string price = w.dw_1.getitem(1, "originvalue").to_text();
    ASSERT_EQ(w.dw_1.setitem(1, "goodsname", value("改名的资产")), 1);
    ASSERT_EQ(w.dw_1.setitem(1, "originvalue", value(decimal(9999999999999'99, 2))), 1);
    // Set to what it already holds: no change, no line.
    ASSERT_EQ(w.dw_1.setitem(1, "computeunit", w.dw_1.getitem(1, "computeunit")), 1);
    w.cb_save_clicked();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(history(), "1|" + head + "修改|1|goodsname|" + name + "|改名的资产\n" +
                             "1|" + head + "修改|1|originvalue|" + price + "|9999999999999.99\n");

    // Without the checks: marked so, and the save-state flag changes with it.
    const long before = last_log();
    ASSERT_EQ(w.dw_1.setitem(1, "note", value("待核实")), 1);
    w.cb_tempsave_clicked();
    EXPECT_EQ(history(before), "2|" + head + "修改|0|issave|1|0\n" + "2|" + head + "修改|0|note|~|待核实\n");
}

TEST_F(ChangeLogTest, AnAddedAndADeletedRecordKeepEveryValue) {
    w_m_og_assetregister added(s);
    added.open_with(k_mode_add);
    ASSERT_EQ(added.dw_1.setitem(1, "goodsname", value("碎纸机")), 1);
    ASSERT_EQ(added.dw_1.setitem(1, "purchasedate", value(*date::parse("2026-11-30"))), 1);
    added.cb_save_clicked();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    const std::string number = added.dw_1.getitem(1, "orderno").to_text();
    const std::string key = "commno=420106001001;orderno=" + number;
    std::string lines;
    for (auto [column, now] : {std::pair{"commno", "420106001001"}, {"orderno", number.c_str()},
                               {"goodsname", "碎纸机"}, {"purchasedate", "2026-11-30"}, {"issave", "1"}})
        lines += std::string("新增|") + column + "|~|" + now + "\n";
    auto brief = [](const std::string& h) {
        // kind|column|old|new of each line
        std::string out;
        std::size_t start = 0;
        while (start < h.size()) {
            const std::size_t end = h.find('\n', start);
            std::string line = h.substr(start, end - start);
            for (int skip = 0; skip < 8; ++skip) line.erase(0, line.find('|') + 1);
            line.erase(line.find('|') + 1, 2);  // the checked flag
            out += line + "\n";
            start = end + 1;
        }
        return out;
    };
    EXPECT_EQ(brief(history()), lines);
    EXPECT_NE(history().find(key), std::string::npos);

    const long before = last_log();
    page.dw_1.setrow(find(std::stoi(number)));
    host.answers = {true};
    ASSERT_TRUE(delete_current_record(page, s));
    std::string gone;
    for (auto [column, old] : {std::pair{"commno", "420106001001"}, {"orderno", number.c_str()},
                               {"goodsname", "碎纸机"}, {"purchasedate", "2026-11-30"}, {"issave", "1"}})
        gone += std::string("删除|") + column + "|" + old + "|~\n";
    EXPECT_EQ(brief(history(before)), gone);
}

TEST_F(ChangeLogTest, APhotoIsKeptAsItsSizeAndChecksum) {
    uo_tabpg_datawindow activities;
    ASSERT_TRUE(list_register(activities, "w_m_og_commactivityrecord", d_og_commactivityrecord(), s).is_ok());
    activities.dw_1.setrow(1);
    s.guo_tabpg_now = &activities;
    blob picture(300, 7);
    picture[0] = 'B';
    picture[1] = 'M';
    host.files["新照片.bmp"] = picture;
    host.chosen = {"新照片.bmp"};
    w_m_og_commactivityrecord_pic album(s);
    album.open_with("");
    album.cb_new_clicked();
    album.sle_note.set_text("合影");
    album.cb_save_clicked();
    ASSERT_EQ(host.messages.back(), "提示信息 | 照片数据保存成功！");
    const std::string head = "1|2026-12-08 00:00:00|居委会前台|clerk|420106001001|"
                             "w_m_og_commactivityrecord_pic|TS_CommActivePhoto|OrderNo=1;PhotoNo=4|新增|1|";
    EXPECT_EQ(history(), head + "CommNo|~|420106001001\n" + head + "OrderNo|~|1\n" + head +
                             "PhotoNo|~|4\n" + head + "PhotoFileName|~|新照片.bmp\n" + head +
                             "PhotoNote|~|合影\n" + head + "Photo|~|<300 字节，校验值 " +
                             checksum_hex(picture) + ">\n");

    // The activity's history holds its photos' changes, named after the
    // photo; the columns that only tie the photo to its activity are not
    // the clerk's and stay out of it.
    const std::string activity = history_key(d_og_commactivityrecord(), {value("420106001001"), value(1)});
    auto lines = record_history(db.sqlca(), d_og_commactivityrecord(), activity);
    ASSERT_TRUE(lines) << lines.message();
    std::string captions;
    for (const history_line& h : *lines)
        captions +=
            h.caption + "=" + h.new_shown + "|" + h.record_shown + "|" + h.record_name + "\n";
    // Each line names the activity as the clerk knows it: its topic and date.
    const std::string activity_name = "|1|志愿服务，2025-03-05";
    EXPECT_EQ(captions, "照片 4 的文件名=新照片.bmp" + activity_name + "\n照片 4 的说明=合影" +
                            activity_name + "\n照片 4=<300 字节，校验值 " + checksum_hex(picture) +
                            ">" + activity_name + "\n");
    // Another activity's history does not.
    auto other = record_history(db.sqlca(), d_og_commactivityrecord(),
                                history_key(d_og_commactivityrecord(), {value("420106001001"), value(11)}));
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->empty());
}

TEST(ChecksumTest, TellsBytesApartAndIsStable) {
    const blob a(1000, 1);
    blob b = a;
    b[999] = 2;
    EXPECT_NE(checksum64(a), checksum64(b));
    EXPECT_NE(checksum64(blob(8, 0)), checksum64(blob(9, 0))) << "the length counts";
    EXPECT_EQ(checksum_hex(blob{}).size(), 16u);
    EXPECT_EQ(checksum64(a), checksum64(blob(1000, 1)));
}

}  // namespace
}  // namespace officerecords
