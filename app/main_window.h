// The main frame: a navigator of the registers grouped by subsystem (from
// the window catalogue), a tab page per open register listing the current
// community's records, and the commands on the current record: 添加,
// 修改 (also Enter or a double-click on a row), 删除 and 刷新. A new record
// that belongs to a record of another register (an organisation member to
// a body, a training record to a member) is given it when 添加 opens the
// window. The list of an owner register offers to add each kind of record
// its records own (添加培训 on the members' list) for the selected one.
// The current list is exported (Excel, CSV, PDF) and printed as it is
// shown, and the list's current record printed. Ctrl+F goes to the search
// box, Ctrl+W closes the current tab. Given settings, the frame remembers
// its size and place, the open tabs, each list's column widths and sort.
// 修改记录 shows the selected record's saved changes, 登记簿修改记录 the
// register's; the file menu imports a sheet into the current register,
// backs the data up and restores a backup. Quitting while today's backup
// runs waits for it to be whole, saying so.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStyle>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/window_catalog.h"

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QSettings;
class QStackedWidget;
class QTabWidget;
class QToolBar;
class QTreeWidget;

namespace officerecords::app {

class backup_actions;
class list_output;
class qt_host;
class register_tab;
class statistics_window;

class main_window final : public QMainWindow {
    Q_OBJECT

public:
    // `community` names the current community in the title bar.
    main_window(qt_host& host, const QString& community, QWidget* parent = nullptr);
    ~main_window() override;

    // Remembers the frame in `settings` from now on, and first applies what
    // they hold: the size and place, the tabs that were open (listed anew),
    // each list's column widths and sort. Null remembers nothing.
    void remember_with(QSettings* settings);
    // Writes what remember_with applies; done when the frame closes.
    void save_settings();

    // Shows the register's tab page, opening it first when needed; nullptr
    // when its list could not be read (the clerk was told why).
    register_tab* open_register(const window_entry& entry);
    register_tab* current_tab() const;
    QTreeWidget& navigator() { return *navigator_; }
    QTabWidget& tabs() { return *tabs_; }

    void add_record();
    // Opens the window of `owned` in 添加 mode for the owner selected in
    // the current list (the member selected in the members' list).
    void add_owned_record(const window_entry& owned);
    void modify_record();
    void delete_record();
    void refresh_list();
    // 导入…: a sheet read into the current register, whose list is read
    // again once anything may have been written.
    void import_records();
    list_output& output() { return *output_; }
    backup_actions& backups() { return *backups_; }
    // The history of the record selected in the current list, or of the
    // whole register; not modal, read beside the list.
    void show_record_history();
    void show_register_history();
    // 恢复数据…: after the clerk chose and confirmed a backup, closes the
    // lists, puts the backup in place and lists the same registers anew.
    void restore_data();
    // A failed backup stays in sight until the next one succeeds.
    void show_backup_result(const QString& text, bool failed);
    // Closes the tab at `index`, remembering its list's widths and sort.
    void close_tab(int index);
    // 统计…: the statistics window of the current community, one beside
    // the frame, raised when already open.
    statistics_window* show_statistics();

protected:
    // While today's backup runs, the frame stays until it is done, saying
    // so, then closes.
    void closeEvent(QCloseEvent* event) override;

private:
    // Lists the registers of these windows, showing `current`'s.
    void open_registers(const QStringList& windows, const QString& current);
    void build_navigator();
    void build_actions();
    // The file menu's export and print actions; returns those for the toolbar.
    QList<QAction*> build_output_actions(QMenu& file);
    QIcon icon(QStyle::StandardPixmap picture);
    QAction* make_action(const QString& text, const char* name, QStyle::StandardPixmap picture);
    void follow_record_event();
    // One action per register whose records another register's records
    // own, shown while that register's list is current.
    void build_owned_actions(QMenu& records, QToolBar& bar);
    void run_record(const std::string& mode);
    // Runs the record window of `entry` with the mode over the register's
    // own list when its tab is open (its saves and moves go there), else
    // over none; then the tab shows what changed.
    void run_record_of(const window_entry& entry, const std::string& mode);
    // The owner a new record of `window` gets (the body an organisation
    // member joins, the member a training record is of): the owner
    // register's selected record when its tab is open, else the clerk's
    // choice; null when the clerk chose none.
    value owner_of_new_record(const w_modify& window);
    register_tab* tab_of(std::string_view window) const;
    void on_tab_changed();
    void update_status();
    // The backup the clerk's quitting waited for is done.
    void quit_after_backup(const QString& text, bool failed);

    qt_host& host_;
    QTreeWidget* navigator_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QStackedWidget* right_ = nullptr;  // a hint while no register is open, else the tabs
    QAction* add_ = nullptr;
    QAction* modify_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* refresh_ = nullptr;
    QAction* import_ = nullptr;
    std::vector<QAction*> list_actions_;  // enabled while a list is open
    QAction* print_record_ = nullptr;
    QAction* history_ = nullptr;
    struct owned_action {
        QAction* action;
        std::string owner_window;  // the register whose list offers it
    };
    std::vector<owned_action> owned_;
    QAction* owned_separator_ = nullptr;
    QLabel* count_ = nullptr;
    std::unique_ptr<list_output> output_;
    std::unique_ptr<backup_actions> backups_;
    QLabel* date_problem_ = nullptr;  // the current list's date range that is no date
    QLabel* backup_failed_ = nullptr;
    QMessageBox* quit_waiting_ = nullptr;  // shown while quitting waits for the backup
    QSettings* settings_ = nullptr;
    QPointer<statistics_window> statistics_;
    // A record window saved into a list: once its event is over, the list
    // sorts and narrows it into place.
    bool saved_pending_ = false;
    std::map<QStyle::StandardPixmap, QIcon> icons_;
};

}  // namespace officerecords::app
