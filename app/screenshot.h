// Pictures of the program for its documentation, made without a user and
// without a display: the main frame with the first register of the
// catalogue listed, or a record window on one record, or a window that a
// record window opens, or the import of a sheet before anything is written.
#pragma once

#include <QString>
#include <vector>

#include "app/command_line.h"

namespace officerecords::app {

class qt_host;

// Renders the main frame with the first register of the catalogue open to
// `c.screenshot` (PNG), its list narrowed to the dates of `c.filter_from`
// and `c.filter_to` when `c.filter`; with `c.print_preview` the picture is
// of the list's print preview. Returns 0, or 1 after printing why to
// standard error.
int screenshot_main_frame(qt_host& host, const QString& community, const command_line& c);
// Renders the record window `window` opened with `mode` on the listed
// record whose number is `key` (the first when empty). The `typed` texts
// are entered first, in order, each leaving its field; a selection window
// that the last one opens is the picture (then nothing is picked), one an
// earlier text opens picks its first person. With `press`, the control of
// that name is pressed next; when that opens another window, the picture
// is of the window it opened, which is then closed.
int screenshot_record(qt_host& host, const QString& window, const QString& mode, const QString& key,
                      const std::vector<typed_text>& typed, const QString& press,
                      const QString& file);
// Renders the 导入… dialog of the register `window` with the check of
// `sheet_file` shown (nothing is written) to `file`.
int screenshot_import(qt_host& host, const QString& window, const QString& sheet_file, const QString& file);

}  // namespace officerecords::app
