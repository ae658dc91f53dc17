// The list of a register as a table model, directly over the rows of the
// tab page's data window: no copy of the rows, and rowCount is the true
// number of listed records (no fetching in slices).
//
// Section 0 is "序号", the row's position in what the list shows; the
// others are the list object's visible columns in display order, with
// their headers, each cell the data window's display text (codes as their
// names, numbers and dates in the list's formats). Sorting is the data
// window's; narrowing by a search text and by a range of the list's main
// date is the model's own and changes nothing in the data window. A record
// saved without its checks (issave "0") is drawn in italics.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <optional>
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
    // number); the current record stays current. The sort is remembered
    // and applied again by reload(resort).
    void sort(int section, Qt::SortOrder order) override;
    // The section last sorted by, -1 before any sort.
    int sorted_section() const { return sorted_section_; }
    Qt::SortOrder sort_order() const { return sort_order_; }

    // Shows only the rows one of whose cells contains `text` (letter case
    // ignored); an empty text shows every row.
    void set_filter(const QString& text);
    const QString& filter() const { return filter_; }

    // The data-window column of the list's main date: its first shown date
    // column, 0 when it shows none.
    int date_column() const { return date_column_; }
    // The same of a list object, before any data window holds it.
    static int main_date_column(const dw_object& list);
    // Shows only the rows whose main date lies in [from, to]; a bound not
    // given leaves that side open. A row without the date is hidden while
    // either bound is given. Ignored for a list without a main date.
    void set_date_range(std::optional<date> from, std::optional<date> to);

    // Whether a search text or a date range hides rows.
    bool narrowed() const { return filtered_; }
    // The data-window rows the view shows, in order, while it is narrowed;
    // empty when it shows every row in list order (the page's `shown`).
    const std::vector<long>& narrowed_rows() const { return shown_; }
    // Every data-window row the view shows, in order.
    std::vector<long> view_rows() const;

    // Draws the list again after the data window changed (retrieved,
    // merged, deleted): the filter is applied anew, and with `resort` the
    // last sort too, so a merged record takes its sorted place.
    void reload(bool resort = false);
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
    void read_columns();
    void apply_filter();
    bool in_date_range(long row) const;
    bool saved_unchecked(long row) const;
    void sort_keeping_current(int section, Qt::SortOrder order);
    void reset_with(const std::function<void()>& change);

    data_window& dw_;
    std::vector<int> columns_;  // data-window column per section after "序号"
    int date_column_ = 0;
    int issave_column_ = 0;
    QString filter_;
    std::optional<date> from_;
    std::optional<date> to_;
    int sorted_section_ = -1;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    bool filtered_ = false;
    std::vector<long> shown_;  // data-window rows while filtered
    int reported_rows_ = 0;    // the row count the views were last told
};

}  // namespace officerecords::app
