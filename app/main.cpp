// officerecords: the desktop program. Opens the database (the one given,
// the one remembered, or the demo database in the user's data folder; on
// the first start the clerk chooses), lets the clerk pick the community
// and shows the main frame; or, with --screenshot, renders a picture of a
// window and exits.
#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTableView>
#include <cstdio>

#include "app/about_dialog.h"
#include "app/app_paths.h"
#include "app/app_setup.h"
#include "app/backup_actions.h"
#include "app/command_line.h"
#include "app/community_dialog.h"
#include "app/first_start.h"
#include "app/main_window.h"
#include "app/new_community_dialog.h"
#include "app/qt_host.h"
#include "app/quit_when_painted.h"
#include "app/register_tab.h"
#include "app/screenshot.h"
#include "demo/demo_data.h"
#include "storage/database.h"
#include "storage/module_loader.h"
#include "storage/server_backend.h"

namespace {

using namespace officerecords;
using namespace officerecords::app;

bool has_display() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

class program {
public:
    explicit program(const command_line& c)
        : c_(c),
          headless_(!c.screenshot.isEmpty()),
          unattended_(headless_ || c.quit_after_first_paint) {}

    int run() {
        host_.set_unattended(unattended_);
        if (!open_database()) return exit_code_;
        std::string commno;
        QString name;
        if (!choose_community(commno, name)) return exit_code_;
        host_.set_community(commno, name);
        QString title = name + "（" + QString::fromStdString(commno) + "）";

        if (headless_) {
            if (!c_.statistics_view.isEmpty()) return screenshot_statistics(host_, c_);
            if (!c_.import_window.isEmpty())
                return screenshot_import(host_, c_.import_window, c_.import_file, c_.screenshot);
            if (c_.open_window.isEmpty()) return screenshot_main_frame(host_, title, c_);
            return screenshot_record(host_, c_);
        }
        main_window frame(host_, title);
        QSettings settings;
        frame.remember_with(&settings);
        frame.show();
        if (c_.quit_after_first_paint) return run_until_first_paint(frame);
        // The first start of a day backs the data up while the clerk works.
        frame.backups().start_daily();
        return QApplication::exec();
    }

private:
    // The remembered list, or the catalogue's first, painted; no daily
    // backup, which is no part of showing the list.
    int run_until_first_paint(main_window& frame) {
        register_tab* tab = frame.current_tab();
        if (!tab && !window_catalog().empty()) tab = frame.open_register(window_catalog().front());
        if (!tab) return fail("没有可以列出的登记簿。");
        tab->view().viewport()->installEventFilter(new quit_when_painted(&frame));
        return QApplication::exec();
    }

    int fail(const QString& why) {
        std::fprintf(stderr, "officerecords: %s\n", qPrintable(why));
        if (!unattended_) QMessageBox::critical(nullptr, "社区居委会办公记录", why);
        exit_code_ = 1;
        return 1;
    }
    bool failed(const QString& why) {
        (void)fail(why);
        return false;
    }

    // Opens the database given (--db, --demo), else the one remembered,
    // else the demo database when it is there; else the clerk chooses.
    // False when nothing was opened: a failure (status 1) or a cancel (0).
    bool open_database() {
        if (c_.demo) {
            auto made = demo_database(host_);
            if (!made) return failed(QString::fromStdString(made.message()));
            return connect_to(*made);
        }
        if (!c_.db.isEmpty())
            return connect_to(is_server_target(c_.db.toStdString())
                                  ? c_.db
                                  : QFileInfo(c_.db).absoluteFilePath());
        // The workstations of an office that shares a server name it once,
        // in the settings ("database"); the first start remembers the
        // clerk's choice there too.
        const QString remembered = QSettings().value("database").toString();
        QString note = "这是第一次启动，还没有数据库。";
        if (!remembered.isEmpty()) {
            if (is_server_target(remembered.toStdString()) || QFileInfo::exists(remembered))
                return connect_to(remembered);
            // A file moved away leaves the clerk a choice, not an error at
            // every start.
            note = "上次使用的数据库 " + remembered + " 已经不在了。";
        } else if (const QString demo = default_database_path(); QFileInfo::exists(demo)) {
            return connect_to(demo);
        }
        if (unattended_)
            return failed("没有要打开的数据库：请用 --db 指定数据库，或用 --demo 打开演示数据库。");
        const QString chosen = run_first_start(
            host_, [this](const QString& db) { return host_.connect(db.toStdString()); }, note);
        if (chosen.isEmpty()) {
            exit_code_ = 0;
            return false;
        }
        QSettings().setValue("database", chosen);
        return true;
    }

    bool connect_to(const QString& db) {
        // A server's message names it without the password a URI may hold.
        const bool server = is_server_target(db.toStdString());
        status st = host_.connect(db.toStdString());
        // The clerk's own login: a password neither the settings, PGPASSWORD
        // nor ~/.pgpass gives is asked for, and kept for this run only, so
        // that the backups' tools connect with it too.
        while (!st && server && !unattended_ && st.message().starts_with(k_password_needed)) {
            bool given = false;
            const QString password = QInputDialog::getText(
                nullptr, "连接数据库服务器",
                QString::fromStdString(st.message()) + "\n\n请输入本账号在数据库服务器上的密码：",
                QLineEdit::Password, {}, &given);
            if (!given) return failed("没有输入密码，没有连接数据库服务器。");
            qputenv("PGPASSWORD", password.toUtf8());
            st = host_.connect(db.toStdString());
        }
        if (!st)
            return failed("无法打开数据库" + (server ? QString() : " " + db) + "：\n" +
                          QString::fromStdString(st.message()));
        return true;
    }

    bool choose_community(std::string& commno, QString& name) {
        auto all = community_dialog::load(host_.sqlca());
        if (all && all->empty() && !unattended_ && !is_server_target(host_.database_path())) {
            // A new, blank database: the office names its community first.
            new_community_dialog first(host_.sqlca());
            if (first.exec() != QDialog::Accepted) {
                exit_code_ = 0;
                return false;
            }
            all = community_dialog::load(host_.sqlca());
        }
        if (!all) return failed("无法读取社区：" + QString::fromStdString(all.message()));
        if (all->empty()) return failed("数据库中没有社区（tc_ge_community 没有记录）。");
        QSettings settings;
        std::string remembered = settings.value("community").toString().toStdString();
        auto find = [&](const std::string& no) -> const community* {
            for (const auto& c : *all)
                if (c.commno == no) return &c;
            return nullptr;
        };
        if (!c_.community.isEmpty()) {
            commno = c_.community.toStdString();
            if (!find(commno)) {
                fail("没有编号为 " + c_.community + " 的社区。");
                return false;
            }
        } else if (unattended_) {
            commno = find(remembered) ? remembered : all->front().commno;
        } else {
            community_dialog d(*all, remembered);
            if (d.exec() != QDialog::Accepted) {
                exit_code_ = 0;
                return false;
            }
            commno = d.chosen();
        }
        if (!unattended_) settings.setValue("community", QString::fromStdString(commno));
        name = QString::fromStdString(find(commno)->commname);
        return true;
    }

    const command_line& c_;
    bool headless_;
    bool unattended_;  // no question and no message box waits for a clerk
    qt_host host_;
    int exit_code_ = 1;
};

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QString why;
    auto c = parse_command_line(args, why);
    if (!c) {
        std::fprintf(stderr, "officerecords: %s\n%s", qPrintable(why), qPrintable(usage_text()));
        return 2;
    }
    if (c->help) {
        std::printf("%s", qPrintable(usage_text()));
        return 0;
    }
    if (c->version) {
        std::printf("officerecords %s\n", qPrintable(program_version()));
        return 0;
    }
    if (c->modules) {
        bool all = false;
        std::printf("%s", describe_modules(all).c_str());
        return all ? 0 : 1;
    }
    if (!has_display()) {
        if (c->screenshot.isEmpty()) {
            std::fprintf(stderr,
                         "officerecords: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY "
                         "is set).\nStart it from a desktop session; without a display only "
                         "--screenshot works.\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    setup_application(app);
    program p(*c);
    return p.run();
}
