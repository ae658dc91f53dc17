#include "foundation/expression.h"

#include <algorithm>
#include <charconv>
#include <compare>
#include <limits>
#include <utility>

namespace officerecords {

namespace {

// Parentheses, "not" and unary minus nest by recursion in the parser; this
// bound keeps hostile text from exhausting the stack.
constexpr int k_max_nesting = 200;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || is_digit(c); }

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A number taken from a value or from text that is entirely a number.
struct number {
    bool is_integer = false;
    std::int64_t integer = 0;
    double real = 0;

    double as_double() const { return is_integer ? static_cast<double>(integer) : real; }
};

// Accepts an optional sign, digits and at most one decimal point, nothing
// else: codes like "05" are numbers, "5a", " 5" and "1e3" are not.
std::optional<number> parse_expression_number(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::size_t i = (!text.empty() && text.front() == '-') ? 1 : 0;
    bool any_digit = false;
    bool has_point = false;
    for (; i < text.size(); ++i) {
        if (is_digit(text[i])) {
            any_digit = true;
        } else if (text[i] == '.' && !has_point) {
            has_point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!any_digit) return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    number n;
    if (!has_point) {
        auto [end, ec] = std::from_chars(first, last, n.integer);
        if (ec == std::errc() && end == last) {
            n.is_integer = true;
            return n;
        }
    }
    auto [end, ec] = std::from_chars(first, last, n.real);
    if (ec != std::errc() || end != last) return std::nullopt;
    return n;
}

std::optional<number> numeric_value(const value& v) {
    if (v.is_integer()) return number{true, v.integer(), 0};
    if (v.is_double()) return number{false, 0, v.real()};
    if (v.is_decimal()) {
        if (auto d = v.as_double()) return number{false, 0, *d};
    }
    return std::nullopt;
}

// Text counts as a number wherever a number is needed, when all of it is one.
std::optional<number> numeric_or_numeric_text(const value& v) {
    if (v.is_text()) return parse_expression_number(v.text());
    return numeric_value(v);
}

std::partial_ordering compare_numbers(const number& a, const number& b) {
    if (a.is_integer && b.is_integer) return a.integer <=> b.integer;
    return a.as_double() <=> b.as_double();
}

std::partial_ordering compare_text(std::string_view a, std::string_view b) {
    // char_traits<char> compares as unsigned char, i.e. byte-wise.
    return a.compare(b) <=> 0;
}

// Unordered stands for "unknown": null on either side, or a NaN.
std::partial_ordering compare_values(const value& a, const value& b) {
    if (a.is_null() || b.is_null()) return std::partial_ordering::unordered;
    if (a.is_text() && b.is_text()) return compare_text(a.text(), b.text());
    const auto na = numeric_value(a);
    const auto nb = numeric_value(b);
    if (na && nb) return compare_numbers(*na, *nb);
    if (na && b.is_text()) {
        if (auto parsed = parse_expression_number(b.text())) return compare_numbers(*na, *parsed);
        return compare_text(a.to_text(), b.text());
    }
    if (nb && a.is_text()) {
        if (auto parsed = parse_expression_number(a.text())) return compare_numbers(*parsed, *nb);
        return compare_text(a.text(), b.to_text());
    }
    if (a.is_date() && b.is_date()) return a.day() <=> b.day();
    if (a.is_blob() && b.is_blob()) {
        const auto& x = a.bytes();
        const auto& y = b.bytes();
        return std::lexicographical_compare_three_way(x.begin(), x.end(), y.begin(), y.end());
    }
    // Dates print as ISO text, whose byte order is date order.
    return compare_text(a.to_text(), b.to_text());
}

enum class truth { no, yes, unknown };

value from_truth(truth t) {
    if (t == truth::unknown) return value();
    return value(t == truth::yes ? 1 : 0);
}

result<truth> to_truth(const value& v, std::size_t position) {
    if (v.is_null()) return truth::unknown;
    if (auto n = numeric_or_numeric_text(v)) {
        return n->as_double() != 0 ? truth::yes : truth::no;
    }
    return status::error("expected true or false at " + std::to_string(position) + ", found '" +
                         v.to_text() + "'");
}

result<value> negated(const value& v, std::size_t position) {
    if (v.is_null()) return value();
    if (v.is_decimal()) {
        const decimal d = v.dec();
        if (d.units() != std::numeric_limits<std::int64_t>::min()) {
            return value(decimal(-d.units(), d.scale()));
        }
    }
    if (auto n = numeric_or_numeric_text(v)) {
        if (n->is_integer && n->integer != std::numeric_limits<std::int64_t>::min()) {
            return value(-n->integer);
        }
        return value(-n->as_double());
    }
    return status::error("cannot negate '" + v.to_text() + "' at " + std::to_string(position));
}

}  // namespace

// Recursive descent over a lexer that reads one token ahead. Nodes are
// appended operands first, which yields the postfix order evaluation wants.
class expression::parser {
  public:
    explicit parser(std::string_view text) : text_(text) {
        // Users count characters, not UTF-8 bytes; only non-ASCII text needs
        // a table from byte offset to character position.
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0x80) == 0;
        });
        if (ascii) return;
        positions_.resize(text.size() + 1);
        std::size_t position = 1;
        for (std::size_t i = 0; i < text.size(); ++i) {
            positions_[i] = position;
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++position;
        }
        positions_[text.size()] = position;
    }

    result<expression> run() {
        advance();
        if (token_.kind == token_kind::end && !failed_) fail_at(0, "empty expression");
        if (!failed_) parse_or();
        if (!failed_ && token_.kind != token_kind::end) fail_at(token_.offset, unexpected());
        if (failed_) return status::error(error_);

        expression e;
        e.text_ = std::string(text_);
        e.nodes_ = std::move(nodes_);
        std::size_t depth = 0;
        for (const node& n : e.nodes_) {
            if (n.kind == op::literal || n.kind == op::identifier) {
                e.stack_depth_ = std::max(e.stack_depth_, ++depth);
            } else if (n.kind != op::negate && n.kind != op::logical_not) {
                --depth;
            }
        }
        return e;
    }

  private:
    enum class token_kind {
        end,
        number,
        text,
        identifier,
        kw_and,
        kw_or,
        kw_not,
        kw_true,
        kw_false,
        kw_null,
        open,
        close,
        minus,
        equal,
        not_equal,
        less,
        less_equal,
        greater,
        greater_equal,
    };

    struct token {
        token_kind kind = token_kind::end;
        std::size_t offset = 0;  // bytes into the text
        std::size_t length = 0;
        value constant;    // number and text tokens
        std::string name;  // identifiers, lower case
    };

    std::size_t position_of(std::size_t byte_offset) const {
        return positions_.empty() ? byte_offset + 1 : positions_[byte_offset];
    }

    void fail_at(std::size_t offset, const std::string& message) {
        // The first error is the one the user has to fix first.
        if (failed_) return;
        failed_ = true;
        error_ = "syntax error at " + std::to_string(position_of(offset)) + ": " + message;
    }

    std::string unexpected() const {
        return "unexpected '" + std::string(text_.substr(token_.offset, token_.length)) + "'";
    }

    void advance() {
        std::size_t i = pos_;
        while (i < text_.size() && is_space(text_[i])) ++i;
        token_ = token{};
        token_.offset = i;
        if (i >= text_.size()) {
            pos_ = i;
            return;
        }
        const char c = text_[i];
        std::size_t j = i + 1;
        const auto next_is = [&](char wanted) { return j < text_.size() && text_[j] == wanted; };
        switch (c) {
            case '(':
                token_.kind = token_kind::open;
                break;
            case ')':
                token_.kind = token_kind::close;
                break;
            case '-':
                token_.kind = token_kind::minus;
                break;
            case '=':
                token_.kind = token_kind::equal;
                if (next_is('=')) ++j;
                break;
            case '<':
                token_.kind = token_kind::less;
                if (next_is('>')) {
                    token_.kind = token_kind::not_equal;
                    ++j;
                } else if (next_is('=')) {
                    token_.kind = token_kind::less_equal;
                    ++j;
                }
                break;
            case '>':
                token_.kind = token_kind::greater;
                if (next_is('=')) {
                    token_.kind = token_kind::greater_equal;
                    ++j;
                }
                break;
            case '!':
                if (!next_is('=')) return bad_character(i);
                token_.kind = token_kind::not_equal;
                ++j;
                break;
            case '\'':
            case '"':
                if (!lex_text(i, j)) return;
                break;
            default:
                if (is_digit(c)) {
                    if (!lex_number(i, j)) return;
                } else if (is_name_start(c)) {
                    lex_name(i, j);
                } else {
                    return bad_character(i);
                }
        }
        token_.length = j - i;
        pos_ = j;
    }

    // On return j is just past the closing quote.
    bool lex_text(std::size_t i, std::size_t& j) {
        const char quote = text_[i];
        std::string content;
        for (;;) {
            if (j >= text_.size()) {
                fail_at(i, "unterminated string");
                return false;
            }
            const char c = text_[j];
            const bool has_next = j + 1 < text_.size();
            if (c == '\\' && has_next &&
                (text_[j + 1] == '\'' || text_[j + 1] == '"' || text_[j + 1] == '\\')) {
                content += text_[j + 1];
                j += 2;
            } else if (c == quote && has_next && text_[j + 1] == quote) {
                content += quote;
                j += 2;
            } else if (c == quote) {
                ++j;
                break;
            } else {
                content += c;
                ++j;
            }
        }
        token_.kind = token_kind::text;
        token_.constant = value(std::move(content));
        return true;
    }

    bool lex_number(std::size_t i, std::size_t& j) {
        while (j < text_.size() && is_digit(text_[j])) ++j;
        if (j < text_.size() && text_[j] == '.') {
            ++j;
            if (j >= text_.size() || !is_digit(text_[j])) {
                fail_at(i, "malformed number");
                return false;
            }
            while (j < text_.size() && is_digit(text_[j])) ++j;
        }
        if (j < text_.size() && text_[j] == '.') {
            fail_at(i, "malformed number");
            return false;
        }
        const auto n = parse_expression_number(text_.substr(i, j - i));
        if (!n) {
            fail_at(i, "number out of range");
            return false;
        }
        token_.kind = token_kind::number;
        token_.constant = n->is_integer ? value(n->integer) : value(n->real);
        return true;
    }

    void lex_name(std::size_t i, std::size_t& j) {
        while (j < text_.size() && is_name_char(text_[j])) ++j;
        std::string name = ascii_lower(text_.substr(i, j - i));
        static const std::pair<std::string_view, token_kind> keywords[] = {
            {"and", token_kind::kw_and},     {"or", token_kind::kw_or},
            {"not", token_kind::kw_not},     {"true", token_kind::kw_true},
            {"false", token_kind::kw_false}, {"null", token_kind::kw_null},
        };
        token_.kind = token_kind::identifier;
        for (const auto& [word, k] : keywords) {
            if (name == word) token_.kind = k;
        }
        token_.name = std::move(name);
    }

    void bad_character(std::size_t i) {
        // Show the whole UTF-8 character, not its first byte.
        std::size_t j = i + 1;
        while (j < text_.size() && (static_cast<unsigned char>(text_[j]) & 0xC0) == 0x80) ++j;
        fail_at(i, "unexpected character '" + std::string(text_.substr(i, j - i)) + "'");
    }

    void add(op what, std::size_t offset, value constant = value(), std::string name = {}) {
        node& n = nodes_.emplace_back();
        n.kind = what;
        n.position = position_of(offset);
        n.constant = std::move(constant);
        n.name = std::move(name);
    }

    bool enter(std::size_t offset) {
        if (++nesting_ > k_max_nesting) {
            fail_at(offset, "expression nested too deeply");
            return false;
        }
        return true;
    }

    void parse_or() {
        parse_and();
        while (!failed_ && token_.kind == token_kind::kw_or) {
            const std::size_t at = token_.offset;
            advance();
            parse_and();
            add(op::logical_or, at);
        }
    }

    void parse_and() {
        parse_not();
        while (!failed_ && token_.kind == token_kind::kw_and) {
            const std::size_t at = token_.offset;
            advance();
            parse_not();
            add(op::logical_and, at);
        }
    }

    void parse_not() {
        if (token_.kind != token_kind::kw_not) return parse_comparison();
        const std::size_t at = token_.offset;
        if (!enter(at)) return;
        advance();
        parse_not();
        --nesting_;
        add(op::logical_not, at);
    }

    static std::optional<op> comparison(token_kind k) {
        switch (k) {
            case token_kind::equal:
                return op::equal;
            case token_kind::not_equal:
                return op::not_equal;
            case token_kind::less:
                return op::less;
            case token_kind::less_equal:
                return op::less_equal;
            case token_kind::greater:
                return op::greater;
            case token_kind::greater_equal:
                return op::greater_equal;
            default:
                return std::nullopt;
        }
    }

    void parse_comparison() {
        parse_unary();
        if (failed_) return;
        const auto compare = comparison(token_.kind);
        if (!compare) return;
        const std::size_t at = token_.offset;
        advance();
        parse_unary();
        add(*compare, at);
        // "a < b < c" would compare a truth value with c; say so instead.
        if (!failed_ && comparison(token_.kind)) {
            fail_at(token_.offset, "comparisons cannot be chained");
        }
    }

    void parse_unary() {
        if (token_.kind != token_kind::minus) return parse_primary();
        const std::size_t at = token_.offset;
        if (!enter(at)) return;
        advance();
        parse_unary();
        --nesting_;
        if (failed_) return;
        // Fold "-3" into a literal so it costs nothing per row.
        node& operand = nodes_.back();
        if (operand.kind == op::literal && !operand.constant.is_text()) {
            if (auto folded = negated(operand.constant, operand.position)) {
                operand.constant = folded.take();
                operand.position = position_of(at);
                return;
            }
        }
        add(op::negate, at);
    }

    void parse_primary() {
        if (failed_) return;
        const std::size_t at = token_.offset;
        switch (token_.kind) {
            case token_kind::number:
            case token_kind::text:
                add(op::literal, at, std::move(token_.constant));
                break;
            case token_kind::kw_true:
                add(op::literal, at, value(1));
                break;
            case token_kind::kw_false:
                add(op::literal, at, value(0));
                break;
            case token_kind::kw_null:
                add(op::literal, at);
                break;
            case token_kind::identifier:
                add(op::identifier, at, value(), std::move(token_.name));
                break;
            case token_kind::open:
                if (!enter(at)) return;
                advance();
                parse_or();
                --nesting_;
                if (failed_) return;
                if (token_.kind != token_kind::close) return fail_at(token_.offset, "expected ')'");
                break;
            case token_kind::end:
                return fail_at(at, "expected a value, found the end of the text");
            default:
                return fail_at(at, "expected a value, found '" +
                                       std::string(text_.substr(at, token_.length)) + "'");
        }
        advance();
    }

    std::string_view text_;
    std::vector<std::size_t> positions_;  // empty while the text is ASCII
    std::size_t pos_ = 0;
    token token_;
    std::vector<node> nodes_;
    int nesting_ = 0;
    bool failed_ = false;
    std::string error_;
};

result<expression> expression::parse(std::string_view text) { return parser(text).run(); }

result<value> expression::evaluate(const lookup& row) const {
    // Each value remembers where it came from, so that an operand of the
    // wrong kind is reported at its own position.
    struct slot {
        value v;
        std::size_t position;
    };
    std::vector<slot> stack;
    stack.reserve(stack_depth_);
    for (const node& n : nodes_) {
        switch (n.kind) {
            case op::literal:
                stack.push_back({n.constant, n.position});
                break;
            case op::identifier: {
                auto v = row(n.name);
                if (!v) {
                    return status::error("unknown identifier '" + n.name + "' at " +
                                         std::to_string(n.position));
                }
                stack.push_back({std::move(*v), n.position});
                break;
            }
            case op::negate: {
                auto v = negated(stack.back().v, stack.back().position);
                if (!v) return v;
                stack.back() = {v.take(), n.position};
                break;
            }
            case op::logical_not: {
                auto t = to_truth(stack.back().v, stack.back().position);
                if (!t) return status::error(t.message());
                const truth r = *t == truth::unknown ? truth::unknown
                                : *t == truth::yes   ? truth::no
                                                     : truth::yes;
                stack.back() = {from_truth(r), n.position};
                break;
            }
            case op::logical_and:
            case op::logical_or: {
                const slot right = std::move(stack.back());
                stack.pop_back();
                auto a = to_truth(stack.back().v, stack.back().position);
                if (!a) return status::error(a.message());
                auto b = to_truth(right.v, right.position);
                if (!b) return status::error(b.message());
                // A decisive side decides even when the other is unknown.
                const truth decisive = n.kind == op::logical_and ? truth::no : truth::yes;
                truth r;
                if (*a == decisive || *b == decisive) {
                    r = decisive;
                } else if (*a == truth::unknown || *b == truth::unknown) {
                    r = truth::unknown;
                } else {
                    r = *a;
                }
                stack.back() = {from_truth(r), n.position};
                break;
            }
            default: {
                const slot right = std::move(stack.back());
                stack.pop_back();
                const auto order = compare_values(stack.back().v, right.v);
                truth r = truth::unknown;
                if (order != std::partial_ordering::unordered) {
                    bool holds = false;
                    switch (n.kind) {
                        case op::equal:
                            holds = order == 0;
                            break;
                        case op::not_equal:
                            holds = order != 0;
                            break;
                        case op::less:
                            holds = order < 0;
                            break;
                        case op::less_equal:
                            holds = order <= 0;
                            break;
                        case op::greater:
                            holds = order > 0;
                            break;
                        default:
                            holds = order >= 0;
                            break;
                    }
                    r = holds ? truth::yes : truth::no;
                }
                stack.back() = {from_truth(r), n.position};
                break;
            }
        }
    }
    return std::move(stack.back().v);
}

bool expression::matches(const lookup& row) const {
    auto v = evaluate(row);
    if (!v) return false;
    auto t = to_truth(*v, 1);
    return t && *t == truth::yes;
}

}  // namespace officerecords
