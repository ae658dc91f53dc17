// A tab page of the main frame: the list of one register of the current
// community (the page `guo_tabpg_now` points to while it is current), a
// search box that narrows what the list shows, and sorting by a click on
// a column header.
#pragma once

#include <QWidget>

#include "foundation/session.h"
#include "foundation/status.h"
#include "platform/window_catalog.h"

class QLineEdit;
class QTableView;
class QTimer;

namespace officerecords::app {

class register_list_model;

class register_tab final : public QWidget {
    Q_OBJECT

public:
    explicit register_tab(const window_entry& entry, QWidget* parent = nullptr);
    ~register_tab() override;

    // Lists the community's records anew; the current record stays current
    // while it is still listed. The message says why the list failed.
    status load(session& s);

    const window_entry& entry() const { return entry_; }
    uo_tabpg_datawindow& page() { return page_; }
    register_list_model& model() { return *model_; }
    QTableView& view() { return *view_; }
    QLineEdit& search() { return *search_; }

    // The current record's row in the page's data window, 0 when the list
    // shows none.
    long current_row() const;
    // Draws the list again after the core changed it (a record saved,
    // deleted, moved to) and selects the current record.
    void sync();
    // Draws the cells again and follows the current record, without
    // listing anew: cheap enough for every event of a record window.
    void follow();

Q_SIGNALS:
    // Enter or a double-click on a row: the clerk wants to modify it.
    void row_activated();
    void current_changed();

private:
    void select_current();
    void on_header_clicked(int section);

    const window_entry& entry_;
    uo_tabpg_datawindow page_;
    register_list_model* model_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* search_ = nullptr;
    QTimer* search_delay_ = nullptr;
    int sorted_section_ = -1;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    bool syncing_ = false;
    bool sized_ = false;
};

}  // namespace officerecords::app
