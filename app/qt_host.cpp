#include "app/qt_host.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "app/app_paths.h"
#include "app/file_dialog.h"
#include "app/file_filter.h"
#include "app/help_dialog.h"
#include "app/history_dialog.h"
#include "app/person_dialog.h"
#include "app/record_dialog.h"
#include "app/screen_fit.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/file_places.h"
#include "storage/system_clock.h"

namespace officerecords::app {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon qt_icon(icon kind) {
    switch (kind) {
        case icon::information:
            return QMessageBox::Information;
        case icon::exclamation:
            return QMessageBox::Warning;
        case icon::question:
            return QMessageBox::Question;
        case icon::stop:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The buttons speak Chinese whether or not Qt's translations are installed.
void name_buttons(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Ok, "确定"},
        {QMessageBox::Yes, "是(&Y)"},
        {QMessageBox::No, "否(&N)"},
        {QMessageBox::Cancel, "取消"}};
    for (const auto& [which, text] : names)
        if (QAbstractButton* b = box.button(which)) b->setText(QString::fromUtf8(text));
}

QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon kind, std::string_view title,
                                std::string_view text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button,
                                QMessageBox::StandardButton escape_button) {
    QMessageBox box(kind, qs(title), qs(text), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(default_button);
    box.setEscapeButton(escape_button);
    name_buttons(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

qt_host::qt_host() = default;

qt_host::~qt_host() {
    while (pointer_depth_ > 0) {
        QApplication::restoreOverrideCursor();
        --pointer_depth_;
    }
}

status qt_host::connect(const std::string& target) {
    auto db = open_database(target, *this);
    if (!db) return status::error(db.message());
    // A database another program holds locked would fail at the first
    // save; the clerk learns it now instead.
    if (db->sqlca->begin_write() != sql_code::ok || db->sqlca->rollback() != sql_code::ok)
        return status::error(target + "：" + db->sqlca->sqlerrtext());
    sqlca_ = std::move(db->sqlca);
    photosqlca_ = std::move(db->photosqlca);
    session_ =
        std::make_unique<session>(session{*this, *this, *sqlca_, *photosqlca_, {}, {}, nullptr});
    session_->gs_apppath = QCoreApplication::applicationDirPath().toStdString();
    const workstation_identity here = this_workstation();
    session_->workstation = here.workstation;
    session_->os_user = here.os_user;
    database_path_ = target;
    return status::ok();
}

void qt_host::disconnect() {
    session_.reset();
    photosqlca_.reset();
    sqlca_.reset();
}

void qt_host::set_community(std::string commno, QString name) {
    session_->gs_commno = std::move(commno);
    community_name_ = std::move(name);
}

void qt_host::show_history(record_dialog& dialog) {
    const w_modify& window = dialog.window();
    const window_entry* entry = find_window_entry(window.name());
    const data_window& dw = window.dw_1;
    if (!entry || !entry->form || dw.rowcount() < 1) return;
    const std::string key = dw.history_key(dw.getrow() > 0 ? dw.getrow() : 1);
    // Beside the record, which it closes with.
    history_dialog::show_for(*this, *entry, key, &dialog);
}

QWidget* qt_host::dialog_parent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (record_dialog* top = record_dialog::topmost()) return top;
    return main_widget_;
}

std::unique_ptr<record_dialog> qt_host::open_record(const window_entry& entry,
                                                    const std::string& mode, QWidget* parent) {
    return open_record(entry.make(*session_), qs(entry.caption), mode, parent);
}

std::unique_ptr<record_dialog> qt_host::open_record(std::unique_ptr<w_modify> window,
                                                    const QString& title, const std::string& mode,
                                                    QWidget* parent, const value& owner) {
    auto dialog = std::make_unique<record_dialog>(std::move(window), title, parent);
    QObject::connect(dialog.get(), &record_dialog::refreshed, this, &qt_host::record_event);
    QObject::connect(dialog.get(), &record_dialog::history_requested, this,
                     [this, d = dialog.get()] { show_history(*d); });
    dialog->open_with(mode, owner);
    // A picture shows the window at its designed size, whatever the
    // screen it is drawn on.
    if (!unattended_) fit_to_screen(*dialog);
    return dialog;
}

void qt_host::run_record(const window_entry& entry, const std::string& mode, QWidget* parent) {
    run_record(entry.make(*session_), qs(entry.caption), mode, value(), parent);
}

void qt_host::run_record(std::unique_ptr<w_modify> window, const QString& title,
                         const std::string& mode, const value& owner, QWidget* parent) {
    auto dialog = open_record(std::move(window), title, mode, parent, owner);
    // A window may ask to be closed while it opens; it is then never shown.
    if (!dialog->close_requested()) dialog->exec();
}

void qt_host::message_box(std::string_view title, std::string_view text, icon kind) {
    if (unattended_) {
        std::fprintf(stderr, "message %.*s | %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
        return;
    }
    ask(dialog_parent(), qt_icon(kind), title, text, QMessageBox::Ok, QMessageBox::Ok,
        QMessageBox::Ok);
}

bool qt_host::question(std::string_view title, std::string_view text, bool default_no) {
    if (unattended_) return !default_no;
    auto answer =
        ask(dialog_parent(), QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
            default_no ? QMessageBox::No : QMessageBox::Yes, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

unsaved_choice qt_host::ask_unsaved(std::string_view title, std::string_view text) {
    if (unattended_) return unsaved_choice::discard;
    auto answer = ask(dialog_parent(), QMessageBox::Question, title, text,
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                      QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) return unsaved_choice::save;
    if (answer == QMessageBox::No) return unsaved_choice::discard;
    return unsaved_choice::cancel;
}

std::optional<std::string> qt_host::file_open(std::string_view title, std::string_view,
                                              std::string_view filter) {
    if (unattended_) return std::nullopt;
    QString chosen =
        file_dialog::open_file(dialog_parent(), qs(title), QDir::currentPath(), qt_file_filter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::string qt_host::open_with_parm(std::string_view window, std::string_view parm,
                                    w_modify& caller) {
    // Of the windows opened with a parm only the person selections exist.
    if (!person_selection::handles(window)) return {};
    QWidget* parent = record_dialog::of(caller);
    person_dialog dialog(window, parm, caller, parent ? parent : dialog_parent());
    dialog.exec();
    return dialog.answer();
}

void qt_host::open_window(std::string_view window, std::string_view mode, w_modify& caller) {
    const window_entry* entry = find_window_entry(window);
    if (!entry) {
        message_box("警告信息", "找不到窗口 " + std::string(window), icon::stop);
        return;
    }
    QWidget* parent = record_dialog::of(caller);
    run_record(*entry, std::string(mode), parent ? parent : dialog_parent());
}

void qt_host::close_window(w_modify& window) {
    if (record_dialog* d = record_dialog::of(window)) d->close_after_event();
}

void qt_host::set_pointer(pointer p) {
    if (p == pointer::hourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++pointer_depth_;
        // The wait that follows (another workstation's lock) processes no
        // events: the pointer reaches the screen now or not at all. The
        // clerk's clicks and keys wait until the save is done.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else if (pointer_depth_ > 0) {
        QApplication::restoreOverrideCursor();
        --pointer_depth_;
    }
}

std::string qt_host::current_directory() { return QDir::currentPath().toStdString(); }

bool qt_host::change_directory(const std::string& path) {
    return QDir::setCurrent(QString::fromStdString(native_path(path)));
}

date qt_host::today() const { return system_clock().today(); }

std::string qt_host::now() const { return system_clock().now(); }

int qt_host::gf_readphotofile(const std::string& path, blob& bytes) {
    return read_photo_file(resolve_for_reading(path).toStdString(), bytes);
}

int qt_host::gf_writephotofile(const std::string& path, const blob& bytes) {
    return write_display_file(path, bytes, this_process_places());
}

void qt_host::show_help(std::string_view window) {
    // Not modal, so shown unattended too: a screenshot pictures it.
    help_dialog::show_for(dialog_parent(), window);
}

void qt_host::record_saved(w_modify& window, bool checked) {
    if (record_dialog* d = record_dialog::of(window)) d->show_saved(checked);
    Q_EMIT saved(qs(window.name()));
}

void qt_host::control_changed(w_modify& window, control&) {
    if (record_dialog* d = record_dialog::of(window)) d->refresh_controls();
}

void qt_host::calendar_changed(w_modify& window, std::string_view column) {
    if (record_dialog* d = record_dialog::of(window)) d->show_calendar(column);
}

void qt_host::field_refused(w_modify& window, std::string_view column) {
    if (record_dialog* d = record_dialog::of(window)) d->lead_to(column);
}

}  // namespace officerecords::app
