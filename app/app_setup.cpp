#include "app/app_setup.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace officerecords::app {

namespace {

QLocale chinese() { return QLocale(QLocale::Chinese, QLocale::China); }

}  // namespace

bool install_qt_translations(QCoreApplication& app) {
    // Named by the program's own locale, never the system's: under LANG=C
    // the system's would find no catalogue at all.
    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath("translations")};
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(&app);
        if (translator->load(chinese(), "qtbase", "_", folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}

void setup_application(QApplication& app) {
    QCoreApplication::setOrganizationName("OfficeRecords");
    QCoreApplication::setApplicationName("OfficeRecords");
    // The installed desktop entry: docks and Wayland's app id join the
    // windows to its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(OFFICERECORDS_DESKTOP_ID));
    // Dates and numbers in Qt's own widgets (the calendar, the file
    // dialog's dates) read as the program's texts do.
    QLocale::setDefault(chinese());
    (void)install_qt_translations(app);

    QFont::insertSubstitutions(
        k_form_font,
        {"SimSun", "NSimSun", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
         "Noto Serif CJK SC", "AR PL UMing CN", "Droid Sans Fallback"});
    QFont font(k_form_font);
    font.setPointSize(10);
    QApplication::setFont(font);
}

}  // namespace officerecords::app
