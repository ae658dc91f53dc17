#include "app/about_dialog.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt_host.h"
#include "officerecords_version.h"
#include "storage/migration.h"
#include "storage/schema.h"
#include "storage/server_backend.h"

namespace officerecords::app {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The server as it answers for itself: the connection string may hold a
// password, which 关于 never shows.
QString server_of(qt_host& host) {
    transaction& t = host.sqlca();
    const auto address = t.select_value("SELECT host(inet_server_addr())");
    const auto port = t.select_value("SELECT current_setting('port')");
    const auto name = t.select_value("SELECT current_database()");
    // No address: the server is reached through its socket on this computer.
    const QString at = address && !address->is_null() ? qs(address->to_text()) : QString("本机");
    return "数据库服务器：" + at +
           (port && !port->is_null() ? ":" + qs(port->to_text()) : QString()) + "，数据库 " +
           (name && !name->is_null() ? qs(name->to_text())
                                     : qs(server_database_name(host.database_path())));
}

}  // namespace

QString program_version() {
    return QString::fromUtf8(k_version_full.data(), static_cast<qsizetype>(k_version_full.size()));
}

QString about_text(qt_host& host) {
    QString text =
        "社区居委会办公记录　版本 " + program_version() +
        "\n固定资产、收支、工作日志、印章使用、迁入登记、社区活动与居委会组织的登记簿。\n\n";
    if (!host.connected()) return text + "没有连接数据库。";
    const bool server = is_server_target(host.database_path());
    text += server ? server_of(host)
                   : "数据库文件：" + QDir::toNativeSeparators(qs(host.database_path()));
    auto version =
        database_version(host.sqlca(), server ? sql_dialect::postgresql : sql_dialect::sqlite);
    text += "\n数据库格式版本：" +
            (version ? QString::number(*version) : "无法读取（" + qs(version.message()) + "）") +
            QString("（本程序的格式版本为 %1）").arg(k_schema_version);
    return text;
}

void show_about(qt_host& host, QWidget* parent) {
    QMessageBox box(QMessageBox::Information, "关于", about_text(host), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.button(QMessageBox::Ok)->setText("确定");
    box.exec();
}

}  // namespace officerecords::app
