// The host application's globals that record windows read: the host's
// services and clock, the current community, the application directory,
// the two transactions and the tab page that lists the current register.
#pragma once

#include <string>

#include "foundation/data_window.h"
#include "foundation/host_services.h"
#include "foundation/transaction.h"

namespace officerecords {

// A tab page of the main frame listing one register of the community.
struct uo_tabpg_datawindow {
    std::string window;  // the record window that edits its rows
    data_window dw_1{"dw_1"};
};

struct session {
    host_services& host;
    const clock_source& clock;
    transaction& sqlca;
    transaction& photosqlca;
    std::string gs_commno;
    std::string gs_apppath;
    uo_tabpg_datawindow* guo_tabpg_now = nullptr;
};

}  // namespace officerecords
