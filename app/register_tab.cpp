#include "app/register_tab.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/register_list_model.h"
#include "foundation/register_page.h"

namespace officerecords::app {

namespace {

constexpr int k_widest_column = 280;
constexpr int k_search_delay_ms = 200;

}  // namespace

register_tab::register_tab(const window_entry& entry, QWidget* parent)
    : QWidget(parent), entry_(entry) {
    setObjectName(
        QString::fromUtf8(entry.window.data(), static_cast<qsizetype>(entry.window.size())));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    search_ = new QLineEdit(this);
    search_->setObjectName("search");
    search_->setPlaceholderText("查找（在所有列中）");
    search_->setClearButtonEnabled(true);
    bar->addWidget(new QLabel("查找:", this));
    bar->addWidget(search_, 1);
    layout->addLayout(bar);

    model_ = new register_list_model(page_.dw_1, this);
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
    view_->horizontalHeader()->setSectionsClickable(true);
    view_->horizontalHeader()->setSortIndicatorShown(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->horizontalHeader()->setHighlightSections(false);
    layout->addWidget(view_, 1);

    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &register_tab::on_header_clicked);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (syncing_ || !now.isValid()) return;
                page_.dw_1.setrow(model_->dw_row(now.row()));
                Q_EMIT current_changed();
            });
    connect(view_, &QTableView::activated, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        page_.dw_1.setrow(model_->dw_row(index.row()));
        Q_EMIT row_activated();
    });

    // Narrowing 100,000 rows waits until the clerk pauses typing.
    search_delay_ = new QTimer(this);
    search_delay_->setSingleShot(true);
    search_delay_->setInterval(k_search_delay_ms);
    connect(search_, &QLineEdit::textChanged, search_delay_, qOverload<>(&QTimer::start));
    connect(search_delay_, &QTimer::timeout, this, [this] {
        syncing_ = true;
        model_->set_filter(search_->text());
        select_current();
        syncing_ = false;
        Q_EMIT current_changed();
    });
}

register_tab::~register_tab() = default;

status register_tab::load(session& s) {
    std::string key_column = record_key_column(entry_.list());
    value key;
    if (page_.dw_1.has_object() && page_.dw_1.getrow() > 0)
        key = page_.dw_1.getitem(page_.dw_1.getrow(), key_column);
    syncing_ = true;
    status st = list_register(page_, std::string(entry_.window), entry_.list(), s);
    if (st && !key.is_null())
        if (long r = find_listed(page_, key)) page_.dw_1.setrow(r);
    model_->reload();
    if (st && !sized_) {
        sized_ = true;
        view_->resizeColumnsToContents();
        for (int c = 0; c < model_->columnCount(); ++c)
            if (view_->columnWidth(c) > k_widest_column) view_->setColumnWidth(c, k_widest_column);
    }
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
    return st;
}

long register_tab::current_row() const {
    long r = page_.dw_1.getrow();
    return model_->model_row(r) >= 0 ? r : 0;
}

void register_tab::sync() {
    syncing_ = true;
    model_->reload();
    select_current();
    syncing_ = false;
    Q_EMIT current_changed();
}

void register_tab::follow() {
    syncing_ = true;
    model_->touch();
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
    sort_order_ = section == sorted_section_ && sort_order_ == Qt::AscendingOrder
                      ? Qt::DescendingOrder
                      : Qt::AscendingOrder;
    sorted_section_ = section;
    syncing_ = true;
    model_->sort(section, sort_order_);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    view_->horizontalHeader()->setSortIndicator(section, sort_order_);
    select_current();
    syncing_ = false;
}

}  // namespace officerecords::app
