// Every record window's form and list object against the table it writes
// back to. A column the object saves must exist in that table, and a column
// it shares with the table must have the table's type and width, or a save
// is truncated, rounded or refused by the database instead of by the window.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

// Both halves of the comparison in one file on purpose: a type declared
// under one name in both headers would not compile here.
#include "activities/photo_store.h"
#include "foundation/data_window.h"
#include "foundation/dw_object.h"
#include "foundation/value.h"
#include "storage/schema.h"
#include "catalog/window_catalog.h"

namespace officerecords {
namespace {

// Strict on purpose: a whole column matches an integer only, not a decimal
// of scale 0 (the registers' orderno is decimal(0) on both sides); a general
// number and a blob have no counterpart on the other side.
bool agree(const column_def& c, const table_column& t) {
    switch (c.type) {
        case column_type::text:
            return t.kind == column_kind::text && c.width == t.size;
        case column_type::date:
            return t.kind == column_kind::date;
        case column_type::decimal:
            return t.kind == column_kind::decimal && c.width == t.size;
        case column_type::whole:
            return t.kind == column_kind::integer;
        case column_type::number:
            return false;
    }
    return false;
}

std::string joined(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

// What is wrong with `o` against the schema, one line each, naming the
// object, the column and both types; empty when nothing is. Columns the
// update table does not have (joined or computed ones) are skipped unless
// the object would write them.
std::string disagreements(const dw_object& o) {
    const table_def* table = find_table(o.update_table);
    if (table == nullptr)
        return o.name + ": update table '" + o.update_table + "' is not in the schema\n";
    const std::string in_table = " in " + std::string(table->name);
    std::string out;
    std::set<std::string> object_key, table_key;
    for (const column_def& c : o.columns) {
        if (c.key) object_key.insert(lower(c.name));
        const table_column* t = table->find_column(c.name);
        if (t == nullptr) {
            if (c.key || c.updatable)
                out += o.name + "." + c.name + ": written back but not" + in_table + "\n";
            continue;
        }
        if (!agree(c, *t))
            out += o.name + "." + c.name + ": " + coltype_name(c) + " in the object, " +
                   sql_type(*t, sql_dialect::sqlite) + in_table + "\n";
    }
    for (std::string_view k : table->key) table_key.insert(lower(k));
    // A row found by less than the table's key may be several rows.
    if (object_key != table_key)
        out += o.name + ": key (" + joined(object_key) + ") but (" + joined(table_key) + ")" +
               in_table + "\n";
    return out;
}

TEST(catalog_schema, every_form_and_list_agrees_with_its_update_table) {
    ASSERT_FALSE(window_catalog().empty());
    int checked = 0;
    for (const window_entry& e : window_catalog()) {
        for (const dw_object* o : {&e.form(), &e.list()}) {
            EXPECT_EQ(disagreements(*o), "") << e.window;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2 * static_cast<int>(window_catalog().size()));
}

// The check itself: an object wrong in every way it can be, beside columns
// that are right or that the table does not have and the object only reads.
TEST(catalog_schema, a_disagreeing_object_is_reported_by_column_and_both_types) {
    dw_object o;
    o.name = "d_wrong_f";
    o.update_table = "TC_OG_ASSETREGISTER";
    o.columns = {
        column("commno").text(12).key(),
        column("orderno").whole(),
        column("goodsname").text(50).update(),
        column("goodscount").decimal(0).update(),
        column("originvalue").decimal(3).update(),
        column("purchasedate").text(10).update(),
        column("scrapedate").number(),
        column("keepperson").date().update(),
        column("recorder").text(30).update(),
        column("recorddate").date(),
        column("personname").text(30),
        column("shelf").text(4).update(),
    };
    EXPECT_EQ(
        disagreements(o),
        "d_wrong_f.orderno: long in the object, NUMERIC(15,0) in tc_og_assetregister\n"
        "d_wrong_f.goodsname: char(50) in the object, VARCHAR(60) in tc_og_assetregister\n"
        "d_wrong_f.goodscount: decimal(0) in the object, INTEGER in tc_og_assetregister\n"
        "d_wrong_f.originvalue: decimal(3) in the object, NUMERIC(15,2) in tc_og_assetregister\n"
        "d_wrong_f.purchasedate: char(10) in the object, DATE in tc_og_assetregister\n"
        "d_wrong_f.scrapedate: number in the object, DATE in tc_og_assetregister\n"
        "d_wrong_f.keepperson: date in the object, VARCHAR(30) in tc_og_assetregister\n"
        "d_wrong_f.shelf: written back but not in tc_og_assetregister\n"
        "d_wrong_f: key (commno) but (commno, orderno) in tc_og_assetregister\n");

    o.update_table = "tc_og_nosuchregister";
    EXPECT_EQ(disagreements(o),
              "d_wrong_f: update table 'tc_og_nosuchregister' is not in the schema\n");
}

TEST(catalog_schema, a_blob_column_agrees_with_no_data_window_type) {
    dw_object o;
    o.name = "d_photo";
    o.update_table = "TS_PersonPhoto";
    o.columns = {column("personno").text(24).key(), column("photo").text(254).update()};
    EXPECT_EQ(disagreements(o), "d_photo.photo: char(254) in the object, BLOB in TS_PersonPhoto\n");
}

// The album refuses a note or a file name before the database would: by
// the same width, or a note that fits the album is cut or refused there.
TEST(catalog_schema, the_photo_store_knows_the_widths_of_its_texts) {
    for (const table_def& t : schema_tables()) {
        if (t.name != "TS_CommActivePhoto") continue;
        for (const table_column& c : t.columns)
            if (c.name == "PhotoNote" || c.name == "PhotoFileName") {
                SCOPED_TRACE(std::string(c.name));
                EXPECT_EQ(c.kind, column_kind::text);
                EXPECT_EQ(static_cast<std::size_t>(c.size), k_photo_note_width);
            }
        return;
    }
    ADD_FAILURE() << "TS_CommActivePhoto is not in the schema";
}

}  // namespace
}  // namespace officerecords
