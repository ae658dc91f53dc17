// The demo data's shared tools, for the demo/demo_*.cpp files only: a
// fixed-seed random generator, a row writer that checks each row against the
// schema before inserting it, and small value helpers. Nothing here is part
// of the public interface; fill_demo_data() in demo_data.h is.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/transaction.h"
#include "foundation/value.h"

namespace officerecords::demo {

// splitmix64: tiny, well mixed, and the same on every platform, unlike the
// standard distributions whose results differ between library versions.
class demo_random {
  public:
    explicit demo_random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename Items>
    const auto& pick(const Items& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

  private:
    std::uint64_t state_;
};

using cell = std::pair<std::string_view, value>;

// "" stands for no date; anything else must be an ISO date.
value day(std::string_view iso);
// "" stands for NULL.
value text_or_null(std::string_view s);
// An amount of money: `whole` yuan and `fen` hundredths.
value yuan(std::int64_t whole, int fen = 0);
// n written with at least `width` digits, zero-padded.
std::string digits(int n, int width);
// The name of `code` in the demo code table `table`; empty if it has none.
std::string_view code_name(std::string_view table, std::string_view code);

// Inserts rows through bound parameters and keeps the first failure; rows
// after a failure are skipped so that the caller checks once at the end.
// Each row is checked against the schema first, so a typo or an overlong
// text in the demo content fails loudly instead of being stored.
class row_writer {
  public:
    explicit row_writer(transaction& t) : t_(t) {}

    void insert(std::string_view table, std::initializer_list<cell> cells) {
        insert(table, std::vector<cell>(cells));
    }

    void insert(std::string_view table, const std::vector<cell>& cells);

    // A register row: the community, the next record number of the table
    // (unique over the whole table, as the photo store and the member
    // registers find rows by number alone) and the saved-with-checks flag.
    std::int64_t insert_register(std::string_view table, std::string_view commno,
                                 std::initializer_list<cell> cells);

    const std::string& error() const { return error_; }

  private:
    void fail(std::string message) { error_ = std::move(message); }

    transaction& t_;
    std::string error_;
    std::map<std::string, std::int64_t> ordernos_;
};

}  // namespace officerecords::demo
