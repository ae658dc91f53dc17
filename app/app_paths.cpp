#include "app/app_paths.h"

#include <QFileInfo>

#include "storage/file_places.h"

namespace officerecords::app {

QString default_database_path() {
    return QString::fromStdString(user_folder_path(user_folder::data)) + "/demo.db";
}

QString resolve_for_reading(std::string_view path) {
    return QString::fromStdString(resolve_path(path, file_use::read, this_process_places()));
}

QString help_page_path(std::string_view page) {
    const QString found = resolve_for_reading("help/" + std::string(page) + ".md");
    return QFileInfo(found).isFile() ? found : QString();
}

}  // namespace officerecords::app
