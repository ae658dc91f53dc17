// A boolean row expression such as "tcode > '10' and tcode < '20'", used to
// filter the rows of a data window (first of all the drop-down code tables).
//
// The text is parsed once into a tree; evaluating it for a row only looks up
// the identifiers it names and compares values, so one expression can be
// applied to every row of a table cheaply.
//
// The language:
//   literals     'text' or "text" (a doubled quote, or a backslash before a
//                quote, stands for the quote itself; \\ is one backslash),
//                numbers 123 and 12.5, true (1), false (0), null
//   identifiers  a letter or '_' followed by letters, digits and '_'
//   operators    - (unary)   = == <> != < > <= >=   not   and   or
//                by precedence, highest first; comparisons do not chain
//   parentheses  group as usual
// Keywords ignore letter case; whitespace may separate any two tokens.
//
// Comparison rules: text with text compares byte by byte ("06" < "60"),
// numbers numerically; text with a number compares numerically when the whole
// text is a number ("05" = 5) and otherwise compares the number's text form
// with the text. A comparison involving null is null; not, and, or use
// three-valued logic, and a filter that ends in null does not match. Where
// not, and, or need a truth value, a number is true when non-zero; text that
// is wholly a number counts as that number, and other text is an error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"
#include "foundation/value.h"

namespace officerecords {

class expression {
  public:
    // Parses the text. On a syntax error the message names the 1-based
    // character position, e.g. "syntax error at 14: expected ')'". Empty or
    // blank text is an error ("syntax error at 1: empty expression"); callers
    // treat an empty filter as "no filter" before calling this.
    static result<expression> parse(std::string_view text);

    // Returns the value of the named column for the row being evaluated, or
    // std::nullopt when there is no such column. The name is passed in ASCII
    // lower case, whatever case the expression used.
    using lookup = std::function<std::optional<value>(std::string_view name)>;

    // Evaluates the expression for one row. True and false are the integers
    // 1 and 0, unknown is null. Fails for an identifier the lookup does not
    // know and for an operand of the wrong kind (e.g. "not 'abc'"). Both
    // sides of and/or are always evaluated, so such an error is reported on
    // every row, not only on rows where the other side leaves it undecided.
    [[nodiscard]] result<value> evaluate(const lookup& row) const;

    // True when evaluate() gives a true value (a non-zero number); false for
    // false, null and errors.
    [[nodiscard]] bool matches(const lookup& row) const;

    // The text the expression was parsed from.
    const std::string& text() const { return text_; }

  private:
    enum class op : std::uint8_t {
        literal,
        identifier,
        negate,
        logical_not,
        logical_and,
        logical_or,
        equal,
        not_equal,
        less,
        less_equal,
        greater,
        greater_equal,
    };

    // nodes_ holds the tree in postfix order (operands before their
    // operator), so evaluation is a loop over a value stack, not a recursion
    // whose depth the text would control.
    struct node {
        op kind = op::literal;
        std::size_t position = 0;  // 1-based character position in text_
        value constant;            // op::literal
        std::string name;          // op::identifier, lower case
    };

    class parser;

    expression() = default;

    std::string text_;
    std::vector<node> nodes_;
    std::size_t stack_depth_ = 0;  // the most values evaluation holds at once
};

}  // namespace officerecords
