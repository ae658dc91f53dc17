#include "import/photo_folder_import.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "catalog/window_catalog.h"
#include "foundation/picture_format.h"
#include "foundation/register_page.h"
#include "import/import_host.h"

namespace officerecords {

result<photo_folder_report> import_photo_folder(session& outer, std::int64_t orderno, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return status::error("没有这个文件夹：" + folder);
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.filename().string().starts_with(".") || !it->is_regular_file(ec)) continue;
        files.push_back(p);
    }
    if (ec) return status::error("不能读出文件夹 " + folder + " 中的文件：" + ec.message());
    std::sort(files.begin(), files.end());

    import_host host(outer.host);
    session s{host, outer.clock, outer.sqlca, outer.photosqlca, outer.gs_commno, outer.gs_apppath};
    s.workstation = outer.workstation;
    s.os_user = outer.os_user;
    s.keep_history = outer.keep_history;

    // The album belongs to the activity its register's list has current.
    const window_entry* activities = find_window_entry("w_m_og_commactivityrecord");
    const window_entry* album_entry = find_window_entry("w_m_og_commactivityrecord_pic");
    if (!activities || !album_entry) return status::error("没有社区活动记录的相册");
    uo_tabpg_datawindow page;
    const std::optional<long> row =
        list_records_by_key(page, std::string(activities->window), activities->list(), s, value(orderno));
    if (!row) return status::error("读取社区活动记录失败：" + s.sqlca.sqlerrtext());
    if (*row == 0) return status::error("本社区没有序号为 " + std::to_string(orderno) + " 的活动记录");
    page.dw_1.setrow(*row);
    s.guo_tabpg_now = &page;

    const value key[] = {value(s.gs_commno), value(orderno)};
    auto photos = [&]() -> std::optional<long> {
        const auto n = s.photosqlca.select_value(
            "SELECT COUNT(*) FROM TS_CommActivePhoto WHERE CommNo = ? AND OrderNo = ?", key);
        if (!n) return std::nullopt;
        return static_cast<long>(n->as_double().value_or(0));
    };
    std::unique_ptr<w_modify> album = album_entry->make(s);
    album->open_with("");
    if (!host.message().empty()) return status::error(host.message());
    // The clerk's buttons: a new photo from a file, then Save.
    control* add = album->find_control("cb_new");
    if (!add || !add->clicked) return status::error("相册没有添加照片的按钮");

    photo_folder_report report;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        const std::optional<long> before = photos();
        if (!before) return status::error("读取相册失败：" + s.photosqlca.sqlerrtext());
        // The album takes what its file dialog offers: a folder also holds
        // other files (Thumbs.db, notes), which are no photos.
        blob bytes;
        const picture_format kind = outer.host.gf_readphotofile(file.string(), bytes) == -1
                                        ? picture_format::none
                                        : picture_format_of(bytes);
        if (kind != picture_format::bmp && kind != picture_format::gif && kind != picture_format::jpeg) {
            report.refused.emplace_back(name, "不是相册能保存的图片（BMP、GIF或JPG）");
            continue;
        }
        host.start_row();
        host.offer_file(file.string());
        add->clicked();
        if (host.message().empty()) album->cb_save_clicked();
        const std::optional<long> after = photos();
        if (!after) return status::error("读取相册失败：" + s.photosqlca.sqlerrtext());
        if (*after > *before) {
            report.added.push_back(name);
        } else {
            report.refused.emplace_back(name, host.message().empty() ? "相册没有保存这张照片" : host.message());
            // The album is left as the refusal left it: the next file starts afresh.
            album->cb_roll_clicked();
        }
    }
    return report;
}

}  // namespace officerecords
