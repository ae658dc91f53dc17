// Every step of a save and of a deletion fails in turn: the database must
// be exactly as before, the window must keep what the clerk typed, and
// the message must name the failure. On both backends, alike.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "finance/assetregister.h"
#include "foundation/register_page.h"
#include "foundation/w_modify.h"
#include "tests/fault_injection.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::backend;
using testkit::faulty_transaction;
using testkit::k_injected_fault;
using testkit::recording_host;
using testkit::scratch_database;

constexpr const char* k_commno = "420106001001";

class SaveFailureTest : public ::testing::TestWithParam<backend> {
protected:
    void SetUp() override {
        OFFICERECORDS_NEED_BACKEND(GetParam());
        db_ = std::make_unique<scratch_database>(true, GetParam());
        faulty_ = std::make_unique<faulty_transaction>(*db_->db.sqlca);
        s_ = std::make_unique<session>(session{host, host, *faulty_, *db_->db.photosqlca, k_commno,
                                               {}, &page});
    }

    // Everything stored in the register and its history, read on another
    // connection so that only what was committed shows.
    std::string stored() {
        transaction& other = *db_->db.photosqlca;
        std::string out;
        for (const char* sql : {"SELECT * FROM tc_og_assetregister ORDER BY orderno",
                                "SELECT * FROM tc_og_changelog ORDER BY logno",
                                "SELECT * FROM tc_og_changelog_item ORDER BY logno, itemno"}) {
            auto rows = other.open_cursor(sql);
            while (rows && rows->fetch()) {
                for (int i = 0; i < rows->column_count(); ++i)
                    out += rows->column_value(i).to_text() + "|";
                out += "\n";
            }
        }
        return out;
    }
    long history_rows() {
        auto n = db_->db.photosqlca->select_value("SELECT count(*) FROM tc_og_changelog");
        return n ? static_cast<long>(n->as_double().value_or(-1)) : -1;
    }
    // SQLite's check of its file after each failure; the server keeps its
    // files to itself and has no such statement, so there it is not asked.
    void expect_intact() {
        if (GetParam() != backend::sqlite) return;
        auto v = db_->db.photosqlca->select_value("PRAGMA integrity_check");
        EXPECT_EQ(v ? v->to_text() : db_->db.photosqlca->sqlerrtext(), "ok");
    }

    // Lists the community's assets on the faulty connection, the current row at `row`.
    void list(long row) {
        ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), *s_).is_ok());
        page.dw_1.setrow(row);
    }

    // Made in SetUp, once the backend is known to be there; the window's
    // page goes before the connections it reads from.
    std::unique_ptr<scratch_database> db_;
    std::unique_ptr<faulty_transaction> faulty_;
    std::unique_ptr<session> s_;
    recording_host host;
    uo_tabpg_datawindow page;
};

INSTANTIATE_TEST_SUITE_P(Backends, SaveFailureTest,
                         ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

struct save_case {
    const char* name;
    const char* mode;
    // What the clerk does in the window before pressing Save.
    std::function<void(w_modify&)> edit;
    // What must still be in the window after a failure.
    std::function<void(w_modify&)> kept;
};

TEST_P(SaveFailureTest, EachFailedStepOfASaveLeavesTheDatabaseAsItWas) {
    const save_case cases[] = {
        {"changed record", k_mode_modify,
         [](w_modify& w) {
             (void)w.dw_1.setitem(1, "goodsname", value("改过的名称"));
             (void)w.dw_1.setitem(1, "originvalue", value(decimal(99999999999999'99, 2)));
         },
         [](w_modify& w) {
             EXPECT_EQ(w.dw_1.getitem(1, "goodsname"), value("改过的名称"));
             EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::data_modified);
         }},
        {"new record", k_mode_add,
         [](w_modify& w) { (void)w.dw_1.setitem(1, "goodsname", value("碎纸机")); },
         [](w_modify& w) {
             EXPECT_EQ(w.dw_1.getitem(1, "goodsname"), value("碎纸机"));
             EXPECT_EQ(w.dw_1.getitemstatus(1, 0), row_status::new_modified);
             EXPECT_TRUE(w.dw_1.getitem(1, "orderno").is_null()) << "the number is taken back";
         }},
    };
    for (const save_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = stored();
        // Count the steps of a save that goes through, then undo nothing:
        // the failing runs below each start from the state before it.
        int steps = 0;
        for (int fail = 1;; ++fail) {
            SCOPED_TRACE("failing step " + std::to_string(fail));
            list(2);
            host.messages.clear();
            w_m_og_assetregister w(*s_);
            w.open_with(c.mode);
            c.edit(w);
            faulty_->fail_at(fail);
            w.cb_save_clicked();
            if (host.messages.empty()) {
                steps = fail - 1;
                break;
            }
            // The statement's own failure, or the history's that goes with it.
            EXPECT_THAT(host.messages,
                        ::testing::AnyOf(
                            std::vector<std::string>{std::string("警告信息 | 数据保存失败！") + k_injected_fault},
                            std::vector<std::string>{std::string("警告信息 | 数据保存失败！修改记录写入失败：") +
                                                     k_injected_fault}));
            EXPECT_EQ(stored(), before);
            expect_intact();
            EXPECT_FALSE(faulty_->in_transaction());
            c.kept(w);
            ASSERT_LT(fail, 20) << "a save never got through";
        }
        // begin, (the next number,) the write, the history's entry (which
        // reads its own number) and its rows, the commit: every one of them
        // was failed once above.
        EXPECT_EQ(steps, c.mode == std::string(k_mode_add) ? 6 : 5);
        EXPECT_NE(stored(), before) << "the last run saved";
        EXPECT_GT(history_rows(), 0) << "and its history with it";
        faulty_->fail_at(0);
    }
}

TEST_P(SaveFailureTest, EachFailedStepOfADeletionKeepsTheRecordListedWhereItWas) {
    const std::string before = stored();
    int steps = 0;
    for (int fail = 1;; ++fail) {
        SCOPED_TRACE("failing step " + std::to_string(fail));
        list(2);
        const long rows = page.dw_1.rowcount();
        const value key = page.dw_1.getitem(2, "orderno");
        host.messages.clear();
        host.answers = {true};
        faulty_->fail_at(fail);
        if (delete_current_record(page, *s_)) {
            steps = fail - 1;
            break;
        }
        EXPECT_THAT(host.messages,
                    ::testing::AnyOf(
                        std::vector<std::string>{std::string("警告信息 | 数据删除失败！") + k_injected_fault},
                        std::vector<std::string>{std::string("警告信息 | 数据删除失败！修改记录写入失败：") +
                                                 k_injected_fault}));
        EXPECT_EQ(stored(), before);
        expect_intact();
        EXPECT_FALSE(faulty_->in_transaction());
        EXPECT_EQ(page.dw_1.rowcount(), rows);
        EXPECT_EQ(page.dw_1.getitem(2, "orderno"), key) << "the record keeps its place";
        EXPECT_EQ(page.dw_1.getrow(), 2);
        ASSERT_LT(fail, 20) << "a deletion never got through";
    }
    EXPECT_EQ(steps, 5);  // begin, the DELETE, the history's change and columns, the commit
    EXPECT_NE(stored(), before);
}

// The database itself refuses each statement of a save in turn (a trigger
// raising), as the server does when the statements travel together with
// the COMMIT: nothing of the save is stored, the message is the
// database's own after the step's prefix, and the same Save goes through
// once the refusal is gone.
TEST_P(SaveFailureTest, EachStatementTheDatabaseRefusesWritesNothing) {
    const bool server = GetParam() == backend::postgresql;
    // The triggers are the database owner's to make; the clerk's login may not.
    std::unique_ptr<transaction> owner;
    if (server) {
        auto opened = open_connection(db_->server->target(), db_->clock);
        ASSERT_TRUE(opened.is_ok()) << opened.message();
        owner = opened.take();
    }
    transaction& ddl = owner ? *owner : *db_->db.photosqlca;
    auto run = [&](const std::string& sql) {
        ASSERT_EQ(ddl.execute(sql), sql_code::ok) << sql << ": " << ddl.sqlerrtext();
        ASSERT_EQ(ddl.commit(), sql_code::ok) << ddl.sqlerrtext();
    };
    if (server)
        run("CREATE FUNCTION refuse_save() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN RAISE EXCEPTION '不许写入'; END $$");
    // The real connection: no step is injected, every one is sent.
    session real{host, host, *db_->db.sqlca, *db_->db.photosqlca, k_commno, {}, &page};
    const std::string refused = server ? "数据库操作失败：不许写入" : "数据不符合数据库的约束：不许写入";
    struct refusal {
        const char* table;
        const char* prefix;
    };
    const refusal refusals[] = {{"tc_og_assetregister", ""},
                                {"tc_og_changelog", "修改记录写入失败："},
                                {"tc_og_changelog_item", "修改记录写入失败："}};
    for (const char* mode : {k_mode_modify, k_mode_add}) {
        for (const refusal& r : refusals) {
            SCOPED_TRACE(std::string(mode) + " refused by " + r.table);
            const std::string table = r.table;
            if (server) {
                run("CREATE TRIGGER refuse BEFORE INSERT OR UPDATE ON " + table +
                    " FOR EACH ROW EXECUTE FUNCTION refuse_save()");
            } else {
                for (const char* kind : {"INSERT", "UPDATE"})
                    run(std::string("CREATE TRIGGER refuse_") + kind + " BEFORE " + kind + " ON " + table +
                        " BEGIN SELECT RAISE(ABORT, '不许写入'); END");
            }
            const std::string before = stored();
            ASSERT_TRUE(list_register(page, "w_m_og_assetregister", d_og_assetregister(), real).is_ok());
            page.dw_1.setrow(2);
            host.messages.clear();
            w_m_og_assetregister w(real);
            w.open_with(mode);
            (void)w.dw_1.setitem(1, "goodsname", value(std::string("拒绝过的名称") + r.table));
            w.cb_save_clicked();
            EXPECT_EQ(host.messages, std::vector<std::string>{"警告信息 | 数据保存失败！" + std::string(r.prefix) + refused});
            EXPECT_EQ(stored(), before);
            expect_intact();
            EXPECT_FALSE(db_->db.sqlca->in_transaction());
            EXPECT_NE(w.dw_1.getitemstatus(1, 0), row_status::not_modified) << "the edit is kept";

            if (server)
                run("DROP TRIGGER refuse ON " + table);
            else
                for (const char* kind : {"INSERT", "UPDATE"}) run(std::string("DROP TRIGGER refuse_") + kind);
            host.messages.clear();
            w.cb_save_clicked();
            EXPECT_EQ(host.messages, std::vector<std::string>{});
            EXPECT_NE(stored(), before) << "the same Save went through";
        }
    }
}

}  // namespace
}  // namespace officerecords
