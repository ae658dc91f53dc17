// The ways a list or a record leaves the program: the export of the list
// as the clerk sees it (narrowed and sorted) to an Excel or CSV file, its
// PDF file, and the print preview of the list or of one record, from
// which it is printed. Each file is chosen in a save dialog opened in the
// folder of the last export, an existing file is replaced only after the
// clerk agreed, and the clerk is told how it went.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "storage/list_export.h"

class QPrintPreviewDialog;
class QSettings;
class QWidget;

namespace officerecords {
struct session;
class staged_file;
}

namespace officerecords::app {

class print_document;
class qt_host;
class record_dialog;
class register_tab;

// The name of the session's community (tc_ge_community.commname); its
// number when the name cannot be read.
QString community_name(session& s);

// The print preview of the document over `parent`, not shown yet; its
// print button prints on the printer it offers.
std::unique_ptr<QPrintPreviewDialog> make_preview(const print_document& document, QWidget* parent);
// The print preview of the record the dialog shows, as it shows it.
void preview_record(record_dialog& dialog);

class list_output {
public:
    // `settings` keeps the last export folder between runs; without it the
    // folder is remembered while the program runs.
    list_output(qt_host& host, QSettings* settings, QWidget* parent);

    // Exports the tab's list as it shows it. False when nothing was
    // written (cancelled, refused, failed: the clerk was told why).
    bool export_list(register_tab& tab, export_format format);
    bool export_pdf(register_tab& tab);
    // Saves the PDF file `make` returns into a file the clerk chooses
    // (named `default_name` at first); false when nothing was written.
    bool save_pdf(const QString& default_name, const std::function<QByteArray()>& make);
    // The same for any file: `write` fills the staged file (or writes at
    // its path), which is published when it succeeds; the clerk is told
    // "已导出`what` PATH。" or why it failed.
    bool save_file(const QString& title, const QString& default_name, const QString& filter,
                   const QString& extension, const QString& what,
                   const std::function<status(staged_file&)>& write);
    void preview_list(register_tab& tab);
    // The print preview of the list's current record, read by its record
    // window as that window would show it.
    void preview_current_record(register_tab& tab);

    // The list of the tab as printed.
    print_document list_document(register_tab& tab);

private:
    // The file the clerk chose for `default_name`, with the extension; an
    // empty name when cancelled. `overwrite` tells whether the clerk agreed
    // to replace an existing file.
    QString choose_file(const QString& title, const QString& default_name, const QString& filter,
                        const QString& extension, bool& overwrite);
    QString last_folder() const;

    qt_host& host_;
    QSettings* settings_;
    QWidget* parent_;
    QString folder_;
};

}  // namespace officerecords::app
