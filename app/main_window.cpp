#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "app/about_dialog.h"
#include "app/backup_actions.h"
#include "app/help_dialog.h"
#include "app/history_dialog.h"
#include "app/import_dialog.h"
#include "app/list_output.h"
#include "app/owner_dialog.h"
#include "app/qt_host.h"
#include "app/record_dialog.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "app/screen_fit.h"
#include "app/statistics_window.h"
#include "foundation/register_page.h"
#include "storage/record_history.h"

namespace officerecords::app {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int k_window_role = Qt::UserRole + 1;

}  // namespace

main_window::main_window(qt_host& host, const QString& community, QWidget* parent)
    : QMainWindow(parent), host_(host) {
    output_ = std::make_unique<list_output>(host_, nullptr, this);
    backups_ = std::make_unique<backup_actions>(host_, this);
    setWindowTitle("社区居委会办公记录 - " + community);
    navigator_ = new QTreeWidget(this);
    navigator_->setObjectName("navigator");
    navigator_->setHeaderHidden(true);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("registers");
    tabs_->setTabsClosable(true);
    tabs_->setDocumentMode(true);

    right_ = new QStackedWidget(this);
    auto* hint = new QLabel("请在左侧选择一个登记簿，打开本社区的记录列表。", right_);
    hint->setAlignment(Qt::AlignCenter);
    right_->addWidget(hint);
    right_->addWidget(tabs_);

    auto* split = new QSplitter(this);
    split->addWidget(navigator_);
    split->addWidget(right_);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 1000});
    setCentralWidget(split);

    build_navigator();
    build_actions();
    count_ = new QLabel(this);
    count_->setObjectName("record_count");
    statusBar()->addPermanentWidget(count_);
    // Permanent: a menu's status tip does not hide which community this is.
    auto* shown_community = new QLabel("当前社区：" + community, this);
    shown_community->setObjectName("community");
    statusBar()->addPermanentWidget(shown_community);
    date_problem_ = new QLabel(this);
    date_problem_->setObjectName("date_problem");
    date_problem_->setStyleSheet("color: #b00000;");
    date_problem_->hide();
    statusBar()->addWidget(date_problem_);
    backup_failed_ = new QLabel(this);
    backup_failed_->setObjectName("backup_failed");
    backup_failed_->setStyleSheet("color: #b00000;");
    backup_failed_->hide();
    statusBar()->addWidget(backup_failed_);
    connect(backups_.get(), &backup_actions::daily_done, this, &main_window::show_backup_result);
    connect(backups_.get(), &backup_actions::daily_done, this, &main_window::quit_after_backup);

    connect(tabs_, &QTabWidget::currentChanged, this, &main_window::on_tab_changed);
    connect(tabs_, &QTabWidget::tabCloseRequested, this, &main_window::close_tab);
    // While a record window is open, the list behind it follows its saves
    // and its moves from record to record.
    connect(&host_, &qt_host::record_event, this, &main_window::follow_record_event);
    connect(&host_, &qt_host::saved, this, [this](const QString& window) {
        if (tab_of(window.toStdString())) saved_pending_ = true;
    });
    host_.set_main_widget(this);
    resize(1200, 720);
    update_status();
}

main_window::~main_window() {
    host_.set_main_widget(nullptr);
    host_.sess().guo_tabpg_now = nullptr;
}

void main_window::follow_record_event() {
    const uo_tabpg_datawindow* list = host_.sess().guo_tabpg_now;
    register_tab* tab = list ? tab_of(list->window) : nullptr;
    if (!tab) return;
    if (!saved_pending_) {
        tab->follow();
        return;
    }
    // Sorted only now: during the save the frame still moves by the list's
    // row numbers (a save before the next record), which a sort changes.
    saved_pending_ = false;
    tab->after_save();
    // The record window draws its place in the list again.
    if (record_dialog* d = record_dialog::topmost()) d->refresh();
}

void main_window::close_tab(int index) {
    auto* tab = qobject_cast<register_tab*>(tabs_->widget(index));
    if (!tab) return;
    if (settings_) tab->save_state(*settings_);
    tabs_->removeTab(index);
    if (host_.sess().guo_tabpg_now == &tab->page()) host_.sess().guo_tabpg_now = nullptr;
    tab->deleteLater();
    on_tab_changed();
}

void main_window::remember_with(QSettings* settings) {
    settings_ = settings;
    output_ = std::make_unique<list_output>(host_, settings, this);
    if (settings) restoreGeometry(settings->value("frame/geometry").toByteArray());
    // A place and size remembered from a larger screen, or the first
    // start's size on a small one, within this screen.
    fit_to_screen(*this);
    if (!settings) return;
    open_registers(settings->value("frame/tabs").toStringList(),
                   settings->value("frame/current").toString());
}

void main_window::open_registers(const QStringList& windows, const QString& current) {
    register_tab* shown = nullptr;
    for (const QString& window : windows) {
        const window_entry* e = find_window_entry(window.toStdString());
        register_tab* tab = e ? open_register(*e) : nullptr;
        if (tab && window == current) shown = tab;
    }
    if (shown) tabs_->setCurrentWidget(shown);
}

void main_window::save_settings() {
    if (!settings_) return;
    settings_->setValue("frame/geometry", saveGeometry());
    QStringList open;
    for (int i = 0; i < tabs_->count(); ++i)
        if (auto* tab = qobject_cast<register_tab*>(tabs_->widget(i))) {
            open << qs(tab->entry().window);
            tab->save_state(*settings_);
        }
    settings_->setValue("frame/tabs", open);
    register_tab* tab = current_tab();
    settings_->setValue("frame/current", tab ? qs(tab->entry().window) : QString());
    settings_->sync();
}

void main_window::closeEvent(QCloseEvent* event) {
    // Cut short, today's backup would be lost: the program ends once it
    // is whole, and says so meanwhile.
    if (backups_->daily_running()) {
        event->ignore();
        if (!quit_waiting_) {
            quit_waiting_ =
                new QMessageBox(QMessageBox::Information, "退出",
                                "正在备份数据库，备份完成后程序将退出。", QMessageBox::Ok, this);
            quit_waiting_->setObjectName("quit_waiting");
            quit_waiting_->button(QMessageBox::Ok)->setText("确定");
            quit_waiting_->setModal(false);
            quit_waiting_->show();
        }
        return;
    }
    save_settings();
    QMainWindow::closeEvent(event);
}

void main_window::quit_after_backup(const QString& text, bool failed) {
    if (!quit_waiting_) return;
    delete quit_waiting_;
    quit_waiting_ = nullptr;
    // The status bar is going: a failure is told before the program ends.
    if (failed) QMessageBox::warning(this, "自动备份", text);
    close();
}

void main_window::build_navigator() {
    for (const window_entry& e : window_catalog()) {
        QTreeWidgetItem* group = nullptr;
        for (int i = 0; i < navigator_->topLevelItemCount(); ++i)
            if (navigator_->topLevelItem(i)->text(0) == qs(e.subsystem))
                group = navigator_->topLevelItem(i);
        if (!group) {
            group = new QTreeWidgetItem(navigator_, {qs(e.subsystem)});
            group->setFlags(Qt::ItemIsEnabled);
        }
        auto* item = new QTreeWidgetItem(group, {qs(e.caption)});
        item->setData(0, k_window_role, qs(e.window));
        item->setToolTip(0, qs(e.window));
    }
    navigator_->expandAll();
    auto open_item = [this](QTreeWidgetItem* item) {
        QString window = item ? item->data(0, k_window_role).toString() : QString();
        if (window.isEmpty()) return;
        if (const window_entry* e = find_window_entry(window.toStdString())) open_register(*e);
    };
    connect(navigator_, &QTreeWidget::itemActivated, this, open_item);
    connect(navigator_, &QTreeWidget::itemClicked, this, open_item);
}

void main_window::build_actions() {
    add_ = new QAction(icon(QStyle::SP_FileIcon), "添加", this);
    modify_ = new QAction(icon(QStyle::SP_FileDialogDetailedView), "修改", this);
    delete_ = new QAction(icon(QStyle::SP_TrashIcon), "删除", this);
    refresh_ = new QAction(icon(QStyle::SP_BrowserReload), "刷新", this);
    add_->setObjectName("add");
    modify_->setObjectName("modify");
    delete_->setObjectName("delete");
    refresh_->setObjectName("refresh");
    add_->setShortcut(QKeySequence("Ctrl+N"));
    delete_->setShortcut(QKeySequence::Delete);
    refresh_->setShortcut(QKeySequence("F5"));
    connect(add_, &QAction::triggered, this, &main_window::add_record);
    connect(modify_, &QAction::triggered, this, &main_window::modify_record);
    connect(delete_, &QAction::triggered, this, &main_window::delete_record);
    connect(refresh_, &QAction::triggered, this, &main_window::refresh_list);

    QMenu* file = menuBar()->addMenu("文件(&F)");
    const QList<QAction*> output_on_bar = build_output_actions(*file);
    file->addSeparator();
    import_ = make_action("导入…", "import_records", QStyle::SP_DialogOpenButton);
    import_->setStatusTip("把Excel或CSV表格中的记录导入到当前登记簿");
    connect(import_, &QAction::triggered, this, &main_window::import_records);
    file->addAction(import_);
    file->addSeparator();
    QAction* backup = file->addAction("备份数据(&B)…");
    backup->setObjectName("backup");
    backup->setStatusTip("把数据库备份到选择的位置（例如U盘）");
    connect(backup, &QAction::triggered, this, [this] { backups_->backup_to_chosen(); });
    QAction* restore = file->addAction("恢复数据(&R)…");
    restore->setObjectName("restore");
    restore->setStatusTip("用一个备份替换现在的数据库");
    connect(restore, &QAction::triggered, this, &main_window::restore_data);
    file->addSeparator();
    QAction* quit = file->addAction("退出(&X)");
    quit->setShortcut(QKeySequence("Ctrl+Q"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    QMenu* records = menuBar()->addMenu("记录(&R)");
    records->addActions({add_, modify_, delete_});
    records->addSeparator();
    records->addAction(refresh_);
    records->addSeparator();
    history_ = make_action("修改记录…", "history", QStyle::SP_FileDialogInfoView);
    history_->setStatusTip("查看选中记录的修改记录");
    connect(history_, &QAction::triggered, this, &main_window::show_record_history);
    QAction* register_history =
        make_action("登记簿修改记录…", "register_history", QStyle::SP_FileDialogListView);
    register_history->setStatusTip("查看本登记簿在一段时间内的全部修改记录");
    connect(register_history, &QAction::triggered, this, &main_window::show_register_history);
    records->addActions({history_, register_history});
    QMenu* figures = menuBar()->addMenu("统计(&S)");
    QAction* statistics = figures->addAction("统计…");
    statistics->setObjectName("statistics");
    statistics->setStatusTip("按年、季度或月统计收支、固定资产、日常工作、社区活动和居委会组织");
    connect(statistics, &QAction::triggered, this, [this] { (void)show_statistics(); });
    QMenu* help = menuBar()->addMenu("帮助(&H)");
    QAction* keys = help->addAction("常用按键(&K)");
    keys->setObjectName("help_keys");
    connect(keys, &QAction::triggered, this, [this] { help_dialog::show_for(this, {}); });
    QAction* about = help->addAction("关于(&A)");
    about->setObjectName("about");
    connect(about, &QAction::triggered, this, [this] { show_about(host_, this); });

    QToolBar* bar = addToolBar("记录");
    bar->setObjectName("records");
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    bar->addActions({add_, modify_, delete_});
    bar->addSeparator();
    bar->addAction(refresh_);
    bar->addSeparator();
    bar->addActions(output_on_bar);
    build_owned_actions(*records, *bar);
    list_actions_.push_back(register_history);
    // A toolbar button names its key, as a record window's buttons do.
    for (QAction* a : bar->actions())
        if (!a->shortcut().isEmpty())
            a->setToolTip(a->text() + " (" + a->shortcut().toString(QKeySequence::NativeText) +
                          ")");
}

// Each icon made once and shared: the style draws a standard icon anew on
// every call, and the frame shows the same few on many actions.
QIcon main_window::icon(QStyle::StandardPixmap picture) {
    auto [it, made] = icons_.try_emplace(picture);
    if (made) it->second = style()->standardIcon(picture);
    return it->second;
}

QAction* main_window::make_action(const QString& text, const char* name,
                                  QStyle::StandardPixmap picture) {
    auto* a = new QAction(icon(picture), text, this);
    a->setObjectName(name);
    return a;
}

QList<QAction*> main_window::build_output_actions(QMenu& file) {
    QAction* xlsx = make_action("导出Excel…", "export_xlsx", QStyle::SP_DialogSaveButton);
    QAction* csv = make_action("导出CSV…", "export_csv", QStyle::SP_DialogSaveButton);
    QAction* pdf = make_action("导出PDF…", "export_pdf", QStyle::SP_DialogSaveButton);
    QAction* print = make_action("打印…", "print", QStyle::SP_FileDialogContentsView);
    print_record_ = make_action("打印当前记录…", "print_record", QStyle::SP_FileDialogInfoView);
    xlsx->setStatusTip("把列表中显示的记录导出为Excel工作簿");
    csv->setStatusTip("把列表中显示的记录导出为CSV文件");
    pdf->setStatusTip("把列表中显示的记录导出为PDF文件");
    print->setStatusTip("预览并打印列表中显示的记录");
    print_record_->setStatusTip("预览并打印选中的记录");
    print->setShortcut(QKeySequence::Print);
    auto on_tab = [this](auto work) {
        return [this, work] {
            if (register_tab* tab = current_tab()) work(*tab);
        };
    };
    connect(xlsx, &QAction::triggered, this,
            on_tab([this](register_tab& t) { output_->export_list(t, export_format::xlsx); }));
    connect(csv, &QAction::triggered, this,
            on_tab([this](register_tab& t) { output_->export_list(t, export_format::csv); }));
    connect(pdf, &QAction::triggered, this,
            on_tab([this](register_tab& t) { output_->export_pdf(t); }));
    connect(print, &QAction::triggered, this,
            on_tab([this](register_tab& t) { output_->preview_list(t); }));
    connect(print_record_, &QAction::triggered, this, on_tab([this](register_tab& t) {
                output_->preview_current_record(t);
                on_tab_changed();
            }));
    file.addActions({xlsx, csv, pdf});
    file.addSeparator();
    file.addActions({print, print_record_});

    QAction* find = make_action("查找", "find", QStyle::SP_FileDialogContentsView);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, on_tab([](register_tab& t) {
                t.search().setFocus(Qt::ShortcutFocusReason);
                t.search().selectAll();
            }));
    QAction* close = make_action("关闭登记簿", "close_tab", QStyle::SP_DialogCloseButton);
    close->setShortcut(QKeySequence("Ctrl+W"));
    connect(close, &QAction::triggered, this, [this] {
        if (tabs_->count() > 0) close_tab(tabs_->currentIndex());
    });
    file.addAction(close);
    // The list takes Ctrl+Tab for its cells: the frame's keys go from tab
    // to tab, as in a browser.
    QAction* next = make_action("下一个登记簿", "next_tab", QStyle::SP_ArrowRight);
    next->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    QAction* prior = make_action("上一个登记簿", "prior_tab", QStyle::SP_ArrowLeft);
    prior->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                         QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    for (auto [a, step] : {std::pair{next, 1}, std::pair{prior, -1}})
        connect(a, &QAction::triggered, this, [this, step] {
            if (const int n = tabs_->count(); n > 1)
                tabs_->setCurrentIndex((tabs_->currentIndex() + step + n) % n);
        });
    addActions({find, next, prior});
    list_actions_ = {xlsx, csv, pdf, print, find, close, next, prior};
    return {xlsx, csv, print};
}

void main_window::build_owned_actions(QMenu& records, QToolBar& bar) {
    owned_separator_ = new QAction(this);
    owned_separator_->setSeparator(true);
    records.addAction(owned_separator_);
    bar.addAction(owned_separator_);
    for (const window_entry& e : window_catalog()) {
        // Only the window knows which register owns its records.
        std::unique_ptr<w_modify> window = e.make(host_.sess());
        const std::string_view owner_window = window->owner_window();
        if (owner_window.empty()) continue;
        // "居委会成员培训" added to a 居委会成员 reads "添加培训".
        std::string_view kind = e.caption;
        const std::string_view owner = window->owner_caption();
        if (kind.size() > owner.size() && kind.substr(0, owner.size()) == owner)
            kind.remove_prefix(owner.size());
        auto* action =
            new QAction(icon(QStyle::SP_FileIcon), "添加" + qs(kind), this);
        action->setObjectName("add_" + qs(e.window));
        action->setToolTip("为选中的" + qs(owner) + "添加" + qs(e.caption) + "记录");
        connect(action, &QAction::triggered, this, [this, &e] { add_owned_record(e); });
        records.addAction(action);
        bar.addAction(action);
        owned_.push_back({action, std::string(owner_window)});
    }
}

register_tab* main_window::current_tab() const {
    return qobject_cast<register_tab*>(tabs_->currentWidget());
}

register_tab* main_window::tab_of(std::string_view window) const {
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* tab = qobject_cast<register_tab*>(tabs_->widget(i));
        if (tab && iequals(tab->entry().window, window)) return tab;
    }
    return nullptr;
}

register_tab* main_window::open_register(const window_entry& entry) {
    if (register_tab* open = tab_of(entry.window)) {
        tabs_->setCurrentWidget(open);
        return open;
    }
    auto* tab = new register_tab(entry, tabs_);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    status st = tab->load(host_.sess());
    QApplication::restoreOverrideCursor();
    if (!st) {
        delete tab;
        host_.message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
        return nullptr;
    }
    if (settings_) tab->restore_state(*settings_);
    connect(tab, &register_tab::row_activated, this, &main_window::modify_record);
    connect(tab, &register_tab::current_changed, this, &main_window::update_status);
    connect(tab, &register_tab::date_problem_changed, this, &main_window::update_status);
    connect(tab, &register_tab::reading_progressed, this, &main_window::update_status);
    // A record window opened from the list while it was read has its place now.
    connect(tab, &register_tab::reading_finished, this, [] {
        if (record_dialog* d = record_dialog::topmost()) d->refresh();
    });
    connect(tab, &register_tab::reading_failed, this, [this](const QString& why) {
        host_.message_box("警告信息", "读取数据失败！" + why.toStdString(), icon::stop);
    });
    tabs_->setCurrentIndex(tabs_->addTab(tab, qs(entry.caption)));
    tab->view().setFocus();
    return tab;
}

void main_window::on_tab_changed() {
    register_tab* tab = current_tab();
    right_->setCurrentIndex(tabs_->count() > 0 ? 1 : 0);
    // The navigator marks the register in view, however the tab came to be
    // current (a click, Ctrl+Tab, another tab closed); none with no tab.
    QTreeWidgetItem* shown = nullptr;
    for (QTreeWidgetItemIterator it(navigator_); *it && tab && !shown; ++it)
        if ((*it)->data(0, k_window_role).toString() == qs(tab->entry().window)) shown = *it;
    navigator_->setCurrentItem(shown);
    if (!shown) navigator_->clearSelection();
    host_.sess().guo_tabpg_now = tab ? &tab->page() : nullptr;
    update_status();
}

void main_window::update_status() {
    register_tab* tab = current_tab();
    bool has_tab = tab != nullptr;
    bool has_row = has_tab && tab->current_row() > 0;
    add_->setEnabled(has_tab);
    modify_->setEnabled(has_row);
    delete_->setEnabled(has_row);
    refresh_->setEnabled(has_tab);
    for (QAction* a : list_actions_) a->setEnabled(has_tab);
    import_->setEnabled(has_tab && tab->entry().form);
    print_record_->setEnabled(has_row);
    history_->setEnabled(has_row && tab->entry().form);
    bool offers_owned = false;
    for (const owned_action& o : owned_) {
        const bool offered = has_tab && iequals(tab->entry().window, o.owner_window);
        o.action->setVisible(offered);
        o.action->setEnabled(offered && has_row);
        offers_owned = offers_owned || offered;
    }
    owned_separator_->setVisible(offers_owned);
    date_problem_->setText(has_tab ? tab->date_problem() : QString());
    date_problem_->setVisible(!date_problem_->text().isEmpty());
    if (!has_tab) {
        count_->clear();
        return;
    }
    long all = tab->page().dw_1.rowcount();
    int shown = tab->model().rowCount();
    // The rest of the list is still being read behind its first page.
    if (tab->reading()) {
        const long expected = tab->reading_expected();
        count_->setText(expected > 0 ? QString("正在读取… %1 / %2").arg(all).arg(expected)
                                     : QString("正在读取… %1").arg(all));
        return;
    }
    // While a narrowing runs, the count is of the list shown until it ends.
    count_->setText((!tab->model().narrowed()
                         ? QString("共 %1 条记录").arg(all)
                         : QString("显示 %1 条，共 %2 条记录").arg(shown).arg(all)) +
                    (tab->model().narrowing_pending() ? "（正在查找…）" : ""));
}

void main_window::run_record(const std::string& mode) {
    register_tab* tab = current_tab();
    if (!tab) return;
    // The record window moves along the rows shown: all of them, narrowed
    // as the clerk asked.
    tab->finish_narrowing();
    if (mode == k_mode_modify) {
        // The frame loads the list's current record.
        long r = tab->current_row();
        if (r < 1) return;
        tab->page().dw_1.setrow(r);
    }
    run_record_of(tab->entry(), mode);
}

void main_window::run_record_of(const window_entry& entry, const std::string& mode) {
    std::unique_ptr<w_modify> window = entry.make(host_.sess());
    value owner;
    if (mode == k_mode_add && !window->owner_column().empty()) {
        owner = owner_of_new_record(*window);
        if (owner.is_null()) return;
    }
    // The frame merges a saved record into whatever list it is given: a
    // list of another register must not be that list.
    register_tab* list = tab_of(entry.window);
    if (list) list->finish_narrowing();
    host_.sess().guo_tabpg_now = list ? &list->page() : nullptr;
    host_.run_record(std::move(window), qs(entry.caption), mode, owner, this);
    if (list) list->sync();
    on_tab_changed();
}

value main_window::owner_of_new_record(const w_modify& window) {
    const std::string_view column = window.owner_column();
    const window_entry* owners = find_window_entry(window.owner_window());
    if (!owners) {
        host_.message_box("警告信息", "找不到" + std::string(window.owner_caption()) + "的登记簿！",
                          icon::stop);
        return value();
    }
    // The owner selected in its own list is the one the clerk works on.
    if (register_tab* tab = tab_of(owners->window); tab && tab->current_row() > 0) {
        value owner = tab->page().dw_1.getitem(tab->current_row(), column);
        if (!owner.is_null()) return owner;
    }
    owner_dialog chooser(*owners, column, window.owner_caption(), this);
    if (status st = chooser.load(host_.sess()); !st) {
        host_.message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
        return value();
    }
    if (chooser.exec() != QDialog::Accepted) return value();
    return chooser.chosen();
}

void main_window::add_record() { run_record(k_mode_add); }

void main_window::add_owned_record(const window_entry& owned) {
    register_tab* tab = current_tab();
    // Offered only on a list with a selected owner: that one is taken.
    if (!tab || tab->current_row() < 1) return;
    run_record_of(owned, k_mode_add);
}

void main_window::modify_record() { run_record(k_mode_modify); }

void main_window::delete_record() {
    register_tab* tab = current_tab();
    if (!tab) return;
    tab->finish_narrowing();
    if (tab->current_row() < 1) return;
    uo_tabpg_datawindow& page = tab->page();
    page.dw_1.setrow(tab->current_row());
    host_.sess().guo_tabpg_now = &page;
    delete_current_record(page, host_.sess());
    tab->sync();
}

void main_window::refresh_list() {
    register_tab* tab = current_tab();
    if (!tab) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    status st = tab->load(host_.sess());
    QApplication::restoreOverrideCursor();
    if (!st) host_.message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
}

void main_window::import_records() {
    register_tab* tab = current_tab();
    if (!tab || !tab->entry().form) return;
    const QPointer<register_tab> into(tab);
    import_dialog dialog(host_, tab->entry(), this);
    if (!dialog.ask_for_file()) return;
    dialog.exec();
    if (!dialog.write_tried() || !into) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const status st = into->load(host_.sess());
    QApplication::restoreOverrideCursor();
    if (!st) host_.message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
    update_status();
}

void main_window::show_record_history() {
    register_tab* tab = current_tab();
    if (!tab || tab->current_row() < 1 || !tab->entry().form) return;
    // The record named as the record window names it: its form's key
    // columns, read from the list's row.
    const dw_object& form = tab->entry().form();
    const data_window& list = tab->page().dw_1;
    std::vector<value> key;
    for (int k : form.key_columns())
        key.push_back(list.getitem(tab->current_row(), form.columns[static_cast<std::size_t>(k)].name));
    history_dialog::show_for(host_, tab->entry(), history_key(form, key), this);
}

void main_window::show_register_history() {
    register_tab* tab = current_tab();
    if (!tab || !tab->entry().form) return;
    history_dialog::show_for(host_, tab->entry(), {}, this);
}

statistics_window* main_window::show_statistics() {
    if (!statistics_) {
        const date today = host_.today();
        statistics_ = new statistics_window(host_, QDate(today.year(), today.month(), today.day()), this);
        statistics_->setAttribute(Qt::WA_DeleteOnClose);
    }
    statistics_->show();
    statistics_->raise();
    statistics_->activateWindow();
    return statistics_;
}

void main_window::show_backup_result(const QString& text, bool failed) {
    backup_failed_->setVisible(failed);
    if (failed) {
        backup_failed_->setText(text);
        backup_failed_->setToolTip(text + "\n备份文件夹：" + QDir::toNativeSeparators(backups_->folder()));
    } else if (!text.isEmpty()) {
        statusBar()->showMessage(text, 10000);
    }
}

void main_window::restore_data() {
    const QString backup = backups_->choose_restore();
    if (backup.isEmpty()) return;
    // Today's backup reads the database: it finishes first.
    backups_->wait_for_daily();
    // Every list and window over the database goes before it is replaced;
    // the same registers are listed again from the restored one.
    QStringList open;
    for (int i = 0; i < tabs_->count(); ++i)
        if (auto* tab = qobject_cast<register_tab*>(tabs_->widget(i))) open << qs(tab->entry().window);
    const QString current = current_tab() ? qs(current_tab()->entry().window) : QString();
    save_settings();
    delete statistics_;
    while (tabs_->count() > 0) {
        QWidget* tab = tabs_->widget(0);
        tabs_->removeTab(0);
        delete tab;
    }
    host_.sess().guo_tabpg_now = nullptr;
    const std::string commno = host_.sess().gs_commno;
    const QString name = host_.community_name();
    const std::string database = host_.database_path();
    host_.disconnect();
    QString kept;
    bool replaced = false;
    const QString failed = backups_->restore_from(backup, &kept, &replaced);
    if (status st = host_.connect(database); !st) {
        // Neither the backup nor the database opens: the clerk must know
        // before entering anything.
        QMessageBox::critical(this, "恢复数据", "无法打开数据库：" + qs(st.message()) +
                                                    (failed.isEmpty() ? "" : "\n" + failed));
        close();
        return;
    }
    host_.set_community(commno, name);
    open_registers(open, current);
    on_tab_changed();
    // Only the check after the copy can fail once the database was replaced.
    if (!failed.isEmpty() && replaced)
        host_.message_box("恢复数据",
                          "已用备份 " + QDir::toNativeSeparators(backup).toStdString() + " 恢复数据，但" +
                              failed.toStdString() + "\n原来的数据库保存为 " +
                              QDir::toNativeSeparators(kept).toStdString() + "。",
                          icon::stop);
    else if (!failed.isEmpty())
        host_.message_box("恢复数据", "恢复数据失败，数据库没有改变：" + failed.toStdString(), icon::stop);
    else
        host_.message_box("恢复数据",
                          "已用备份 " + QDir::toNativeSeparators(backup).toStdString() +
                              " 恢复数据。\n原来的数据库保存为 " +
                              QDir::toNativeSeparators(kept).toStdString() + "。",
                          icon::information);
}

}  // namespace officerecords::app
