// The desktop program's host: the database connections, the session the
// record windows read (community, application folder, current tab page),
// and the host services implemented with Qt's modal dialogs. It is the
// sibling of the scripted host: the windows cannot tell them apart.
//
// Record windows run as modal dialogs, one above the other; a window that
// asks to be closed is closed once its current event has returned.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "foundation/host_services.h"
#include "foundation/session.h"
#include "foundation/status.h"
#include "catalog/window_catalog.h"

class QWidget;

namespace officerecords::app {

class record_dialog;

class qt_host final : public QObject, public host_services, public clock_source {
    Q_OBJECT

public:
    qt_host();
    ~qt_host() override;

    // Opens both transactions on the database and makes sure it can be
    // written (another program holding it locked is refused). The message
    // names the file and the reason.
    status connect(const std::string& target);
    bool connected() const { return session_ != nullptr; }
    // Closes both transactions (a restore needs the file to itself); every
    // window over them must be gone. connect() opens them again.
    void disconnect();
    // The database connected last, as connect() was given it.
    const std::string& database_path() const { return database_path_; }
    // Valid once connected.
    session& sess() { return *session_; }
    transaction& sqlca() { return *sqlca_; }
    void set_community(std::string commno, QString name = {});
    // The current community's name, for titles of what is exported.
    const QString& community_name() const { return community_name_; }
    // The history window of the record `dialog` shows.
    void show_history(record_dialog& dialog);

    // The widget message boxes belong to when no record window is open.
    void set_main_widget(QWidget* w) { main_widget_ = w; }
    // Without a user (screenshots, benchmarks): messages go to standard
    // error, questions take their default answer, file dialogs cancel.
    // Selection windows and the help window still open: a screenshot
    // pictures them.
    void set_unattended(bool on) { unattended_ = on; }

    // Makes the record window of `entry` (or the given one) in a dialog over
    // `parent` and opens it with the mode: open, ue_postopen, ue_loadphoto,
    // and a new record gets `owner` when it is not null. The dialog is not
    // shown yet.
    std::unique_ptr<record_dialog> open_record(const window_entry& entry, const std::string& mode,
                                               QWidget* parent);
    std::unique_ptr<record_dialog> open_record(std::unique_ptr<w_modify> window,
                                               const QString& title, const std::string& mode,
                                               QWidget* parent, const value& owner = value());
    // Opens the record window modally; returns when it has closed.
    void run_record(const window_entry& entry, const std::string& mode, QWidget* parent);
    void run_record(std::unique_ptr<w_modify> window, const QString& title,
                    const std::string& mode, const value& owner, QWidget* parent);

    // host_services
    void message_box(std::string_view title, std::string_view text, icon kind) override;
    bool question(std::string_view title, std::string_view text, bool default_no) override;
    std::optional<std::string> file_open(std::string_view title, std::string_view default_extension,
                                         std::string_view filter) override;
    // The person selection windows open as a modal person_dialog over
    // the caller; other windows pick nothing ("").
    std::string open_with_parm(std::string_view window, std::string_view parm,
                               w_modify& caller) override;
    void open_window(std::string_view window, std::string_view mode, w_modify& caller) override;
    void close_window(w_modify& window) override;
    unsaved_choice ask_unsaved(std::string_view title, std::string_view text) override;
    void set_pointer(pointer p) override;
    std::string current_directory() override;
    bool change_directory(const std::string& path) override;
    int gf_readphotofile(const std::string& path, blob& bytes) override;
    int gf_writephotofile(const std::string& path, const blob& bytes) override;
    // The help window over the window asking, on the window's page.
    void show_help(std::string_view window) override;
    // The record window says so in its status line, and the register's
    // list, if open, shows the record where its sort puts it.
    void record_saved(w_modify& window, bool checked) override;
    void control_changed(w_modify& window, control& c) override;
    void calendar_changed(w_modify& window, std::string_view column) override;
    // The record window leads the clerk to the field and marks it.
    void field_refused(w_modify& window, std::string_view column) override;

    // clock_source: the workstation's date.
    date today() const override;
    std::string now() const override;

Q_SIGNALS:
    // A record window handled an event: a list of its register may have
    // changed (a record saved, merged or moved to).
    void record_event();
    // A record window saved and committed a record into its register's
    // list, if one is open (the page `guo_tabpg_now`).
    void saved(const QString& window);

private:
    QWidget* dialog_parent() const;

    std::unique_ptr<transaction> sqlca_;
    std::unique_ptr<transaction> photosqlca_;
    std::unique_ptr<session> session_;
    std::string database_path_;
    QString community_name_;
    QWidget* main_widget_ = nullptr;
    bool unattended_ = false;
    int pointer_depth_ = 0;
};

}  // namespace officerecords::app
