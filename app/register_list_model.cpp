#include "app/register_list_model.h"

#include <QFont>
#include <algorithm>

#include "foundation/register_page.h"
#include "platform/list_export.h"

namespace officerecords::app {

namespace {

bool is_number(const column_def& c) {
    return c.type == column_type::decimal || c.type == column_type::whole ||
           c.type == column_type::number;
}

constexpr const char* k_unchecked_note = "不做数据校验临时保存的记录";

}  // namespace

register_list_model::register_list_model(data_window& dw, QObject* parent)
    : QAbstractTableModel(parent), dw_(dw) {
    read_columns();
    reported_rows_ = rowCount();
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
    QString text = col == 0 ? QString::number(index.row() + 1)
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
        apply_filter();
    });
}

void register_list_model::sort_keeping_current(int section, Qt::SortOrder order) {
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
    reset_with([&] {
        filter_ = text.trimmed();
        apply_filter();
    });
}

void register_list_model::set_date_range(std::optional<date> from, std::optional<date> to) {
    reset_with([&] {
        from_ = from;
        to_ = to;
        apply_filter();
    });
}

void register_list_model::reload(bool resort) {
    reset_with([&] {
        read_columns();
        if (resort && sorted_section_ >= 0) sort_keeping_current(sorted_section_, sort_order_);
        apply_filter();
    });
}

void register_list_model::touch() {
    if (rowCount() != reported_rows_ ||
        (filtered_ && !shown_.empty() && shown_.back() > dw_.rowcount())) {
        reload();
        return;
    }
    if (rowCount() > 0) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool register_list_model::in_date_range(long row) const {
    const std::optional<date> d = dw_.getitemdate(row, dw_.column_definition(date_column_).name);
    if (!d) return false;
    return (!from_ || *d >= *from_) && (!to_ || *d <= *to_);
}

void register_list_model::apply_filter() {
    const bool by_date = date_column_ > 0 && (from_ || to_);
    filtered_ = !filter_.isEmpty() || by_date;
    shown_.clear();
    if (!filtered_) return;
    // Compared as UTF-8 with ASCII letters folded: Chinese has no case, and
    // 100,000 rows are narrowed without a conversion per cell.
    const std::string needle = lower(filter_.toStdString());
    for (long r = 1; r <= dw_.rowcount(); ++r) {
        if (by_date && !in_date_range(r)) continue;
        if (needle.empty()) {
            shown_.push_back(r);
            continue;
        }
        for (int col : columns_) {
            if (lower(dw_.display_text(r, col)).find(needle) != std::string::npos) {
                shown_.push_back(r);
                break;
            }
        }
    }
}

}  // namespace officerecords::app
