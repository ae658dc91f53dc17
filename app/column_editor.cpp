#include "app/column_editor.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "foundation/w_modify.h"

namespace officerecords::app {

namespace {

// Texts wider than this many characters get a multi-line edit.
constexpr int k_widest_one_line = 100;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Colours are written red + 256 * green + 65536 * blue.
QColor colour_of(long rgb) {
    return QColor(static_cast<int>(rgb & 0xff), static_cast<int>((rgb >> 8) & 0xff),
                  static_cast<int>((rgb >> 16) & 0xff));
}

// An edit mask such as "yyyy-mm-dd" as a QLineEdit input mask: every
// digit optional, so the field can be cleared.
QString input_mask_of(const std::string& edit_mask) {
    QString mask;
    for (char ch : edit_mask) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (c == 'y' || c == 'm' || c == 'd')
            mask += '0';
        else if (QString("AaNnXx90Dd#HhBb><!{}[]\\").contains(QChar(ch)))
            mask += QString("\\") + QChar(ch);
        else
            mask += QChar(ch);
    }
    return mask.isEmpty() ? mask : mask + "; ";
}

column_editor::kind kind_for(const column_def& c, const dw_child* child) {
    switch (c.style) {
        case edit_style::dropdown:
        case edit_style::ddlb:
            if (child) return column_editor::kind::combo;
            break;
        case edit_style::radio:
            if (child) return column_editor::kind::radio;
            break;
        case edit_style::multiline:
            return column_editor::kind::multiline;
        case edit_style::edit:
            break;
    }
    if (c.type == column_type::text && c.width > k_widest_one_line)
        return column_editor::kind::multiline;
    return column_editor::kind::line;
}

}  // namespace

column_editor::column_editor(data_window& dw, int col, QWidget* parent)
    : QObject(parent), dw_(dw), col_(col) {
    const column_def& c = definition();
    kind_ = kind_for(c, dw_.child(col_));
    label_ = new QLabel(parent);
    label_->setObjectName(qs(c.name + "_t"));
    switch (kind_) {
        case kind::line: {
            line_ = new QLineEdit(parent);
            widget_ = line_;
            // No length limit on the widget: it would cut a long paste
            // silently, where the core refuses it with the width message.
            if (c.type == column_type::date && c.edit_mask == c.format) {
                mask_ = input_mask_of(c.edit_mask);
            }
            if (c.type != column_type::text && c.type != column_type::date)
                line_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            connect(line_, &QLineEdit::textEdited, this, [this] { Q_EMIT edited(col_, text()); });
            watch(line_);
            break;
        }
        case kind::multiline: {
            multi_ = new QPlainTextEdit(parent);
            widget_ = multi_;
            // Tab walks the form, as in every other field.
            multi_->setTabChangesFocus(true);
            multi_->setFixedHeight(multi_->fontMetrics().lineSpacing() * 4 + 12);
            connect(multi_, &QPlainTextEdit::textChanged, this, [this] {
                if (!rendering_) Q_EMIT edited(col_, multi_->toPlainText());
            });
            watch(multi_);
            watch(multi_->viewport());
            break;
        }
        case kind::combo: {
            combo_ = new QComboBox(parent);
            widget_ = combo_;
            // Fusion draws a focused drop-down as any other, and lays its
            // list over the field as high as the screen: the focus is
            // framed, and the list opens beside the field with the rows
            // the screen has room for (fit_to_screen).
            combo_->setStyleSheet(
                "QComboBox { combobox-popup: 0; }"
                "QComboBox:focus { border: 2px solid palette(highlight); border-radius: 3px;"
                " padding: 1px 18px 1px 3px; }");
            connect(combo_, &QComboBox::activated, this,
                    [this](int i) { Q_EMIT chosen(col_, combo_->itemData(i).toString()); });
            watch(combo_);
            break;
        }
        case kind::radio: {
            widget_ = new QWidget(parent);
            auto* row = new QHBoxLayout(widget_);
            row->setContentsMargins(0, 0, 0, 0);
            row->addStretch(1);
            radios_ = new QButtonGroup(this);
            connect(radios_, &QButtonGroup::idClicked, this, [this](int id) {
                if (id >= 0 && id < static_cast<int>(offered_.size()))
                    Q_EMIT chosen(col_, qs(offered_[static_cast<std::size_t>(id)]));
            });
            break;
        }
    }
    widget_->setObjectName(qs(c.name));
    label_->setBuddy(widget_);
}

void column_editor::watch(QWidget* w) { w->installEventFilter(this); }

QWidget* column_editor::focus_widget() const {
    if (radios_ && !radios_->buttons().isEmpty()) return radios_->buttons().first();
    return widget_;
}

std::vector<QWidget*> column_editor::focus_parts() const {
    if (!radios_ || radios_->buttons().isEmpty()) return {widget_};
    std::vector<QWidget*> parts;
    for (QAbstractButton* b : radios_->buttons()) parts.push_back(b);
    return parts;
}

bool column_editor::owns(const QObject* o) const {
    for (const QObject* p = o; p; p = p->parent())
        if (p == widget_) return true;
    return false;
}

bool column_editor::shown() const { return dw_.state(col_).visible; }

bool column_editor::enterable() const { return dw_.can_enter(col_); }

void column_editor::render() {
    rendering_ = true;
    render_state();
    long row = dw_.getrow();
    if (kind_ == kind::combo || kind_ == kind::radio)
        render_choices(row);
    else
        render_text(row);
    rendering_ = false;
}

void column_editor::set_marked(bool on) {
    if (marked_ == on) return;
    marked_ = on;
    render_state();
}

void column_editor::render_state() {
    // Only what changed is set again: an editor being composed into by an
    // input method must not be disturbed by a redraw of its state.
    const column_state& st = dw_.state(col_);
    label_->setVisible(st.visible);
    widget_->setVisible(st.visible);
    QString label = qs(dw_.label_text(definition().name));
    if (label_->text() != label) label_->setText(label);
    bool enter = enterable() && dw_.getrow() > 0;
    Qt::FocusPolicy focus = enter ? Qt::StrongFocus : Qt::NoFocus;
    if (line_ && line_->isReadOnly() == enter) line_->setReadOnly(!enter);
    if (multi_ && multi_->isReadOnly() == enter) multi_->setReadOnly(!enter);
    if (line_ || multi_) {
        if (widget_->focusPolicy() != focus) widget_->setFocusPolicy(focus);
    } else {
        widget_->setEnabled(enter);
    }
    QPalette::ColorRole role = radios_ ? QPalette::Window : QPalette::Base;
    QColor background = colour_of(marked_ ? k_refused_background : st.background);
    // A field the clerk cannot enter shows its text greyed, as a disabled
    // drop-down does, on the background the core gave it; on the default
    // background it is greyed too, so that a locked empty field shows it.
    const QPalette standard = QApplication::palette(widget_);
    QColor text = standard.color(enter ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    if (!enter && !radios_ && st.background == k_default_background)
        background = standard.color(QPalette::Disabled, QPalette::Window);
    if (widget_->palette().color(role) != background ||
        widget_->palette().color(QPalette::Text) != text) {
        QPalette pal = widget_->palette();
        pal.setColor(role, background);
        pal.setColor(QPalette::Text, text);
        widget_->setPalette(pal);
    }
    if (radios_) widget_->setAutoFillBackground(st.background != k_default_background);
    QString tag = qs(st.tag);
    if (widget_->toolTip() != tag) widget_->setToolTip(tag);
}

QString column_editor::edit_text(long row) const {
    value v = dw_.getitem(row, col_);
    if (v.is_null()) return {};
    if (v.is_decimal()) return qs(v.dec().str());
    return qs(v.to_text());
}

QString column_editor::text() const {
    if (multi_) return multi_->toPlainText();
    if (combo_) return combo_->currentText();
    if (radios_) return radios_->checkedButton() ? radios_->checkedButton()->text() : QString();
    QString t = line_->text();
    if (mask_.isEmpty()) return t;
    // A masked edit reports its separators even when nothing was typed.
    QString typed = t;
    for (QChar ch : t)
        if (!ch.isLetterOrNumber()) typed.remove(ch);
    return typed.trimmed().isEmpty() ? QString() : t.trimmed();
}

void column_editor::render_text(long row) {
    if (composing_) return;
    if (dw_.has_pending_edit() && dw_.getcolumn() == col_) return;
    QString shown;
    if (row > 0) {
        // Numbers and dates show their display format, except while the
        // clerk works in the field.
        shown = widget_->hasFocus() ? edit_text(row) : qs(dw_.display_text(row, col_));
    }
    if (line_) {
        // An empty date outside the clerk's work shows nothing rather than
        // the mask's separators.
        bool masked = !mask_.isEmpty() && (widget_->hasFocus() || !shown.isEmpty());
        if (masked != !line_->inputMask().isEmpty())
            line_->setInputMask(masked ? mask_ : QString());
        if (text() != shown) {
            line_->setText(shown);
            // A text wider than the field shows its beginning, as it reads.
            if (!widget_->hasFocus()) line_->setCursorPosition(0);
        }
    } else if (multi_->toPlainText() != shown) {
        multi_->setPlainText(shown);
    }
}

void column_editor::render_choices(long row) {
    const dw_child* child = dw_.child(col_);
    std::vector<std::string> codes = child ? child->offered_codes() : std::vector<std::string>{};
    if (codes != offered_) {
        offered_ = std::move(codes);
        if (combo_) {
            combo_->clear();
            for (const auto& code : offered_)
                combo_->addItem(qs(child->display_of(code).value_or(code)), qs(code));
        } else {
            for (QAbstractButton* b : radios_->buttons()) {
                radios_->removeButton(b);
                delete b;
            }
            int id = 0;
            for (const auto& code : offered_) {
                auto* b = new QRadioButton(qs(child->display_of(code).value_or(code)), widget_);
                watch(b);
                auto* row = static_cast<QHBoxLayout*>(widget_->layout());
                row->insertWidget(row->count() - 1, b);
                radios_->addButton(b, id++);
            }
        }
    }
    value v = row > 0 ? dw_.getitem(row, col_) : value();
    std::string current = v.is_null() ? std::string() : (v.is_text() ? v.text() : v.to_text());
    int at = -1;
    for (std::size_t i = 0; i < offered_.size(); ++i)
        if (offered_[i] == current) at = static_cast<int>(i);
    if (combo_) {
        combo_->setCurrentIndex(at);
        // A stored code the drop-down does not offer now still shows its name.
        combo_->setPlaceholderText(at < 0 && row > 0 ? qs(dw_.lookup_display(row, col_))
                                                     : QString());
    } else {
        radios_->setExclusive(false);
        for (QAbstractButton* b : radios_->buttons()) b->setChecked(radios_->id(b) == at);
        radios_->setExclusive(true);
    }
}

bool column_editor::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::InputMethod:
            composing_ = !static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty();
            break;
        case QEvent::FocusOut:
            composing_ = false;
            break;
        case QEvent::MouseButtonDblClick:
            Q_EMIT double_clicked(col_, static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace officerecords::app
