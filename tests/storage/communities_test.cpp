// A blank database's first community: what is refused as typed, what is
// added, and nothing written when a step fails.
#include "storage/communities.h"

#include <gtest/gtest.h>

#include "tests/fault_injection.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::dump;
using testkit::scratch_database;

struct typed_community {
    const char* label;
    const char* commno;
    const char* commname;
    const char* refusal;
};

void PrintTo(const typed_community& c, std::ostream* os) { *os << c.label; }

class CommunityRefusalTest : public ::testing::TestWithParam<typed_community> {};

TEST_P(CommunityRefusalTest, SaysWhatIsWrongWithTheTypedCommunity) {
    const typed_community& c = GetParam();
    EXPECT_EQ(community_refusal(c.commno, c.commname), c.refusal) << c.commno << " " << c.commname;
}

INSTANTIATE_TEST_SUITE_P(
    Typed, CommunityRefusalTest,
    ::testing::Values(
        typed_community{"TwelveDigits", "420106001001", "花园社区", ""},
        typed_community{"TrimmedLettersAndDigits", " A12 ", " 花园社区 ", ""},
        typed_community{"NoNumber", "", "花园社区", "请输入社区编号。"},
        typed_community{"BlankNumber", "  ", "花园社区", "请输入社区编号。"},
        typed_community{"ThirteenDigits", "4201060010011", "花园社区",
                        "社区编号只能是1到12位字母或数字。"},
        typed_community{"NumberWithABlank", "4201 06", "花园社区",
                        "社区编号只能是1到12位字母或数字。"},
        typed_community{"NumberWithAQuote", "42'01", "花园社区",
                        "社区编号只能是1到12位字母或数字。"},
        typed_community{"NoName", "420106", "", "请输入社区名称。"},
        typed_community{"BlankName", "420106", "\t", "请输入社区名称。"},
        // Sixty Chinese characters fit; sixty-one do not.
        typed_community{"SixtyCharacters", "420106",
                        "社区社区社区社区社区社区社区社区社区社区社区社区社区社区社区"
                        "社区社区社区社区社区社区社区社区社区社区社区社区社区社区社区",
                        ""},
        typed_community{"SixtyOneCharacters", "420106",
                        "社区社区社区社区社区社区社区社区社区社区社区社区社区社区社区"
                        "社区社区社区社区社区社区社区社区社区社区社区社区社区社区社区区",
                        "社区名称最多60个字。"}));

const char* const k_list = "SELECT commno, commname FROM tc_ge_community ORDER BY commno";

TEST(CommunitiesTest, TheFirstCommunityIsAddedOnceAndTrimmed) {
    scratch_database office;
    transaction& t = *office.db.sqlca;
    ASSERT_TRUE(add_community(t, " 420106009009 ", " 花园社区 ").is_ok());
    EXPECT_EQ(dump(t, k_list), "420106009009|花园社区\n");
    const status again = add_community(t, "420106009009", "另一个社区");
    EXPECT_EQ(again.message(), "社区编号 420106009009 已经有了。");
    const status bad = add_community(t, "", "花园社区");
    EXPECT_EQ(bad.message(), "请输入社区编号。");
    EXPECT_EQ(dump(t, k_list), "420106009009|花园社区\n");
    EXPECT_FALSE(t.in_transaction());
}

TEST(CommunitiesTest, AFailingStepWritesNothing) {
    for (int step = 1; step <= 4; ++step) {
        scratch_database office;
        testkit::faulty_transaction t(*office.db.sqlca);
        t.fail_at(step);
        const status st = add_community(t, "420106009009", "花园社区");
        EXPECT_FALSE(st.is_ok()) << "step " << step;
        EXPECT_FALSE(office.db.sqlca->in_transaction()) << "step " << step;
        EXPECT_EQ(dump(*office.db.sqlca, k_list), "") << "step " << step;
    }
}

}  // namespace
}  // namespace officerecords
