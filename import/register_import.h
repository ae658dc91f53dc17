// An import of a sheet into one register: every row typed into the
// register's own record window and saved there, so that it passes the
// very checks a clerk's typing passes, with the same messages; all the
// rows in one transaction, written only when the clerk says so.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/session.h"
#include "foundation/status.h"
#include "import/header_match.h"
#include "import/sheet_source.h"

namespace officerecords {

struct window_entry;

struct import_request {
    std::string window;  // the register's window, w_m_og_…
    std::string path;    // the file
    std::string sheet;   // empty: the first
    // "caption=column" corrections of the header's matching.
    std::vector<std::pair<std::string, std::string>> mapping;
    bool skip_duplicates = false;
};

// One row of the sheet that did not go in, or that may be there already.
struct import_row {
    long sheet_row = 0;              // as the file counts rows
    std::vector<sheet_cell> cells;   // as read, for the rejects file
    std::string message;             // why it failed, or what it may duplicate
    std::vector<std::string> shown;  // a passing row as it would be stored
};

struct import_report {
    std::string file_name;    // without the folders
    std::string description;  // what the file was read as
    std::vector<std::string> header;   // the header row's texts
    std::vector<std::string> columns;  // per header text: its column, "" when ignored
    std::vector<std::string> ignored;  // header texts that match no column
    std::vector<std::string> preview_captions;  // the captions of `shown`
    long checked = 0;
    long passed = 0;
    std::vector<import_row> failures;    // in the file's order
    std::vector<import_row> duplicates;  // passing rows like a record already there
    std::vector<import_row> first_rows;  // the first passing rows, as stored
    long imported = 0;                   // records written and committed
    bool cancelled = false;
};

// What the run does with the rows that pass.
enum class import_mode {
    check,         // nothing is written (the preview)
    write_all,     // written only when every row passes
    write_passing  // the rows that pass are written, the others left out
};

class register_import {
public:
    // Rows done so far; false stops a check before anything is written.
    using progress = std::function<bool(long rows)>;

    register_import(session& s, import_request request);
    ~register_import();
    register_import(const register_import&) = delete;
    register_import& operator=(const register_import&) = delete;

    // Reads the header and matches it to the register. A file or sheet
    // that cannot be read, a header naming no column and a missing column
    // the register cannot do without are refused here, before any row.
    status open();
    const import_report& header() const { return header_; }
    // The register's columns an import can fill, with their captions.
    const std::vector<register_column>& columns() const { return columns_; }

    // Runs every row of the file through the register's window, in one
    // write transaction that is rolled back for `check` and when a row
    // fails under `write_all`. A fault of the file, or of the database,
    // is the error, and nothing is written.
    result<import_report> run(import_mode mode, const progress& on_progress = {});

    // Writes the failing rows of `report` to an XLSX at `path`: the header
    // as the file had it and a last column "未通过的原因".
    static status write_rejects(const import_report& report, const std::string& path);

private:
    struct impl;
    std::unique_ptr<impl> impl_;
    import_report header_;
    std::vector<register_column> columns_;
};

// The caption of the rejects file's last column.
inline constexpr const char* k_reject_reason = "未通过的原因";

}  // namespace officerecords
