// The program's file dialogs: Qt's own dialog, listing files by their
// names alone, with dates and types in Chinese whatever the
// system's locale.
//
// To choose a file's icon and type, a dialog reads the file's first bytes.
// Reading the office's database so, and closing it again, drops every lock
// this program holds on the file: another program then takes the file for
// unused and removes its log under the running one. A dialog of this
// program never opens a file it lists; only what the clerk chose is opened,
// by whoever asked for it.
#pragma once

#include <QFileDialog>
#include <QString>

namespace officerecords::app {

class file_dialog : public QFileDialog {
    Q_OBJECT

public:
    file_dialog(QWidget* parent, const QString& title, const QString& directory, const QString& filter);

    // As QFileDialog's functions of these names: the chosen path, or an
    // empty text when cancelled.
    static QString open_file(QWidget* parent, const QString& title, const QString& directory,
                             const QString& filter);
    static QString save_file(QWidget* parent, const QString& title, const QString& path,
                             const QString& filter, QString* selected_filter = nullptr);
};

}  // namespace officerecords::app
