// Hand-written database code, the anchor every workload of the performance
// runner is timed beside: a connection straight to sqlite3 or libpq, each
// statement prepared once, values bound, rows read into plain structs.
// Nothing of the product's runtime is used here.
//
// Every call ends the program with a message when the database refuses
// something: a measured failure would be a figure that means nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"

namespace officerecords {

// One bound value: text, a whole number, a real or bytes (not owned).
struct raw_param {
    enum class kind { text, integer, real, bytes } k = kind::text;
    std::string_view text;
    std::int64_t integer = 0;
    double real = 0;
    const unsigned char* data = nullptr;
    std::size_t size = 0;

    raw_param(std::string_view t) : text(t) {}
    raw_param(const char* t) : text(t) {}
    raw_param(std::int64_t i) : k(kind::integer), integer(i) {}
    raw_param(int i) : k(kind::integer), integer(i) {}
    raw_param(double r) : k(kind::real), real(r) {}
    raw_param(const std::vector<unsigned char>& b) : k(kind::bytes), data(b.data()), size(b.size()) {}
};

class raw_connection {
public:
    // A file is opened with the product's pragmas (WAL, synchronous=FULL);
    // a postgresql:// URI with DateStyle ISO, the server's own durability.
    static std::unique_ptr<raw_connection> open(const std::string& target);
    virtual ~raw_connection() = default;

    // A statement with `?` placeholders, prepared once; its handle.
    virtual int prepare(const std::string& sql) = 0;
    // Runs a statement that returns no rows; the rows it changed.
    virtual std::int64_t run(int statement, std::vector<raw_param> params = {}) = 0;
    // The first column of the first row, as a whole number (0 for null).
    virtual std::int64_t number(int statement, std::vector<raw_param> params = {}) = 0;
    // The first column of the first row as bytes; false when no row.
    virtual bool bytes(int statement, std::vector<raw_param> params, std::vector<unsigned char>& out) = 0;
    // The asset rows a SELECT of the asset form's 22 columns returns.
    virtual void assets(int statement, std::vector<raw_param> params, std::vector<raw_asset>& out) = 0;
    // How a write transaction starts: SQLite takes its write lock at once.
    virtual const char* begin_write() const = 0;
};

}  // namespace officerecords
