// The sheet's header matched to the register's captions, as clerks and our
// own export write headers.
#include "import/header_match.h"

#include <gtest/gtest.h>

namespace officerecords {
namespace {

using strings = std::vector<std::string>;

const std::vector<register_column> k_assets = {
    {"goodsname", {"资产名称", "名称"}},
    {"assetsort", {"资产类别"}},
    {"bookvalue", {"价值（元）", "原值"}},
    {"buydate", {"购置日期"}},
};

TEST(HeaderMatchTest, CaptionsMatchWhateverTheirBlanksAndPunctuation) {
    EXPECT_EQ(caption_key(" 资产 名称："), "资产名称");
    EXPECT_EQ(caption_key("价值(元)"), caption_key("价值（元）"));
    EXPECT_EQ(caption_key("ID No."), "idno");
    auto m = match_header({{"资产名称：", "价值(元)", "原值 ", "备忘"}}, k_assets);
    ASSERT_FALSE(m.is_ok()) << "价值(元) and 原值 both name bookvalue";
    EXPECT_EQ(m.message(), "表头中“价值(元)”和“原值 ”对应同一列，请只留一个，或改正列的对应");
    m = match_header({{"资产名称：", "原值 ", "备忘", "", "序号"}}, k_assets);
    ASSERT_TRUE(m.is_ok()) << m.message();
    EXPECT_EQ(m->columns, (strings{"goodsname", "bookvalue", "", "", ""}));
    EXPECT_EQ(m->ignored, (strings{"备忘"})) << "neither an empty header nor the row counter is worth a word";
}

TEST(HeaderMatchTest, TheHeaderMayStandUnderATitleRowAsTheExportWritesIt) {
    const std::vector<strings> exported = {{"固定资产登记 — 水果湖社区"},
                                           {"序号", "资产名称", "资产类别", "价值（元）", "购置日期"},
                                           {"1", "台式计算机", "电子设备", "19,960.00", "2020-01-01"}};
    auto m = match_header(exported, k_assets);
    ASSERT_TRUE(m.is_ok()) << m.message();
    EXPECT_EQ(m->header_record, 1);
    EXPECT_EQ(m->columns, (strings{"", "goodsname", "assetsort", "bookvalue", "buydate"}));
    EXPECT_TRUE(m->ignored.empty());
}

TEST(HeaderMatchTest, TheClerksMappingTakesAHeaderForAColumn) {
    auto m = match_header({{"物品", "金额", "类别"}}, k_assets, {{"物品", "goodsname"}, {"金额", "bookvalue"}});
    ASSERT_TRUE(m.is_ok()) << m.message();
    EXPECT_EQ(m->columns, (strings{"goodsname", "bookvalue", ""}));
    EXPECT_EQ(m->ignored, (strings{"类别"}));

    // A caption mapped to nothing is left out, though it matches a column:
    // so two texts on one column are set right.
    m = match_header({{"资产名称", "物品名称"}}, k_assets, {{"物品名称", "goodsname"}, {"资产名称", ""}});
    ASSERT_TRUE(m.is_ok()) << m.message();
    EXPECT_EQ(m->columns, (strings{"", "goodsname"}));
    EXPECT_EQ(m->ignored, (strings{"资产名称"}));

    struct {
        std::vector<strings> records;
        std::vector<std::pair<std::string, std::string>> map;
        std::string message;
    } refused[] = {
        {{{"物品"}}, {{"物品", "nosuch"}}, "这个登记表没有“nosuch”这一列（--map 物品=nosuch）"},
        {{{"资产名称"}}, {{"物品", "goodsname"}}, "表头中没有“物品”（--map 物品=goodsname）"},
        {{{"甲", "乙"}, {"1", "2"}}, {}, "表格开头几行里没有找到表头：没有一格是这个登记表的列名"},
        {{}, {}, "表格开头几行里没有找到表头：没有一格是这个登记表的列名"},
    };
    for (const auto& r : refused) {
        auto got = match_header(r.records, k_assets, r.map);
        ASSERT_FALSE(got.is_ok()) << r.message;
        EXPECT_EQ(got.message(), r.message);
    }
}

}  // namespace
}  // namespace officerecords
