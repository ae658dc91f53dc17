// Saves on the server lock their register, not the whole database, and
// send their statements in one go: a save to another register goes on
// while one register's write is open, a second write to the same register
// waits (here: until the lock timeout refuses it), and a statement whose
// row count is wrong stops the write before its COMMIT.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "demo/demo_data.h"
#include "foundation/transaction.h"
#include "storage/database.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

class pg_register_write_test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
        server_ = std::make_unique<testkit::server_database>();
        ASSERT_TRUE(create_demo_database(server_->target(), clock_).is_ok());
        for (auto* slot : {&a_, &b_}) {
            auto opened = open_connection(server_->target(), clock_);
            ASSERT_TRUE(opened.is_ok()) << opened.message();
            *slot = opened.take();
        }
    }
    // Whether a connection waits for a lock the other holds, as the server
    // tells it: the number of advisory locks of the office it holds (of
    // this database: other tests' run beside on the same server).
    long locks_held_by_others(transaction& asking) {
        auto n = asking.select_value(
            "SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND granted AND pid <> pg_backend_pid() "
            "AND database = (SELECT oid FROM pg_database WHERE datname = current_database())");
        return n ? static_cast<long>(n->integer()) : -1;
    }
    long count_of(const std::string& sql) {
        auto n = b_->select_value(sql);
        return n ? static_cast<long>(n->integer()) : -1;
    }

    testkit::fixed_clock clock_{"2026-12-08"};
    std::unique_ptr<testkit::server_database> server_;
    std::unique_ptr<transaction> a_, b_;
};

TEST_F(pg_register_write_test, AnotherRegistersSaveGoesOnWhileOneIsOpen) {
    ASSERT_EQ(a_->begin_register_write("tc_og_assetregister"), sql_code::ok);
    // The BEGIN and the lock travel with the first statement.
    ASSERT_TRUE(a_->highest("tc_og_assetregister", "orderno").has_value()) << a_->sqlerrtext();
    ASSERT_EQ(locks_held_by_others(*b_), 2) << "the database's lock shared and the register's";

    ASSERT_EQ(b_->begin_register_write("tc_og_dailyworkrecord"), sql_code::ok);
    const value v[] = {value("420106001001"), value(std::int64_t{990001})};
    ASSERT_EQ(b_->queue_write("INSERT INTO tc_og_dailyworkrecord (commno, orderno) VALUES (?, ?)", v, {}),
              sql_code::ok);
    EXPECT_EQ(b_->commit(), sql_code::ok) << b_->sqlerrtext();
    EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_dailyworkrecord WHERE orderno = 990001"), 1);
    EXPECT_EQ(a_->rollback(), sql_code::ok);
}

TEST_F(pg_register_write_test, TheSameRegistersSaveWaitsForTheOpenOne) {
    ASSERT_EQ(a_->begin_register_write("tc_og_assetregister"), sql_code::ok);
    ASSERT_TRUE(a_->highest("tc_og_assetregister", "orderno").has_value()) << a_->sqlerrtext();
    ASSERT_EQ(b_->begin_register_write("TC_OG_AssetRegister"), sql_code::ok);
    const value v[] = {value("420106001001"), value(std::int64_t{990002})};
    ASSERT_EQ(b_->queue_write("INSERT INTO tc_og_assetregister (commno, orderno) VALUES (?, ?)", v, {}),
              sql_code::ok);
    // Still held by the first: the second is refused at its lock.
    EXPECT_NE(b_->commit(), sql_code::ok);
    EXPECT_NE(b_->sqlerrtext().find("已锁定"), std::string::npos) << b_->sqlerrtext();
    EXPECT_FALSE(b_->commit_in_doubt());
    EXPECT_EQ(a_->rollback(), sql_code::ok);
    EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_assetregister WHERE orderno = 990002"), 0);
    // Once the first is over, the same save goes through on the same connection.
    ASSERT_EQ(b_->begin_register_write("tc_og_assetregister"), sql_code::ok);
    ASSERT_EQ(b_->queue_write("INSERT INTO tc_og_assetregister (commno, orderno) VALUES (?, ?)", v, {}),
              sql_code::ok);
    EXPECT_EQ(b_->commit(), sql_code::ok) << b_->sqlerrtext();
    EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_assetregister WHERE orderno = 990002"), 1);
}

// The next number is read after the rules' own queries of the same save,
// as a record window reads them: each read answers with its own value,
// never with nothing, however the reads before it were streamed.
TEST_F(pg_register_write_test, TheNumberReadAfterTheRulesQueriesIsTheHighest) {
    const value top[] = {value("420106001001"), value(std::int64_t{993000})};
    ASSERT_EQ(b_->execute("INSERT INTO tc_og_dailyworkrecord (commno, orderno) VALUES (?, ?)", top), sql_code::ok);
    ASSERT_EQ(b_->commit(), sql_code::ok);
    for (int reads = 0; reads < 3; ++reads) {
        SCOPED_TRACE(reads);
        ASSERT_EQ(a_->begin_register_write("tc_og_dailyworkrecord"), sql_code::ok);
        ASSERT_EQ(a_->lock_register("tc_og_councilorgduty"), sql_code::ok);
        for (int i = 0; i < reads; ++i)
            ASSERT_TRUE(a_->select_value("SELECT count(*) FROM tc_og_dailyworkrecord WHERE orderno > 0"))
                << a_->sqlerrtext();
        const auto highest = a_->highest("tc_og_dailyworkrecord", "orderno");
        ASSERT_TRUE(highest.has_value()) << a_->sqlerrtext();
        EXPECT_EQ(highest->to_text(), "993000");
        const auto again = a_->highest("tc_og_dailyworkrecord", "orderno");
        ASSERT_TRUE(again.has_value()) << a_->sqlerrtext();
        EXPECT_EQ(again->to_text(), "993000");
        EXPECT_EQ(a_->rollback(), sql_code::ok);
    }
}

// A statement fails at each place of the pipeline in turn: nothing of the
// write is stored, the text is the failing statement's own, and the
// connection takes the next write.
TEST_F(pg_register_write_test, AFailureAnywhereInThePipelineWritesNothing) {
    const std::string good = "INSERT INTO tc_og_dailyworkrecord (commno, orderno) VALUES (?, ?)";
    for (int failing = 0; failing < 3; ++failing) {
        SCOPED_TRACE(failing);
        ASSERT_EQ(a_->begin_register_write("tc_og_dailyworkrecord"), sql_code::ok);
        for (int i = 0; i < 3; ++i) {
            const value v[] = {value("420106001001"), value(std::int64_t{991000 + i})};
            transaction::write_check check;
            check.failed_prefix = "第" + std::to_string(i) + "句：";
            ASSERT_EQ(a_->queue_write(i == failing ? "INSERT INTO no_such_table (commno, orderno) VALUES (?, ?)" : good,
                                      v, check),
                      sql_code::ok);
        }
        EXPECT_NE(a_->commit(), sql_code::ok);
        EXPECT_EQ(a_->sqlerrtext().rfind("第" + std::to_string(failing) + "句：", 0), 0u) << a_->sqlerrtext();
        EXPECT_FALSE(a_->in_transaction());
        EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_dailyworkrecord WHERE orderno BETWEEN 991000 AND 991002"), 0);
    }
    ASSERT_EQ(a_->begin_register_write("tc_og_dailyworkrecord"), sql_code::ok);
    const value v[] = {value("420106001001"), value(std::int64_t{991000})};
    ASSERT_EQ(a_->queue_write(good, v, {}), sql_code::ok);
    EXPECT_EQ(a_->commit(), sql_code::ok) << a_->sqlerrtext();
    EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_dailyworkrecord WHERE orderno = 991000"), 1);
}

// An UPDATE that finds no row (another workstation changed the record)
// stops the write: what was queued after it is not committed either.
TEST_F(pg_register_write_test, ARowChangedElsewhereStopsTheWriteBeforeItsCommit) {
    ASSERT_EQ(a_->begin_register_write("tc_og_dailyworkrecord"), sql_code::ok);
    const value none[] = {value("420106001001"), value(std::int64_t{-5})};
    transaction::write_check one;
    one.rows = 1;
    one.otherwise = "记录已被其他工作站修改";
    ASSERT_EQ(a_->queue_write("UPDATE tc_og_dailyworkrecord SET issave = '1' WHERE commno = ? AND orderno = ?", none,
                              one),
              sql_code::ok);
    const value v[] = {value("420106001001"), value(std::int64_t{992000})};
    ASSERT_EQ(a_->queue_write("INSERT INTO tc_og_dailyworkrecord (commno, orderno) VALUES (?, ?)", v, {}),
              sql_code::ok);
    EXPECT_NE(a_->commit(), sql_code::ok);
    EXPECT_EQ(a_->sqlerrtext(), "记录已被其他工作站修改");
    EXPECT_EQ(count_of("SELECT count(*) FROM tc_og_dailyworkrecord WHERE orderno = 992000"), 0);
}

}  // namespace
}  // namespace officerecords
