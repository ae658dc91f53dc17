#include "app/register_tab.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "app/register_list_model.h"
#include "app/register_stream.h"
#include "foundation/register_page.h"
#include "import/typed_value.h"

namespace officerecords::app {

namespace {

constexpr int k_widest_column = 280;
constexpr int k_fitted_rows = 40;
constexpr int k_search_delay_ms = 200;
constexpr const char* k_row_counter = "序号";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* k_date_hint = "日期按yyyy-mm-dd（例如 2024-03-15）格式输入，不填则不限";

// A bound of the date range, read as a date typed into a sheet is
// (2024-03-15, 2024/3/15, 20240315, 2024年3月15日): empty leaves that side
// open. A text that is no date is marked in its field and leaves the side
// open too, and `problem` says so, that the clerk sees why the list is not
// narrowed by it.
std::optional<date> date_bound(QLineEdit* field, QString& problem) {
    if (!field) return std::nullopt;
    const QString text = field->text().trimmed();
    std::optional<date> d = text.isEmpty() ? std::nullopt : read_typed_date(text.toStdString());
    const bool wrong = !text.isEmpty() && !d;
    field->setStyleSheet(wrong ? "QLineEdit { background: #ffd0d0; border: 1px solid #c00000; }"
                               : QString());
    const QString why = "“" + text + "”不是有效的日期";
    field->setToolTip(wrong ? why + "，请按yyyy-mm-dd（例如 2024-03-15）格式输入！" : k_date_hint);
    if (wrong && problem.isEmpty()) problem = why;
    return d;
}

}  // namespace

register_tab::register_tab(const window_entry& entry, QWidget* parent)
    : QWidget(parent), entry_(entry) {
    setObjectName(qs(entry.window));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    search_ = new QLineEdit(this);
    search_->setObjectName("search");
    search_->setPlaceholderText("查找（在所有列中）");
    search_->setClearButtonEnabled(true);
    search_->installEventFilter(this);
    bar->addWidget(new QLabel("查找:", this));
    bar->addWidget(search_, 1);
    layout->addLayout(bar);

    model_ = new register_list_model(page_.dw_1, this);
    const dw_object& list = entry_.list();
    if (const int col = register_list_model::main_date_column(list)) {
        bar->addSpacing(12);
        bar->addWidget(
            new QLabel(qs(list.columns[static_cast<std::size_t>(col - 1)].label) + ":", this));
        date_from_ = make_date_field("date_from", "起始日期");
        bar->addWidget(date_from_);
        bar->addWidget(new QLabel("至", this));
        date_to_ = make_date_field("date_to", "截止日期");
        bar->addWidget(date_to_);
    }
    view_ = new QTableView(this);
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setAlternatingRowColors(true);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionsClickable(true);
    // Shown from the start, on no section: the header's widths then keep
    // room for the arrow, which never covers a header's text.
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    // Columns are fitted to the first rows the clerk sees (a tall window's
    // screenful), not the first page: measuring 100 rows' cells took 3.8 ms
    // of the 8.4 ms a list of 1,000 records needed to its first paint.
    header->setResizeContentsPrecision(k_fitted_rows);
    layout->addWidget(view_, 1);

    connect(header, &QHeaderView::sectionClicked, this, &register_tab::on_header_clicked);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (syncing_ || !now.isValid()) return;
                // The clerk chose: the record current before, still to be
                // read in, no longer is.
                wanted_key_ = value();
                page_.dw_1.setrow(model_->dw_row(now.row()));
                Q_EMIT current_changed();
            });
    connect(view_, &QTableView::activated, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        page_.dw_1.setrow(model_->dw_row(index.row()));
        Q_EMIT row_activated();
    });
    // Every redraw of the rows (narrowed, sorted, listed anew, a record
    // merged) may change which rows are shown and their numbers.
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { page_.shown = model_->narrowed_rows(); });
    // A narrowing completes on the event loop, after the clerk's keystroke.
    connect(model_, &register_list_model::narrowing_finished, this, [this] {
        if (syncing_) return;
        syncing_ = true;
        select_current();
        syncing_ = false;
        Q_EMIT current_changed();
    });

    stream_ = new register_stream(page_, this);
    connect(stream_, &register_stream::rows_added, this, &register_tab::on_rows_read);
    connect(stream_, &register_stream::finished, this, &register_tab::on_reading_finished);
    connect(stream_, &register_stream::failed, this, [this](const QString& why) {
        // What was read stays listed, and is what a narrowing or a sort
        // works on now; the record window lists the whole register again.
        model_->set_reading(false);
        Q_EMIT reading_failed(why);
        Q_EMIT reading_progressed();
    });

    // Narrowing 100,000 rows waits until the clerk pauses typing.
    search_delay_ = new QTimer(this);
    search_delay_->setSingleShot(true);
    search_delay_->setInterval(k_search_delay_ms);
    connect(search_, &QLineEdit::textChanged, search_delay_, qOverload<>(&QTimer::start));
    connect(search_delay_, &QTimer::timeout, this, &register_tab::apply_narrowing);
}

register_tab::~register_tab() = default;

bool register_tab::eventFilter(QObject* watched, QEvent* event) {
    if (watched != search_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool onwards =
        key->key() == Qt::Key_Down || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!onwards || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QWidget::eventFilter(watched, event);
    // The rows the clerk typed for, not those shown before the pause.
    finish_narrowing();
    view_->setFocus(Qt::TabFocusReason);
    if (model_->rowCount() > 0)
        view_->selectionModel()->setCurrentIndex(
            model_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

QLineEdit* register_tab::make_date_field(const QString& name, const QString& placeholder) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    field->setClearButtonEnabled(true);
    field->setMaxLength(20);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance("0000-00-00") + 48);
    QString none;
    (void)date_bound(field, none);
    connect(field, &QLineEdit::textChanged, this, [this] { search_delay_->start(); });
    // What was read is shown as the list reads it: 2020/1/1 as 2020-01-01.
    connect(field, &QLineEdit::editingFinished, this, [field] {
        if (auto d = read_typed_date(field->text().trimmed().toStdString())) {
            const QString iso = QString::fromStdString(d->iso());
            if (field->text() != iso) field->setText(iso);
        }
    });
    return field;
}

void register_tab::apply_narrowing() {
    search_delay_->stop();
    QString problem;
    const std::optional<date> from = date_bound(date_from_, problem);
    const std::optional<date> to = date_bound(date_to_, problem);
    if (problem != date_problem_) {
        date_problem_ = problem;
        Q_EMIT date_problem_changed();
    }
    // Selects the current record and tells of it once the narrowing is
    // shown, now for a short list, later for a long one.
    model_->set_narrowing(search_->text(), from, to);
    if (model_->narrowing_pending()) Q_EMIT current_changed();
}

void register_tab::finish_narrowing() {
    if (search_delay_->isActive()) apply_narrowing();
    // A narrowing is of the whole list: the rest is read first.
    if (model_->narrowing_pending()) (void)finish_reading();
    model_->finish_narrowing();
}

std::vector<long> register_tab::shown_rows() {
    (void)finish_reading();
    finish_narrowing();
    return model_->view_rows();
}

bool register_tab::reading() const { return stream_->reading(); }

long register_tab::reading_expected() const { return stream_->expected(); }

status register_tab::finish_reading() {
    if (!stream_->reading()) return status::ok();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const status st = stream_->finish();
    QApplication::restoreOverrideCursor();
    return st;
}

status register_tab::load(session& s) {
    // Whatever was being read is of the list before.
    stream_->cancel();
    std::string key_column = record_key_column(entry_.list());
    value key;
    if (page_.dw_1.has_object() && page_.dw_1.getrow() > 0)
        key = page_.dw_1.getitem(page_.dw_1.getrow(), key_column);
    wanted_key_ = value();
    syncing_ = true;
    status st = list_register_first(page_, std::string(entry_.window), entry_.list(), s,
                                    k_first_page_rows);
    const bool partial = st && page_.partial();
    if (st && !key.is_null()) {
        if (long r = find_listed(page_, key))
            page_.dw_1.setrow(r);
        else if (partial)
            wanted_key_ = key;
    }
    if (partial) model_->set_reading(true);
    model_->relist(true);
    if (!partial) model_->set_reading(false);
    read_rows_ = page_.dw_1.rowcount();
    if (st && !sized_) {
        sized_ = true;
        fit_columns(false);
    }
    select_current();
    syncing_ = false;
    if (partial) stream_->start(s);
    Q_EMIT current_changed();
    Q_EMIT reading_progressed();
    return st;
}

void register_tab::on_rows_read() {
    const long before = read_rows_;
    read_rows_ = page_.dw_1.rowcount();
    model_->rows_appended();
    // The record current before the list was read anew is current again
    // once it is in, unless the clerk chose another meanwhile.
    if (!wanted_key_.is_null()) {
        const std::string key = record_key_column(page_.dw_1.object());
        for (long r = std::max(1L, before); r <= read_rows_; ++r) {
            if (page_.dw_1.getitem(r, key) != wanted_key_) continue;
            wanted_key_ = value();
            page_.dw_1.setrow(r);
            syncing_ = true;
            select_current();
            syncing_ = false;
            Q_EMIT current_changed();
            break;
        }
    }
    Q_EMIT reading_progressed();
}

void register_tab::on_reading_finished() {
    wanted_key_ = value();
    read_rows_ = page_.dw_1.rowcount();
    syncing_ = true;
    model_->rows_appended();
    model_->set_reading(false);
    show_sort();
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
    Q_EMIT reading_finished();
    Q_EMIT reading_progressed();
}

void register_tab::fit_columns(bool only_grow) {
    QHeaderView* header = view_->horizontalHeader();
    // The table's own measure of the rows it would show (public only here).
    const QAbstractItemView& cells_of = *view_;
    for (int c = 0; c < model_->columnCount(); ++c) {
        const int cells = std::min(cells_of.sizeHintForColumn(c), k_widest_column);
        const int wanted = std::max(cells, header->sectionSizeHint(c));
        if (!only_grow || wanted > view_->columnWidth(c)) view_->setColumnWidth(c, wanted);
    }
}

long register_tab::current_row() const {
    long r = page_.dw_1.getrow();
    return model_->model_row(r) >= 0 ? r : 0;
}

void register_tab::sync() {
    stream_->settle();
    syncing_ = true;
    model_->reload();
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
}

void register_tab::follow() {
    stream_->settle();
    syncing_ = true;
    model_->touch();
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
}

void register_tab::after_save() {
    stream_->settle();
    syncing_ = true;
    model_->reload(true);
    fit_columns(true);
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
}

void register_tab::select_current() {
    int row = model_->model_row(page_.dw_1.getrow());
    if (row < 0) {
        view_->selectionModel()->clear();
        return;
    }
    QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void register_tab::on_header_clicked(int section) {
    const Qt::SortOrder order =
        section == model_->sorted_section() && model_->sort_order() == Qt::AscendingOrder
            ? Qt::DescendingOrder
            : Qt::AscendingOrder;
    syncing_ = true;
    model_->sort(section, order);
    show_sort();
    select_current();
    syncing_ = false;
}

void register_tab::show_sort() {
    view_->horizontalHeader()->setSortIndicator(model_->sorted_section(), model_->sort_order());
}

QString register_tab::settings_group() const { return "lists/" + qs(entry_.window); }

void register_tab::save_state(QSettings& settings) const {
    settings.beginGroup(settings_group());
    QVariantList widths;
    for (int c = 0; c < model_->columnCount(); ++c) widths << view_->columnWidth(c);
    settings.setValue("widths", widths);
    // The sort by the column's name: a list that gains a column keeps it.
    const int section = model_->sorted_section();
    const int col = model_->column_of(section);
    if (section < 0)
        settings.remove("sort");
    else
        settings.setValue(
            "sort", col ? qs(page_.dw_1.column_definition(col).name) : QString(k_row_counter));
    settings.setValue("descending", model_->sort_order() == Qt::DescendingOrder);
    settings.endGroup();
}

void register_tab::restore_state(const QSettings& settings) {
    const QString group = settings_group() + "/";
    const QVariantList widths = settings.value(group + "widths").toList();
    // Widths of another set of columns would fit none of these.
    if (widths.size() == model_->columnCount()) {
        sized_ = true;
        for (int c = 0; c < widths.size(); ++c)
            if (const int w = widths[c].toInt(); w > 0) view_->setColumnWidth(c, w);
    }
    const QString sort = settings.value(group + "sort").toString();
    if (sort.isEmpty()) return;
    int section = -1;
    for (int s = 0; s < model_->columnCount() && section < 0; ++s) {
        const int col = model_->column_of(s);
        const QString name = col ? qs(page_.dw_1.column_definition(col).name) : k_row_counter;
        if (name == sort) section = s;
    }
    if (section < 0) return;
    syncing_ = true;
    model_->sort(section, settings.value(group + "descending").toBool() ? Qt::DescendingOrder
                                                                        : Qt::AscendingOrder);
    show_sort();
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
}

}  // namespace officerecords::app
