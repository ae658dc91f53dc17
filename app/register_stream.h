// The rest of a register's list, read behind its first page so that the
// list is on the screen at once, whatever its length.
//
// The records follow in key order, a page at a time on the event loop.
// Each page is a statement of its own that has ended before the event
// loop turns again: no cursor stays open between events, so the list's
// connection serves the clerk's saves in between, and every page sees
// what was committed before it. Records that came into the list
// meanwhile (a saved record, one a record window read by number) are left
// out of the pages, so none is listed twice; no page is read while the
// connection writes or while the list holds a deletion not yet committed.
// When the last page is in, the page is whole (no longer partial); a
// record window's complete() listing it first ends the reading too.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <string>
#include <vector>

#include "foundation/session.h"
#include "foundation/status.h"

namespace officerecords::app {

class register_stream final : public QObject {
    Q_OBJECT

public:
    explicit register_stream(uo_tabpg_datawindow& page, QObject* parent = nullptr);

    // Reads the rest of a page listed partly by list_register_first. The
    // session must outlive the reading.
    void start(session& s);
    // Stops reading; the page keeps the rows read and stays partial.
    void cancel();
    bool reading() const { return s_ != nullptr; }
    // How many records the register holds, counted when the reading
    // began, or the rows listed when more came since; 0 until counted.
    long expected() const;

    // Ends the reading when the page was listed whole otherwise (a record
    // window's complete()); true when it did.
    bool settle();

    // Reads every record still missing now. Fails with the reason when a
    // read fails; the page then stays partial.
    status finish();

    // For tests: records per page, and holding the reading so that no
    // page is read on the event loop until it is let go.
    void set_page_rows(long rows) { page_rows_ = rows; }
    void hold(bool held);

Q_SIGNALS:
    // Rows were appended at the end of the page's data window.
    void rows_added();
    // The reading ended: the page holds the whole register, in key order,
    // unless the community changed under it (the page stays partial).
    void finished();
    // A page could not be read; the page stays partial.
    void failed(const QString& why);

private:
    enum class step { more, done, failed, waiting };
    step read_page(long rows);
    void find_listed_ahead();
    void end(bool whole);
    void schedule(int ms);

    uo_tabpg_datawindow& page_;
    session* s_ = nullptr;
    std::string commno_;
    value after_;                 // the key of the last record read
    long expected_ = -1;          // -1 until counted
    long known_rows_ = 0;         // the page's rows after the last page read
    value known_last_;            // the key of its last row then
    std::vector<value> ahead_;    // keys listed beyond after_ by others
    bool had_ahead_ = false;      // the key order was broken by them
    long page_rows_ = 0;          // 0: the default
    bool held_ = false;
    QTimer timer_;
};

}  // namespace officerecords::app
