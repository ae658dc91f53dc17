#include "app/form_view.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/column_editor.h"

namespace officerecords::app {

namespace {

// Marks that an event is inside the core for as long as it lives.
class busy_scope {
public:
    explicit busy_scope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~busy_scope() { flag_ = was_; }
    busy_scope(const busy_scope&) = delete;
    busy_scope& operator=(const busy_scope&) = delete;

private:
    bool& flag_;
    bool was_;
};

// The form reads in the order Tab walks it: the columns the clerk enters
// take their places in the designed tab order, while a column outside the
// tab order or shown only (the person's beside a side register's own)
// keeps its own place, the same in every form that shows it.
void in_tab_order(std::vector<int>& cols, const data_window& dw) {
    std::vector<std::size_t> slots;
    std::vector<int> entered;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const column_def& c = dw.column_definition(cols[i]);
        if (c.tab <= 0 || c.readonly) continue;
        slots.push_back(i);
        entered.push_back(cols[i]);
    }
    std::stable_sort(entered.begin(), entered.end(), [&dw](int a, int b) {
        return dw.column_definition(a).tab < dw.column_definition(b).tab;
    });
    for (std::size_t i = 0; i < slots.size(); ++i) cols[slots[i]] = entered[i];
}

bool is_date(const data_window& dw, int col) {
    return dw.column_definition(col).type == column_type::date;
}

}  // namespace

form_view::form_view(w_modify& window, QWidget* parent)
    : QWidget(parent), window_(window), dw_(window.dw_1) {
    build();
    focus_watch_ = connect(qApp, &QApplication::focusChanged, this, &form_view::on_focus_changed);
}

form_view::~form_view() {
    // The window object may go before the widgets: no event reaches it now.
    disconnect(focus_watch_);
}

void form_view::build() {
    const dw_object& object = dw_.object();
    auto* sections = new QVBoxLayout(this);

    // Ungrouped columns first, then one box per group in the object's order
    // (captions only named by a column come after, as they appear).
    std::vector<std::string> order{""};
    for (const auto& g : object.groups) order.push_back(g);
    for (const auto& c : object.columns)
        if (!c.group.empty() && std::find(order.begin(), order.end(), c.group) == order.end())
            order.push_back(c.group);

    for (const auto& group : order) {
        std::vector<int> cols;
        for (int col = 1; col <= dw_.column_count(); ++col) {
            const column_def& c = dw_.column_definition(col);
            if (c.group == group && (c.visible || !c.label.empty())) cols.push_back(col);
        }
        if (cols.empty()) continue;
        in_tab_order(cols, dw_);
        QWidget* box =
            group.empty() ? new QWidget(this) : new QGroupBox(QString::fromStdString(group), this);
        auto* grid = new QGridLayout(box);
        if (group.empty()) grid->setContentsMargins(0, 0, 0, 0);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        int row = 0, slot = 0;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const int col = cols[i];
            auto* e = new column_editor(dw_, col, box);
            editors_.push_back(e);
            e->label()->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (e->wide()) {
                if (slot != 0) ++row;
                grid->addWidget(e->label(), row, 0, Qt::AlignRight | Qt::AlignTop);
                grid->addWidget(e->widget(), row++, 1, 1, 3);
                slot = 0;
            } else {
                // A date followed by another (a start and its end) does not
                // take the right-hand place, which would part the pair.
                if (slot == 1 && i + 1 < cols.size() && is_date(dw_, col) &&
                    is_date(dw_, cols[i + 1])) {
                    slot = 0;
                    ++row;
                }
                grid->addWidget(e->label(), row, slot * 2);
                grid->addWidget(e->widget(), row, slot * 2 + 1);
                if (++slot == 2) {
                    slot = 0;
                    ++row;
                }
            }
            connect(e, &column_editor::edited, this, &form_view::on_edited);
            connect(e, &column_editor::chosen, this, &form_view::on_chosen);
            connect(e, &column_editor::double_clicked, this, &form_view::on_double_clicked);
        }
        sections->addWidget(box);
    }
    sections->addStretch(1);

}

column_editor* form_view::editor(std::string_view column) const {
    return editor_at(dw_.column_number(column));
}

column_editor* form_view::editor_at(int col) const {
    for (column_editor* e : editors_)
        if (e->column() == col) return e;
    return nullptr;
}

column_editor* form_view::editor_of(const QObject* o) const {
    if (!o) return nullptr;
    for (column_editor* e : editors_)
        if (e->owns(o)) return e;
    return nullptr;
}

std::vector<column_editor*> form_view::tab_chain() const {
    std::vector<column_editor*> chain;
    if (dw_.getrow() < 1) return chain;
    for (column_editor* e : editors_)
        if (e->shown() && e->enterable()) chain.push_back(e);
    std::stable_sort(chain.begin(), chain.end(), [this](column_editor* a, column_editor* b) {
        return dw_.state(a->column()).tab < dw_.state(b->column()).tab;
    });
    return chain;
}

void form_view::focus_first() {
    auto chain = tab_chain();
    if (!chain.empty()) chain.front()->focus_widget()->setFocus(Qt::TabFocusReason);
}

void form_view::refresh() {
    // The mark stays until the field's value changes, or another record is shown.
    if (marked_col_ && (dw_.getrow() < 1 || dw_.history_key(dw_.getrow()) != marked_record_ ||
                        !(dw_.getitem(dw_.getrow(), marked_col_) == marked_value_)))
        unmark();
    for (column_editor* e : editors_) e->render();
    update_tab_order();
}

void form_view::unmark() {
    if (column_editor* e = editor_at(marked_col_)) e->set_marked(false);
    marked_col_ = 0;
}

void form_view::lead_to(std::string_view column) {
    column_editor* e = editor(column);
    if (!e || dw_.getrow() < 1) return;
    if (marked_col_ && marked_col_ != e->column()) unmark();
    marked_col_ = e->column();
    // A text the column cannot take stays in the field as the clerk typed
    // it: leaving the field or saving asks the core about it again, and the
    // row keeps its value. A window's own refusal shows the value kept.
    if (const auto& refused = dw_.last_refused_text();
        refused && refused->col == marked_col_ && refused->row == dw_.getrow() &&
        !dw_.has_pending_edit() && dw_.getcolumn() == marked_col_)
        dw_.settext(refused->text);
    marked_value_ = dw_.getitem(dw_.getrow(), marked_col_);
    marked_record_ = dw_.history_key(dw_.getrow());
    e->set_marked(true);
    if (!e->shown()) return;
    // After the message box has gone, and after the event in the core.
    QPointer<QWidget> field = e->focus_widget();
    QTimer::singleShot(0, this, [field] {
        if (field) field->setFocus(Qt::OtherFocusReason);
    });
}

void form_view::update_tab_order() {
    // Radio buttons are made after the other editors, so they would sit at
    // the end of the chain: each choice is placed with its column instead.
    std::vector<QWidget*> parts;
    for (column_editor* e : tab_chain())
        for (QWidget* w : e->focus_parts()) parts.push_back(w);
    for (std::size_t i = 1; i < parts.size(); ++i) QWidget::setTabOrder(parts[i - 1], parts[i]);
}

bool form_view::leave_field() {
    if (!dw_.has_pending_edit()) return true;
    int col = dw_.getcolumn();
    bool entered = false;
    {
        busy_scope busy(busy_);
        entered = window_.leave_field();
    }
    if (entered) return true;
    // Refused: the clerk stays in the field.
    if (column_editor* e = editor_at(col)) {
        QPointer<QWidget> field = e->focus_widget();
        QTimer::singleShot(0, this, [field] {
            if (field) field->setFocus(Qt::OtherFocusReason);
        });
    }
    return false;
}

bool form_view::enter_column(int col) {
    // The core's rule decides; leaving first lets a refusal put the focus
    // back into the field that was left.
    if (dw_.getcolumn() != col && !leave_field()) return false;
    return window_.enter_column(col);
}

void form_view::on_focus_changed(QWidget* old, QWidget* now) {
    // Focus taken by a message box or another window is not the clerk
    // leaving the field; nor is anything that happens while the core runs.
    if (busy_ || !now || now->window() != window()) return;
    column_editor* to = editor_of(now);
    column_editor* from = editor_of(old);
    if (to == from) return;
    if (dw_.getrow() < 1) return;
    if (!to) {
        if (from) leave_field();
        Q_EMIT core_changed();
        return;
    }
    int col = to->column();
    bool arriving = dw_.getcolumn() != col;
    if (arriving && enter_column(col)) {
        busy_scope busy(busy_);
        window_.itemfocuschanged(dw_.getrow(), dw_.column_object(col));
    }
    Q_EMIT core_changed();
}

void form_view::on_edited(int col, const QString& text) {
    if (busy_ || dw_.getrow() < 1) return;
    if (col == marked_col_) unmark();
    bool arriving = dw_.getcolumn() != col;
    if (arriving && !enter_column(col)) {
        Q_EMIT core_changed();
        return;
    }
    dw_.settext(text.toStdString());
    if (arriving)
        Q_EMIT core_changed();
    else
        Q_EMIT typed();
}

void form_view::on_chosen(int col, const QString& code) {
    if (busy_ || dw_.getrow() < 1) return;
    if (col == marked_col_) unmark();
    if (enter_column(col)) {
        dw_.settext(code.toStdString());
        busy_scope busy(busy_);
        dw_.accepttext();
    }
    Q_EMIT core_changed();
}

void form_view::next_field() {
    if (busy_) return;
    if (leave_field()) focusNextPrevChild(true);
    Q_EMIT core_changed();
}

void form_view::on_double_clicked(int col, QPoint pos) {
    if (busy_ || dw_.getrow() < 1 || !dw_.state(col).visible) return;
    if (enter_column(col)) {
        busy_scope busy(busy_);
        window_.doubleclicked(pos.x(), pos.y(), dw_.getrow(), dw_.column_object(col));
    }
    Q_EMIT core_changed();
}

}  // namespace officerecords::app
