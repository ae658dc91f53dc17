#include "storage/list_export.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "foundation/display_format.h"
#include "storage/file_access.h"
#include "storage/module_loader.h"
#include "storage/xlsx_writer.h"

namespace officerecords {

namespace {

// Whether a spreadsheet opening the CSV would take the text for a formula.
bool spreadsheet_would_run(std::string_view field) {
    if (field.empty() || std::string_view("=+-@\t\r").find(field.front()) == std::string_view::npos)
        return false;
    if (field.front() != '-' || field.size() < 2) return true;
    // "-5", "-5.00": a number, shown as the same number.
    std::size_t i = 1, digits = 0;
    while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i, ++digits;
    if (i < field.size() && field[i] == '.') {
        ++i;
        std::size_t fraction = 0;
        while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i, ++fraction;
        if (fraction == 0) return true;
    }
    return digits == 0 || i != field.size();
}

constexpr std::string_view k_row_counter = "序号";
// What one spreadsheet cell holds at most, in characters, and the records
// a sheet holds below its title and header and above its footer.
constexpr std::size_t k_cell_characters = 32767;
constexpr std::size_t k_sheet_records = 1048576 - 4;
// Long texts (a meeting's content) would make a column wider than a screen.
constexpr double k_widest_column = 60;
// What a portrait A4 page prints across, in a sheet's pixels: 8.27 in
// less the default margins of 0.7 in on each side, at 96 pixels an inch.
constexpr double k_portrait_pixels = (8.27 - 2 * 0.7) * 96;

// A column `width` characters wide in pixels: seven a character of the
// sheet's default font (Calibri 11) and five of padding.
double column_pixels(double width) { return std::floor(width * 7 + 0.5) + 5; }

// RFC 4180: a field with a comma, a quote or a line break is quoted, and
// its quotes are doubled.
void append_csv_field(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// Characters a spreadsheet draws two columns wide: the CJK ideographs and
// syllables, and the full-width forms (，（）：).
bool is_wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

// The width of the text's longest line, wide characters counting double.
double display_width(std::string_view text) {
    std::size_t widest = 0, line = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += 1 + extra;
        if (cp == '\n') line = 0;
        if (cp < 0x20) continue;
        line += is_wide(cp) ? 2 : 1;
        widest = std::max(widest, line);
    }
    return static_cast<double>(widest);
}

// The picture of an amount with `scale` fraction digits, grouped by
// thousands: "#,##0.00". The sheet's number format and the width measure
// both use it.
std::string amount_picture(int scale) {
    return scale > 0 ? "#,##0." + std::string(static_cast<std::size_t>(scale), '0') : "#,##0";
}

// A sheet name may not hold []:*?/\ and has at most 31 characters.
std::string sheet_name(std::string_view caption) {
    std::string name;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < caption.size() && characters < 31; ++characters) {
        std::size_t end = i + 1;
        while (end < caption.size() && (static_cast<unsigned char>(caption[end]) & 0xC0) == 0x80)
            ++end;
        const std::string_view one = caption.substr(i, end - i);
        name += one.find_first_of("[]:*?/\\") == std::string_view::npos ? std::string(one) : "_";
        i = end;
    }
    return name.empty() || name.front() == '\'' ? "Sheet1" : name;
}

// One sheet being filled, and the width each column needs.
class sheet_writer {
public:
    sheet_writer(xlsx_sheet& sheet, std::size_t columns) : sheet_(sheet), widths_(columns, 0) {}

    void text(std::uint32_t row, std::uint16_t col, const std::string& s, const cell_look* look = nullptr) {
        measure(col, s);
        sheet_.text(row, col, s, look);
    }
    // `shown` is the number as the cell shows it, for the column's width.
    void number(std::uint32_t row, std::uint16_t col, double n, const std::string& shown,
                const cell_look* look) {
        measure(col, shown);
        sheet_.number(row, col, n, look);
    }
    void day(std::uint32_t row, std::uint16_t col, date d, const cell_look* look) {
        measure(col, d.iso());
        sheet_.day(row, col, d, look);
    }
    // Writes outside the measured columns (the title, the footer) do not
    // widen them: those rows run over empty cells to their right.
    void unmeasured(std::uint32_t row, const std::string& s, const cell_look* look) {
        sheet_.text(row, 0, s, look);
    }
    // Sizes the columns to their contents; a sheet they make wider than a
    // portrait page prints landscape, one page wide.
    void fit_columns() {
        double pixels = 0;
        for (std::size_t c = 0; c < widths_.size(); ++c) {
            const double width = std::min(widths_[c] + 2, k_widest_column);
            sheet_.column_width(static_cast<std::uint16_t>(c), width);
            pixels += column_pixels(width);
        }
        sheet_.print_a4(pixels > k_portrait_pixels);
    }

private:
    void measure(std::uint16_t col, const std::string& s) {
        if (col < widths_.size()) widths_[col] = std::max(widths_[col], display_width(s));
    }

    xlsx_sheet& sheet_;
    std::vector<double> widths_;
};

bool is_excel_day(date d) { return d.year() >= 1900; }

// A cell breaks its lines at LF alone; a CR would be kept as a visible
// "_x000D_" escape, so CR LF and CR become LF.
std::string cell_lines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

}  // namespace

std::optional<export_format> export_format_named(std::string_view name) {
    if (iequals(name, "csv")) return export_format::csv;
    if (iequals(name, "xlsx")) return export_format::xlsx;
    return std::nullopt;
}

bool spreadsheet_changes_digits(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    const auto digits = [](std::string_view s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (digits(text)) return text.size() >= 12 || (text.size() >= 2 && text.front() == '0');
    return text.size() == 18 && (text.back() == 'X' || text.back() == 'x') &&
           digits(text.substr(0, 17));
}

list_export::list_export(const data_window& list, std::vector<long> rows, export_title title,
                         const clock_source& clock)
    : list_(list),
      rows_(std::move(rows)),
      title_(std::move(title)),
      clock_(clock),
      columns_(list.object().shown_columns()) {}

std::vector<long> list_export::all_rows(const data_window& list) {
    std::vector<long> rows(static_cast<std::size_t>(list.rowcount()));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<long>(i) + 1;
    return rows;
}

std::string list_export::title_text() const {
    return title_.community.empty() ? title_.caption : title_.caption + " — " + title_.community;
}

std::vector<std::string> list_export::columns_a_spreadsheet_changes() const {
    std::vector<std::string> captions;
    for (int col : columns_) {
        // A code or value-list column shows names, never the code's digits.
        const column_def& c = list_.column_definition(col);
        if (c.type != column_type::text || list_.child(col) || !c.values.empty()) continue;
        for (long r : rows_) {
            if (r < 1 || r > list_.rowcount()) continue;
            if (spreadsheet_changes_digits(list_.display_text(r, col))) {
                captions.push_back(c.label);
                break;
            }
        }
    }
    return captions;
}

std::string list_export::csv_digits_warning() const {
    const std::vector<std::string> captions = columns_a_spreadsheet_changes();
    if (captions.empty()) return {};
    std::string named;
    for (const std::string& c : captions) named += (named.empty() ? "【" : "、【") + c + "】";
    return "该列表含有身份证号、电话号码或以0开头的编号（" + named +
           "），用电子表格打开CSV文件会丢失它们的数字；要在Excel或WPS中查看，请导出为Excel文件。";
}

status list_export::check_rows() const {
    if (!list_.object().is_list)
        return status::error("只能导出列表：" + list_.object().name + " 不是列表");
    for (long r : rows_)
        if (r < 1 || r > list_.rowcount())
            return status::error("要导出的第 " + std::to_string(r) + " 行不在列表中（列表有 " +
                                 std::to_string(list_.rowcount()) + " 行）");
    return status::ok();
}

status list_export::write_csv(const byte_sink& sink) const {
    std::string out = "\xEF\xBB\xBF";
    out.reserve(k_csv_piece + 4096);
    out += k_row_counter;
    for (int col : columns_) {
        out += ',';
        append_csv_field(out, list_.column_definition(col).label);
    }
    out += "\r\n";
    std::vector<bool> typed_text;
    for (int col : columns_) typed_text.push_back(list_.column_definition(col).type == column_type::text);
    long counter = 0;
    std::string field;
    for (long r : rows_) {
        out += std::to_string(++counter);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            out += ',';
            field = list_.display_text(r, columns_[i]);
            // A typed text a spreadsheet would run as a formula ("=…", "+…",
            // "-…", "@…", or one led by a tab or carriage return) is kept a
            // text by a leading apostrophe; a plain negative number ("-5.00")
            // is no formula and stays as typed, as numbers and dates do.
            if (typed_text[i] && spreadsheet_would_run(field)) field.insert(0, 1, '\'');
            append_csv_field(out, field);
        }
        out += "\r\n";
        if (out.size() >= k_csv_piece) {
            if (status st = sink(out); !st) return st;
            out.clear();
        }
    }
    return out.empty() ? status::ok() : sink(out);
}

std::string list_export::csv() const {
    std::string whole;
    (void)write_csv([&](std::string_view piece) {
        whole += piece;
        return status::ok();
    });
    return whole;
}

status list_export::write(export_format format, const std::string& path, bool overwrite) const {
    if (status st = check_rows(); !st) return st;
    const publish_target there = check_target(path, "导出的文件");
    if (there.state == target_state::refused) return status::error(there.text);
    if (there.state == target_state::replaceable && !overwrite)
        return status::error("文件已经存在，不会覆盖它：" + path);
    // A sheet cut short would lose what the clerk wrote: a list longer than
    // a sheet is refused here, a text longer than a cell while the sheet is
    // written, which then leaves no file (the staged file is dropped).
    if (format == export_format::xlsx && rows_.size() > k_sheet_records)
        return status::error("要导出 " + std::to_string(rows_.size()) + " 条记录，超过了一张表格能容纳的 " +
                             std::to_string(k_sheet_records) + " 条，请改为导出 CSV 文件");

    auto staged = staged_file::create(path);
    if (!staged) return status::error(staged.message());
    if (format == export_format::csv) {
        if (status st = write_csv([&](std::string_view piece) { return staged->append(piece); }); !st)
            return st;
    } else {
        if (status st = write_xlsx(staged->path(), path); !st) return st;
    }
    return staged->publish(overwrite);
}

status list_export::write_xlsx(const std::string& file, const std::string& target) const {
    const auto failed = [&](const std::string& why) {
        return status::error("不能写入文件 " + target + "：" + why);
    };
    auto writer = xlsx_writer_module();
    if (!writer) return failed(writer.message());
    // Title, header, records and footer go down the sheet in order, so the
    // writer keeps only the row it is filling.
    auto sheet = (*writer)->create(file, sheet_name(title_.caption), xlsx_rows::in_order);
    if (!sheet) return failed(sheet.message());
    sheet_writer out(**sheet, columns_.size() + 1);

    // Row 0 the title, row 1 the header, the records from row 2, then a
    // blank row and the footer.
    constexpr std::uint32_t header = 1;
    const cell_look title_look{"", true, 14};
    const cell_look bold{"", true};
    const cell_look day_look{"yyyy-mm-dd"};
    const cell_look grouped_look{"#,##0"};
    const cell_look lines_look{"", false, 0, true};
    cell_look amount_look;
    out.unmeasured(0, title_text(), &title_look);
    out.text(header, 0, std::string(k_row_counter), &bold);
    for (std::size_t i = 0; i < columns_.size(); ++i)
        out.text(header, static_cast<std::uint16_t>(i + 1), list_.column_definition(columns_[i]).label, &bold);
    (*sheet)->freeze_above(header + 1);

    std::uint32_t row = header;
    for (long r : rows_) {
        ++row;
        const double counter = static_cast<double>(row - header);
        out.number(row, 0, counter, std::to_string(row - header), nullptr);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const int col = columns_[i];
            const auto at = static_cast<std::uint16_t>(i + 1);
            const column_def& c = list_.column_definition(col);
            const value v = list_.getitem(r, col);
            const std::string shown = list_.display_text(r, col);
            if (std::size_t n = utf8_length(shown); n > k_cell_characters)
                return status::error("第 " + std::to_string(row - header) + " 行的“" + c.label + "”有 " +
                                     std::to_string(n) +
                                     " 个字，超过了表格单元格能容纳的 32767 个，请改为导出 CSV 文件");
            if (v.is_null() && shown.empty()) continue;
            // Codes and value lists show their names; an unreadable item
            // (null here) shows what is stored, as the list does.
            if (v.is_null() || list_.child(col)) {
                out.text(row, at, shown);
            } else if (c.type == column_type::date && v.is_date() && is_excel_day(v.day())) {
                out.day(row, at, v.day(), &day_look);
            } else if (c.type == column_type::decimal && v.is_decimal()) {
                // The sheet gets the decimal's own value, never the display
                // text with its separators.
                amount_look.number_format = amount_picture(v.dec().scale());
                out.number(row, at, v.dec().to_double(), format_number(v, amount_look.number_format),
                           &amount_look);
            } else if (c.type == column_type::whole && v.is_integer()) {
                const bool grouped = c.format.find(',') != std::string::npos;
                out.number(row, at, static_cast<double>(v.integer()),
                           grouped ? format_number(v, "#,##0") : v.to_text(),
                           grouped ? &grouped_look : nullptr);
            } else if (c.type == column_type::number && v.is_double()) {
                out.number(row, at, v.real(), shown, nullptr);
            } else if (shown.find_first_of("\r\n") != std::string::npos) {
                out.text(row, at, cell_lines(shown), &lines_look);
            } else {
                out.text(row, at, shown);
            }
        }
    }
    out.unmeasured(row + 2, "制表时间：" + clock_.today().iso(), nullptr);
    out.fit_columns();
    (*sheet)->document_title(title_text());
    if (status st = (*sheet)->close(); !st) return failed(st.message());
    return status::ok();
}

result<const xlsx_writer*> xlsx_writer_module() {
    return module_object<xlsx_writer>("xlsx", "导出 Excel 文件");
}

}  // namespace officerecords
