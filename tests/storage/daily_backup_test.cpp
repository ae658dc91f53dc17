// The desktop program's daily backups: one a day, the last seven days and
// four weeks kept, nothing else in the folder touched, and a failed backup
// letting go of nothing.
#include "storage/daily_backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "storage/database.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using testkit::fixed_clock;
using testkit::scratch_dir;

std::vector<date> days_of(std::initializer_list<const char*> texts) {
    std::vector<date> days;
    for (const char* t : texts) days.push_back(*date::parse(t));
    return days;
}

std::vector<date> every_day(const char* from, const char* to) {
    std::vector<date> days;
    for (date d = *date::parse(from); d <= *date::parse(to); d = date::from_days(d.days() + 1)) days.push_back(d);
    return days;
}

TEST(DailyBackupTest, SevenDaysAndTheFirstOfFourWeeksAreKept) {
    struct row {
        const char* what;
        std::vector<date> days;
        std::vector<date> kept;
    };
    const std::vector<row> rows = {
        {"every day: this week from Monday, and the Mondays of three weeks before",
         every_day("2026-10-01", "2026-12-09"),
         days_of({"2026-12-09", "2026-12-08", "2026-12-07", "2026-12-06", "2026-12-05", "2026-12-04",
                  "2026-12-03", "2026-11-30", "2026-11-23", "2026-11-16"})},
        {"workdays only, weeks with gaps: the first day there is of a week",
         days_of({"2026-12-09", "2026-12-08", "2026-12-02", "2026-12-01", "2026-11-27", "2026-11-26",
                  "2026-11-18", "2026-11-17", "2026-11-04", "2026-10-28"}),
         days_of({"2026-12-09", "2026-12-08", "2026-12-02", "2026-12-01", "2026-11-27", "2026-11-26",
                  "2026-11-18", "2026-11-17"})},
        {"a Sunday and the Monday after are in different weeks",
         days_of({"2026-12-07", "2026-12-06", "2026-11-01", "2026-10-25", "2026-10-18", "2026-10-11",
                  "2026-10-04", "2026-09-27", "2026-09-20"}),
         days_of({"2026-12-07", "2026-12-06", "2026-11-01", "2026-10-25", "2026-10-18", "2026-10-11",
                  "2026-10-04"})},
        {"fewer than seven, given twice and out of order", days_of({"2026-12-01", "2026-12-09", "2026-12-01"}),
         days_of({"2026-12-09", "2026-12-01"})},
        {"none", {}, {}},
    };
    for (const row& r : rows) EXPECT_EQ(kept_backup_days(r.days), r.kept) << r.what;
}

TEST(DailyBackupTest, ABackupIsNamedForWhatItIs) {
    struct row {
        const char* database;
        const char* extension;
        const char* daily;
    };
    // A server's backup is pg_dump's archive, no database file: .dump.
    const row rows[] = {
        {"/srv/office/office.db", ".db", "office-2026-12-09.db"},
        {"/srv/office/居委会.sqlite", ".db", "居委会-2026-12-09.db"},
        {"postgresql://clerk@db.example.org:5433/office", ".dump", "office-2026-12-09.dump"},
        {"postgres://db.example.org/community?sslmode=require", ".dump",
         "community-2026-12-09.dump"},
        {"host=127.0.0.1 port=5432 dbname=office2 user=clerk", ".dump", "office2-2026-12-09.dump"},
    };
    const date day = *date::parse("2026-12-09");
    for (const row& r : rows) {
        EXPECT_EQ(backup_extension(r.database), r.extension) << r.database;
        EXPECT_EQ(daily_backup_name(r.database, day), r.daily) << r.database;
    }
}

TEST(DailyBackupTest, TheFirstStartOfADayBacksUpAndLetsGoOfOldBackupsOnly) {
    scratch_dir dir;
    const fixed_clock clock{*date::parse("2026-12-09")};
    const std::string db = dir.file("office.db");
    ASSERT_TRUE(create_demo_database(db, clock).is_ok());
    const std::string folder = backup_folder_for(db);
    EXPECT_EQ(folder, dir.file("备份"));
    EXPECT_EQ(daily_backup_name(db, clock.today()), "office-2026-12-09.db");

    // Earlier backups (only their names matter here) and files not ours.
    std::filesystem::create_directories(folder);
    for (date d : every_day("2026-11-20", "2026-12-08"))
        std::ofstream(folder + "/" + daily_backup_name(db, d)) << "old";
    const std::vector<std::string> strangers = {"office-2026-13-01.db", "office-2026-11-1.db", "other-2026-11-20.db",
                                                "office-2026-11-20.db.txt", "notes.txt"};
    for (const std::string& f : strangers) std::ofstream(folder + "/" + f) << "keep";

    auto first = make_daily_backup(db, folder, clock);
    ASSERT_TRUE(first) << first.message();
    EXPECT_EQ(first->made, folder + "/office-2026-12-09.db");
    EXPECT_EQ(first->warning, "");
    std::vector<std::string> removed;
    // 11-20 stays: the first backup of its week.
    for (const char* d : {"2026-11-21", "2026-11-22", "2026-11-24", "2026-11-25", "2026-11-26",
                          "2026-11-27", "2026-11-28", "2026-11-29", "2026-12-01", "2026-12-02"})
        removed.push_back(folder + "/office-" + d + ".db");
    EXPECT_EQ(first->removed, removed);
    for (const std::string& f : strangers) EXPECT_TRUE(std::filesystem::exists(folder + "/" + f)) << f;
    // Today's backup is a database of its own.
    auto copy = open_connection(first->made, clock);
    ASSERT_TRUE(copy) << copy.message();
    auto rows = (*copy)->select_value("SELECT count(*) FROM tc_og_assetregister");
    ASSERT_TRUE(rows);
    EXPECT_GT(rows->as_double().value_or(0), 0);

    // The second start of the day makes none.
    auto second = make_daily_backup(db, folder, clock);
    ASSERT_TRUE(second) << second.message();
    EXPECT_EQ(second->made, "");
    EXPECT_TRUE(second->removed.empty());
}

TEST(DailyBackupTest, AFailedBackupLetsGoOfNothing) {
    scratch_dir dir;
    const fixed_clock clock{*date::parse("2026-12-09")};
    const std::string folder = dir.file("备份");
    std::filesystem::create_directories(folder);
    for (date d : every_day("2026-10-01", "2026-12-08"))
        std::ofstream(folder + "/" + daily_backup_name(dir.file("office.db"), d)) << "old";
    const auto before = std::distance(std::filesystem::directory_iterator(folder), {});

    auto missing = make_daily_backup(dir.file("office.db"), folder, clock);
    EXPECT_FALSE(missing);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), before);

    // A folder that cannot be made: a file stands where it should be.
    std::ofstream(dir.file("occupied")) << "x";
    auto blocked = make_daily_backup(dir.file("office.db"), dir.file("occupied"), clock);
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.message().find("不能建立备份文件夹"), std::string::npos) << blocked.message();
}

}  // namespace
}  // namespace officerecords
