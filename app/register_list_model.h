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
//
// Narrowing 1,000,000 rows takes longer than the clerk should wait for a
// keystroke: it runs in slices of a few milliseconds on the event loop,
// over a per-row search text (the shown cells lowercased) built once and
// kept in step with the data window. Until it completes the view shows
// the last complete narrowing; a newer narrowing supersedes a running one.
//
// While the list is still being read (set_reading), rows come in at the
// data window's end and the view grows with them. A narrowing completes
// only once every row is in, and a sort asked for meanwhile is remembered
// and done then: either over part of the list would show the clerk a
// wrong result.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
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
    // The search text of the narrowing shown (not of one still running).
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
    // Both at once: one narrowing instead of two.
    void set_narrowing(const QString& text, std::optional<date> from, std::optional<date> to);

    // Whether a narrowing is still running; the view shows the one before.
    bool narrowing_pending() const { return job_.running; }
    // Completes a running narrowing now, for whatever reads the rows shown.
    void finish_narrowing();
    // At most this many rows per slice (tests make narrowing asynchronous
    // on a handful of rows); the slice's time bounds it anyway.
    void set_slice_rows(long rows) { slice_rows_ = rows; }

    // Whether a search text or a date range hides rows.
    bool narrowed() const { return filtered_; }
    // The data-window rows the view shows, in order, while it is narrowed;
    // empty when it shows every row in list order (the page's `shown`).
    const std::vector<long>& narrowed_rows() const { return shown_; }
    // Every data-window row the view shows, in order.
    std::vector<long> view_rows() const;

    // Whether rows are still being read into the data window.
    void set_reading(bool reading);
    bool reading() const { return reading_; }
    // Rows were read in at the data window's end.
    void rows_appended();

    // Draws the list again after the data window changed (merged,
    // deleted): the filter is applied anew, and with `resort` the last
    // sort too, so a merged record takes its sorted place. The current row
    // is taken as the one that changed (the frame merges into it).
    void reload(bool resort = false);
    // The same after the rows were retrieved anew: any row may have
    // changed, so the narrowing is computed anew (in slices), showing the
    // records shown before until then.
    void relist(bool resort);
    // Draws the cells again while the rows stay as they are (a record
    // merged in place); a changed row count draws the list anew.
    void touch();

    // Data-window row of a model row, and the model row of a data-window
    // row (-1 when the filter hides it).
    long dw_row(int model_row) const;
    int model_row(long dw_row) const;
    // The data-window column of a section; 0 for "序号".
    int column_of(int section) const;

Q_SIGNALS:
    // A narrowing completed and the view shows it (after its modelReset).
    void narrowing_finished();

private:
    // What narrows the rows: the lowercased search text and the dates.
    struct narrowing {
        std::string needle;
        std::optional<date> from;
        std::optional<date> to;
    };
    // A narrowing being computed, row by row from `next`.
    struct job {
        bool running = false;
        QString text;
        narrowing wanted;
        long next = 1;
        std::vector<long> rows;
    };
    void read_columns();
    void start(const QString& text, std::optional<date> from, std::optional<date> to);
    void restart_job();
    bool run_slice(bool whole);
    void publish();
    bool narrows(const narrowing& n) const;
    bool meets(long row, const narrowing& n);
    const std::string& search_text(long row);
    void drop_cache();
    void realign(bool all_stale);
    double key_of(long row) const;
    bool in_date_range(long row, const narrowing& n) const;
    bool saved_unchecked(long row) const;
    void sort_keeping_current(int section, Qt::SortOrder order);
    void reset_with(const std::function<void()>& change);

    data_window& dw_;
    std::vector<int> columns_;  // data-window column per section after "序号"
    int date_column_ = 0;
    int issave_column_ = 0;
    int key_column_ = 0;
    QString filter_;
    narrowing shown_by_;  // the narrowing the view shows
    int sorted_section_ = -1;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    bool filtered_ = false;
    std::vector<long> shown_;  // data-window rows while filtered
    int reported_rows_ = 0;    // the row count the views were last told
    bool reading_ = false;
    bool sort_waiting_ = false;  // asked for while reading, done when complete

    // Per data-window row (index row - 1): its search text, "" until built,
    // and its record's key, read when it was narrowed, so both follow the
    // record when the data window's rows move (sorted, deleted, appended).
    // Both empty while nothing is built.
    std::vector<std::string> texts_;
    std::vector<double> keys_;
    long built_ = 0;
    job job_;
    QTimer slices_;
    long slice_rows_ = 0;  // 0: no limit but the slice's time
};

}  // namespace officerecords::app
