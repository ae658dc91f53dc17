#include "foundation/expression.h"

#include <gtest/gtest.h>

#include <charconv>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace officerecords {
namespace {

using row_values = std::map<std::string, value>;

// The lookup a data window would give: known columns by lower-case name.
expression::lookup row_of(const row_values& columns) {
    return [&columns](std::string_view name) -> std::optional<value> {
        auto it = columns.find(std::string(name));
        if (it == columns.end()) return std::nullopt;
        return it->second;
    };
}

// One compact string per outcome, so each case asserts its whole result.
std::string describe(result<value>& r) {
    if (!r) return "error: " + r.message();
    const value& v = *r;
    if (v.is_null()) return "null";
    if (v.is_text()) return "'" + v.text() + "'";
    if (v.is_integer()) return std::to_string(v.integer());
    if (v.is_double()) {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.real());
        return std::string(buffer, end);
    }
    return "other";
}

std::string parse_error(std::string_view text) {
    auto parsed = expression::parse(text);
    return parsed ? "parsed" : parsed.message();
}

// A drop-down code table: tcode plus a tname, one of them with a quote.
const std::vector<std::string> k_codes = {"05", "06", "10", "11", "15", "19",
                                          "20", "21", "29", "50", "60", "61"};

std::string tname_for(const std::string& code) { return code == "50" ? "O'Brien" : "n" + code; }

// The codes whose rows the filter keeps, space separated.
std::string matching_codes(std::string_view filter) {
    auto parsed = expression::parse(filter);
    if (!parsed) return "error: " + parsed.message();
    std::string kept;
    for (const std::string& code : k_codes) {
        const row_values columns = {{"tcode", value(code)}, {"tname", value(tname_for(code))}};
        if (parsed->matches(row_of(columns))) kept += (kept.empty() ? "" : " ") + code;
    }
    return kept;
}

struct filter_case {
    const char* filter;
    const char* kept;
};

// Failures name the case by its text, not by its bytes.
void PrintTo(const filter_case& c, std::ostream* os) { *os << c.filter; }

class expression_filter : public testing::TestWithParam<filter_case> {};

TEST_P(expression_filter, keeps_the_right_codes) {
    EXPECT_EQ(matching_codes(GetParam().filter), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    code_table, expression_filter,
    testing::Values(
        filter_case{"tcode > '10' and tcode < '20'", "11 15 19"}, filter_case{"tcode = '50'", "50"},
        filter_case{"tcode>'60'", "61"}, filter_case{"tcode>'10' and tcode<'14'", "11"},
        filter_case{"tcode >= '10' and tcode <= '20'", "10 11 15 19 20"},
        filter_case{"tcode < '10'", "05 06"}, filter_case{"tcode == '29'", "29"},
        filter_case{"tcode <> '05' and tcode != '06' and tcode < '11'", "10"},
        // Text compares byte-wise; a number makes it numeric.
        filter_case{"tcode > '6'", "60 61"}, filter_case{"tcode = '5'", ""},
        filter_case{"tcode = 5", "05"}, filter_case{"tcode > 9 and tcode < 20", "10 11 15 19"},
        filter_case{"tcode = 6.0", "06"},
        // Precedence: not > and > or, comparisons tighter than not.
        filter_case{"tcode = '10' or tcode = '20' and tname <> 'n20'", "10"},
        filter_case{"(tcode = '10' or tcode = '20') and tname <> 'n10'", "20"},
        filter_case{"tcode = '05' or tcode = '06' and tcode = '05'", "05"},
        filter_case{"not tcode > '20'", "05 06 10 11 15 19 20"},
        filter_case{"not tcode > '20' and tcode > '15'", "19 20"},
        filter_case{"not (tcode < '20' or tcode > '50')", "20 21 29 50"},
        filter_case{"not not tcode = '05'", "05"}, filter_case{"((tcode = '61'))", "61"},
        // Letter case of keywords and identifiers does not matter.
        filter_case{"TCODE > '60'", "61"},
        filter_case{"TCode >= '50' AND Not TName = 'n61' Or tcode = '05'", "05 50 60"},
        // Quotes inside literals, all three spellings.
        filter_case{"tname = 'O''Brien'", "50"}, filter_case{"tname = \"O'Brien\"", "50"},
        filter_case{"tname = 'O\\'Brien'", "50"},
        // Whitespace anywhere, or none.
        filter_case{"  tcode\t>\n'10'and(tcode<'12')  ", "11"},
        filter_case{"true", "05 06 10 11 15 19 20 21 29 50 60 61"}, filter_case{"false", ""},
        filter_case{"null", ""}, filter_case{"not null", ""}, filter_case{"tcode = null", ""},
        filter_case{"not (tcode = null)", ""},
        // An unknown column never silently filters.
        filter_case{"tcodx = '10'", ""}, filter_case{"tcode = '10' or tcodx = '10'", ""}));

struct evaluate_case {
    const char* text;
    const char* outcome;
};

// Failures name the case by its text, not by its bytes.
void PrintTo(const evaluate_case& c, std::ostream* os) { *os << c.text; }

class expression_evaluate : public testing::TestWithParam<evaluate_case> {};

TEST_P(expression_evaluate, gives_the_value) {
    const row_values columns = {
        {"tcode", value("05")},
        {"n", value(5)},
        {"r", value(12.5)},
        {"x", value()},
        {"t", value("abc")},
        {"_x1", value(3)},
        {"money", value(decimal(1250, 2))},
    };
    auto parsed = expression::parse(GetParam().text);
    ASSERT_TRUE(parsed) << parsed.message();
    auto outcome = parsed->evaluate(row_of(columns));
    EXPECT_EQ(describe(outcome), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(
    values, expression_evaluate,
    testing::Values(
        evaluate_case{"1 = 1", "1"}, evaluate_case{"1 = 2", "0"}, evaluate_case{"true", "1"},
        evaluate_case{"FALSE", "0"}, evaluate_case{"null", "null"}, evaluate_case{"'abc'", "'abc'"},
        evaluate_case{"12.5", "12.5"}, evaluate_case{"-3", "-3"}, evaluate_case{"- -3", "3"},
        evaluate_case{"-n", "-5"}, evaluate_case{"-'7'", "-7"}, evaluate_case{"-x", "null"},
        evaluate_case{"-3 < 0", "1"}, evaluate_case{"n = -(-5)", "1"},
        // Text against text, byte by byte.
        evaluate_case{"'06' < '60'", "1"}, evaluate_case{"'61' > '60'", "1"},
        evaluate_case{"'10' < '9'", "1"}, evaluate_case{"'B' < 'a'", "1"},
        evaluate_case{"'居委会' > 'z'", "1"},
        // Numbers against numbers, and text that is wholly a number.
        evaluate_case{"10 > 9", "1"}, evaluate_case{"12.5 = 12.50", "1"},
        evaluate_case{"r = 12.5", "1"}, evaluate_case{"money = 12.5", "1"},
        evaluate_case{"money > n", "1"}, evaluate_case{"'10' > 9", "1"},
        evaluate_case{"tcode = 5", "1"}, evaluate_case{"tcode = n", "1"},
        evaluate_case{"'12.5' = r", "1"}, evaluate_case{"'-4' < 0", "1"},
        // Otherwise the number's text against the text.
        evaluate_case{"'5a' = 5", "0"}, evaluate_case{"'5a' > 5", "1"}, evaluate_case{"t > 5", "1"},
        evaluate_case{"'1e3' = 1000", "0"}, evaluate_case{"' 5' = 5", "0"},
        // Null: comparisons unknown, three-valued not/and/or.
        evaluate_case{"x = null", "null"}, evaluate_case{"null = null", "null"},
        evaluate_case{"x = 1", "null"}, evaluate_case{"x <> 1", "null"},
        evaluate_case{"not (x = 1)", "null"}, evaluate_case{"x = 1 and 1 = 0", "0"},
        evaluate_case{"x = 1 and 1 = 1", "null"}, evaluate_case{"x = 1 or 1 = 1", "1"},
        evaluate_case{"x = 1 or 1 = 0", "null"}, evaluate_case{"not null", "null"},
        // Quotes inside literals.
        evaluate_case{"'it''s'", "'it's'"}, evaluate_case{"\"say \"\"hi\"\"\"", "'say \"hi\"'"},
        evaluate_case{"'it\\'s' = \"it's\"", "1"}, evaluate_case{"\"a\\\"b\"", "'a\"b'"},
        evaluate_case{"'a\\\\'", "'a\\'"}, evaluate_case{"'C:\\dir'", "'C:\\dir'"},
        evaluate_case{"''", "''"}, evaluate_case{"_X1 = 3", "1"},
        evaluate_case{"N=5AND TCODE='05'", "1"},
        // Errors name the identifier or operand and where it is.
        evaluate_case{"tcodx = '1'", "error: unknown identifier 'tcodx' at 1"},
        evaluate_case{"tcode = '05' or nosuch = 1", "error: unknown identifier 'nosuch' at 17"},
        evaluate_case{"1 = 0 and NoSuch = 1", "error: unknown identifier 'nosuch' at 11"},
        evaluate_case{"t or 1 = 1", "error: expected true or false at 1, found 'abc'"},
        evaluate_case{"1 = 1 and (t)", "error: expected true or false at 12, found 'abc'"},
        evaluate_case{"not t", "error: expected true or false at 5, found 'abc'"},
        evaluate_case{"-t", "error: cannot negate 'abc' at 2"}));

struct syntax_case {
    const char* text;
    const char* message;
};

// Failures name the case by its text, not by its bytes.
void PrintTo(const syntax_case& c, std::ostream* os) { *os << c.text; }

class expression_syntax : public testing::TestWithParam<syntax_case> {};

TEST_P(expression_syntax, names_the_position) {
    EXPECT_EQ(parse_error(GetParam().text), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    errors, expression_syntax,
    testing::Values(
        syntax_case{"", "syntax error at 1: empty expression"},
        syntax_case{"   ", "syntax error at 1: empty expression"},
        syntax_case{"(tcode = '10'", "syntax error at 14: expected ')'"},
        syntax_case{"(tcode = '10' tname", "syntax error at 15: expected ')'"},
        syntax_case{"tcode = '10')", "syntax error at 13: unexpected ')'"},
        syntax_case{"()", "syntax error at 2: expected a value, found ')'"},
        syntax_case{"tcode >", "syntax error at 8: expected a value, found the end of the text"},
        syntax_case{"tcode > '10' and",
                    "syntax error at 17: expected a value, found the end of the text"},
        syntax_case{"not", "syntax error at 4: expected a value, found the end of the text"},
        syntax_case{"-", "syntax error at 2: expected a value, found the end of the text"},
        syntax_case{"and tcode", "syntax error at 1: expected a value, found 'and'"},
        syntax_case{"tcode = = 1", "syntax error at 9: expected a value, found '='"},
        syntax_case{"tcode = 1 or or", "syntax error at 14: expected a value, found 'or'"},
        syntax_case{"tcode tname", "syntax error at 7: unexpected 'tname'"},
        syntax_case{"tcode = 'abc", "syntax error at 9: unterminated string"},
        syntax_case{"tcode = \"abc'", "syntax error at 9: unterminated string"},
        syntax_case{"tcode = 'it''s", "syntax error at 9: unterminated string"},
        syntax_case{"tcode = 'abc\\'", "syntax error at 9: unterminated string"},
        syntax_case{"tcode # 1", "syntax error at 7: unexpected character '#'"},
        syntax_case{"tcode ! 1", "syntax error at 7: unexpected character '!'"},
        syntax_case{"1 < 2 < 3", "syntax error at 7: comparisons cannot be chained"},
        syntax_case{"12abc = 1", "syntax error at 3: unexpected 'abc'"},
        syntax_case{"12. = 1", "syntax error at 1: malformed number"},
        syntax_case{"1.2.3 = 1", "syntax error at 1: malformed number"},
        // Positions count characters, not UTF-8 bytes.
        syntax_case{"tname = '居委会' and (",
                    "syntax error at 20: expected a value, found the end of the text"},
        syntax_case{"tcode = '05' ）", "syntax error at 14: unexpected character '）'"},
        // The first error in the text wins.
        syntax_case{"tcode > and 'abc", "syntax error at 9: expected a value, found 'and'"}));

TEST(expression, keeps_its_text) {
    auto parsed = expression::parse("tcode > '10'");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text(), "tcode > '10'");
}

TEST(expression, passes_names_in_lower_case) {
    std::vector<std::string> asked;
    const expression::lookup row = [&asked](std::string_view name) -> std::optional<value> {
        asked.emplace_back(name);
        return value("x");
    };
    auto parsed = expression::parse("TCode = 'x' and TNAME = tName");
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->matches(row));
    EXPECT_EQ(asked, (std::vector<std::string>{"tcode", "tname", "tname"}));
}

TEST(expression, matches_is_false_on_error_and_non_truth) {
    const row_values columns = {{"t", value("abc")}, {"n", value(2)}};
    auto check = [&](std::string_view text) {
        auto parsed = expression::parse(text);
        EXPECT_TRUE(parsed) << text;
        return parsed && parsed->matches(row_of(columns));
    };
    EXPECT_FALSE(check("nosuch = 1"));
    EXPECT_FALSE(check("t"));
    EXPECT_FALSE(check("0"));
    EXPECT_TRUE(check("n"));
    EXPECT_TRUE(check("'1'"));
}

TEST(expression, limits_nesting) {
    const std::string deep = std::string(300, '(') + "1" + std::string(300, ')');
    EXPECT_EQ(parse_error(deep), "syntax error at 201: expression nested too deeply");
    const std::string fine = std::string(150, '(') + "1" + std::string(150, ')');
    EXPECT_EQ(parse_error(fine), "parsed");
    EXPECT_EQ(parse_error(std::string(300, '-') + "1"),
              "syntax error at 201: expression nested too deeply");
}

TEST(expression, evaluates_long_chains_without_recursion) {
    std::string text = "n = 0";
    for (int i = 1; i < 20000; ++i) text += " or n = " + std::to_string(i);
    auto parsed = expression::parse(text);
    ASSERT_TRUE(parsed);
    const row_values hit = {{"n", value(19999)}};
    const row_values miss = {{"n", value(-1)}};
    EXPECT_TRUE(parsed->matches(row_of(hit)));
    EXPECT_FALSE(parsed->matches(row_of(miss)));
}

TEST(expression, one_parse_serves_many_rows) {
    auto parsed = expression::parse("tcode > '10' and tcode < '20'");
    ASSERT_TRUE(parsed);
    int kept = 0;
    for (int i = 0; i < 300; ++i) {
        std::string code(i < 10 ? "0" : "");
        code += std::to_string(i);
        const row_values columns = {{"tcode", value(code)}};
        if (parsed->matches(row_of(columns))) ++kept;
    }
    // "11".."19" and the three-digit codes from "100" to "199".
    EXPECT_EQ(kept, 9 + 100);
}

}  // namespace
}  // namespace officerecords
