// 导入…: a sheet the clerk keeps elsewhere (XLSX, XLS or CSV) read into
// the register of the current tab. The clerk chooses the file and its
// sheet, may correct which column of the sheet goes where, and sees the
// check of every row before anything is written: how many rows pass, why
// each failing row fails, which may be a record already there, and the
// first rows as they would be stored. Only 导入 N 条 writes, the rows
// that pass; the failing rows can be exported to a workbook to correct.
// What is read and checked, and how, is register_import's.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/window_catalog.h"
#include "import/register_import.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressDialog;
class QPushButton;
class QTableWidget;

namespace officerecords::app {

class qt_host;

class import_dialog final : public QDialog {
    Q_OBJECT

public:
    import_dialog(qt_host& host, const window_entry& entry, QWidget* parent);
    ~import_dialog() override;

    // Asks for the file in the program's file dialog and reads it; false
    // when the clerk chose none.
    bool ask_for_file();
    // Reads the file's first sheet, matches its header and checks every
    // row. False when it could not be (the clerk was told why).
    bool choose_file(const QString& path);
    // Another sheet of the file, its header matched anew.
    bool choose_sheet(const QString& sheet);
    // The sheet's column headed `header_text` goes to the register's
    // `column` (a name of register_import::columns(), empty for none), and
    // every row is checked again.
    bool map(const QString& header_text, const QString& column);
    void set_skip_duplicates(bool skip);
    // 导入 N 条: writes the rows that pass, says how many, and closes
    // accepted; false when nothing was written (the clerk was told why).
    bool import_passing();
    // 导出未通过的行…: asks for the workbook and writes the failing rows.
    void export_rejects();
    // Writes the failing rows to `path`; the message when it failed, else empty.
    QString export_rejects_to(const QString& path);

    // The last check, none while no file was checked whole.
    const import_report* report() const { return report_ ? &*report_ : nullptr; }
    // How many records 导入 N 条 writes: the rows that pass, less skipped duplicates.
    long importable() const;
    // Whether a write was tried: the register's list is to be read again.
    bool write_tried() const { return write_tried_; }
    QString summary() const;

    QComboBox& sheets() { return *sheets_; }
    QTableWidget& mapping() { return *mapping_; }
    QTableWidget& problems() { return *problems_; }
    QTableWidget& preview() { return *preview_; }
    QCheckBox& skip_duplicates() { return *skip_; }
    QPushButton& import_button() { return *import_; }
    QPushButton& rejects_button() { return *rejects_; }

    void reject() override;

Q_SIGNALS:
    // Rows read so far by a check or the import, as the engine reports them.
    void rows_done(long rows);

private:
    void build();
    // Opens the file with the request as it stands and checks every row;
    // `new_header` lays out the mapping from the header found.
    bool open_and_check(bool new_header);
    officerecords::result<import_report> run_job(import_mode mode);
    void build_mapping();
    void mapping_changed();
    void show_outcome();
    void show_error(const std::string& message);
    void clear_outcome();

    qt_host& host_;
    const window_entry& entry_;
    import_request request_;
    std::unique_ptr<register_import> job_;
    std::optional<import_report> report_;
    std::vector<std::string> header_;        // the header texts the mapping lists
    std::vector<std::string> matched_;       // per text: the column the captions gave it
    std::vector<register_column> columns_;   // what a text may go to
    bool running_ = false;
    bool stop_asked_ = false;
    bool write_tried_ = false;

    QLabel* file_ = nullptr;
    QPushButton* choose_ = nullptr;
    QComboBox* sheets_ = nullptr;
    QTableWidget* mapping_ = nullptr;
    QLabel* summary_ = nullptr;
    QTableWidget* problems_ = nullptr;
    QLabel* preview_title_ = nullptr;
    QTableWidget* preview_ = nullptr;
    QCheckBox* skip_ = nullptr;
    QPushButton* rejects_ = nullptr;
    QPushButton* import_ = nullptr;
};

}  // namespace officerecords::app
