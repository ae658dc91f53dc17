#include "cli/register_import_command.h"

#include <ostream>
#include <sstream>

#include "cli/script_session.h"
#include "import/photo_folder_import.h"

namespace officerecords {

int run_import(session& s, const register_import_request& request, std::ostream& out) {
    auto failed = [&](const std::string& why) {
        out << "error: " << why << '\n';
        return 1;
    };
    if (s.gs_commno.empty()) return failed("数据库中还没有登记社区，不能导入记录");
    register_import job(s, request.import);
    if (status st = job.open(); !st) return failed(st.message());
    // Said beside the result, not in it: what of the file is left out.
    if (!job.header().ignored.empty()) {
        std::string names;
        for (const std::string& n : job.header().ignored) names += (names.empty() ? "" : "、") + n;
        out << "note: 这些列没有对应的栏目，不导入：" << names << '\n';
    }
    auto report = job.run(request.dry_run ? import_mode::check : import_mode::write_all);
    if (!report) return failed(report.message());
    out << "checked " << report->checked << " rows: " << report->passed << " pass, " << report->failures.size()
        << " fail\n";
    for (const import_row& r : report->failures) out << "row " << r.sheet_row << ": " << r.message << '\n';
    for (const import_row& r : report->duplicates) out << "row " << r.sheet_row << ": " << r.message << '\n';
    if (!request.rejects.empty() && !report->failures.empty()) {
        if (status st = register_import::write_rejects(*report, request.rejects); !st) return failed(st.message());
        out << "rejected rows written to " << request.rejects << '\n';
    }
    if (report->imported > 0) {
        out << "imported " << report->imported << " records\n";
        return 0;
    }
    out << "nothing imported\n";
    return request.dry_run || report->failures.empty() ? 0 : 1;
}

int import_register(const register_import_request& request, std::ostream& out, std::ostream& err) {
    // The import drives the register's window itself: its messages are
    // the rows' reasons, never a transcript of their own.
    std::ostringstream transcript;
    script_session host(request.database, transcript, request.options);
    std::string why;
    if (!host.connect(why)) {
        err << "error: " << why << '\n';
        return 1;
    }
    if (!request.commno.empty() && !host.choose_community(request.commno)) {
        err << "error: 数据库中没有编号为 " << request.commno << " 的社区\n";
        return 1;
    }
    std::ostringstream printed;
    const int rc = run_import(host.windows_session(), request, printed);
    // Errors go where the other commands put theirs.
    std::istringstream lines(printed.str());
    for (std::string line; std::getline(lines, line);)
        (line.starts_with("error: ") || line.starts_with("note: ") ? err : out) << line << '\n';
    return rc;
}

int import_photos(const std::string& database, const std::string& commno, std::int64_t orderno,
                  const std::string& folder, const connection_options& options, std::ostream& out,
                  std::ostream& err) {
    std::ostringstream transcript;
    script_session host(database, transcript, options);
    std::string why;
    if (!host.connect(why)) {
        err << "error: " << why << '\n';
        return 1;
    }
    if (!commno.empty() && !host.choose_community(commno)) {
        err << "error: 数据库中没有编号为 " << commno << " 的社区\n";
        return 1;
    }
    auto report = import_photo_folder(host.windows_session(), orderno, folder);
    if (!report) {
        err << "error: " << report.message() << '\n';
        return 1;
    }
    for (const std::string& name : report->added) out << "added " << name << '\n';
    for (const auto& [name, reason] : report->refused) out << "refused " << name << ": " << reason << '\n';
    out << "imported " << report->added.size() << " photos\n";
    return report->refused.empty() ? 0 : 1;
}

}  // namespace officerecords
