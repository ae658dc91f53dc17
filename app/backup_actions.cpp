#include "app/backup_actions.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "app/file_dialog.h"
#include "app/qt_host.h"
#include "storage/backup.h"
#include "storage/daily_backup.h"
#include "storage/file_access.h"
#include "storage/server_backend.h"
#include "storage/system_clock.h"

namespace officerecords::app {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// A restore takes a copy of a file (.db), a server's archive (.dump, and
// .db as earlier versions named it) and the database a restore replaced,
// which it kept to undo it by.
const char* const k_restore_filter = "数据库备份 (*.db *.dump *.before-restore-*);;所有文件 (*)";

QString backup_filter(const std::string& database) {
    return "数据库备份 (*" + qs(backup_extension(database)) + ");;所有文件 (*)";
}

}  // namespace

backup_actions::backup_actions(qt_host& host, QWidget* window) : QObject(window), host_(host), window_(window) {}

backup_actions::~backup_actions() {
    // Quitting waits for a backup under way: a half-written one is removed
    // by the backup itself, but only if it runs to its end.
    if (daily_) daily_->wait();
}

QString backup_actions::folder() const { return qs(backup_folder_for(host_.database_path())); }

void backup_actions::start_daily() {
    if (daily_) return;
    const std::string database = host_.database_path();
    const std::string folder = backup_folder_for(database);
    start_daily([database, folder] {
        // Its own clock and connections: nothing of the clerk's session is
        // touched from this thread.
        system_clock clock;
        auto made = make_daily_backup(database, folder, clock);
        daily_report report;
        report.failed = !made || !made->warning.empty();
        if (!made)
            report.text = "自动备份失败：" + qs(made.message());
        else if (!made->warning.empty())
            report.text = "今日备份已完成，但" + qs(made->warning);
        else if (!made->skipped.empty())
            report.text = qs(made->skipped);
        else if (!made->made.empty())
            report.text = "今日数据已备份到 " + QDir::toNativeSeparators(qs(made->made));
        return report;
    });
}

void backup_actions::start_daily(std::function<daily_report()> job) {
    if (daily_) return;
    daily_running_ = true;
    daily_ = QThread::create([this, job = std::move(job)] {
        const daily_report report = job();
        QMetaObject::invokeMethod(
            this,
            [this, report] {
                daily_running_ = false;
                Q_EMIT daily_done(report.text, report.failed);
            },
            Qt::QueuedConnection);
    });
    connect(daily_, &QThread::finished, this, [this] {
        daily_->deleteLater();
        daily_ = nullptr;
    });
    daily_->start(QThread::LowPriority);
}

void backup_actions::wait_for_daily() {
    if (daily_) daily_->wait();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QString backup_actions::backup_to(const QString& path) const {
    // A file there is replaced only once the new backup is whole and has
    // passed its checks; until then it stays as it was.
    backup_options options;
    options.replace = true;
    auto made = backup_database(host_.database_path(), path.toStdString(), host_, options);
    return made ? QString() : qs(made.message());
}

void backup_actions::backup_to_chosen() {
    QDir().mkpath(folder());
    const std::string database = host_.database_path();
    const QString extension = qs(backup_extension(database));
    const QString stem = is_server_target(database) ? qs(server_database_name(database))
                                                    : QFileInfo(qs(database)).completeBaseName();
    const QString name =
        stem + "-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmm") + extension;
    QString path = file_dialog::save_file(window_, "备份数据", QDir(folder()).filePath(name),
                                          backup_filter(database));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += extension;
    if (const publish_target at = check_target(path.toStdString(), "备份文件", host_.database_path());
        at.state == target_state::refused) {
        QMessageBox::warning(window_, "备份数据", qs(at.text));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString failed = backup_to(path);
    QApplication::restoreOverrideCursor();
    if (failed.isEmpty())
        QMessageBox::information(window_, "备份数据", "数据已备份到：\n" + QDir::toNativeSeparators(path));
    else
        QMessageBox::warning(window_, "备份数据", "备份没有完成：\n" + failed);
}

QString backup_actions::choose_restore() {
    const QString path = file_dialog::open_file(window_, "恢复数据", folder(), k_restore_filter);
    if (path.isEmpty()) return {};
    const QFileInfo file(path);
    QMessageBox ask(QMessageBox::Warning, "恢复数据",
                    "恢复数据将用备份“" + file.fileName() + "”（" +
                        file.lastModified().toString("yyyy-MM-dd HH:mm") +
                        "）替换现在数据库中的全部记录，这个备份之后录入和修改的记录都将不在其中。\n\n"
                        "现在的数据库会保留在它旁边。其他工作站不必退出：恢复以后它们看到的是恢复的数据，"
                        "正在修改的记录要重新打开后再修改。\n\n确实要恢复数据吗？",
                    QMessageBox::Yes | QMessageBox::No, window_);
    ask.setDefaultButton(QMessageBox::No);
    return ask.exec() == QMessageBox::Yes ? path : QString();
}

QString backup_actions::restore_from(const QString& backup, QString* kept, bool* replaced) const {
    const std::string target = host_.database_path();
    std::string keep = replaced_database_name(target, host_);
    // A server's database is kept as an archive beside the daily backups,
    // where the restore dialog opens, not wherever the program was started.
    if (is_server_target(target) && QDir().mkpath(folder()))
        keep = QDir(folder()).filePath(qs(keep)).toStdString();
    if (kept) *kept = qs(keep);
    bool committed = false;
    status st = restore_database(target, backup.toStdString(), keep, host_, [&](std::string_view step) {
        if (step == "committed") committed = true;
    });
    if (replaced) *replaced = committed;
    return st ? QString() : qs(st.message());
}

}  // namespace officerecords::app
