// The desktop program's command line:
//
//   officerecords [--db FILE] [--community COMMNO]
//                 [--screenshot FILE.png [--open WINDOW MODE [KEY] [--press CONTROL]]]
//
// --press presses a control of the opened window; when that opens another
// window (cb_photo opens the photo album), the picture is of that one.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace officerecords::app {

struct command_line {
    QString db;          // empty: the demo database in the user's data folder
    QString community;   // empty: ask, or the remembered one
    QString screenshot;  // empty: run interactively
    QString open_window;
    QString open_mode;
    QString open_key;
    QString press;
    bool help = false;
};

// Parses the arguments after the program name; nullopt with `why` set
// for a command line that cannot be run.
std::optional<command_line> parse_command_line(const QStringList& args, QString& why);

QString usage_text();

}  // namespace officerecords::app
