// Pictures of the program for its documentation, made without a user and
// without a display: the main frame with the first register of the
// catalogue listed, or a record window on one record, a window that a
// record window opens, a message or question it shows, or the history of
// its record, or the import of a sheet before anything is written.
#pragma once

#include <QString>

#include "app/command_line.h"

namespace officerecords::app {

class qt_host;

// Renders the main frame with the first register of the catalogue open to
// `c.screenshot` (PNG), its list narrowed to the dates of `c.filter_from`
// and `c.filter_to` when `c.filter`; with `c.print_preview` the picture is
// of the list's print preview. Returns 0, or 1 after printing why to
// standard error.
int screenshot_main_frame(qt_host& host, const QString& community, const command_line& c);
// Renders the record window `c.open_window` opened with `c.open_mode` on
// the listed record whose number is `c.open_key` (the first when empty)
// to `c.screenshot`. The steps are done first, in order, each on the
// topmost record window: a text typed leaves its field; a selection
// window that the last step opens is the picture (then nothing is
// picked), one an earlier text opens picks its first person; a press that
// opens another window does the steps after it there, and that window is
// the picture, then closed. With `c.show_message` the last press's
// message or question is pictured over its window; with `c.history` the
// history window of the record shown. No window writes anything when it
// is closed at the end.
int screenshot_record(qt_host& host, const command_line& c);
// Renders the 导入… dialog of the register `window` with the check of
// `sheet_file` shown (nothing is written) to `file`.
// Renders the statistics window on the view `c.statistics_view` over the
// year `c.statistics_year` to `c.screenshot`, or, for a FILE.pdf, prints
// the view to it as the window's 导出PDF… does.
int screenshot_statistics(qt_host& host, const command_line& c);
int screenshot_import(qt_host& host, const QString& window, const QString& sheet_file, const QString& file);

}  // namespace officerecords::app
