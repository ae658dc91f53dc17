#include "cli/maintenance.h"

#include <ostream>

#include "foundation/register_page.h"
#include "storage/backup.h"
#include "storage/database.h"
#include "foundation/record_name.h"
#include "storage/record_history.h"
#include "storage/system_clock.h"
#include "catalog/window_catalog.h"

namespace officerecords {

namespace {

int fail(std::ostream& err, const std::string& why) {
    err << "error: " << why << '\n';
    return 1;
}

std::string shown_or_empty(const std::string& text) { return text.empty() ? "（空）" : text; }

}  // namespace

int print_history(const std::string& database, const std::string& window, const std::string& key,
                  const std::string& commno, std::ostream& out, std::ostream& err) {
    const window_entry* entry = find_window_entry(window);
    if (!entry || !entry->form) return fail(err, "没有这个登记：" + window);
    system_clock clock;
    auto db = open_connection(database, clock);
    if (!db) return fail(err, db.message());
    std::string community = commno;
    if (community.empty()) {
        auto lowest = (*db)->select_value("SELECT MIN(commno) FROM tc_ge_community");
        if (lowest && !lowest->is_null()) community = lowest->to_text();
    }
    const std::string record = history_key(entry->form(), {value(community), value(key)});
    auto lines = record_history(**db, entry->form(), record);
    if (!lines) return fail(err, lines.message());
    // The record as the clerk knows it, before its changes.
    if (!lines->empty())
        out << entry->caption << ' ' << record_label(record_number(record), lines->front().record_name) << '\n';
    for (const history_line& h : *lines) {
        out << "#" << h.changeno << ' ' << h.when << ' ' << h.workstation << ' ' << who_changed(h) << ' '
            << h.kind << (h.checked ? "" : "（未校验）") << ' ' << h.caption << ": "
            << shown_or_empty(h.old_shown) << " -> " << shown_or_empty(h.new_shown) << '\n';
    }
    if (lines->empty()) out << "no history of " << record << " in " << entry->window << '\n';
    return 0;
}

int backup(const std::string& database, const std::string& out_file, std::ostream& out,
           std::ostream& err) {
    system_clock clock;
    auto report = backup_database(database, out_file, clock);
    if (!report) return fail(err, report.message());
    out << "backed up " << report->rows << " rows of " << report->tables << " tables to " << out_file
        << '\n';
    return 0;
}

int restore(const std::string& database, const std::string& from, std::ostream& out,
            std::ostream& err) {
    system_clock clock;
    const std::string kept = replaced_database_name(database, clock);
    if (status st = restore_database(database, from, kept, clock); !st) return fail(err, st.message());
    out << "restored " << database << " from " << from << "; the replaced database is kept as " << kept
        << '\n';
    return 0;
}

}  // namespace officerecords
