#include "import/xls_reader.h"

#include <freexl.h>

#include <charconv>
#include <cmath>

namespace officerecords {

namespace {

struct freexl_closer {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using freexl_ptr = std::unique_ptr<const void, freexl_closer>;

status open_fault(const std::string& file, int code) {
    switch (code) {
        case FREEXL_INSUFFICIENT_MEMORY:
            return status::error("读 " + file + " 时内存不够");
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return status::error(file + " 中没有 Excel 工作簿，可能是别的程序的文件");
        default:
            return status::error(file +
                                 " 不是完好的 XLS 文件，可能已损坏或没有保存完整（FreeXL 错误 " +
                                 std::to_string(code) + "）");
    }
}

// Opens the workbook; `whole` reads the cells too, else only what lists the sheets.
result<freexl_ptr> open_workbook(const std::string& path, const std::string& file, bool whole) {
    const void* raw = nullptr;
    const int rc = whole ? freexl_open(path.c_str(), &raw) : freexl_open_info(path.c_str(), &raw);
    // The handle is closed even when opening failed.
    freexl_ptr handle(raw);
    unsigned int protection = 0;
    if (handle && freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &protection) == FREEXL_OK &&
        protection == FREEXL_BIFF_OBFUSCATED)
        return password_protected(file);
    if (rc != FREEXL_OK) return open_fault(file, rc);
    return handle;
}

result<std::vector<std::string>> names_in(const void* handle, const std::string& file) {
    unsigned int count = 0;
    if (int rc = freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count); rc != FREEXL_OK)
        return open_fault(file, rc);
    std::vector<std::string> names;
    for (unsigned int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (int rc = freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name);
            rc != FREEXL_OK)
            return open_fault(file, rc);
        names.emplace_back(name ? name : "");
    }
    if (names.empty()) return status::error(file + " 中没有工作表");
    return names;
}

// Whole numbers below 2^53 are exact in a double and printed in full;
// any other in the fewest digits that read back as the same double.
std::string number_text(double v) {
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9007199254740992.0)
        return std::to_string(static_cast<long long>(v));
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string text(buf, ec == std::errc() ? end : buf);
    for (char& c : text)
        if (c == 'e') c = 'E';  // as Excel writes exponents
    return text;
}

long days_from_civil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

bool take_digits(std::string_view& text, std::size_t n, int& out) {
    if (text.size() < n) return false;
    out = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    text.remove_prefix(n);
    return true;
}

bool take_char(std::string_view& text, char c) {
    if (text.empty() || text[0] != c) return false;
    text.remove_prefix(1);
    return true;
}

class xls_sheet final : public sheet_source {
public:
    xls_sheet(freexl_ptr handle, const std::string& file, unsigned int rows, unsigned short columns)
        : handle_(std::move(handle)), file_(file), rows_(rows), columns_(columns) {}

    result<bool> next(sheet_row& row) override {
        if (fault_) return *fault_;
        while (next_row_ < rows_) {
            const unsigned int r = next_row_++;
            row = sheet_row{};
            row.number = static_cast<long>(r) + 1;
            for (unsigned int c = 0; c < columns_; ++c) {
                FreeXL_CellValue v;
                if (int rc =
                        freexl_get_cell_value(handle_.get(), r, static_cast<unsigned short>(c), &v);
                    rc != FREEXL_OK) {
                    fault_ = status::error(file_ + " 已损坏：第 " + std::to_string(row.number) +
                                           " 行 " + column_letters(static_cast<int>(c)) +
                                           " 列读不出来（FreeXL 错误 " + std::to_string(rc) + "）");
                    return *fault_;
                }
                sheet_cell cell = cell_of(v);
                if (cell.kind == cell_kind::empty || cell.text.empty()) continue;
                if (const std::size_t n = cell_characters(cell.text); n > k_max_cell_characters) {
                    fault_ = cell_too_long(file_, row.number, static_cast<int>(c), n);
                    return *fault_;
                }
                row.cells.resize(c + 1);
                row.cells[c] = std::move(cell);
            }
            if (!row.cells.empty()) return true;
        }
        return false;
    }

    std::string description() const override { return "XLS"; }

private:
    static sheet_cell cell_of(const FreeXL_CellValue& v) {
        switch (v.type) {
            case FREEXL_CELL_INT:
                return {cell_kind::number, std::to_string(v.value.int_value)};
            case FREEXL_CELL_DOUBLE:
                return {cell_kind::number, number_text(v.value.double_value)};
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                return {cell_kind::text, v.value.text_value ? v.value.text_value : ""};
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME: {
                const std::string shown = v.value.text_value ? v.value.text_value : "";
                // A date text that is not one is kept as it came, as text.
                if (auto serial = excel_serial_text(shown)) return {cell_kind::date, *serial};
                return {cell_kind::text, shown};
            }
            default:
                return {};
        }
    }

    freexl_ptr handle_;
    const std::string file_;
    const unsigned int rows_;
    const unsigned short columns_;
    unsigned int next_row_ = 0;
    std::optional<status> fault_;
};

}  // namespace

status password_protected(const std::string& file) {
    return status::error(
        file + " 设置了打开密码，不能直接导入：请在 Excel 或 WPS 中打开它，去掉密码另存后再导入");
}

std::optional<std::string> excel_serial_text(std::string_view text) {
    std::optional<long> days;
    if (text.size() >= 10 && text[4] == '-') {
        int y = 0, m = 0, d = 0;
        if (!take_digits(text, 4, y) || !take_char(text, '-') || !take_digits(text, 2, m) ||
            !take_char(text, '-') || !take_digits(text, 2, d))
            return std::nullopt;
        static constexpr int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (m < 1 || m > 12 || d < 1 || d > month_days[m - 1] || (m == 2 && d == 29 && !leap))
            return std::nullopt;
        // Excel counts a 29 February 1900 that never was: from 1 March 1900
        // on, its day numbers run one ahead of the calendar's.
        const long day = days_from_civil(y, m, d);
        days = day - days_from_civil(1899, 12, day >= days_from_civil(1900, 3, 1) ? 30 : 31);
        if (text.empty()) return std::to_string(*days);
        if (!take_char(text, ' ')) return std::nullopt;
    }
    int h = 0, min = 0, s = 0;
    if (!take_digits(text, 2, h) || !take_char(text, ':') || !take_digits(text, 2, min) ||
        !take_char(text, ':') || !take_digits(text, 2, s) || !text.empty() || h > 23 || min > 59 ||
        s > 59)
        return std::nullopt;
    return number_text(static_cast<double>(days.value_or(0)) + (h * 3600 + min * 60 + s) / 86400.0);
}

result<std::vector<std::string>> xls_sheet_names(const std::string& path, const std::string& file) {
    auto handle = open_workbook(path, file, false);
    if (!handle) return status::error(handle.message());
    return names_in(handle->get(), file);
}

result<std::unique_ptr<sheet_source>> open_xls_sheet(const std::string& path,
                                                     const std::string& file,
                                                     const std::string& sheet) {
    auto handle = open_workbook(path, file, true);
    if (!handle) return status::error(handle.message());
    auto names = names_in(handle->get(), file);
    if (!names) return status::error(names.message());
    std::size_t index = 0;
    if (!sheet.empty())
        while (index < names->size() && (*names)[index] != sheet) ++index;
    if (index == names->size()) return no_such_sheet(file, sheet, *names);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (int rc = freexl_select_active_worksheet(handle->get(), static_cast<unsigned short>(index));
        rc != FREEXL_OK)
        return open_fault(file, rc);
    if (int rc = freexl_worksheet_dimensions(handle->get(), &rows, &columns); rc != FREEXL_OK)
        return open_fault(file, rc);
    return std::unique_ptr<sheet_source>(
        std::make_unique<xls_sheet>(handle.take(), file, rows, columns));
}

}  // namespace officerecords
