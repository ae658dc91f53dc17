#include "app/app_setup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace officerecords::app {

void setup_application(QApplication& app) {
    QCoreApplication::setOrganizationName("OfficeRecords");
    QCoreApplication::setApplicationName("OfficeRecords");
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    // The dialogs Qt draws itself (file dialog, calendar) speak Chinese too
    // when the translations are installed; without them they stay English.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);

    QFont::insertSubstitutions(
        k_form_font,
        {"SimSun", "NSimSun", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
         "Noto Serif CJK SC", "AR PL UMing CN", "Droid Sans Fallback"});
    QFont font(k_form_font);
    font.setPointSize(10);
    QApplication::setFont(font);
}

}  // namespace officerecords::app
