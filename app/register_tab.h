// A tab page of the main frame: the list of one register of the current
// community (the page `guo_tabpg_now` points to while it is current), a
// search box and, for a register whose list shows a date, a range of that
// date, which together narrow what the list shows, and sorting by a click
// on a column header. Whatever the list shows, narrowed and sorted, is
// what the page's `shown` rows hold, so a record window moves along it.
// The range's bounds are read as dates typed into a sheet are; one that is
// no date is marked, and said so.
// Enter or Down in the search box moves on to the first record shown.
//
// A long register is listed in two steps: its first page at once, the
// rest read in behind it (register_stream) while the clerk already sees
// and works with the list. What needs every row (a narrowing, a sort, an
// export) waits for the rest, and a record window opened meanwhile gets
// its place in the list once the list is whole.
#pragma once

#include <QWidget>
#include <vector>

#include "foundation/session.h"
#include "foundation/status.h"
#include "catalog/window_catalog.h"

class QLabel;
class QLineEdit;
class QSettings;
class QTableView;
class QTimer;

namespace officerecords::app {

class register_list_model;
class register_stream;

class register_tab final : public QWidget {
    Q_OBJECT

public:
    explicit register_tab(const window_entry& entry, QWidget* parent = nullptr);
    ~register_tab() override;

    // Lists the community's records anew, in the clerk's sort; the current
    // record stays current while it is still listed. The message says why
    // the list failed.
    status load(session& s);

    // Whether the rest of the list is still being read, and the records
    // that will be listed then.
    bool reading() const;
    long reading_expected() const;
    // Reads the rest of the list now (the clerk waits, with the busy
    // pointer); the message says why it could not be read.
    status finish_reading();
    register_stream& stream() { return *stream_; }
    // The records listed at once, the rest being read behind them.
    static constexpr long k_first_page_rows = 120;

    const window_entry& entry() const { return entry_; }
    uo_tabpg_datawindow& page() { return page_; }
    const uo_tabpg_datawindow& page() const { return page_; }
    register_list_model& model() { return *model_; }
    QTableView& view() { return *view_; }
    QLineEdit& search() { return *search_; }
    // The bounds of the date range; nullptr for a list without a date.
    QLineEdit* date_from() const { return date_from_; }
    QLineEdit* date_to() const { return date_to_; }
    // Why a bound of the range does not narrow the list ("“2021-13-01”不是
    // 有效的日期"); empty when both are dates or empty.
    const QString& date_problem() const { return date_problem_; }

    // Narrows the list by what the search box and the date range hold now,
    // without waiting for the clerk to pause typing.
    void apply_narrowing();
    // Completes the narrowing the clerk asked for (typed, still waiting for
    // the pause, or running in slices), for whatever reads the rows shown.
    void finish_narrowing();
    // Every data-window row the list shows once narrowed as asked, in order.
    std::vector<long> shown_rows();

    // The current record's row in the page's data window, 0 when the list
    // shows none.
    long current_row() const;
    // Draws the list again after the core changed it (a record saved,
    // deleted, moved to) and selects the current record.
    void sync();
    // Draws the cells again and follows the current record, without
    // listing anew: cheap enough for every event of a record window.
    void follow();
    // After a record was saved into the list: sorted and narrowed again,
    // so the record stands where the clerk's sort puts it, and columns its
    // values widened are fitted again.
    void after_save();

    // The column widths and the sort, remembered under the register's
    // window name; restore_state applies what save_state kept.
    void save_state(QSettings& settings) const;
    void restore_state(const QSettings& settings);

protected:
    // Enter or Down in the search box goes to the list's first row.
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // Enter or a double-click on a row: the clerk wants to modify it.
    void row_activated();
    void current_changed();
    void date_problem_changed();
    // The reading behind the first page went on, ended, or failed (why).
    void reading_progressed();
    void reading_finished();
    void reading_failed(const QString& why);

private:
    QLineEdit* make_date_field(const QString& name, const QString& placeholder);
    void select_current();
    void on_rows_read();
    void on_reading_finished();
    void on_header_clicked(int section);
    void show_sort();
    // Each column as wide as its header and the cells shown need, at most
    // k_widest_column; with `only_grow` a column is never made narrower.
    void fit_columns(bool only_grow);
    QString settings_group() const;

    const window_entry& entry_;
    uo_tabpg_datawindow page_;
    register_list_model* model_ = nullptr;
    register_stream* stream_ = nullptr;
    // The record current before the list was read anew, still to come in.
    value wanted_key_;
    long read_rows_ = 0;  // the page's rows when last read into
    QTableView* view_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLineEdit* date_from_ = nullptr;
    QLineEdit* date_to_ = nullptr;
    QTimer* search_delay_ = nullptr;
    QString date_problem_;
    bool syncing_ = false;
    bool sized_ = false;
};

}  // namespace officerecords::app
