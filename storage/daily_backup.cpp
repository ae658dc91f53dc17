#include "storage/daily_backup.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "storage/backup.h"
#include "storage/database.h"
#include "storage/file_access.h"
#include "storage/file_places.h"
#include "storage/server_backend.h"
#include "storage/server_accounts.h"

namespace officerecords {

namespace {

namespace fs = std::filesystem;

std::string stem_of(const std::string& database) {
    if (is_server_target(database)) return server_database_name(database);
    return fs::path(database).stem().string();
}

// Weeks run Monday to Sunday; day 0 (1970-01-01) was a Thursday.
std::int32_t week_of(date d) {
    const std::int32_t shifted = d.days() + 3;
    return shifted >= 0 ? shifted / 7 : -((-shifted + 6) / 7);
}

// The day a daily backup of `stem` ending in `suffix` is named after;
// nullopt for any other file.
std::optional<date> day_named(const std::string& file, const std::string& stem,
                              const std::string& suffix) {
    const std::string prefix = stem + "-";
    if (file.size() != prefix.size() + 10 + suffix.size() || !file.starts_with(prefix) ||
        !file.ends_with(suffix))
        return std::nullopt;
    const std::string day = file.substr(prefix.size(), 10);
    auto parsed = date::parse(day);
    if (!parsed || parsed->iso() != day) return std::nullopt;
    return parsed;
}

}  // namespace

std::string backup_folder_for(const std::string& database) {
    // A server has no folder beside it: each workstation keeps its copies
    // in the user's data folder.
    if (is_server_target(database)) return (fs::path(user_folder_path(user_folder::data)) / "备份").string();
    return (fs::path(database).parent_path() / "备份").string();
}

std::string backup_extension(const std::string& database) {
    return is_server_target(database) ? ".dump" : ".db";
}

std::string daily_backup_name(const std::string& database, date day) {
    return stem_of(database) + "-" + day.iso() + backup_extension(database);
}

std::vector<date> kept_backup_days(std::vector<date> days) {
    std::sort(days.begin(), days.end(), std::greater<>());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    std::set<date> kept(days.begin(), days.begin() + static_cast<long>(std::min<std::size_t>(7, days.size())));
    // Newest first, so the last day seen of a week is its earliest.
    std::vector<std::pair<std::int32_t, date>> weeks;
    for (date d : days) {
        if (!weeks.empty() && weeks.back().first == week_of(d))
            weeks.back().second = d;
        else if (weeks.size() < 4)
            weeks.emplace_back(week_of(d), d);
        else
            break;
    }
    for (const auto& [week, first] : weeks) kept.insert(first);
    return {kept.rbegin(), kept.rend()};
}

result<daily_backup_outcome> make_daily_backup(const std::string& database, const std::string& folder,
                                               const clock_source& clock) {
    daily_backup_outcome outcome;
    if (is_server_target(database)) {
        auto t = open_connection(database, clock, as_it_is());
        if (!t) return status::error(t.message());
        auto every = sees_every_row(**t);
        if (!every) return status::error(every.message());
        if (!*every) {
            outcome.skipped = "本账号只能看到自己社区的记录，服务器上的数据由管理员备份";
            return outcome;
        }
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return status::error("不能建立备份文件夹 " + folder + "：" + ec.message());
    // Also on a day whose backup is there already: what a backup killed on
    // an earlier day left behind goes.
    (void)remove_stale_temporaries(folder);
    const fs::path today = fs::path(folder) / daily_backup_name(database, clock.today());
    if (!fs::exists(today, ec)) {
        auto made = backup_database(database, today.string(), clock);
        if (!made) return status::error(made.message());
        outcome.made = today.string();
    }

    const std::string stem = stem_of(database);
    const std::string suffix = backup_extension(database);
    std::vector<std::pair<date, fs::path>> backups;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        if (!e.is_regular_file(ec)) continue;
        if (auto day = day_named(e.path().filename().string(), stem, suffix))
            backups.emplace_back(*day, e.path());
    }
    std::vector<date> days;
    for (const auto& [day, path] : backups) days.push_back(day);
    const std::vector<date> kept = kept_backup_days(days);
    for (const auto& [day, path] : backups) {
        if (std::find(kept.begin(), kept.end(), day) != kept.end()) continue;
        if (fs::remove(path, ec))
            outcome.removed.push_back(path.string());
        else if (ec)
            outcome.warning = "不能删除旧备份 " + path.string() + "：" + ec.message();
    }
    std::sort(outcome.removed.begin(), outcome.removed.end());
    return outcome;
}

}  // namespace officerecords
