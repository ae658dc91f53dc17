#include "app/register_list_model.h"

#include <QElapsedTimer>
#include <QFont>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "foundation/record_name.h"
#include "foundation/register_page.h"
#include "storage/list_export.h"

namespace officerecords::app {

namespace {

bool is_number(const column_def& c) {
    return c.type == column_type::decimal || c.type == column_type::whole ||
           c.type == column_type::number;
}

constexpr const char* k_unchecked_note = "不做数据校验临时保存的记录";

// A slice of narrowing keeps the event loop waiting at most about this
// long; the clock is read every k_rows_per_check rows.
constexpr qint64 k_slice_ns = 4'000'000;
constexpr long k_rows_per_check = 64;

// Stands between two cells of a row's search text: a search text holds
// none, so it never matches the end of one cell and the start of the next.
constexpr char k_cell_separator = '\0';

constexpr double k_no_key = std::numeric_limits<double>::quiet_NaN();

}  // namespace

register_list_model::register_list_model(data_window& dw, QObject* parent)
    : QAbstractTableModel(parent), dw_(dw) {
    read_columns();
    reported_rows_ = rowCount();
    slices_.setSingleShot(true);
    slices_.setInterval(0);
    connect(&slices_, &QTimer::timeout, this, [this] {
        if (run_slice(false))
            publish();
        else if (job_.next <= dw_.rowcount())
            slices_.start();
        // else: every row read so far is narrowed; rows_appended goes on.
    });
}

int register_list_model::main_date_column(const dw_object& list) {
    for (int col : list.shown_columns())
        if (list.columns[static_cast<std::size_t>(col - 1)].type == column_type::date) return col;
    return 0;
}

void register_list_model::read_columns() {
    columns_ = dw_.object().shown_columns();
    date_column_ = main_date_column(dw_.object());
    issave_column_ = dw_.column_number("issave");
    key_column_ = dw_.column_number(record_key_column(dw_.object()));
}

void register_list_model::reset_with(const std::function<void()>& change) {
    beginResetModel();
    change();
    reported_rows_ = rowCount();
    endResetModel();
}

int register_list_model::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return filtered_ ? static_cast<int>(shown_.size()) : static_cast<int>(dw_.rowcount());
}

int register_list_model::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size()) + 1;
}

long register_list_model::dw_row(int model_row) const {
    if (model_row < 0 || model_row >= rowCount()) return 0;
    return filtered_ ? shown_[static_cast<std::size_t>(model_row)] : model_row + 1;
}

std::vector<long> register_list_model::view_rows() const {
    return filtered_ ? shown_ : list_export::all_rows(dw_);
}

int register_list_model::model_row(long dw_row) const {
    if (dw_row < 1 || dw_row > dw_.rowcount()) return -1;
    if (!filtered_) return static_cast<int>(dw_row - 1);
    auto it = std::lower_bound(shown_.begin(), shown_.end(), dw_row);
    return it != shown_.end() && *it == dw_row ? static_cast<int>(it - shown_.begin()) : -1;
}

int register_list_model::column_of(int section) const {
    if (section < 1 || section > static_cast<int>(columns_.size())) return 0;
    return columns_[static_cast<std::size_t>(section - 1)];
}

QVariant register_list_model::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    int col = column_of(index.column());
    if (role == Qt::TextAlignmentRole) {
        bool right = col == 0 || is_number(dw_.column_definition(col));
        return QVariant::fromValue(Qt::Alignment(right ? Qt::AlignRight | Qt::AlignVCenter
                                                       : Qt::AlignLeft | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::FontRole) return {};
    long r = dw_row(index.row());
    if (r < 1) return {};
    if (role == Qt::FontRole) {
        if (!saved_unchecked(r)) return {};
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    // The counter's tooltip names the record as its history and the
    // record window do: its 记录号 and what the register names it by.
    QString text = col == 0 ? (role == Qt::ToolTipRole ? QString::fromStdString(record_label(dw_, r))
                                                       : QString::number(index.row() + 1))
                            : QString::fromStdString(dw_.display_text(r, col));
    if (role == Qt::ToolTipRole && saved_unchecked(r)) return text + "\n" + k_unchecked_note;
    if (col == 0 && role == Qt::DisplayRole) return index.row() + 1;
    return text;
}

bool register_list_model::saved_unchecked(long row) const {
    return issave_column_ > 0 && dw_.getitem(row, issave_column_).to_text() == "0";
}

QVariant register_list_model::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("序号");
    int col = column_of(section);
    return col ? QString::fromStdString(dw_.column_definition(col).label) : QVariant();
}

void register_list_model::sort(int section, Qt::SortOrder order) {
    reset_with([&] {
        sort_keeping_current(section, order);
        realign(false);
        restart_job();
    });
}

void register_list_model::sort_keeping_current(int section, Qt::SortOrder order) {
    if (reading_) {
        // Shown as asked at once, done over every row once they are in.
        sorted_section_ = section;
        sort_order_ = order;
        sort_waiting_ = true;
        return;
    }
    int col = column_of(section);
    std::string key_column = record_key_column(dw_.object());
    if (col == 0) col = dw_.column_number(key_column);
    if (col == 0) return;
    int key = dw_.column_number(key_column);
    sorted_section_ = section;
    sort_order_ = order;
    value current = key && dw_.getrow() > 0 ? dw_.getitem(dw_.getrow(), key) : value();
    dw_.sort(col, order == Qt::AscendingOrder);
    // The data window keeps its row number; the clerk keeps the record.
    if (!current.is_null())
        for (long r = 1; r <= dw_.rowcount(); ++r)
            if (dw_.getitem(r, key) == current) {
                dw_.setrow(r);
                break;
            }
}

void register_list_model::set_filter(const QString& text) {
    start(text, job_.running ? job_.wanted.from : shown_by_.from,
          job_.running ? job_.wanted.to : shown_by_.to);
}

void register_list_model::set_date_range(std::optional<date> from, std::optional<date> to) {
    start(job_.running ? job_.text : filter_, from, to);
}

void register_list_model::set_narrowing(const QString& text, std::optional<date> from,
                                        std::optional<date> to) {
    start(text, from, to);
}

void register_list_model::start(const QString& text, std::optional<date> from,
                                std::optional<date> to) {
    job_.running = true;
    job_.text = text.trimmed();
    // Compared as UTF-8 with ASCII letters folded: Chinese has no case, and
    // the rows' search texts are folded the same way once.
    job_.wanted = {lower(job_.text.toStdString()), from, to};
    restart_job();
    // A short list is narrowed at once; a long one goes on in slices.
    if (run_slice(false))
        publish();
    else if (job_.next <= dw_.rowcount())
        slices_.start();
}

void register_list_model::restart_job() {
    if (!job_.running) return;
    job_.next = 1;
    job_.rows.clear();
    if (!slices_.isActive()) slices_.start();
}

void register_list_model::finish_narrowing() {
    if (!job_.running) return;
    // Part of the list is no narrowing of it: that waits for the rest.
    if (run_slice(true)) publish();
}

bool register_list_model::narrows(const narrowing& n) const {
    return !n.needle.empty() || (date_column_ > 0 && (n.from || n.to));
}

bool register_list_model::run_slice(bool whole) {
    if (!narrows(job_.wanted)) return true;
    const long n = dw_.rowcount();
    // The keys of the rows narrowed let the rows shown follow their
    // records when the data window's rows move.
    if (texts_.size() != static_cast<std::size_t>(n)) {
        texts_.assign(static_cast<std::size_t>(n), {});
        keys_.assign(static_cast<std::size_t>(n), k_no_key);
        built_ = 0;
    }
    QElapsedTimer clock;
    clock.start();
    for (long done = 0; job_.next <= n; ++job_.next, ++done) {
        if (!whole && done > 0 &&
            ((slice_rows_ > 0 && done >= slice_rows_) ||
             (done % k_rows_per_check == 0 && clock.nsecsElapsed() > k_slice_ns)))
            return false;
        if (meets(job_.next, job_.wanted)) job_.rows.push_back(job_.next);
    }
    // The rows still to come may meet it too.
    return !reading_;
}

void register_list_model::publish() {
    slices_.stop();
    reset_with([&] {
        job_.running = false;
        filter_ = job_.text;
        shown_by_ = std::move(job_.wanted);
        filtered_ = narrows(shown_by_);
        shown_ = filtered_ ? std::move(job_.rows) : std::vector<long>();
        job_.rows.clear();
    });
    Q_EMIT narrowing_finished();
}

bool register_list_model::in_date_range(long row, const narrowing& n) const {
    const std::optional<date> d = dw_.getitemdate(row, dw_.column_definition(date_column_).name);
    if (!d) return false;
    return (!n.from || *d >= *n.from) && (!n.to || *d <= *n.to);
}

bool register_list_model::meets(long row, const narrowing& n) {
    double& key = keys_[static_cast<std::size_t>(row - 1)];
    if (std::isnan(key)) key = key_of(row);
    if (date_column_ > 0 && (n.from || n.to) && !in_date_range(row, n)) return false;
    return n.needle.empty() || search_text(row).find(n.needle) != std::string::npos;
}

const std::string& register_list_model::search_text(long row) {
    std::string& text = texts_[static_cast<std::size_t>(row - 1)];
    if (!text.empty()) return text;
    for (int col : columns_) {
        text += k_cell_separator;
        text += lower(dw_.display_text(row, col));
    }
    if (!text.empty()) ++built_;
    return text;
}

double register_list_model::key_of(long row) const {
    if (key_column_ == 0) return k_no_key;
    return dw_.getitem(row, key_column_).as_double().value_or(k_no_key);
}

void register_list_model::drop_cache() {
    texts_.clear();
    keys_.clear();
    built_ = 0;
}

// The data window's rows moved or changed under the search texts: each
// text follows its record's key to the row the record stands in now, and
// the rows shown become the same records, there. Texts of the current row
// (the one merged into), of new rows and, with `all_stale`, of every row
// are built anew, and whether such a row is shown is decided anew; with
// `all_stale` that waits for the narrowing computed anew.
void register_list_model::realign(bool all_stale) {
    const long n = dw_.rowcount();
    if (built_ == 0 && !filtered_) {
        drop_cache();
        return;
    }
    std::vector<double> keys(static_cast<std::size_t>(n));
    for (long r = 1; r <= n; ++r) keys[static_cast<std::size_t>(r - 1)] = key_of(r);
    // Old row (from 0) of each key; -1 for a key two rows had. Rows that
    // kept their places (a record merged in place) need no look-up.
    const bool kept_places = keys == keys_;
    std::unordered_map<double, long> old_row;
    if (!kept_places) {
        old_row.reserve(keys_.size());
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            if (std::isnan(keys_[i])) continue;
            auto [it, fresh] = old_row.emplace(keys_[i], static_cast<long>(i));
            if (!fresh) it->second = -1;
        }
    }
    auto old_row_of = [&](long r) -> long {
        if (kept_places) return r - 1;
        const double key = keys[static_cast<std::size_t>(r - 1)];
        auto it = std::isnan(key) ? old_row.end() : old_row.find(key);
        return it == old_row.end() ? -1 : it->second;
    };
    std::vector<char> was_shown(keys_.size(), 0);
    for (long r : shown_)
        if (r >= 1 && static_cast<std::size_t>(r) <= was_shown.size()) was_shown[r - 1] = 1;

    std::vector<std::string> texts(static_cast<std::size_t>(n));
    std::vector<long> shown;
    std::vector<long> stale;
    built_ = 0;
    for (long r = 1; r <= n; ++r) {
        const long from = old_row_of(r);
        if (from < 0 || r == dw_.getrow() || all_stale) {
            if (from >= 0 && was_shown[static_cast<std::size_t>(from)] && all_stale)
                shown.push_back(r);
            else if (from < 0 || r == dw_.getrow())
                stale.push_back(r);
            continue;
        }
        std::string& text = texts_[static_cast<std::size_t>(from)];
        if (!text.empty()) {
            texts[static_cast<std::size_t>(r - 1)] = std::move(text);
            ++built_;
        }
        if (was_shown[static_cast<std::size_t>(from)]) shown.push_back(r);
    }
    texts_ = std::move(texts);
    keys_ = std::move(keys);
    if (!filtered_) return;
    if (!all_stale)
        for (long r : stale)
            if (meets(r, shown_by_)) shown.insert(std::lower_bound(shown.begin(), shown.end(), r), r);
    shown_ = std::move(shown);
}

void register_list_model::reload(bool resort) {
    reset_with([&] {
        const std::vector<int> columns = columns_;
        read_columns();
        if (columns != columns_) drop_cache();
        if (resort && sorted_section_ >= 0) sort_keeping_current(sorted_section_, sort_order_);
        realign(false);
        restart_job();
    });
}

void register_list_model::relist(bool resort) {
    reset_with([&] {
        read_columns();
        if (resort && sorted_section_ >= 0) sort_keeping_current(sorted_section_, sort_order_);
        realign(true);
        // The rows shown until the narrowing computed anew completes.
        if (filtered_ && !job_.running) {
            job_.running = true;
            job_.text = filter_;
            job_.wanted = shown_by_;
        }
        restart_job();
    });
}

void register_list_model::set_reading(bool reading) {
    if (reading == reading_) return;
    reading_ = reading;
    if (reading_) return;
    // The list is whole: the sort asked for meanwhile, and the narrowing
    // waiting for the last rows.
    reset_with([&] {
        if (std::exchange(sort_waiting_, false) && sorted_section_ >= 0)
            sort_keeping_current(sorted_section_, sort_order_);
        realign(false);
        restart_job();
    });
}

void register_list_model::rows_appended() {
    const long n = dw_.rowcount();
    // The search texts and keys follow the rows: the new ones are unbuilt.
    if (!texts_.empty() && texts_.size() < static_cast<std::size_t>(n)) {
        texts_.resize(static_cast<std::size_t>(n));
        keys_.resize(static_cast<std::size_t>(n), k_no_key);
    }
    if (!filtered_ && n > reported_rows_) {
        beginInsertRows({}, reported_rows_, static_cast<int>(n) - 1);
        reported_rows_ = static_cast<int>(n);
        endInsertRows();
    }
    if (job_.running && !slices_.isActive()) slices_.start();
}

void register_list_model::touch() {
    if (rowCount() != reported_rows_ ||
        (filtered_ && !shown_.empty() && shown_.back() > dw_.rowcount()) ||
        (!texts_.empty() && texts_.size() != static_cast<std::size_t>(dw_.rowcount()))) {
        reload();
        return;
    }
    // A record merged in place is the current row: its search text is
    // built anew when next searched; the rows shown stay as they are.
    if (const long r = dw_.getrow(); r >= 1 && static_cast<std::size_t>(r) <= texts_.size()) {
        if (!texts_[static_cast<std::size_t>(r - 1)].empty()) --built_;
        texts_[static_cast<std::size_t>(r - 1)].clear();
        keys_[static_cast<std::size_t>(r - 1)] = k_no_key;
    }
    restart_job();
    if (rowCount() > 0) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

}  // namespace officerecords::app
