// A sheet's cell turned into what a clerk types into the column: each
// kind of cell against each kind of column.
#include "import/row_typist.h"

#include <gtest/gtest.h>

namespace officerecords {
namespace {

column_def of(column_type type, int width = 0) {
    column_def c;
    c.name = "c";
    c.type = type;
    c.width = width;
    return c;
}

struct typed_case {
    const char* what;
    sheet_cell cell;
    column_def column;
    bool codes;            // the column has the yes/no value list
    const char* expected;  // the text typed, or the message after "error: "
};

TEST(TypedTextTest, EachCellAsTheClerkWouldTypeIt) {
    const dw_child yes_no = dw_child::from_values("是\t1/否\t0/");
    const typed_case cases[] = {
        {"an ID number kept as text", {cell_kind::text, "420106198001011234"}, of(column_type::text, 20), false,
         "420106198001011234"},
        {"a telephone number stored as a number keeps its digits", {cell_kind::number, "13912345678"},
         of(column_type::text, 30), false, "13912345678"},
        {"an ID number Excel kept as a number lost its digits", {cell_kind::number, "4.20106198001011E+17"},
         of(column_type::text, 20), false,
         "error: “身份证号码”的“4.20106198001011E+17”是按数字保存的，已经丢失了位数；请在Excel中把这一列设为文本，重新输入后再导入"},
        {"eighteen digits are more than a number holds", {cell_kind::number, "420106198001011234"},
         of(column_type::text, 20), false,
         "error: “身份证号码”的“420106198001011234”是按数字保存的，已经丢失了位数；请在Excel中把这一列设为文本，重新输入后再导入"},
        {"an amount cell without its binary tail", {cell_kind::number, "0.30000000000000004"},
         of(column_type::decimal, 2), false, "0.3"},
        {"an amount typed with separators and the yuan sign", {cell_kind::text, "¥1,234.50"},
         of(column_type::decimal, 2), false, "1234.50"},
        {"a count", {cell_kind::number, "3"}, of(column_type::whole), false, "3"},
        {"a date cell", {cell_kind::date, "43831"}, of(column_type::date), false, "2020-01-01"},
        {"a date typed the Chinese way", {cell_kind::text, " 2020年1月2日 "}, of(column_type::date), false,
         "2020-01-02"},
        {"a date that is none", {cell_kind::text, "2020-02-30"}, of(column_type::date), false,
         "error: “身份证号码”的“2020-02-30”不是能认出的日期"},
        {"yes by its name", {cell_kind::text, "是"}, of(column_type::text, 1), true, "1"},
        {"no as other programs write it", {cell_kind::text, "N"}, of(column_type::text, 1), true, "0"},
        {"a true cell", {cell_kind::boolean, "1"}, of(column_type::text, 1), true, "1"},
        {"a code as itself", {cell_kind::text, "0"}, of(column_type::text, 1), true, "0"},
        {"an unknown name", {cell_kind::text, "也许"}, of(column_type::text, 1), true,
         "error: “身份证号码”的“也许”不是可以选择的名称或代码"},
        {"a formula's error", {cell_kind::error, "#DIV/0!"}, of(column_type::decimal, 2), false,
         "error: “身份证号码”是公式的错误值 #DIV/0!"},
        {"an empty cell types nothing", {cell_kind::empty, ""}, of(column_type::date), false, ""},
    };
    for (const typed_case& c : cases) {
        SCOPED_TRACE(c.what);
        result<std::string> typed = typed_text(c.cell, c.column, c.codes ? &yes_no : nullptr, "身份证号码");
        const std::string got = typed ? *typed : "error: " + typed.message();
        EXPECT_EQ(got, c.expected);
    }
}

}  // namespace
}  // namespace officerecords
