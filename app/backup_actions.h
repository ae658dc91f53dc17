// The desktop program's backups. On the first start of each day a backup
// of the database is made in the background into the backup folder beside
// it (see storage/daily_backup.h); the clerk works on meanwhile, and a
// failure is only reported. 备份数据… writes a backup where the clerk
// chooses (a USB stick); 恢复数据… puts a chosen backup in place of the
// database after a clear question, keeping the replaced file beside it (a
// server's, as an archive, in the backup folder). Backups are named for
// what they are: a file's copy .db, a server's pg_dump archive .dump.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;
class QWidget;

namespace officerecords::app {

class qt_host;

class backup_actions final : public QObject {
    Q_OBJECT

public:
    backup_actions(qt_host& host, QWidget* window);
    ~backup_actions() override;

    // The folder of the daily backups of the connected database.
    QString folder() const;

    // What a daily backup tells the status bar.
    struct daily_report {
        QString text;
        bool failed = false;
    };
    // Starts today's backup in the background unless it is made already;
    // daily_done reports how it went.
    void start_daily();
    // Runs `job` in the background as today's backup, on a thread of its
    // own: what tests make instead of a backup, ending when they say.
    void start_daily(std::function<daily_report()> job);
    // Until daily_done has delivered the backup's report.
    bool daily_running() const { return daily_running_; }
    // Waits for a daily backup under way and delivers its report.
    void wait_for_daily();

    // 备份数据…: asks where, then writes a checked backup there.
    void backup_to_chosen();
    // Writes a checked backup of the database to `path`, replacing a file
    // there only once the new one is whole. The message when it failed.
    QString backup_to(const QString& path) const;

    // 恢复数据…: the backup the clerk chose and confirmed replacing the
    // data with; empty when they did not.
    QString choose_restore();
    // Puts the backup in place of the database; this workstation's own
    // connections are closed first (see qt_host::disconnect), other
    // workstations may stay. The message when it failed; `kept` is where
    // the replaced database is kept, and `replaced` whether the database
    // now holds the backup's content (also when a check after it failed).
    QString restore_from(const QString& backup, QString* kept, bool* replaced = nullptr) const;

Q_SIGNALS:
    // The daily backup is done: `text` says what happened for the status bar.
    void daily_done(const QString& text, bool failed);

private:
    qt_host& host_;
    QWidget* window_;
    QThread* daily_ = nullptr;
    bool daily_running_ = false;
};

}  // namespace officerecords::app
