#include "app/record_dialog.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/column_editor.h"
#include "app/form_view.h"
#include "app/list_output.h"
#include "app/picture_label.h"

namespace officerecords::app {

namespace {

constexpr QSize k_button_icon(24, 24);
// A passport photo's proportions.
constexpr QSize k_form_picture(180, 240);

std::vector<record_dialog*>& open_dialogs() {
    static std::vector<record_dialog*> dialogs;
    return dialogs;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The key a tooltip promises in its closing parentheses: "保存数据(Ctrl+S)".
QKeySequence promised_shortcut(const std::string& tooltip) {
    static const QRegularExpression promise(R"([(（]([^()（）]+)[)）]\s*$)");
    auto m = promise.match(qs(tooltip));
    if (!m.hasMatch()) return {};
    QKeySequence k = QKeySequence::fromString(m.captured(1), QKeySequence::PortableText);
    if (k.count() != 1) return {};
    // A plain character in parentheses is part of the text, not a key.
    QKeyCombination combo = k[0];
    bool named_key = combo.key() >= Qt::Key_Escape && combo.key() < Qt::Key_unknown;
    return combo.keyboardModifiers() != Qt::NoModifier || named_key ? k : QKeySequence();
}

// The tooltip a button shows: the core's, followed by the key that presses
// the button when the core's names none ("最后一条记录 (Ctrl+End)").
QString tooltip_with_key(const std::string& tooltip, const QKeySequence& key) {
    const QString text = qs(tooltip);
    if (key.isEmpty() || !promised_shortcut(tooltip).isEmpty()) return text;
    const QString named = "(" + key.toString(QKeySequence::NativeText) + ")";
    return text.isEmpty() ? named : text + " " + named;
}

// A disabled button shows its picture greyed and paled towards the face
// it is drawn on. A BMP keeps no transparency: its corner colour is that
// face, left out so that no lighter square stands around the picture,
// which is what Qt's own disabled picture of an opaque BMP shows.
QIcon toolbar_icon(const QPixmap& picture) {
    QIcon icon(picture);
    if (picture.isNull()) return icon;
    QImage grey = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb face = grey.pixel(0, 0);
    const int paled_to = qAlpha(face) == 255
                             ? qGray(face)
                             : qGray(QApplication::palette().color(QPalette::Button).rgb());
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int g = (qGray(line[x]) + paled_to) / 2;
            line[x] = line[x] == face ? qRgba(0, 0, 0, 0) : qRgba(g, g, g, qAlpha(line[x]));
        }
    }
    icon.addPixmap(QPixmap::fromImage(grey), QIcon::Disabled);
    return icon;
}

// "照片序号:" names the value after it.
bool is_caption(const control& c) {
    const QString text = qs(c.text()).trimmed();
    return c.kind() == control_kind::label && (text.endsWith(':') || text.endsWith(u'：'));
}

}  // namespace

record_dialog::record_dialog(std::unique_ptr<w_modify> window, const QString& caption,
                             QWidget* parent)
    : QDialog(parent), window_(std::move(window)), caption_(caption) {
    open_dialogs().push_back(this);
    setObjectName(qs(window_->name()));

    auto* layout = new QVBoxLayout(this);
    auto* toolbar = new QHBoxLayout;
    toolbar->setSpacing(2);
    layout->addLayout(toolbar);
    std::vector<control*> own = build_toolbar(toolbar);
    status_ = new QLabel(this);
    status_->setObjectName("status_line");
    QPalette calm = status_->palette();
    calm.setColor(QPalette::WindowText, QColor(46, 125, 50));
    status_->setPalette(calm);
    toolbar->addWidget(status_);
    // The history is of saved records: a record's page only.
    if (window_->dw_1.has_object()) {
        history_ = new QToolButton(this);
        history_->setObjectName("history");
        history_->setText("修改记录");
        history_->setToolTip("这条记录保存过的修改：何时、哪台计算机、改了什么");
        history_->setAutoRaise(true);
        history_->setFocusPolicy(Qt::NoFocus);
        connect(history_, &QToolButton::clicked, this, &record_dialog::history_requested);
        toolbar->addWidget(history_);
    }
    // The keys of data-entry programs for moving along the list, and help.
    const std::pair<QKeySequence, control*> frame_keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), &window_->cb_prior},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), &window_->cb_next},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), &window_->cb_first},
        {QKeySequence(Qt::CTRL | Qt::Key_End), &window_->cb_last},
        {QKeySequence(Qt::Key_F1), &window_->cb_help}};
    for (const auto& [key, c] : frame_keys)
        if (buttons_.count(c)) add_shortcut(key, *c);
    // Ctrl+S saves in every window, the album's own Save as well, whatever
    // its tooltip promises.
    const QKeySequence save(Qt::CTRL | Qt::Key_S);
    if (buttons_.count(&window_->cb_save) && !shortcuts_.count(save)) add_shortcut(save, window_->cb_save);
    if (window_->dw_1.has_object()) {
        auto* extras = new QHBoxLayout;
        lay_out_extras(own, extras);
        layout->addLayout(extras);
        auto* body = new QHBoxLayout;
        auto* scroll = new QScrollArea(this);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setFocusPolicy(Qt::NoFocus);
        form_ = new form_view(*window_, scroll);
        scroll->setWidget(form_);
        body->addWidget(scroll, 1);
        const int side = lay_out_form_pictures(body);
        layout->addLayout(body, 1);
        connect(form_, &form_view::core_changed, this, &record_dialog::refresh);
        connect(form_, &form_view::typed, this, &record_dialog::update_title);
        QSize form_size = form_->sizeHint();
        int above = toolbar->sizeHint().height() + extras->sizeHint().height();
        resize(std::max(760, form_size.width() + side + 48),
               std::min(720, form_size.height() + above + 64));
    } else {
        lay_out_album(own, layout);
        resize(800, 640);
    }

    calendar_ = new QCalendarWidget(this);
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setGridVisible(true);
    calendar_->hide();
    auto choose = [this](QDate d) {
        if (auto day = date::from_ymd(d.year(), d.month(), d.day())) window_->calendar_chosen(*day);
        refresh();
    };
    connect(calendar_, &QCalendarWidget::clicked, this, choose);
    connect(calendar_, &QCalendarWidget::activated, this, choose);
    calendar_->installEventFilter(this);
    qApp->installEventFilter(this);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this,
            [this] { preview_record(*this); });
    update_title();
}

record_dialog::~record_dialog() {
    qApp->removeEventFilter(this);
    calendar_->removeEventFilter(this);
    // The widgets that talk to the window object go before it does.
    delete form_;
    delete calendar_;
    auto& dialogs = open_dialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

record_dialog* record_dialog::of(const w_modify& window) {
    for (record_dialog* d : open_dialogs())
        if (d->window_.get() == &window) return d;
    return nullptr;
}

record_dialog* record_dialog::topmost() {
    auto& dialogs = open_dialogs();
    return dialogs.empty() ? nullptr : dialogs.back();
}

std::vector<control*> record_dialog::build_toolbar(QHBoxLayout* toolbar) {
    // A form page keeps the frame's buttons above the form and a window's
    // own button beside its own labels; a page without a form (the photo
    // album) is worked from the toolbar alone.
    const bool page_without_form = !window_->dw_1.has_object();
    std::vector<control*> own;
    bool frame = true;
    for (control* c : window_->controls()) {
        if (c->kind() == control_kind::button && (frame || page_without_form))
            toolbar->addWidget(make_button(*c));
        else if (c->kind() != control_kind::calendar)  // the calendar is a pop-up
            own.push_back(c);
        if (c == &window_->cb_tempsave) frame = false;  // the frame's last control
    }
    toolbar->addStretch(1);
    return own;
}

QToolButton* record_dialog::make_button(control& c) {
    auto* b = new QToolButton(this);
    b->setObjectName(qs(c.name()));
    b->setIconSize(k_button_icon);
    b->setAutoRaise(true);
    // The field being typed in keeps the focus: a button that needs the
    // pending edit accepts it itself.
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, [this, &c] { press(c); });
    buttons_[&c] = b;
    QKeySequence key = promised_shortcut(c.tooltip());
    if (!key.isEmpty()) add_shortcut(key, c);
    return b;
}

void record_dialog::add_shortcut(const QKeySequence& key, control& c) {
    shortcuts_[key] = &c;
    auto* s = new QShortcut(key, this);
    connect(s, &QShortcut::activated, this, [this, &c] { press(c); });
}

QWidget* record_dialog::make_widget(control& c, picture_label::sizing pictures) {
    QWidget* w = nullptr;
    switch (c.kind()) {
        case control_kind::button:
            return make_button(c);
        case control_kind::edit: {
            auto* e = new QLineEdit(this);
            connect(e, &QLineEdit::textEdited, this, [this, &c](const QString& text) {
                (void)window_->enter_text(c, text.toStdString());
            });
            w = e;
            break;
        }
        case control_kind::picture:
            w = new picture_label(pictures, this);
            break;
        case control_kind::groupbox:
            w = new QGroupBox(this);
            break;
        case control_kind::label:
        case control_kind::calendar:
            w = new QLabel(this);
            break;
    }
    w->setObjectName(qs(c.name()));
    others_[&c] = w;
    return w;
}

void record_dialog::lay_out_extras(const std::vector<control*>& own, QHBoxLayout* extras) {
    for (control* c : own) extras->addWidget(make_widget(*c, picture_label::sizing::natural));
    extras->addStretch(1);
}

int record_dialog::lay_out_form_pictures(QHBoxLayout* body) {
    // The photo stays in view while the form scrolls beside it.
    const auto& pictures = window_->dw_1.object().pictures;
    if (pictures.empty()) return 0;
    auto* side = new QVBoxLayout;
    for (const auto& p : pictures) {
        auto* label = new picture_label(picture_label::sizing::fit, this);
        label->setObjectName(qs(p.name));
        label->setFixedSize(k_form_picture);
        label->setFrameShape(QFrame::StyledPanel);
        side->addWidget(label);
        form_pictures_[officerecords::lower(p.name)] = label;
    }
    side->addStretch(1);
    body->addLayout(side);
    return k_form_picture.width() + body->spacing();
}

void record_dialog::lay_out_album(const std::vector<control*>& own, QVBoxLayout* page) {
    // Rows of captions and values; a group box frames the pictures that
    // follow it and takes the room left, the photo fitted into it.
    QHBoxLayout* row = nullptr;
    bool row_stretches = false;
    QVBoxLayout* group = nullptr;
    auto end_row = [&] {
        if (row && !row_stretches) row->addStretch(1);
        row = nullptr;
        row_stretches = false;
    };
    for (control* c : own) {
        if (c->kind() == control_kind::groupbox) {
            end_row();
            QWidget* box = make_widget(*c, picture_label::sizing::fit);
            group = new QVBoxLayout(box);
            page->addWidget(box, 1);
            continue;
        }
        if (group && c->kind() == control_kind::picture) {
            group->addWidget(make_widget(*c, picture_label::sizing::fit), 1);
            continue;
        }
        group = nullptr;
        if (!row) {
            row = new QHBoxLayout;
            page->addLayout(row);
        }
        if (is_caption(*c) && row->count() > 0) row->addSpacing(24);
        const bool stretches = c->kind() == control_kind::edit;
        row->addWidget(make_widget(*c, picture_label::sizing::natural), stretches ? 1 : 0);
        row_stretches = row_stretches || stretches;
    }
    end_row();
}

QToolButton* record_dialog::button(std::string_view control_name) const {
    for (const auto& [c, b] : buttons_)
        if (iequals(c->name(), control_name)) return b;
    return nullptr;
}

picture_label* record_dialog::form_picture(std::string_view picture) const {
    auto it = form_pictures_.find(officerecords::lower(picture));
    return it == form_pictures_.end() ? nullptr : it->second;
}

QWidget* record_dialog::control_widget(std::string_view control_name) const {
    for (const auto& [c, w] : others_)
        if (iequals(c->name(), control_name)) return w;
    return nullptr;
}

void record_dialog::open_with(const std::string& mode, const value& owner) {
    window_->open_with(mode);
    // A window that closed itself while opening has no new record to own;
    // its save would refuse an ownerless record anyway.
    if (!owner.is_null()) (void)window_->set_owner(owner);
    refresh();
}

void record_dialog::refresh() {
    refresh_controls();
    update_title();
    if (form_) form_->refresh();
    for (auto& [name, label] : form_pictures_) label->show_file(window_->dw_1.picture_file(name));
    if (calendar_->isVisible() && !window_->mc_1.visible()) show_calendar({});
    Q_EMIT refreshed();
}

void record_dialog::refresh_controls() {
    for (auto& [c, b] : buttons_) {
        b->setVisible(c->visible());
        b->setEnabled(c->enabled());
        // Esc closes the window through cb_exit (reject), not a shortcut.
        QKeySequence key = c == &window_->cb_exit ? QKeySequence(Qt::Key_Escape) : QKeySequence();
        for (const auto& [k, pressed] : shortcuts_)
            if (pressed == c && key.isEmpty()) key = k;
        b->setToolTip(tooltip_with_key(c->tooltip(), key));
        b->setText(qs(c->text()));
        b->setToolButtonStyle(c->text().empty() ? Qt::ToolButtonIconOnly
                                                : Qt::ToolButtonTextBesideIcon);
        if (b->property("picture").toString() != qs(c->picture())) {
            b->setProperty("picture", qs(c->picture()));
            b->setIcon(toolbar_icon(picture_file(c->picture())));
        }
    }
    for (auto& [c, w] : others_) {
        w->setVisible(c->visible());
        w->setEnabled(c->enabled());
        w->setToolTip(qs(c->tooltip()));
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // Typing reaches the core at once, so a text that differs is
            // the core's own (another photo's note, a refused character).
            if (e->text() != qs(c->text())) e->setText(qs(c->text()));
        } else if (auto* p = qobject_cast<picture_label*>(w)) {
            p->show_picture(*c);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            g->setTitle(qs(c->text()));
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(qs(c->text()));
        }
    }
}

void record_dialog::update_title() {
    // A page without a form (the photo album) has no record to place or mark.
    if (!form_) {
        setWindowTitle(caption_);
        return;
    }
    const data_window& dw = window_->dw_1;
    QString title = caption_ + " — ";
    const row_status s = dw.rowcount() > 0 ? dw.getitemstatus(dw.getrow() > 0 ? dw.getrow() : 1)
                                           : row_status::not_modified;
    if (dw.rowcount() < 1) {
        title += qs(window_->is_stringparm);
        if (history_) history_->setEnabled(false);
    } else if (s == row_status::new_row || s == row_status::new_modified) {
        title += QString(k_mode_add) + " — 新记录";
        if (history_) history_->setEnabled(false);
    } else {
        title += k_mode_modify;
        if (history_) history_->setEnabled(true);
        if (const long n = window_->list_position(); n > 0)
            title += QString(" — 第 %1 条，共 %2 条").arg(n).arg(window_->list_count());
        // The record's number, as its history and the deletion name it.
        const value number = dw.getitem(dw.getrow() > 0 ? dw.getrow() : 1, window_->key_column());
        if (!number.is_null()) title += " — 记录号 " + qs(number.to_text());
    }
    setWindowTitle(title + "[*]");
    setWindowModified(window_->has_unsaved_changes());
    // The status line speaks of the record as saved: a change or another
    // record replaces it.
    if (!status_->text().isEmpty() && (isWindowModified() || !(shown_record() == saved_record_)))
        status_->clear();
}

value record_dialog::shown_record() const {
    const data_window& dw = window_->dw_1;
    if (!form_ || dw.rowcount() < 1 || window_->key_column().empty()) return value();
    return dw.getitem(dw.getrow() > 0 ? dw.getrow() : 1, window_->key_column());
}

void record_dialog::show_saved(bool checked) {
    const QString now = QTime::currentTime().toString("HH:mm:ss");
    status_->setText((checked ? "已保存 " : "已临时保存（未做数据校验） ") + now);
    saved_record_ = shown_record();
}

void record_dialog::show_calendar(std::string_view column) {
    if (column.empty()) {
        hiding_calendar_ = true;
        calendar_->hide();
        hiding_calendar_ = false;
        return;
    }
    QWidget* anchor = this;
    QPoint at = rect().center();
    if (column_editor* e = form_ ? form_->editor(column) : nullptr) {
        anchor = e->widget();
        at = QPoint(0, anchor->height());
        long row = window_->dw_1.getrow();
        if (auto d = window_->dw_1.getitemdate(row, column))
            calendar_->setSelectedDate(QDate(d->year(), d->month(), d->day()));
    }
    calendar_->move(anchor->mapToGlobal(at));
    calendar_->show();
    // A pop-up sends the keys to its focus widget; without one the arrows
    // and Enter would do nothing and only a mouse could choose the day.
    calendar_->setFocus(Qt::PopupFocusReason);
}

void record_dialog::calendar_closed_by_clerk() {
    if (hiding_calendar_ || !window_->mc_1.visible()) return;
    window_->mc_1.set_visible(false);
    refresh();
}

void record_dialog::close_after_event() {
    close_requested_ = true;
    QTimer::singleShot(0, this, [this] {
        closing_ = true;
        done(QDialog::Accepted);
    });
}

void record_dialog::lead_to(std::string_view column) {
    if (form_) form_->lead_to(column);
}

void record_dialog::press(control& c) {
    if (!c.enabled() || !c.visible() || !c.clicked) return;
    c.clicked();
    refresh();
}

void record_dialog::reject() {
    if (closing_) {
        QDialog::reject();
        return;
    }
    press(window_->cb_exit);
}

void record_dialog::closeEvent(QCloseEvent* event) {
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    press(window_->cb_exit);
}

void record_dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!focused_once_ && form_) {
        focused_once_ = true;
        form_->focus_first();
    }
}

bool record_dialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == calendar_ && event->type() == QEvent::Hide) {
        calendar_closed_by_clerk();
    } else if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Esc in an open drop-down list or calendar closes that alone: the
        // pop-up takes the key, not the window's shortcut.
        if (key->key() == Qt::Key_Escape && own_popup_open()) {
            event->accept();
            return true;
        }
        // An edit would take Ctrl+U (delete the line) before the window's
        // shortcut sees it; the window's own keys go to the window.
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && shortcuts_.count(QKeySequence(key->keyCombination())))
            return true;
    } else if (event->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && enter_pressed(w, *static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool record_dialog::enter_pressed(QWidget* w, const QKeyEvent& key) {
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) return false;
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier && mods != Qt::ControlModifier) return false;
    // In a text of many lines Enter breaks the line; Ctrl+Enter moves on.
    const bool many_lines = qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
    if (many_lines && mods != Qt::ControlModifier) return false;
    if (form_ && form_->isAncestorOf(w))
        form_->next_field();
    else
        focusNextPrevChild(true);
    return true;
}

bool record_dialog::own_popup_open() const {
    for (QWidget* w = QApplication::activePopupWidget(); w; w = w->parentWidget())
        if (w == this) return true;
    return false;
}

}  // namespace officerecords::app
