// The desktop program's command line:
//
//   officerecords [--db FILE] [--community COMMNO]
//                 [--screenshot FILE.png [--open WINDOW MODE [KEY]]]
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
    bool help = false;
};

// Parses the arguments after the program name; nullopt with `why` set
// for a command line that cannot be run.
std::optional<command_line> parse_command_line(const QStringList& args, QString& why);

QString usage_text();

}  // namespace officerecords::app
