#include "app/register_stream.h"

#include <algorithm>

#include "foundation/register_page.h"
#include "foundation/transaction.h"

namespace officerecords::app {

namespace {

// A page takes some ten milliseconds of the event loop on SQLite; reading
// the rest at once goes in larger pages, there being nothing to wait for.
constexpr long k_page_rows = 4096;
constexpr long k_finishing_rows = 65536;
// While the connection writes, the next page waits this long.
constexpr int k_wait_for_write_ms = 20;

}  // namespace

register_stream::register_stream(uo_tabpg_datawindow& page, QObject* parent)
    : QObject(parent), page_(page) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!s_ || held_) return;
        const long rows = page_rows_ > 0 ? page_rows_ : k_page_rows;
        if (read_page(rows) == step::more) schedule(0);
    });
}

void register_stream::start(session& s) {
    cancel();
    if (!page_.partial() || page_.dw_1.rowcount() < 1) return;
    s_ = &s;
    commno_ = s.gs_commno;
    const std::string key = record_key_column(page_.dw_1.object());
    after_ = page_.dw_1.getitem(page_.dw_1.rowcount(), key);
    known_rows_ = page_.dw_1.rowcount();
    known_last_ = after_;
    ahead_.clear();
    had_ahead_ = false;
    expected_ = -1;
    schedule(0);
}

void register_stream::cancel() {
    timer_.stop();
    s_ = nullptr;
}

long register_stream::expected() const {
    return expected_ < 0 ? 0 : std::max(expected_, page_.dw_1.rowcount());
}

bool register_stream::settle() {
    if (!s_ || page_.partial()) return false;
    end(false);
    Q_EMIT finished();
    return true;
}

void register_stream::hold(bool held) {
    held_ = held;
    if (!held_ && s_) schedule(0);
}

void register_stream::schedule(int ms) {
    if (held_ || !s_) return;
    timer_.start(ms);
}

status register_stream::finish() {
    while (s_) {
        switch (read_page(k_finishing_rows)) {
            case step::more:
                break;
            case step::done:
                return status::ok();
            case step::failed:
                return status::error(page_.dw_1.last_error());
            case step::waiting:
                // Read inside the open write, the page would list what
                // may yet be rolled back.
                return status::error("列表的连接正在保存数据");
        }
    }
    return page_.partial() ? status::error("读取已停止") : status::ok();
}

// The keys of rows that came into the page beyond the last record read,
// which the pages must leave out; looked for only when the page's rows
// changed otherwise than by reading.
void register_stream::find_listed_ahead() {
    const long n = page_.dw_1.rowcount();
    const std::string key = record_key_column(page_.dw_1.object());
    if (n == known_rows_ && (n == 0 || page_.dw_1.getitem(n, key) == known_last_)) return;
    ahead_.clear();
    const std::optional<double> frontier = after_.as_double();
    for (long r = 1; r <= n; ++r) {
        const value k = page_.dw_1.getitem(r, key);
        const std::optional<double> d = k.as_double();
        if (d && frontier && *d > *frontier) ahead_.push_back(k);
    }
    had_ahead_ = had_ahead_ || !ahead_.empty();
    known_rows_ = n;
    known_last_ = n > 0 ? page_.dw_1.getitem(n, key) : value();
}

register_stream::step register_stream::read_page(long rows) {
    if (!s_) return step::done;
    // complete() listed the whole register, or the community is another:
    // nothing read here belongs any more.
    if (!page_.partial()) {
        end(false);
        Q_EMIT finished();
        return step::done;
    }
    if (s_->gs_commno != commno_) {
        cancel();
        Q_EMIT finished();
        return step::done;
    }
    if (s_->sqlca.in_transaction() || page_.dw_1.deletedcount() > 0) {
        schedule(k_wait_for_write_ms);
        return step::waiting;
    }
    if (expected_ < 0) {
        // The count first: the status bar shows how far the reading is.
        const std::optional<long> n = count_listed_register(page_, *s_);
        expected_ = n ? *n : 0;
    }
    find_listed_ahead();
    const long added = list_next_records(page_, *s_, after_, ahead_, rows);
    if (added < 0) {
        const QString why = QString::fromStdString(page_.dw_1.last_error());
        cancel();
        Q_EMIT failed(why);
        return step::failed;
    }
    const long n = page_.dw_1.rowcount();
    const std::string key = record_key_column(page_.dw_1.object());
    if (added > 0) after_ = page_.dw_1.getitem(n, key);
    known_rows_ = n;
    known_last_ = n > 0 ? page_.dw_1.getitem(n, key) : value();
    if (added > 0) Q_EMIT rows_added();
    if (added < rows) {
        end(true);
        Q_EMIT finished();
        return step::done;
    }
    return step::more;
}

void register_stream::end(bool whole) {
    cancel();
    if (!whole) return;
    page_.listed_partly = nullptr;
    if (!had_ahead_) return;
    // Records saved while reading stood at the end; the list is in key
    // order, as listed whole at once, and the current record stays current.
    data_window& dw = page_.dw_1;
    const std::string key = record_key_column(dw.object());
    const value current = dw.getrow() > 0 ? dw.getitem(dw.getrow(), key) : value();
    dw.sort(dw.column_number(key), true);
    if (const long r = current.is_null() ? 0 : find_listed(page_, current); r > 0) dw.setrow(r);
}

}  // namespace officerecords::app
