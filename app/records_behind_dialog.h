// The records behind a figure of the office's statistics: the register's
// list, with the same columns and headers as its tab page, narrowed to
// exactly the records the figure counts or sums. Enter or a double-click
// on a row opens that record's window in 修改 mode over this list, as the
// main frame opens one over its tab.
#pragma once

#include <QDialog>
#include <QString>

#include "foundation/session.h"
#include "foundation/status.h"
#include "statistics/statistics.h"

class QLabel;
class QTableView;

namespace officerecords {
struct window_entry;
}

namespace officerecords::app {

class qt_host;
class register_list_model;

class records_behind_dialog final : public QDialog {
    Q_OBJECT

public:
    // `figure` names the figure in the title ("收支 2025年 办公用品 3月").
    records_behind_dialog(qt_host& host, stats_records behind, const QString& figure,
                          QWidget* parent = nullptr);
    ~records_behind_dialog() override;

    // Lists the records; the message says why they could not be read (a
    // register no window lists, a failed SELECT).
    status load();

    register_list_model& model() { return *model_; }
    QTableView& view() { return *view_; }
    const uo_tabpg_datawindow& page() const { return page_; }
    // Opens the record of the list's row (1-based, as shown) in its window.
    void open_row(int model_row);

private:
    qt_host& host_;
    stats_records behind_;
    const window_entry* entry_ = nullptr;
    uo_tabpg_datawindow page_;
    register_list_model* model_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* count_ = nullptr;
};

}  // namespace officerecords::app
