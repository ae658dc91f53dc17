// The database server goes away between saves and in the middle of one, at
// every step in turn: the save fails with the clerk's message, nothing of
// it is written, the window keeps the edit, and once the server is back the
// next Save goes through without the program being started again. The test
// runs a server of its own (scripts/pg-server.sh), since it stops it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "foundation/w_modify.h"
#include "tests/cutting_proxy.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"
#include "demo/demo_data.h"

namespace officerecords {
namespace {

using testkit::faulty_transaction;
using testkit::recording_host;
using testkit::run_command;

constexpr const char* k_commno = "420106001001";
constexpr const char* k_in_doubt =
    "警告信息 | 保存时与数据库服务器的连接中断了，还不知道这次保存是否已经写入数据库。";

// A server in a folder of its own, stopped and started at will.
class own_server {
public:
    own_server() : path_(dir_.file("server")) {
        // The server runs as its own user, who must reach its folder.
        std::filesystem::permissions(std::filesystem::path(path_).parent_path(),
                                     std::filesystem::perms::owner_all |
                                         std::filesystem::perms::others_exec);
        const testkit::outcome o =
            run_command(std::string("bash ") + OFFICERECORDS_PG_SERVER + " start " + path_);
        if (o.status == 3) return;  // no server installed: the tests skip
        EXPECT_EQ(o.status, 0) << o.output;
        std::ifstream env(path_ + "/env");
        for (std::string line; std::getline(env, line);) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string v = line.substr(eq + 1);
            if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
            env_[line.substr(0, eq)] = v;
        }
        running_ = o.status == 0;
    }
    ~own_server() {
        (void)run_command(std::string("bash ") + OFFICERECORDS_PG_SERVER + " stop " + path_);
    }
    bool available() { return !env_["OFFICERECORDS_PG_URI"].empty(); }
    std::string uri(const std::string& database) {
        const std::string admin = env_["OFFICERECORDS_PG_URI"];
        return admin.substr(0, admin.rfind('/') + 1) + database;
    }
    std::string admin_uri() { return env_["OFFICERECORDS_PG_URI"]; }

    void stop() {
        if (!running_) return;
        ASSERT_EQ(pg_ctl("-m fast -w stop").status, 0);
        running_ = false;
    }
    // Stops the server as a crash would: no shutdown of its own, the next
    // start recovers from its log.
    void crash() {
        if (!running_) return;
        ASSERT_EQ(pg_ctl("-m immediate -w stop").status, 0);
        running_ = false;
    }
    void start() {
        if (running_) return;
        const testkit::outcome o = pg_ctl("-o \"" + env_["OFFICERECORDS_PG_OPTIONS"] + "\" -l " +
                                          env_["OFFICERECORDS_PG_LOG"] + " -w start");
        ASSERT_EQ(o.status, 0) << o.output;
        running_ = true;
    }

private:
    testkit::outcome pg_ctl(const std::string& arguments) {
        const std::string as = env_["OFFICERECORDS_PG_AS"];
        return run_command("cd / && " + (as.empty() ? "" : "runuser -u " + as + " -- ") +
                           env_["OFFICERECORDS_PG_CTL"] + " -D " + env_["OFFICERECORDS_PG_DATA"] +
                           " " + arguments);
    }

    testkit::scratch_dir dir_;
    std::string path_;
    std::map<std::string, std::string> env_;
    bool running_ = false;
};

class ServerRestart : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new own_server; }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        if (!server_->available()) GTEST_SKIP() << "no PostgreSQL server installed";
        server_->start();
        const std::string name = "restart_" + std::to_string(::getpid());
        ASSERT_EQ(run_command("psql -X -q '" + server_->admin_uri() + "' -c 'DROP DATABASE IF EXISTS " +
                              name + "' -c 'CREATE DATABASE " + name + "'")
                      .status,
                  0);
        target_ = server_->uri(name);
        ASSERT_TRUE(create_demo_database(target_, clock_).is_ok());
        auto opened = open_database(target_, clock_);
        ASSERT_TRUE(opened.is_ok()) << opened.message();
        db_ = opened.take();
        faulty_ = std::make_unique<faulty_transaction>(*db_.sqlca);
        s_ = std::make_unique<session>(
            session{host_, host_, *faulty_, *db_.photosqlca, k_commno, {}, &page_});
    }
    void TearDown() override {
        if (server_->available()) server_->start();
    }

    // What the register and its history hold, on a connection of its own.
    std::string stored() {
        auto other = open_connection(target_, clock_);
        EXPECT_TRUE(other.is_ok()) << other.message();
        if (!other) return {};
        std::string out;
        for (const char* sql : {"SELECT * FROM tc_og_assetregister ORDER BY orderno",
                                "SELECT * FROM tc_og_changelog ORDER BY logno",
                                "SELECT * FROM tc_og_changelog_item ORDER BY logno, itemno"}) {
            auto rows = (*other)->open_cursor(sql);
            while (rows && rows->fetch()) {
                for (int i = 0; i < rows->column_count(); ++i)
                    out += rows->column_value(i).to_text() + "|";
                out += "\n";
            }
        }
        return out;
    }

    void list(long row) {
        ASSERT_TRUE(list_register(page_, "w_m_og_assetregister", d_og_assetregister(), *s_).is_ok());
        page_.dw_1.setrow(row);
    }

    static own_server* server_;
    testkit::fixed_clock clock_{*date::parse("2026-12-08")};
    std::string target_;
    database db_;
    std::unique_ptr<faulty_transaction> faulty_;
    recording_host host_;
    uo_tabpg_datawindow page_;
    std::unique_ptr<session> s_;
};

own_server* ServerRestart::server_ = nullptr;

TEST_F(ServerRestart, ASaveWhileTheServerIsDownFailsAndTheNextOneAfterItsReturnSaves) {
    list(1);
    w_m_og_assetregister w(*s_);
    w.open_with(k_mode_modify);
    (void)w.dw_1.setitem(1, "goodsname", value("服务器停了以后改的"));
    const std::string before = stored();
    server_->stop();
    w.cb_save_clicked();
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_THAT(host_.messages[0], ::testing::StartsWith("警告信息 | 数据保存失败！与数据库服务器的连接中断了"));
    EXPECT_EQ(w.dw_1.getitem(1, "goodsname"), value("服务器停了以后改的"));
    EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::data_modified);

    server_->start();
    EXPECT_EQ(stored(), before);
    // A connection that sat idle through the restart writes again too.
    transaction& idle = *db_.photosqlca;
    ASSERT_EQ(idle.execute("UPDATE tc_og_assetregister SET note = ? WHERE orderno = 7",
                           std::vector<value>{value("重启以后")}),
              sql_code::ok)
        << idle.sqlerrtext();
    ASSERT_EQ(idle.commit(), sql_code::ok) << idle.sqlerrtext();
    EXPECT_THAT(stored(), ::testing::HasSubstr("重启以后"));
    host_.messages.clear();
    w.cb_save_clicked();
    EXPECT_THAT(host_.messages, ::testing::IsEmpty());
    EXPECT_THAT(stored(), ::testing::HasSubstr("服务器停了以后改的"));
}

TEST_F(ServerRestart, TheServerStoppingAtEachStepOfASaveLeavesNothingHalfWritten) {
    struct save_case {
        const char* name;
        const char* mode;
        row_status kept;
    };
    for (const save_case c : {save_case{"changed record", k_mode_modify, row_status::data_modified},
                              save_case{"new record", k_mode_add, row_status::new_modified}}) {
        SCOPED_TRACE(c.name);
        int failed_saves = 0;
        int in_doubt = 0;
        for (int stop_at = 1;; ++stop_at) {
            SCOPED_TRACE("server stopped before step " + std::to_string(stop_at));
            ASSERT_LT(stop_at, 20) << "a save never got through";
            list(1);
            host_.messages.clear();
            w_m_og_assetregister w(*s_);
            w.open_with(c.mode);
            const std::string name = std::string("第") + std::to_string(stop_at) + "次";
            (void)w.dw_1.setitem(1, "goodsname", value(name));
            const std::string before = stored();
            faulty_->fail_at(0);
            faulty_->on_step = [&](int step) {
                if (step == stop_at) server_->stop();
            };
            w.cb_save_clicked();
            faulty_->on_step = nullptr;
            server_->start();
            if (host_.messages.empty()) break;  // every step was gone through before stop_at
            ++failed_saves;
            // Gone at the commit, the server cannot be asked whether it
            // committed: the clerk is told that it is not known yet.
            if (w.save_in_doubt()) {
                ++in_doubt;
                EXPECT_THAT(host_.messages[0], ::testing::StartsWith(k_in_doubt));
            } else {
                EXPECT_THAT(host_.messages[0], ::testing::StartsWith("警告信息 | 数据保存失败！"));
            }
            EXPECT_EQ(stored(), before);
            EXPECT_EQ(w.dw_1.getitem(1, "goodsname"), value(name));
            EXPECT_EQ(w.dw_1.getitemstatus(1, 0), c.kept);
            // Save pressed again once the server is back: it goes through.
            host_.messages.clear();
            w.cb_save_clicked();
            EXPECT_THAT(host_.messages, ::testing::IsEmpty());
            EXPECT_THAT(stored(), ::testing::HasSubstr(name));
            EXPECT_FALSE(w.has_unsaved_changes());
        }
        // begin, (the next number,) the write, the history's entry and its
        // rows, the commit: the server was gone at each of them once.
        EXPECT_EQ(failed_saves, c.mode == std::string(k_mode_add) ? 6 : 5);
        EXPECT_EQ(in_doubt, 1) << "only the commit is in doubt";
    }
}

// The server crashes as the COMMIT is sent: whether it was written cannot
// be known while the server is down, and Save writes nothing then. Once it
// has recovered, Save finds out that nothing was written, and writes the
// record once.
TEST_F(ServerRestart, ASaveWhoseServerCrashesAtTheCommitIsFoundOutAfterTheRestart) {
    struct save_case {
        const char* name;
        const char* mode;
        int commit_step;
    };
    for (const save_case c : {save_case{"changed record", k_mode_modify, 5},
                              save_case{"new record", k_mode_add, 6}}) {
        SCOPED_TRACE(c.name);
        list(1);
        host_.messages.clear();
        w_m_og_assetregister w(*s_);
        w.open_with(c.mode);
        const std::string name = std::string("崩溃时保存的") + c.name;
        (void)w.dw_1.setitem(1, "goodsname", value(name));
        const std::string before = stored();
        faulty_->fail_at(0);
        faulty_->on_step = [&](int step) {
            if (step == c.commit_step) server_->crash();
        };
        w.cb_save_clicked();
        faulty_->on_step = nullptr;
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_THAT(host_.messages[0], ::testing::StartsWith(k_in_doubt));
        EXPECT_TRUE(w.save_in_doubt());

        host_.messages.clear();
        w.cb_save_clicked();
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_THAT(host_.messages[0], ::testing::StartsWith(k_in_doubt));

        server_->start();
        EXPECT_EQ(stored(), before);
        host_.messages.clear();
        w.cb_save_clicked();
        EXPECT_THAT(host_.messages, ::testing::IsEmpty());
        EXPECT_FALSE(w.save_in_doubt());
        EXPECT_FALSE(w.has_unsaved_changes());
        const std::string after = stored();
        std::size_t times = 0;
        for (std::size_t at = after.find(name); at != std::string::npos; at = after.find(name, at + 1))
            ++times;
        // The record, and the history's new value of its name.
        EXPECT_EQ(times, 2u) << after;
    }
}

// A crash of the server while a commit is in doubt: a transaction lost in
// the crash before anything of it was on disk may see its number handed to
// the next one after the restart, whose commit would answer for it. What
// the commit wrote is asked for instead, and tells.
TEST_F(ServerRestart, ACommitInDoubtAcrossACrashIsToldByWhatItWroteNotByItsNumber) {
    testkit::cutting_proxy proxy(target_);
    auto own = open_connection(proxy.via(target_), clock_);
    ASSERT_TRUE(own.is_ok()) << own.message();
    transaction& t = **own;

    // Committed before the crash, its answer lost.
    ASSERT_EQ(t.execute("UPDATE tc_og_assetregister SET note = ? WHERE orderno = 1",
                        std::vector<value>{value("崩溃前写入")}),
              sql_code::ok);
    t.witness_commit("SELECT 1 FROM tc_og_assetregister WHERE orderno = 1 AND note = ?",
                     {value("崩溃前写入")});
    proxy.cut_next_commit(testkit::commit_cut::after);
    proxy.refuse(true);
    EXPECT_EQ(t.commit(), sql_code::error);
    ASSERT_TRUE(t.commit_in_doubt());
    const std::uint64_t first = t.doubt_number();
    server_->crash();
    server_->start();
    proxy.refuse(false);
    EXPECT_EQ(t.resolve_commit(first), commit_outcome::committed);

    // Never committed, and nothing of it on disk: the server still holds
    // it open when it crashes, having not noticed the connection go.
    ASSERT_EQ(t.begin_write(), sql_code::ok);
    const std::optional<value> lost = t.select_value("SELECT txid_current()");
    ASSERT_TRUE(lost.has_value());
    t.witness_commit("SELECT 1 FROM tc_og_assetregister WHERE note = ?", {value("从未写入")});
    proxy.cut_next_commit(testkit::commit_cut::client_side);
    proxy.refuse(true);
    EXPECT_EQ(t.commit(), sql_code::error);
    ASSERT_TRUE(t.commit_in_doubt());
    const std::uint64_t second = t.doubt_number();
    server_->crash();
    server_->start();
    auto other = open_connection(target_, clock_);
    ASSERT_TRUE(other.is_ok()) << other.message();
    ASSERT_EQ((*other)->begin_write(), sql_code::ok);
    ASSERT_EQ((*other)->select_value("SELECT txid_current()"), lost) << "the number was not handed out again";
    ASSERT_EQ((*other)->execute("UPDATE tc_og_assetregister SET note = ? WHERE orderno = 2",
                                std::vector<value>{value("重启后写入")}),
              sql_code::ok);
    ASSERT_EQ((*other)->commit(), sql_code::ok);
    proxy.refuse(false);
    EXPECT_EQ(t.resolve_commit(second), commit_outcome::rolled_back);
    EXPECT_EQ(proxy.cuts(), 2);
}

// The same through a record window: a new record whose answer was lost is
// found saved after the server's crash by its history entry.
TEST_F(ServerRestart, ANewRecordInDoubtAcrossACrashIsFoundSavedByItsHistory) {
    testkit::cutting_proxy proxy(target_);
    auto own = open_connection(proxy.via(target_), clock_);
    ASSERT_TRUE(own.is_ok()) << own.message();
    session s{host_, host_, **own, **own, k_commno, {}, &page_};
    ASSERT_TRUE(list_register(page_, "w_m_og_assetregister", d_og_assetregister(), s).is_ok());
    const long listed = page_.dw_1.rowcount();
    w_m_og_assetregister w(s);
    w.open_with(k_mode_add);
    (void)w.dw_1.setitem(1, "goodsname", value("崩溃前新增的"));
    proxy.cut_next_commit(testkit::commit_cut::after);
    proxy.refuse(true);
    host_.messages.clear();
    w.cb_save_clicked();
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_THAT(host_.messages[0], ::testing::StartsWith(k_in_doubt));
    server_->crash();
    server_->start();
    proxy.refuse(false);
    host_.messages.clear();
    w.cb_save_clicked();
    EXPECT_THAT(host_.messages,
                ::testing::ElementsAre("提示信息 | 上次保存时与数据库服务器的连接中断了；现已查明，那次保存已经写入数据库。"));
    EXPECT_FALSE(w.has_unsaved_changes());
    EXPECT_EQ(page_.dw_1.rowcount(), listed + 1);
    const std::string after = stored();
    std::size_t times = 0;
    for (std::size_t at = after.find("崩溃前新增的"); at != std::string::npos;
         at = after.find("崩溃前新增的", at + 1))
        ++times;
    EXPECT_EQ(times, 2u) << after;
}

}  // namespace
}  // namespace officerecords
