// The history window "修改记录": the saved changes of one record, or of a
// whole register between two dates, newest first. Each save is one line
// (when, which workstation and user, what kind of change, the captions of
// the columns it changed) with a line beneath for every column it
// changed: its caption, old and new value as the form shows them.
//
// The history is read only: nothing here changes it. It exports to XLSX
// or CSV like the lists.
#pragma once

#include <QDate>
#include <QDialog>
#include <string>
#include <vector>

#include "storage/record_history.h"
#include "catalog/window_catalog.h"

class QDateEdit;
class QLabel;
class QTreeWidget;

namespace officerecords::app {

class qt_host;

class history_dialog final : public QDialog {
    Q_OBJECT

public:
    // One record's history; `key` as history_key names it. The title
    // shows the record's number ("记录号 3").
    history_dialog(qt_host& host, const window_entry& entry, std::string key, QWidget* parent);
    // The register's history in the current community, from a month ago
    // to today until the clerk picks other dates.
    history_dialog(qt_host& host, const window_entry& entry, QWidget* parent);
    // Shows one, not modal (read beside the list or the record), deleted
    // when closed; an empty key shows the register's.
    static history_dialog* show_for(qt_host& host, const window_entry& entry, std::string key,
                                    QWidget* parent);
    ~history_dialog() override;

    QTreeWidget& changes() { return *tree_; }
    // Register history only; nullptr for a record's.
    QDateEdit* from_date() const { return from_; }
    QDateEdit* to_date() const { return to_; }
    // Reads the history again (the register's between the chosen dates).
    void reload();
    // Writes what is shown to `path`, XLSX or CSV by its extension,
    // replacing the file; the message when it failed, else empty.
    QString export_to(const QString& path) const;

private:
    void build(const QString& title);
    void show_lines();
    void export_chosen();

    qt_host& host_;
    const window_entry& entry_;
    std::string key_;  // empty: the whole register
    QString community_;
    std::vector<history_line> lines_;
    QTreeWidget* tree_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLabel* count_ = nullptr;
};

}  // namespace officerecords::app
