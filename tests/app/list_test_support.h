// Shared pieces of the tests of the lists: the main frame over a scratch
// demo office, a register opened from the navigator, the clerk narrowing
// a list by a date range and sorting it by a header click, and reading
// rows back from the database as an oracle independent of the list.
#pragma once

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>

#include "app/main_window.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "gui_test_support.h"

namespace officerecords::app::testing {

inline constexpr const char* k_assets = "固定资产登记";

// The main frame over a fresh demo office, shown.
struct frame_fixture {
    scratch_office office;
    std::unique_ptr<main_window> frame;

    frame_fixture() {
        frame = std::make_unique<main_window>(office.host, "测试社区");
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) qWarning("the frame was not exposed");
    }
    ~frame_fixture() { frame.reset(); }

    // Opens the register with the navigator's caption by a click on it.
    register_tab* open(const QString& caption) { return open_in(*frame, caption); }

    static register_tab* open_in(main_window& m, const QString& caption) {
        QTreeWidgetItem* item = nullptr;
        for (auto* i : m.navigator().findItems(caption, Qt::MatchRecursive)) item = i;
        if (!item) return nullptr;
        m.navigator().scrollToItem(item);
        QRect at = m.navigator().visualItemRect(item);
        QTest::mouseClick(m.navigator().viewport(), Qt::LeftButton, {}, at.center());
        return m.current_tab();
    }
    QAction* action(const char* name) const { return frame->findChild<QAction*>(name); }
};

// Types the bounds into the date fields as the clerk does (empty leaves a
// field empty) and waits until the list, once the clerk paused, is
// narrowed by them.
inline bool narrow_by_dates(register_tab& tab, const QString& from, const QString& to) {
    if (!tab.date_from() || !tab.date_to()) return false;
    QSignalSpy redrawn(&tab.model(), &QAbstractItemModel::modelReset);
    for (auto [field, text] : {std::pair{tab.date_from(), from}, std::pair{tab.date_to(), to}}) {
        field->clear();
        if (!text.isEmpty()) QTest::keyClicks(field, text);
    }
    if (!redrawn.wait(5000)) return false;
    return tab.model().narrowed() == (!from.isEmpty() || !to.isEmpty());
}

// A click on the header of a section; twice sorts descending.
inline void click_header(register_tab& tab, int section) {
    QHeaderView* h = tab.view().horizontalHeader();
    const int x = h->sectionViewportPosition(section) + h->sectionSize(section) / 2;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
}

// The cells of a section, top to bottom, as the list shows them.
inline QStringList column_texts(register_tab& tab, int section) {
    QStringList texts;
    for (int r = 0; r < tab.model().rowCount(); ++r)
        texts << tab.model().data(tab.model().index(r, section), Qt::DisplayRole).toString();
    return texts;
}

// The first column of every row a SELECT returns, as text.
inline QStringList selected(transaction& t, const std::string& sql) {
    QStringList texts;
    auto c = t.open_cursor(sql);
    if (!c) qFatal("cannot run %s", sql.c_str());
    while (c->fetch()) texts << qs(std::string(c->column_text(0)));
    return texts;
}

// The first community's assets bought from 2015 to 2020, the dearest first.
inline std::string assets_2015_to_2020_dearest_first(const char* column) {
    return std::string("SELECT ") + column +
           " FROM tc_og_assetregister WHERE commno = '420106001001' AND purchasedate "
           "BETWEEN '2015-01-01' AND '2020-12-31' ORDER BY CAST(originvalue AS REAL) DESC";
}

// The asset list's sections: the name and the value.
inline constexpr int k_name_section = 2;
inline constexpr int k_value_section = 7;

}  // namespace officerecords::app::testing
