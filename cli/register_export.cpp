#include "cli/register_export.h"

#include <ostream>
#include <sstream>

#include "cli/script_session.h"
#include "foundation/register_page.h"
#include "catalog/window_catalog.h"

namespace officerecords {

namespace {

int failed(std::ostream& err, const std::string& why) {
    err << "error: " << why << '\n';
    return 1;
}

}  // namespace

int export_register(const register_export_request& request, std::ostream& out, std::ostream& err) {
    // The export opens no window: nothing is written to the transcript.
    std::ostringstream transcript;
    script_session host(request.database, transcript, request.options);
    std::string why;
    if (!host.connect(why)) return failed(err, why);
    const window_entry* entry = find_window_entry(request.window);
    if (!entry) return failed(err, "没有这个登记：" + request.window);
    if (!entry->list) return failed(err, request.window + " 没有列表，不能导出");
    if (!request.commno.empty() && !host.choose_community(request.commno))
        return failed(err, "数据库中没有编号为 " + request.commno + " 的社区");
    session& s = host.windows_session();
    if (s.gs_commno.empty()) return failed(err, "数据库中还没有登记社区，没有可导出的记录");

    uo_tabpg_datawindow page;
    if (status st = list_register(page, std::string(entry->window), entry->list(), s); !st)
        return failed(err, "不能列出" + std::string(entry->caption) + "的记录：" + st.message());
    value commno(s.gs_commno);
    auto name =
        s.sqlca.select_value("SELECT commname FROM tc_ge_community WHERE commno = ?", {&commno, 1});
    if (!name) return failed(err, "不能读出社区的名称：" + s.sqlca.sqlerrtext());

    const list_export exported(page.dw_1, list_export::all_rows(page.dw_1),
                               {std::string(entry->caption), name->to_text()}, host);
    if (status st = exported.write(request.format, request.out, request.overwrite); !st)
        return failed(err, st.message());
    out << "exported " << page.dw_1.rowcount() << " records of " << entry->window << " to "
        << request.out << '\n';
    return 0;
}

}  // namespace officerecords
