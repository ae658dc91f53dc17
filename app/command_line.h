// The desktop program's command line:
//
//   officerecords [--db FILE | --demo] [--community COMMNO] [--quit-after-first-paint]
//                 [--screenshot FILE.png [--list WINDOW] [--filter FROM TO] [--print-preview]
//                                        | [--open WINDOW MODE [KEY]
//                                           [--type NAME TEXT | --press CONTROL]...
//                                           [--show-message | --history]]
//                                        | [--import WINDOW SHEETFILE]
//                                        | [--statistics VIEW YEAR]]
//
// --demo opens the demo database in the user's data folder, made there
// when missing, instead of the database given or remembered.
// --list lists the register of WINDOW in the main frame (the catalogue's
// first without it).
// --filter narrows the main frame's list to the dates FROM to TO of its
// date column (an empty text leaves that side open); --print-preview
// pictures the print preview of that list.
// --type and --press are steps done in the order given, each on the
// topmost record window. --type enters a text into a column (a code for a
// drop-down) or into an edit control of the window (the album's
// sle_note); when the last step is one that opens a selection window (a
// person's name typed), the picture is of that. --press presses a control;
// when that opens another window (cb_photo opens the photo album), the
// steps after it are done in that window, and the picture is of it.
// --show-message shows the message box or question that the last step,
// a --press, brings up, as the clerk would see it, and pictures it over
// its window; it is answered as Esc answers it. --history pictures the
// history window (修改记录) of the record the topmost window shows.
// --import pictures the 导入… dialog of the register of WINDOW with the
// check of SHEETFILE (XLSX, XLS or CSV) shown; nothing is imported.
// --statistics pictures the statistics window on VIEW (money, assets,
// work, activities, committee) over the year YEAR for the community;
// with a FILE.pdf to --screenshot the view is printed to it instead.
// --version prints the program's version and exits.
// --modules loads every module of the program and says where each was
// found, or what is missing, without a display.
// --quit-after-first-paint shows the main frame with its remembered
// registers (the catalogue's first when none), unattended, and quits once
// the current register's list has been painted: the time to a usable
// list, for the benchmarks.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace officerecords::app {

// One step of a screenshot, done on the topmost record window.
struct screenshot_step {
    enum class kind { type, press };
    kind what = kind::type;
    QString name;  // the column or edit control typed into, or the control pressed
    QString text;  // what is typed
};

struct command_line {
    QString db;          // empty: the remembered one, else the demo database, else ask
    bool demo = false;   // the demo database in the user's data folder
    QString community;   // empty: ask, or the remembered one
    QString screenshot;  // empty: run interactively
    QString open_window;
    QString open_mode;
    QString open_key;
    std::vector<screenshot_step> steps;
    bool show_message = false;
    bool history = false;
    QString import_window;
    QString import_file;
    QString list_window;
    bool filter = false;
    QString filter_from;
    QString filter_to;
    bool print_preview = false;
    QString statistics_view;
    int statistics_year = 0;
    bool quit_after_first_paint = false;
    bool help = false;
    bool version = false;
    bool modules = false;
};

// Parses the arguments after the program name; nullopt with `why` set
// for a command line that cannot be run.
std::optional<command_line> parse_command_line(const QStringList& args, QString& why);

QString usage_text();

}  // namespace officerecords::app
