// What saving and reading a photo through the photo store cost over
// hand-written SQLite code, for a 1 MiB and a 10 MiB picture, in one run.
//
// For each size two identical new databases are made. The photo store saves
// a new photo into one on photosqlca as the album's Save does: write guard,
// next number, insert, file name and note, picture, commit. A raw sqlite3
// connection runs the same statements on the other, each prepared once, the
// picture bound in place. Both commit with WAL and synchronous=FULL, and
// both take the bytes from memory: reading the picture file is the host's
// work, not the store's. Each side's photo is deleted again, untimed, before
// that side saves the next, so the files stay one photo large. Then reading
// a stored picture back into a byte vector on both sides. The two sides run
// in interleaved pairs and their medians are compared; the summary prints
// each ratio beside its target.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "activities/photo_store.h"
#include "bench/bench_support.h"
#include "foundation/picture_format.h"
#include "platform/database.h"

namespace officerecords {
namespace {

namespace fs = std::filesystem;

constexpr double k_target = 1.5;
constexpr std::size_t k_mib = 1024 * 1024;
// Saves go to one activity and the photo read back belongs to another, so
// deleting the saved photos never touches the one being read.
constexpr std::int64_t k_save_activity = 1;
constexpr std::int64_t k_read_activity = 2;
constexpr const char* k_file_name = "重阳节敬老活动.bmp";
constexpr const char* k_note = "社区老年活动中心合影";

// Fewer pairs where one operation takes long; always odd, for a plain median.
int save_pairs(std::size_t size) { return size <= k_mib ? 101 : 31; }
int read_pairs(std::size_t size) { return size <= k_mib ? 101 : 31; }

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "photo_store_bench: %s\n", why.c_str());
    std::exit(1);
}

// Removed however the program ends, a loud failure included.
fs::path g_scratch;
void remove_scratch() {
    std::error_code ec;
    if (!g_scratch.empty()) fs::remove_all(g_scratch, ec);
}

// Pseudo-random bytes behind a BMP file header ("BM", file size, pixel
// offset), so the store's readers take them for a picture; the same bytes
// on every run.
blob photo_bytes(std::size_t size) {
    blob bytes(size);
    std::mt19937_64 rng(20261208 + size);
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t r = rng();
        std::memcpy(bytes.data() + i, &r, std::min<std::size_t>(8, size - i));
    }
    const std::uint32_t header[] = {static_cast<std::uint32_t>(size), 0, 54};
    bytes[0] = 'B';
    bytes[1] = 'M';
    std::memcpy(bytes.data() + 2, header, sizeof header);
    return bytes;
}

// How many photos of the activity carry the benchmark's name and note, and
// their picture bytes in all.
struct stored_photos {
    std::int64_t count = 0;
    std::int64_t bytes = 0;
};
constexpr const char* k_stored_sql =
    "SELECT COUNT(*), TOTAL(length(Photo)) FROM TS_CommActivePhoto "
    "WHERE OrderNo = ? AND PhotoFileName = ? AND PhotoNote = ?";

// ---- the photo store's side ---------------------------------------------------

class product_side {
public:
    explicit product_side(const std::string& path) {
        auto opened = open_database(path, host_);
        if (!opened) fail("open_database: " + opened.message());
        db_ = opened.take();
        // Both sides must be equally durable for the comparison to mean anything.
        auto sync = db_.photosqlca->select_value("PRAGMA synchronous");
        auto journal = db_.photosqlca->select_value("PRAGMA journal_mode");
        if (!sync || sync->as_double() != 2.0 || !journal || journal->text() != "wal")
            fail("photosqlca is not in WAL mode with synchronous=FULL");
        store_.emplace(*db_.photosqlca);
    }

    // The album's Save of a new photo, less reading the file; the photo's
    // number, or a loud end when any statement failed.
    std::int64_t save(std::int64_t activity, const blob& bytes) {
        transaction& t = *db_.photosqlca;
        write_guard guard(t);
        if (!guard.began()) fail("photo store begin: " + t.sqlerrtext());
        const std::optional<std::int64_t> number = store_->next_number(activity);
        if (!number) fail("photo store next number: " + t.sqlerrtext());
        if (store_->create(k_bench_commno, activity, *number) == sql_code::error)
            fail("photo store create: " + t.sqlerrtext());
        if (store_->store_name_and_note(activity, *number, k_file_name, k_note) != sql_code::ok)
            fail("photo store name and note: " + t.sqlerrtext());
        if (store_->store_picture(activity, *number, bytes) != sql_code::ok)
            fail("photo store picture: " + t.sqlerrtext());
        if (guard.commit() != sql_code::ok) fail("photo store commit: " + t.sqlerrtext());
        return *number;
    }

    // The album's deletion of the saved photo, which must have been there.
    void remove(std::int64_t activity, std::int64_t number) {
        transaction& t = *db_.photosqlca;
        write_guard guard(t);
        if (!guard.began() || store_->remove(activity, number) != sql_code::ok ||
            t.sqlnrows() != 1 || guard.commit() != sql_code::ok)
            fail("the photo store did not delete photo " + std::to_string(number) + ": " +
                 t.sqlerrtext());
    }

    void read(std::int64_t activity, std::int64_t number) {
        last_read = store_->read_picture(activity, number);
    }

    stored_photos stored(std::int64_t activity) {
        const value p[] = {value(activity), value(std::string(k_file_name)),
                           value(std::string(k_note))};
        const auto row = db_.photosqlca->select_row(k_stored_sql, p);
        if (!row || row->size() != 2)
            fail("counting the store's photos: " + db_.photosqlca->sqlerrtext());
        return {static_cast<std::int64_t>((*row)[0].as_double().value_or(-1)),
                static_cast<std::int64_t>((*row)[1].as_double().value_or(-1))};
    }

    std::optional<blob> last_read;

private:
    bench_host host_;
    database db_;
    std::optional<photo_store> store_;
};

// ---- the raw side -------------------------------------------------------------

class raw_side {
public:
    explicit raw_side(const std::string& path) : db_(open_raw(path, "FULL")) {
        begin_ = prepare("BEGIN IMMEDIATE");
        commit_ = prepare("COMMIT");
        highest_ = prepare("SELECT MAX(PhotoNo) FROM TS_CommActivePhoto WHERE OrderNo = ?");
        insert_ =
            prepare("INSERT INTO TS_CommActivePhoto (CommNo, OrderNo, PhotoNo) VALUES (?, ?, ?)");
        name_ = prepare(
            "UPDATE TS_CommActivePhoto SET PhotoFileName = ?, PhotoNote = ? "
            "WHERE OrderNo = ? AND PhotoNo = ?");
        picture_ =
            prepare("UPDATE TS_CommActivePhoto SET Photo = ? WHERE OrderNo = ? AND PhotoNo = ?");
        read_ = prepare("SELECT Photo FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?");
        remove_ = prepare("DELETE FROM TS_CommActivePhoto WHERE OrderNo = ? AND PhotoNo = ?");
        stored_ = prepare(k_stored_sql);
        if (text_of("PRAGMA journal_mode") != "wal" || text_of("PRAGMA synchronous") != "2")
            fail("the raw connection is not in WAL mode with synchronous=FULL");
    }
    ~raw_side() {
        for (sqlite3_stmt* s :
             {begin_, commit_, highest_, insert_, name_, picture_, read_, remove_, stored_})
            sqlite3_finalize(s);
        sqlite3_close_v2(db_);
    }
    raw_side(const raw_side&) = delete;
    raw_side& operator=(const raw_side&) = delete;

    std::int64_t save(std::int64_t activity, const blob& bytes) {
        run(begin_, "begin");
        sqlite3_bind_int64(highest_, 1, activity);
        check_sqlite(sqlite3_step(highest_), db_, "max");
        const std::int64_t number = sqlite3_column_int64(highest_, 0) + 1;
        sqlite3_reset(highest_);
        sqlite3_bind_text(insert_, 1, k_bench_commno, -1, SQLITE_STATIC);
        sqlite3_bind_int64(insert_, 2, activity);
        sqlite3_bind_int64(insert_, 3, number);
        run(insert_, "insert");
        sqlite3_bind_text(name_, 1, k_file_name, -1, SQLITE_STATIC);
        sqlite3_bind_text(name_, 2, k_note, -1, SQLITE_STATIC);
        key(name_, 3, activity, number);
        run(name_, "name and note");
        sqlite3_bind_blob64(picture_, 1, bytes.data(), bytes.size(), SQLITE_STATIC);
        key(picture_, 2, activity, number);
        run(picture_, "picture");
        // The statement must not keep pointing at bytes it does not own.
        sqlite3_clear_bindings(picture_);
        run(commit_, "commit");
        return number;
    }

    void remove(std::int64_t activity, std::int64_t number) {
        run(begin_, "begin");
        key(remove_, 1, activity, number);
        run(remove_, "delete");
        if (sqlite3_changes(db_) != 1) fail("the raw DELETE found no photo");
        run(commit_, "commit");
    }

    void read(std::int64_t activity, std::int64_t number) {
        key(read_, 1, activity, number);
        if (sqlite3_step(read_) != SQLITE_ROW) fail("the raw SELECT found no photo");
        const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(read_, 0));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(read_, 0));
        last_read = std::vector<unsigned char>(data, data + size);
        sqlite3_reset(read_);
    }

    stored_photos stored(std::int64_t activity) {
        sqlite3_bind_int64(stored_, 1, activity);
        sqlite3_bind_text(stored_, 2, k_file_name, -1, SQLITE_STATIC);
        sqlite3_bind_text(stored_, 3, k_note, -1, SQLITE_STATIC);
        check_sqlite(sqlite3_step(stored_), db_, "count");
        const stored_photos s{sqlite3_column_int64(stored_, 0), sqlite3_column_int64(stored_, 1)};
        sqlite3_reset(stored_);
        return s;
    }

    std::vector<unsigned char> last_read;

private:
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        check_sqlite(sqlite3_prepare_v2(db_, sql, -1, &s, nullptr), db_, sql);
        return s;
    }
    void run(sqlite3_stmt* s, const char* what) {
        check_sqlite(sqlite3_step(s), db_, what);
        sqlite3_reset(s);
    }
    static void key(sqlite3_stmt* s, int first, std::int64_t activity, std::int64_t number) {
        sqlite3_bind_int64(s, first, activity);
        sqlite3_bind_int64(s, first + 1, number);
    }
    std::string text_of(const char* sql) {
        sqlite3_stmt* s = prepare(sql);
        check_sqlite(sqlite3_step(s), db_, sql);
        const unsigned char* t = sqlite3_column_text(s, 0);
        std::string out = t ? reinterpret_cast<const char*>(t) : "";
        sqlite3_finalize(s);
        return out;
    }

    sqlite3* db_;
    sqlite3_stmt *begin_ = nullptr, *commit_ = nullptr, *highest_ = nullptr, *insert_ = nullptr,
                 *name_ = nullptr, *picture_ = nullptr, *read_ = nullptr, *remove_ = nullptr,
                 *stored_ = nullptr;
};

// ---- one size -----------------------------------------------------------------

struct result_row {
    std::size_t size;
    const char* job;
    int pairs;
    pair_timing t;
};

void expect_stored(const char* side, stored_photos got, std::int64_t count, std::size_t size) {
    if (got.count != count || got.bytes != count * static_cast<std::int64_t>(size))
        fail(std::string(side) + " holds " + std::to_string(got.count) + " photos of " +
             std::to_string(got.bytes) + " bytes, not " + std::to_string(count) + " of " +
             std::to_string(size));
}

void expect_bytes(const char* side, const blob& got, const blob& want) {
    if (got != want) fail(std::string(side) + " read back other bytes than were saved");
    if (picture_format_of(got) != picture_format::bmp)
        fail(std::string(side) + " read back bytes that are not a BMP picture");
}

void run_size(const fs::path& dir, std::size_t size, std::vector<result_row>& out) {
    const std::string tag = std::to_string(size / k_mib) + "mib";
    const std::string product_path = (dir / ("store_" + tag + ".db")).string();
    const std::string raw_path = (dir / ("raw_" + tag + ".db")).string();
    {
        bench_host builder;
        if (status st = create_database(product_path, false, builder); !st)
            fail("create_database: " + st.message());
        fs::copy_file(product_path, raw_path);
    }
    const blob bytes = photo_bytes(size);
    {
        product_side product(product_path);
        raw_side raw(raw_path);

        // The photo read back, and a warm-up save on each side: statements
        // prepared, pages and free pages in place on both.
        if (product.save(k_read_activity, bytes) != 1 || raw.save(k_read_activity, bytes) != 1)
            fail("the first photo of an activity is not number 1");
        std::int64_t product_saved = product.save(k_save_activity, bytes);
        std::int64_t raw_saved = raw.save(k_save_activity, bytes);

        // Before each side saves, its previous photo is deleted; the pause
        // runs before the store's side and the raw side in turn.
        int turn = 0;
        auto delete_then_pause = [&] {
            if (turn++ % 2 == 0)
                product.remove(k_save_activity, product_saved);
            else
                raw.remove(k_save_activity, raw_saved);
            sync_phase();
        };
        const int pairs = save_pairs(size);
        const pair_timing save = interleaved(
            pairs, [&](int) { product_saved = product.save(k_save_activity, bytes); },
            [&](int) { raw_saved = raw.save(k_save_activity, bytes); }, delete_then_pause);
        if (product_saved != 1 || raw_saved != 1)
            fail("a save after a deletion did not take number 1 again");
        expect_stored("the store's database", product.stored(k_save_activity), 1, size);
        expect_stored("the raw database", raw.stored(k_save_activity), 1, size);
        product.read(k_save_activity, product_saved);
        raw.read(k_save_activity, raw_saved);
        expect_bytes("the store", product.last_read.value_or(blob{}), bytes);
        expect_bytes("the raw side", raw.last_read, bytes);
        product.remove(k_save_activity, product_saved);
        raw.remove(k_save_activity, raw_saved);
        out.push_back({size, "save", pairs, save});

        product.read(k_read_activity, 1);
        raw.read(k_read_activity, 1);
        product.last_read.reset();
        raw.last_read = std::vector<unsigned char>();
        // Each side replaces the bytes it read last, so both free the old
        // vector inside the timing alike.
        const int reads = read_pairs(size);
        const pair_timing read = interleaved(
            reads, [&](int) { product.read(k_read_activity, 1); },
            [&](int) { raw.read(k_read_activity, 1); });
        expect_bytes("the store", product.last_read.value_or(blob{}), bytes);
        expect_bytes("the raw side", raw.last_read, bytes);
        expect_stored("the store's database", product.stored(k_read_activity), 1, size);
        expect_stored("the raw database", raw.stored(k_read_activity), 1, size);
        expect_stored("the store's database", product.stored(k_save_activity), 0, size);
        expect_stored("the raw database", raw.stored(k_save_activity), 0, size);
        out.push_back({size, "read", reads, read});
    }
    std::printf("%zu MiB photo: measured\n", size / k_mib);
    std::fflush(stdout);
    std::error_code ec;
    for (const std::string& p : {product_path, raw_path})
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(p + suffix, ec);
}

// ---- summary ------------------------------------------------------------------

void print_summary(const std::vector<result_row>& results) {
    std::printf(
        "\nSummary: medians of interleaved pairs; saves commit each photo, WAL +\n"
        "synchronous=FULL on both sides; ratio = photo store / raw sqlite3 (wall)\n\n");
    std::printf("%-7s %-5s %6s %11s %11s %7s %7s %7s | %11s %11s %7s\n", "photo", "job", "pairs",
                "store", "raw", "ratio", "target", "result", "store cpu", "raw cpu", "ratio");
    for (const result_row& r : results) {
        const double ratio = r.t.window.wall / r.t.raw.wall;
        const double cpu = r.t.raw.cpu > 0 ? r.t.window.cpu / r.t.raw.cpu : 0;
        const std::string photo = std::to_string(r.size / k_mib) + " MiB";
        std::printf("%-7s %-5s %6d %11s %11s %6.2fx %6.1fx %7s | %11s %11s %6.2fx\n", photo.c_str(),
                    r.job, r.pairs, duration(r.t.window.wall).c_str(),
                    duration(r.t.raw.wall).c_str(), ratio, k_target,
                    ratio <= k_target ? "PASS" : "FAIL", duration(r.t.window.cpu).c_str(),
                    duration(r.t.raw.cpu).c_str(), cpu);
    }
    std::printf(
        "\nThe verdict is on wall time, which includes each commit's sync; the CPU columns\n"
        "(this thread's user + system time) show the work each side does around it.\n");
}

}  // namespace
}  // namespace officerecords

int main() {
    using namespace officerecords;
    g_scratch = scratch_folder("officerecords_photo_bench_");
    std::atexit(remove_scratch);
    std::vector<result_row> results;
    for (std::size_t size : {k_mib, 10 * k_mib}) run_size(g_scratch, size, results);
    print_summary(results);
    return 0;
}
