// What every run of the desktop program sets up before its first window:
// the application's names, the Chinese locale and Qt's own Chinese texts,
// and the font "宋体" that every form and list uses, mapped to whichever
// CJK font the machine has so Chinese renders on a bare Debian.
#pragma once

class QApplication;

namespace officerecords::app {

// The family every form and list asks for.
inline constexpr const char* k_form_font = "宋体";

void setup_application(QApplication& app);

}  // namespace officerecords::app
