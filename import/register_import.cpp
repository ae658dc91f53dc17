#include "import/register_import.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "catalog/window_catalog.h"
#include "foundation/host_services.h"
#include "foundation/w_modify.h"
#include "import/import_host.h"
#include "import/import_rules.h"
#include "import/row_typist.h"
#include "import/typed_value.h"
#include "storage/file_access.h"
#include "storage/xlsx_writer.h"

namespace officerecords {

namespace {

// How many of the first rows the header is looked for in.
constexpr std::size_t k_header_search_rows = 10;
// How many passing rows the preview shows as they would be stored.
constexpr std::size_t k_preview_rows = 20;

std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> cell_texts(const sheet_row& row) {
    std::vector<std::string> out;
    out.reserve(row.cells.size());
    for (const sheet_cell& c : row.cells) out.push_back(c.text);
    return out;
}

// The list's column a form column is shown as: the same name, or the name
// the list joins it in by ("tc_ge_personinfo_idcard" for "idcard").
bool list_shows(const std::string& list_name, const std::string& form_name) {
    return list_name == form_name ||
           (list_name.size() > form_name.size() + 1 && list_name.ends_with("_" + form_name));
}

std::vector<register_column> columns_of(const window_entry& entry) {
    const dw_object& form = entry.form();
    const dw_object& list = entry.list();
    std::vector<register_column> out;
    for (const column_def& f : form.columns) {
        register_column rc{f.name, {}};
        for (const column_def& l : list.columns)
            if (l.visible && !l.label.empty() && list_shows(l.name, f.name)) {
                rc.captions.push_back(l.label);
                break;
            }
        if (!f.label.empty()) rc.captions.push_back(f.label);
        if (f.name == "personno") rc.captions = {"人员编号", "个人编号"};
        if (!rc.captions.empty()) out.push_back(std::move(rc));
    }
    return out;
}

}  // namespace

struct register_import::impl {
    impl(session& s, import_request r) : outer(s), request(std::move(r)) {}

    session& outer;
    import_request request;
    const window_entry* entry = nullptr;
    const import_rules* rules = nullptr;
    header_match match;
    long header_row = 0;  // the header's row number in the file
};

register_import::register_import(session& s, import_request request)
    : impl_(std::make_unique<impl>(s, std::move(request))) {}

register_import::~register_import() = default;

status register_import::open() {
    impl& m = *impl_;
    header_.file_name = file_name_of(m.request.path);
    m.entry = find_window_entry(m.request.window);
    if (!m.entry || !m.entry->form || !m.entry->list) return status::error("没有这个登记：" + m.request.window);
    m.rules = &rules_of(m.entry->window);
    columns_ = columns_of(*m.entry);

    auto source = open_sheet(m.request.path, m.request.sheet);
    if (!source) return status::error(source.message());
    header_.description = (*source)->description();
    std::vector<std::vector<std::string>> first;
    std::vector<long> numbers;
    sheet_row row;
    while (first.size() < k_header_search_rows) {
        auto more = (*source)->next(row);
        if (!more) return status::error(more.message());
        if (!*more) break;
        first.push_back(cell_texts(row));
        numbers.push_back(row.number);
    }
    if (first.empty()) return status::error(header_.file_name + " 中没有任何内容");
    auto matched = match_header(first, columns_, m.request.mapping);
    if (!matched) return status::error(header_.file_name + "：" + matched.message());
    m.match = *matched;
    m.header_row = numbers[static_cast<std::size_t>(m.match.header_record)];
    header_.header = first[static_cast<std::size_t>(m.match.header_record)];
    header_.columns = m.match.columns;
    header_.columns.resize(header_.header.size());
    header_.ignored = m.match.ignored;

    // A column the register cannot do without stops the import here.
    const std::set<std::string> present(header_.columns.begin(), header_.columns.end());
    for (const std::vector<std::string_view>& group : m.rules->required) {
        const bool any = std::any_of(group.begin(), group.end(),
                                     [&](std::string_view c) { return present.count(std::string(c)) > 0; });
        if (any) continue;
        std::string names;
        for (std::string_view c : group) {
            const auto it = std::find_if(columns_.begin(), columns_.end(),
                                         [&](const register_column& rc) { return rc.name == c; });
            if (it == columns_.end()) continue;
            names += (names.empty() ? "" : "或") + std::string("“") + shown_caption(it->captions.front()) + "”";
        }
        return status::error(header_.file_name + " 缺少必需的列：" + names + "，没有导入任何记录");
    }
    return status::ok();
}

result<import_report> register_import::run(import_mode mode, const progress& on_progress) {
    impl& m = *impl_;
    if (!m.entry) return status::error("导入还没有打开文件");
    import_report report = header_;

    import_host host(m.outer.host);
    session s{host, m.outer.clock, m.outer.sqlca, m.outer.photosqlca, m.outer.gs_commno, m.outer.gs_apppath};
    s.workstation = m.outer.workstation;
    s.os_user = m.outer.os_user;
    s.keep_history = m.outer.keep_history;
    s.importing_from = report.file_name;

    auto source = open_sheet(m.request.path, m.request.sheet);
    if (!source) return status::error(source.message());

    transaction& t = s.sqlca;
    write_guard guard(t);
    if (!guard.began()) return status::error("不能开始写入数据库：" + t.sqlerrtext());

    std::unique_ptr<w_modify> window = m.entry->make(s);
    window->save_into_open_write(true);
    window->open_with(k_mode_add);
    if (!host.message().empty()) return status::error(host.message());
    row_typist typist(*window, *m.rules, columns_, report.columns, t, s.gs_commno);
    for (const std::string& caption : typist.preview_captions()) report.preview_captions.push_back(caption);
    if (status st = typist.read_existing(); !st) return st;

    sheet_row row;
    bool first = true;
    for (;;) {
        auto more = (*source)->next(row);
        if (!more) return status::error(more.message());
        if (!*more) break;
        if (row.number <= m.header_row) continue;
        if (!typist.has_values(row)) continue;  // a blank or a footer line
        ++report.checked;
        host.start_row();
        if (!first) window->begin_new_record();
        first = false;

        import_row outcome{row.number, {}, {}, {}};
        // Each row within a savepoint: a row that fails, even on a read the
        // server refused, leaves the write as the rows before it left it.
        if (t.execute("SAVEPOINT import_row") != sql_code::ok)
            return status::error("写入数据库失败，没有导入任何记录：" + t.sqlerrtext());
        const typed_row typed = typist.type(row, host);
        const row_typist::duplicate_of duplicate_of = typed.ok ? typist.duplicates() : row_typist::duplicate_of{};
        const bool skip = typed.ok && !duplicate_of.empty() && m.request.skip_duplicates;
        if (typed.ok && !skip) {
            window->cb_save_clicked();
            if (window->last_save_write_failed())
                return status::error("写入数据库失败，没有导入任何记录：" + host.message());
        }
        const bool passed = typed.ok && (skip || host.saved());
        if ((!passed && t.execute("ROLLBACK TO SAVEPOINT import_row") != sql_code::ok) ||
            t.execute("RELEASE SAVEPOINT import_row") != sql_code::ok)
            return status::error("写入数据库失败，没有导入任何记录：" + t.sqlerrtext());
        if (passed && !skip) {
            typist.saved(row.number);
        }
        if (!passed) {
            outcome.cells = row.cells;
            outcome.message = !host.message().empty() ? host.message() : typed.message;
            if (outcome.message.empty()) outcome.message = "这一行没有保存（窗口没有给出原因）";
            report.failures.push_back(std::move(outcome));
        } else {
            ++report.passed;
            if (!duplicate_of.empty()) {
                auto listed = [](const std::vector<long>& numbers) {
                    std::string out;
                    for (long n : numbers) out += (out.empty() ? "" : "、") + std::to_string(n);
                    return out;
                };
                std::string like;
                if (!duplicate_of.records.empty()) like = "已有的记录（记录号 " + listed(duplicate_of.records) + "）";
                if (!duplicate_of.rows.empty())
                    like += (like.empty() ? "" : "和") + std::string("本文件第 ") + listed(duplicate_of.rows) + " 行";
                outcome.message = "可能与" + like + "重复：" + typist.duplicate_rule() + "相同" + (skip ? "，已跳过" : "");
                outcome.cells = row.cells;
                report.duplicates.push_back(outcome);
            }
            if (!skip && report.first_rows.size() < k_preview_rows) {
                outcome.shown = typist.shown();
                report.first_rows.push_back(std::move(outcome));
            }
        }
        if (on_progress && !on_progress(report.checked) && mode == import_mode::check) {
            report.cancelled = true;
            return report;
        }
    }
    window.reset();

    const long skipped = m.request.skip_duplicates ? static_cast<long>(report.duplicates.size()) : 0;
    const bool write = mode == import_mode::write_passing ||
                       (mode == import_mode::write_all && report.failures.empty());
    if (!write || report.passed - skipped == 0) return report;
    if (guard.commit() != sql_code::ok) {
        const std::string why = t.sqlerrtext();
        if (!t.commit_in_doubt()) {
            guard.abandon();
            return status::error("写入数据库失败，没有导入任何记录：" + why);
        }
        // The answer to the commit was lost with the connection: ask.
        switch (t.resolve_commit(t.doubt_number())) {
            case commit_outcome::committed:
                break;
            case commit_outcome::rolled_back:
                return status::error("写入时与数据库服务器的连接中断了，没有导入任何记录：" + why);
            case commit_outcome::unknown:
                return status::error(
                    "写入时与数据库服务器的连接中断了，还不知道这次导入是否已经写入。请在服务器恢复后查看该登记的"
                    "修改记录（操作为“导入”）再决定是否重新导入：" + why);
        }
    }
    report.imported = report.passed - skipped;
    return report;
}

status register_import::write_rejects(const import_report& report, const std::string& path) {
    const publish_target there = check_target(path, "未通过的行");
    if (there.state == target_state::refused) return status::error(there.text);
    auto writer = xlsx_writer_module();
    if (!writer) return status::error(writer.message());
    auto staged = staged_file::create(path);
    if (!staged) return status::error(staged.message());
    auto sheet = (*writer)->create(staged->path(), "未通过的行");
    if (!sheet) return status::error("不能写入文件 " + path + "：" + sheet.message());
    const cell_look bold{"", true};
    const cell_look day_look{"yyyy-mm-dd"};
    const auto reason_col = static_cast<std::uint16_t>(report.header.size());
    for (std::size_t i = 0; i < report.header.size(); ++i)
        (*sheet)->text(0, static_cast<std::uint16_t>(i), report.header[i], &bold);
    (*sheet)->text(0, reason_col, k_reject_reason, &bold);
    std::uint32_t out = 0;
    for (const import_row& r : report.failures) {
        ++out;
        for (std::size_t i = 0; i < r.cells.size() && i < report.header.size(); ++i) {
            const sheet_cell& c = r.cells[i];
            const auto col = static_cast<std::uint16_t>(i);
            switch (c.kind) {
                case cell_kind::empty:
                    break;
                case cell_kind::date:
                    if (auto d = excel_serial_date(std::strtod(c.text.c_str(), nullptr)))
                        (*sheet)->day(out, col, *d, &day_look);
                    else
                        (*sheet)->text(out, col, c.text, nullptr);
                    break;
                case cell_kind::number:
                    // Written back as the text the file had: a long number
                    // stays every digit it had.
                    (*sheet)->text(out, col, c.text, nullptr);
                    break;
                case cell_kind::boolean:
                    (*sheet)->text(out, col, c.text == "1" ? "是" : "否", nullptr);
                    break;
                case cell_kind::no_value:
                    (*sheet)->text(out, col, "=" + c.text, nullptr);
                    break;
                default:
                    (*sheet)->text(out, col, c.text, nullptr);
            }
        }
        (*sheet)->text(out, reason_col, r.message, nullptr);
    }
    (*sheet)->freeze_above(1);
    if (status st = (*sheet)->close(); !st) return status::error("不能写入文件 " + path + "：" + st.message());
    return staged->publish(true);
}

}  // namespace officerecords
