#include "app/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "storage/file_access.h"

namespace officerecords::app {

namespace {

QString native(std::string_view path) { return QString::fromStdString(native_path(path)); }

QString beside_program(const QString& relative) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(relative);
}

}  // namespace

QString default_database_path() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty()) base = QDir::homePath() + "/.local/share";
    return base + "/OfficeRecords/demo.db";
}

QString resolve_for_reading(std::string_view path) {
    QString p = native(path);
    if (p.isEmpty() || QDir::isAbsolutePath(p) || QFileInfo::exists(p)) return p;
    QString there = beside_program(p);
    return QFileInfo::exists(there) ? there : p;
}

QString resolve_for_writing(std::string_view path) {
    QString p = native(path);
    if (p.isEmpty() || QDir::isAbsolutePath(p)) return p;
    if (QFileInfo(p).absoluteDir().exists()) return p;
    QString there = beside_program(p);
    return QFileInfo(there).absoluteDir().exists() ? there : p;
}

QString help_page_path(std::string_view page) {
    const QString relative =
        "help/" + QString::fromUtf8(page.data(), static_cast<qsizetype>(page.size())) + ".md";
    for (const QString& candidate : {beside_program(relative), QDir::current().filePath(relative)})
        if (QFileInfo(candidate).isFile()) return candidate;
    return {};
}

}  // namespace officerecords::app
