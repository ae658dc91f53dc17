// The connection to the server breaks while it has the import's COMMIT:
// the import finds out whether its records were written and says so, never
// guessing either way.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "demo/demo_data.h"
#include "import/register_import.h"
#include "storage/database.h"
#include "tests/cutting_proxy.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::commit_cut;

class ImportCommitCutTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testkit::server_uri()) GTEST_SKIP() << "no PostgreSQL server (OFFICERECORDS_PG_URI not set)";
        server_ = std::make_unique<testkit::server_database>();
        ASSERT_TRUE(create_demo_database(server_->target(), host_).is_ok());
        proxy_ = std::make_unique<testkit::cutting_proxy>(server_->target());
        auto opened = open_database(proxy_->via(server_->target()), host_);
        ASSERT_TRUE(opened.is_ok()) << opened.message();
        db_ = opened.take();
        auto direct = open_connection(server_->target(), host_);
        ASSERT_TRUE(direct.is_ok()) << direct.message();
        direct_ = direct.take();
        std::ofstream(dir_.file("新资产.csv")) << "资产名称,价值（元）\n断线前的椅子,10\n断线前的桌子,20\n";
    }
    long imported_records() {
        auto n = direct_->select_value(
            "SELECT count(*) FROM tc_og_assetregister WHERE goodsname IN ('断线前的椅子', '断线前的桌子')");
        return n ? static_cast<long>(n->integer()) : -1;
    }
    result<import_report> import() {
        session s{host_, host_, *db_.sqlca, *db_.photosqlca, "420106001001", {}, nullptr};
        register_import job(s, {"w_m_og_assetregister", dir_.file("新资产.csv"), "", {}, false});
        if (status st = job.open(); !st) return st;
        return job.run(import_mode::write_all);
    }

    testkit::scratch_dir dir_;
    testkit::recording_host host_;
    std::unique_ptr<testkit::server_database> server_;
    std::unique_ptr<testkit::cutting_proxy> proxy_;
    database db_;
    std::unique_ptr<transaction> direct_;
};

TEST_F(ImportCommitCutTest, ACommitTheServerHadIsReportedAsImported) {
    proxy_->cut_next_commit(commit_cut::after);
    auto report = import();
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(report->imported, 2);
    EXPECT_EQ(imported_records(), 2);
    EXPECT_EQ(proxy_->cuts(), 1);
}

TEST_F(ImportCommitCutTest, ACommitThatNeverReachedTheServerIsReportedAsNothingImported) {
    proxy_->cut_next_commit(commit_cut::before);
    auto report = import();
    ASSERT_FALSE(report.is_ok());
    EXPECT_NE(report.message().find("没有导入任何记录"), std::string::npos) << report.message();
    EXPECT_EQ(imported_records(), 0);
    // Importing again writes the records once.
    report = import();
    ASSERT_TRUE(report.is_ok()) << report.message();
    EXPECT_EQ(imported_records(), 2);
}

TEST_F(ImportCommitCutTest, WhileTheServerCannotBeReachedTheOutcomeIsSaidToBeUnknown) {
    proxy_->cut_next_commit(commit_cut::after);
    proxy_->refuse(true);
    auto report = import();
    ASSERT_FALSE(report.is_ok());
    EXPECT_NE(report.message().find("还不知道这次导入是否已经写入"), std::string::npos) << report.message();
    proxy_->refuse(false);
    EXPECT_EQ(imported_records(), 2) << "the server had it";
}

}  // namespace
}  // namespace officerecords
