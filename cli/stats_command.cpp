#include "cli/stats_command.h"

#include <ostream>

#include "statistics/statistics.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/system_clock.h"

namespace officerecords {

int stats_command(const stats_request& request, std::ostream& out, std::ostream& err) {
    auto refuse = [&](const std::string& why) {
        err << "error: " << why << '\n';
        return 2;
    };
    const auto view = stats_view_named(request.view);
    if (!view) return refuse("没有这种统计：" + request.view + "（可用 money、assets、work、activities、committee）");
    const auto from = date::parse(request.from), to = date::parse(request.to);
    if (request.from.size() != 10 || !from) return refuse("--from 应是 YYYY-MM-DD 形式的日期：" + request.from);
    if (request.to.size() != 10 || !to) return refuse("--to 应是 YYYY-MM-DD 形式的日期：" + request.to);
    if (*to < *from) return refuse("结束日期 " + request.to + " 早于开始日期 " + request.from);
    if (request.format != "text" && request.format != "csv" && request.format != "xlsx")
        return refuse("--format 只能是 text、csv 或 xlsx：" + request.format);
    if (request.format == "xlsx" && request.out.empty()) return refuse("--format xlsx 需要用 --out 指定文件");

    system_clock clock;
    auto db = open_database(request.database, clock);
    if (!db) {
        err << "error: " << db.message() << '\n';
        return 1;
    }
    auto r = compute_statistics(*db->sqlca, *view, {*from, *to}, {request.communities});
    if (!r) {
        err << "error: " << r.message() << '\n';
        return 1;
    }
    if (request.format != "xlsx" && request.out.empty()) {
        out << (request.format == "csv" ? stats_csv(*r) : stats_text(*r));
        return 0;
    }
    // Written beside the file and moved into place whole: a report cut
    // short never stands where the last one was.
    auto staged = staged_file::create(request.out);
    if (!staged) {
        err << "error: " << staged.message() << '\n';
        return 1;
    }
    status written = request.format == "xlsx" ? stats_xlsx(*r, staged->path())
                     : request.format == "csv" ? staged->append(stats_csv(*r))
                                               : staged->append(stats_text(*r));
    if (written) written = staged->publish(true);
    if (!written) {
        err << "error: " << written.message() << '\n';
        return 1;
    }
    out << "wrote " << request.out << '\n';
    return 0;
}

}  // namespace officerecords
