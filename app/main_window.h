// The main frame: a navigator of the registers grouped by subsystem (from
// the window catalogue), a tab page per open register listing the current
// community's records, and the commands on the current record: 添加,
// 修改 (also Enter or a double-click on a row), 删除 and 刷新. A new record
// that belongs to a record of another register (an organisation member to
// a body, a training record to a member) is given it when 添加 opens the
// window. The list of an owner register offers to add each kind of record
// its records own (添加培训 on the members' list) for the selected one.
#pragma once

#include <QMainWindow>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_catalog.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;
class QToolBar;
class QTreeWidget;

namespace officerecords::app {

class qt_host;
class register_tab;

class main_window final : public QMainWindow {
    Q_OBJECT

public:
    // `community` names the current community in the title bar.
    main_window(qt_host& host, const QString& community, QWidget* parent = nullptr);
    ~main_window() override;

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

private:
    void build_navigator();
    void build_actions();
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

    qt_host& host_;
    QTreeWidget* navigator_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QStackedWidget* right_ = nullptr;  // a hint while no register is open, else the tabs
    QAction* add_ = nullptr;
    QAction* modify_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* refresh_ = nullptr;
    struct owned_action {
        QAction* action;
        std::string owner_window;  // the register whose list offers it
    };
    std::vector<owned_action> owned_;
    QAction* owned_separator_ = nullptr;
    QLabel* count_ = nullptr;
};

}  // namespace officerecords::app
