// The list of a register as a table model, directly over the rows of the
// tab page's data window: no copy of the rows, and rowCount is the true
// number of listed records (no fetching in slices).
//
// Section 0 is "序号", the row's position in what the list shows; the
// others are the list object's visible columns in display order, with
// their headers, each cell the data window's display text (codes as their
// names, numbers and dates in the list's formats). Sorting is the data
// window's; narrowing by a search text is the model's own and changes
// nothing in the data window.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "foundation/data_window.h"

namespace officerecords::app {

class register_list_model final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit register_list_model(data_window& dw, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Sorts the data window by the section's column ("序号": the record
    // number); the current record stays current.
    void sort(int section, Qt::SortOrder order) override;

    // Shows only the rows one of whose cells contains `text` (letter case
    // ignored); an empty text shows every row.
    void set_filter(const QString& text);
    const QString& filter() const { return filter_; }

    // Draws the list again after the data window changed (retrieved,
    // merged, deleted): the filter is applied anew.
    void reload();
    // Draws the cells again while the rows stay as they are (a record
    // merged in place); a changed row count draws the list anew.
    void touch();

    // Data-window row of a model row, and the model row of a data-window
    // row (-1 when the filter hides it).
    long dw_row(int model_row) const;
    int model_row(long dw_row) const;
    // The data-window column of a section; 0 for "序号".
    int column_of(int section) const;

private:
    void apply_filter();
    void reset_with(const std::function<void()>& change);

    data_window& dw_;
    std::vector<int> columns_;  // data-window column per section after "序号"
    QString filter_;
    bool filtered_ = false;
    std::vector<long> shown_;  // data-window rows while filtered
    int reported_rows_ = 0;    // the row count the views were last told
};

}  // namespace officerecords::app
