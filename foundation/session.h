// The host application's globals that record windows read: the host's
// services and clock, the current community, the application directory,
// the two transactions and the tab page that lists the current register.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/change_log.h"
#include "foundation/data_window.h"
#include "foundation/host_services.h"
#include "foundation/transaction.h"

namespace officerecords {

struct session;

// A tab page of the main frame listing one register of the community.
struct uo_tabpg_datawindow {
    std::string window;  // the record window that edits its rows
    data_window dw_1{"dw_1"};
    // The rows the clerk sees, in the order shown, while the list is
    // narrowed (a search, a date range); empty when every row is shown in
    // order. The record window moves along these.
    std::vector<long> shown;

    long shown_count() const;
    // The list row at a position of the shown rows (1-based); 0 outside.
    long shown_row(long position) const;
    // The position of a list row among the shown rows; 0 when not shown.
    long position_of(long row) const;
    // The nearest shown row after (`forward`) or before a list row; 0 for none.
    long shown_beside(long row, bool forward) const;

    // Set while the page holds only the records a window asked for by
    // number (see list_records_by_key): the list object to list the whole
    // register with. The command-line program opens one record of a
    // million without reading the other 999,999 first.
    const dw_object* listed_partly = nullptr;
    bool partial() const { return listed_partly != nullptr; }
    // Lists the whole register on a partial page, the current record
    // staying current; a page that failed to list stays partial.
    status complete(session& s);

    // A deletion whose commit is in doubt (the connection broke while the
    // server had it): the transaction's number for it and the record's key.
    // The next deletion from this list finds out first what became of it.
    std::uint64_t deletion_in_doubt = 0;
    value deletion_key;
};

struct session {
    host_services& host;
    const clock_source& clock;
    transaction& sqlca;
    transaction& photosqlca;
    std::string gs_commno;
    std::string gs_apppath;
    uo_tabpg_datawindow* guo_tabpg_now = nullptr;
    // Which computer and which of its users the history names.
    std::string workstation = {};
    std::string os_user = {};
    // Every save is on record; only a benchmark weighing what that costs
    // turns it off.
    bool keep_history = true;
    // While an import writes: the file its records come from, for the history.
    std::string importing_from = {};

    // The history's context of a change made now by `window`.
    change_context change_by(std::string window, bool checked) const {
        return {std::move(window), gs_commno, checked, clock.now(), workstation, os_user, importing_from};
    }
};

}  // namespace officerecords
