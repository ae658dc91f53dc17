// The person selection windows' search and filling, as both hosts use
// them: who is listed for what was typed, and what a pick writes.
#include "catalog/person_selection.h"

#include <gtest/gtest.h>

#include "committee/councilmemberinfo.h"
#include "office/sealuserecord.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

class PersonSelectionTest : public ::testing::Test {
protected:
    void SetUp() override { s.gs_commno = "420106001001"; }
    void run(const char* sql) {
        ASSERT_EQ(db.sqlca().execute(sql), sql_code::ok) << db.sqlca().sqlerrtext();
        ASSERT_EQ(db.sqlca().commit(), sql_code::ok);
    }
    std::vector<std::string> listed(person_selection& sel) {
        EXPECT_TRUE(sel.search().is_ok());
        std::vector<std::string> names;
        for (long n = 1; n <= sel.count(); ++n) names.push_back(sel.shown(n, "personname"));
        return names;
    }

    scratch_database db{true};
    recording_host host;
    session s{host, host, db.sqlca(), *db.db.photosqlca, {}, {}, nullptr};
};

TEST_F(PersonSelectionTest, TheCommitteeListsLivingAdultsOnceEachByName) {
    run("INSERT INTO tc_ge_personinfo (personno, personname, birthdate, isdeath) VALUES "
        "('T1', '测试甲', '1980-01-01', 1), ('T2', '测试乙', '2010-01-01', 0), "
        "('T3', '测试丙', '1970-05-05', NULL), ('T4', '测试丁', '1960-01-01', 0)");
    // Two memberships of one person are one candidate.
    run("INSERT INTO tc_og_councilmemberinfo (commno, orderno, falldue, personno) VALUES "
        "('420106001001', 801, '04', 'T4'), ('420106001002', 802, '05', 'T4')");
    w_m_og_councilmemberinfo w(s);
    person_selection sel("w_select_councilmember", "测试", w);
    // The dead and the under-age are not candidates; an unknown death flag
    // is no death.
    EXPECT_EQ(listed(sel), (std::vector<std::string>{"测试丁", "测试丙"}));
    EXPECT_EQ(sel.find("T3"), 2);
    EXPECT_EQ(sel.find("T1"), 0);
}

TEST_F(PersonSelectionTest, TypedTextIsMatchedLiterallyAnywhere) {
    run("INSERT INTO tc_ge_personinfo (personno, personname, idcard, birthdate) VALUES "
        "('X100', '百分之百%', 'Q-110', '1980-01-01'), ('X101', '百分之百', 'Q-111', '1980-01-01'), "
        "('X102', '下_划线', 'Q-112', '1980-01-01')");
    w_m_og_sealuserecord w(s);
    w.open_with(k_mode_add);
    struct {
        const char* typed;
        std::vector<std::string> names;
    } cases[] = {
        {"百%", {"百分之百%"}},
        {"_", {"下_划线"}},
        {"X10", {"下_划线", "百分之百", "百分之百%"}},  // by person number
        {"Q-111", {"百分之百"}},  // by identity number
        {"查无此人", {}},
    };
    for (const auto& c : cases) {
        person_selection sel("w_selectperson", std::string(c.typed) +
                                                   ",personno,personname,sex,idcard,birthdate,age,"
                                                   "contactphone,presentaddr1",
                             w);
        EXPECT_EQ(sel.typed(), c.typed);
        EXPECT_EQ(listed(sel), c.names) << c.typed;
    }
}

TEST_F(PersonSelectionTest, APickWritesThePersonIntoTheCallersRow) {
    w_m_og_sealuserecord w(s);
    w.open_with(k_mode_add);
    // A typed text may itself hold a comma: the columns are the last pieces.
    person_selection sel("w_selectperson",
                         "李文静,x,personno,personname,sex,idcard,birthdate,age,contactphone,presentaddr1",
                         w);
    EXPECT_EQ(sel.typed(), "李文静,x");
    person_selection named("w_selectperson",
                           "文静,personno,personname,sex,idcard,birthdate,age,contactphone,presentaddr1", w);
    ASSERT_TRUE(named.search().is_ok());
    ASSERT_EQ(named.count(), 1);
    EXPECT_EQ(named.shown(1, "sex"), "女");
    EXPECT_EQ(named.pick(1), "李文静");
    EXPECT_EQ(w.dw_1.getitemstring(1, "personno"), "P4201060010010003");
    EXPECT_EQ(w.dw_1.getitemstring(1, "idcard"), "420106198502183969");
    EXPECT_EQ(w.dw_1.getitemdate(1, "birthdate"), date::parse("1985-02-18"));
    EXPECT_EQ(w.dw_1.getitem(1, "age"), value(41));
    // Columns the caller did not name stay untouched.
    EXPECT_TRUE(w.dw_1.getitem(1, "dealperson").is_null());
}

}  // namespace
}  // namespace officerecords
