// The photo store serves one community: a photo another community keeps
// under the same activity number is never read, counted, numbered after,
// changed or deleted through it, on every backend.
#include "activities/photo_store.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::backend;
using testkit::scratch_database;

constexpr const char* k_ours = "420106001001";
constexpr const char* k_theirs = "420106001002";

// What one operation of community 001's store gives for activity 1, whose
// photos 1, 2 and 3 are its own and whose photo 9 is community 002's.
struct operation_case {
    const char* name;
    std::function<std::string(photo_store&)> run;
    const char* expected;
};

std::string rows_changed(transaction& t, sql_code rc) {
    return rc == sql_code::ok ? std::to_string(t.sqlnrows()) + " rows" : "error: " + t.sqlerrtext();
}

const operation_case k_operations[] = {
    {"count", [](photo_store& s) { return std::to_string(s.count(1).value_or(-1)); }, "3"},
    {"list",
     [](photo_store& s) {
         std::vector<std::int64_t> slots;
         std::string out = s.list(1, slots) ? "" : "failed";
         for (std::size_t i = 1; i < slots.size(); ++i) out += std::to_string(slots[i]) + ";";
         return out;
     },
     "1;2;3;"},
    {"exists", [](photo_store& s) { return std::to_string(s.exists(1, 9).value_or(-1)); }, "0"},
    {"read name and note",
     [](photo_store& s) {
         return s.read_name_and_note(1, 9) ? std::string("read") : std::string("none");
     },
     "none"},
    {"read picture",
     [](photo_store& s) {
         const std::optional<blob> bytes = s.read_picture(1, 9);
         return bytes && !bytes->empty() ? std::string("read") : std::string("none");
     },
     "none"},
    {"highest", [](photo_store& s) { return std::to_string(s.next_number(1).value_or(-1)); }, "4"},
    {"store note", [](photo_store& s) { return rows_changed(s.trans(), s.store_note(1, 9, "改")); },
     "0 rows"},
    {"store name and note",
     [](photo_store& s) {
         return rows_changed(s.trans(), s.store_name_and_note(1, 9, "改.bmp", "改"));
     },
     "0 rows"},
    {"store picture",
     [](photo_store& s) { return rows_changed(s.trans(), s.store_picture(1, 9, blob(8, 1))); },
     "0 rows"},
    {"delete", [](photo_store& s) { return rows_changed(s.trans(), s.remove(1, 9)); }, "0 rows"},
};

class PhotoStoreCommunity : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        const value row[] = {value(k_theirs),     value(1),         value(9), value("b.bmp"),
                             value("东亭的照片"), value(blob(6, 2))};
        ASSERT_EQ(
            t().execute("INSERT INTO TS_CommActivePhoto (CommNo, OrderNo, PhotoNo, PhotoFileName, "
                        "PhotoNote, Photo) VALUES (?, ?, ?, ?, ?, ?)",
                        row),
            sql_code::ok)
            << t().sqlerrtext();
        ASSERT_EQ(t().commit(), sql_code::ok);
    }
    transaction& t() { return *db.db.photosqlca; }
    std::string photos() {
        return testkit::dump(
            t(),
            "SELECT CommNo, OrderNo, PhotoNo, PhotoFileName, PhotoNote, Photo FROM "
            "TS_CommActivePhoto WHERE OrderNo = 1 ORDER BY PhotoNo");
    }

    scratch_database db{true, GetParam()};
};

TEST_P(PhotoStoreCommunity, AnotherCommunitysPhotoIsNoneOfTheStores) {
    const std::string before = photos();
    ASSERT_NE(before.find(std::string(k_theirs) + "|1|9|b.bmp|东亭的照片|020202020202"),
              std::string::npos)
        << before;
    for (const operation_case& c : k_operations) {
        SCOPED_TRACE(c.name);
        photo_store store(t(), k_ours);
        EXPECT_EQ(c.run(store), c.expected);
        ASSERT_EQ(t().rollback(), sql_code::ok);
        EXPECT_EQ(photos(), before);
    }
    // Community 002's own store finds it, and it alone.
    photo_store theirs(t(), k_theirs);
    EXPECT_EQ(theirs.count(1), 1);
    EXPECT_EQ(theirs.next_number(1), 10);
    const auto named = theirs.read_name_and_note(1, 9);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->note.to_text(), "东亭的照片");
}

INSTANTIATE_TEST_SUITE_P(Backends, PhotoStoreCommunity,
                         ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

}  // namespace
}  // namespace officerecords
