// CSV files as Excel, WPS and older programs save them: the encodings told
// apart by their bytes, RFC 4180 quoting, and each malformed file refused
// with the file and line named.
#include "import/csv_reader.h"

#include <gtest/gtest.h>

namespace officerecords {
namespace {

using records = std::vector<std::vector<std::string>>;

// "资产名称,价值" in GB18030 (as GBK writes it).
const std::string k_gbk_header = "\xD7\xCA\xB2\xFA\xC3\xFB\xB3\xC6,\xBC\xDB\xD6\xB5";

TEST(CsvReaderTest, EachEncodingIsReadAndNamed) {
    struct {
        std::string bytes;
        const char* encoding;
    } cases[] = {
        {"\xEF\xBB\xBF资产名称,价值\r\n", "UTF-8（带BOM）"},
        {"资产名称,价值\n", "UTF-8"},
        {k_gbk_header + "\r\n", "GB18030"},
    };
    for (const auto& c : cases) {
        auto t = read_csv(c.bytes, "资产.csv");
        ASSERT_TRUE(t.is_ok()) << t.message();
        EXPECT_EQ(t->encoding, c.encoding);
        EXPECT_EQ(t->records, (records{{"资产名称", "价值"}})) << c.encoding;
    }
}

TEST(CsvReaderTest, QuotedFieldsLineEndsAndBlankLines) {
    const std::string bytes =
        "名称,备注,价值\r\n"
        "\"台式计算机, 联想\",\"说\"\"好\"\"的\",\"19,960.00\"\r\n"
        "\n"
        "打印机,\"两行\r\n说明\",\n"
        "空调,,1200\r"
        "电话,\"\",";
    auto t = read_csv(bytes, "a.csv");
    ASSERT_TRUE(t.is_ok()) << t.message();
    EXPECT_EQ(t->records, (records{{"名称", "备注", "价值"},
                                   {"台式计算机, 联想", "说\"好\"的", "19,960.00"},
                                   {"打印机", "两行\r\n说明", ""},
                                   {"空调", "", "1200"},
                                   {"电话", "", ""}}));
    EXPECT_EQ(t->lines, (std::vector<int>{1, 2, 4, 6, 7}));
}

TEST(CsvReaderTest, WhatCannotBeReadIsRefusedWithTheFileAndLine) {
    const std::string quote = "引号的位置不对（引号要成对，并且包住整个字段）";
    struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"", "a.csv 是空文件，没有可以导入的内容"},
        {"\r\n\r\n", "a.csv 是空文件，没有可以导入的内容"},
        {"\xEF\xBB\xBF", "a.csv 是空文件，没有可以导入的内容"},
        {"名称\n台式\"计算机\n", "a.csv 第 2 行：" + quote},
        {"名称\n\"台式计算机\n", "a.csv 第 2 行：" + quote},
        {"名称\n\"台式\"计算机\n", "a.csv 第 2 行：" + quote},
        {"\xEF\xBB\xBF\xD7\xCA\n", "a.csv 标明是 UTF-8 编码，但其中有不是 UTF-8 的文字"},
        {"\x81\x20\xFF\n", "不能识别 a.csv 的文字编码（既不是 UTF-8，也不是 GBK/GB18030）"},
    };
    for (const auto& c : cases) {
        auto t = read_csv(c.bytes, "a.csv");
        ASSERT_FALSE(t.is_ok()) << c.message;
        EXPECT_EQ(t.message(), c.message);
    }
}

}  // namespace
}  // namespace officerecords
