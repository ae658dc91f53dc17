// 关于: the program, its version, and the database it works on (the file,
// or the server and the database there) with the format version the
// database is in, so that a clerk on the telephone can read out all an
// administrator needs to know.
#pragma once

#include <QString>

class QWidget;

namespace officerecords::app {

class qt_host;

// The program's version, as the build names it: "0.1.0", with the commit
// when built from a git checkout ("0.1.0 (git 1a2b3c4)").
QString program_version();

// The text of 关于 for the database `host` is connected to (none when it is
// not connected).
QString about_text(qt_host& host);

// Shows 关于 over `parent`.
void show_about(qt_host& host, QWidget* parent);

}  // namespace officerecords::app
