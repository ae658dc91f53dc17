// Every window of the catalogue, opened in both modes on the demo office
// and taken through its hooks (every field typed into with what its rules
// react to, the navigation, Save and revert), sets only columns and
// properties that exist: a mistyped one in a window's own code shows here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/window_catalog.h"
#include "foundation/register_page.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::recording_host;
using testkit::scratch_database;

// What the windows' own rules react to: yes and no of a code column, the
// record's own text, a date and an empty field.
std::vector<std::string> texts_to_type(const data_window& dw, int col) {
    return {"1", "0", dw.display_text(dw.getrow(), col), "2024-03-15", ""};
}

// Types into every field the window lets the clerk enter; a text a rule
// refuses is put back as it was, as a clerk would.
void type_everywhere(w_modify& w) {
    data_window& dw = w.dw_1;
    for (int col = 1; col <= dw.column_count(); ++col) {
        if (dw.getrow() < 1 || !dw.can_enter(col)) continue;
        const std::string before = dw.display_text(dw.getrow(), col);
        for (const std::string& text : texts_to_type(dw, col)) {
            if (!w.enter_column(col)) break;
            dw.settext(text);
            if (!w.leave_field()) {
                dw.settext(before);
                if (!w.leave_field()) w.cb_roll_clicked();
            }
        }
    }
}

TEST(WindowPropertiesTest, EveryWindowInBothModesSetsOnlyPropertiesThatExist) {
    scratch_database db{true};
    recording_host host;
    host.unsaved = unsaved_choice::discard;
    for (const window_entry& entry : window_catalog()) {
        for (const char* mode : {k_mode_add, k_mode_modify}) {
            SCOPED_TRACE(std::string(entry.window) + " " + mode);
            uo_tabpg_datawindow page;
            session s{host, host, *db.db.sqlca, *db.db.photosqlca, "420106001001", ".", &page};
            ASSERT_TRUE(list_register(page, std::string(entry.window), entry.list(), s).is_ok());
            ASSERT_GT(page.dw_1.rowcount(), 1) << "the demo office has records to move along";
            page.dw_1.setrow(1);
            std::unique_ptr<w_modify> w = entry.make(s);
            w->open_with(mode);
            type_everywhere(*w);
            w->cb_roll_clicked();
            for (auto move : {&w_modify::cb_next_clicked, &w_modify::cb_last_clicked,
                              &w_modify::cb_prior_clicked, &w_modify::cb_first_clicked}) {
                ((*w).*move)();
                type_everywhere(*w);
                w->cb_roll_clicked();
            }
            w->cb_save_clicked();
            w->cb_roll_clicked();
            EXPECT_EQ(w->property_errors(), std::vector<std::string>{});
        }
    }
}

// The window keeps what a property assignment it makes gets wrong.
TEST(WindowPropertiesTest, AMistypedPropertyIsKeptWithTheWindowsName) {
    scratch_database db{true};
    recording_host host;
    uo_tabpg_datawindow page;
    session s{host, host, *db.db.sqlca, *db.db.photosqlca, "420106001001", ".", &page};
    std::unique_ptr<w_modify> w = find_window_entry("w_m_og_comminregister")->make(s);
    w->open_with(k_mode_add);
    w->set_properties("incommdate.TabSequence=0");
    EXPECT_TRUE(w->property_errors().empty());
    w->set_properties("incomdate.TabSequence=0");
    w->set_properties("note.colour='1'");
    ASSERT_EQ(w->property_errors().size(), 2u);
    EXPECT_EQ(w->property_errors()[0].rfind("w_m_og_comminregister: incomdate.TabSequence=0: ", 0), 0u)
        << w->property_errors()[0];
}

}  // namespace
}  // namespace officerecords
