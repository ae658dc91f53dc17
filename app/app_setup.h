// What every run of the desktop program sets up before its first window:
// the application's names, the Chinese locale and Qt's own Chinese texts,
// and the font "宋体" that every form and list uses, mapped to whichever
// CJK font the machine has so Chinese renders on a bare Debian.
#pragma once

class QApplication;
class QCoreApplication;

namespace officerecords::app {

// The family every form and list asks for.
inline constexpr const char* k_form_font = "宋体";

void setup_application(QApplication& app);

// Makes the dialogs Qt draws itself (file dialog, calendar, button boxes)
// speak Chinese whatever the system's locale: every text of the program
// is Chinese. Installs Qt's Chinese catalogue (qtbase_zh_CN.qm) from Qt's
// translations folder, or from "translations" beside the program; false,
// with the English texts left, when neither has it.
bool install_qt_translations(QCoreApplication& app);

}  // namespace officerecords::app
