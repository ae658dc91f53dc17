// The module's one entry: the XLSX writer, over libxlsxwriter.
#include <xlsxwriter.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "storage/file_access.h"
#include "storage/xlsx_writer.h"

namespace officerecords {

namespace {

// `err` is errno after the library failed: for a failure of the file it
// says why (a full disk), which the library's own code does not.
std::string xlsx_error_text(lxw_error e, int err) {
    std::string why;
    switch (e) {
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            why = "内存不足";
            break;
        case LXW_ERROR_CREATING_XLSX_FILE:
        case LXW_ERROR_CREATING_TMPFILE:
        case LXW_ERROR_READING_TMPFILE:
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
            why = err != 0 ? file_error_text(err) : "写入文件时出错";
            break;
        default:
            why = "生成表格时出错";
            break;
    }
    return why + "（" + lxw_strerror(e) + "）";
}

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Whether the sheet in the finished file ends as a sheet ends. The library
// does not check its writes to its temporary files: a disk that fills up
// (or a file size limit) while the rows go out leaves the sheet cut short
// in a file it reports written. The sheet is read back through, a buffer
// at a time, and its last bytes must close it.
bool sheet_is_whole(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    struct closer {
        std::FILE* f;
        ~closer() { std::fclose(f); }
    } close_it{f};
    // The end of the central directory, in the last 22 bytes (no comment).
    unsigned char end[22];
    if (std::fseek(f, -22, SEEK_END) != 0 || std::fread(end, 1, 22, f) != 22 || le32(end) != 0x06054b50)
        return false;
    const std::uint16_t entries = le16(end + 10);
    if (std::fseek(f, static_cast<long>(le32(end + 16)), SEEK_SET) != 0) return false;
    const std::string wanted = "xl/worksheets/sheet1.xml";
    long local = -1;
    std::uint32_t packed = 0;
    for (std::uint16_t i = 0; i < entries && local < 0; ++i) {
        unsigned char entry[46];
        if (std::fread(entry, 1, 46, f) != 46 || le32(entry) != 0x02014b50) return false;
        const std::uint16_t name_length = le16(entry + 28), rest = le16(entry + 30) + le16(entry + 32);
        std::string name(name_length, '\0');
        if (std::fread(name.data(), 1, name_length, f) != name_length || std::fseek(f, rest, SEEK_CUR) != 0)
            return false;
        if (name == wanted && le16(entry + 10) == Z_DEFLATED) {
            local = static_cast<long>(le32(entry + 42));
            packed = le32(entry + 20);
        }
    }
    unsigned char header[30];
    if (local < 0 || std::fseek(f, local, SEEK_SET) != 0 || std::fread(header, 1, 30, f) != 30 ||
        std::fseek(f, le16(header + 26) + le16(header + 28), SEEK_CUR) != 0)
        return false;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    std::vector<unsigned char> in(1 << 16), out(1 << 16);
    std::string tail;
    int rc = Z_OK;
    while (rc == Z_OK && packed > 0) {
        const std::size_t got = std::fread(in.data(), 1, std::min<std::size_t>(in.size(), packed), f);
        if (got == 0) break;
        packed -= static_cast<std::uint32_t>(got);
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(got);
        while (rc == Z_OK && z.avail_in > 0) {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            const std::size_t made = out.size() - z.avail_out;
            tail.append(reinterpret_cast<const char*>(out.data()), made);
            if (tail.size() > 64) tail.erase(0, tail.size() - 64);
        }
    }
    inflateEnd(&z);
    while (!tail.empty() && std::strchr(" \r\n", tail.back())) tail.pop_back();
    return rc == Z_STREAM_END && tail.ends_with("</worksheet>");
}

class book_sheet final : public xlsx_sheet {
public:
    book_sheet(lxw_workbook* book, lxw_worksheet* sheet, std::string file, std::unique_ptr<std::string> tmpdir)
        : book_(book), sheet_(sheet), file_(std::move(file)), tmpdir_(std::move(tmpdir)) {}
    ~book_sheet() override {
        if (book_) lxw_workbook_free(book_);
    }

    void text(std::uint32_t row, std::uint16_t col, const std::string& s, const cell_look* look) override {
        keep(worksheet_write_string(sheet_, row, col, s.c_str(), format(look)));
    }
    void number(std::uint32_t row, std::uint16_t col, double n, const cell_look* look) override {
        keep(worksheet_write_number(sheet_, row, col, n, format(look)));
    }
    void day(std::uint32_t row, std::uint16_t col, date d, const cell_look* look) override {
        lxw_datetime when{d.year(), d.month(), d.day(), 0, 0, 0};
        keep(worksheet_write_datetime(sheet_, row, col, &when, format(look)));
    }
    void column_width(std::uint16_t col, double width) override {
        keep(worksheet_set_column(sheet_, col, col, width, nullptr));
    }
    void freeze_above(std::uint32_t row) override {
        worksheet_freeze_panes(sheet_, row, 0);
        if (row > 0) keep(worksheet_repeat_rows(sheet_, row - 1, row - 1));
    }
    void document_title(const std::string& title) override {
        title_ = title;
        lxw_doc_properties properties{};
        properties.title = title_.data();
        keep(workbook_set_properties(book_, &properties));
    }
    void print_a4(bool landscape) override {
        constexpr std::uint8_t a4 = 9;
        worksheet_set_paper(sheet_, a4);
        if (!landscape) return;
        worksheet_set_landscape(sheet_);
        worksheet_fit_to_pages(sheet_, 1, 0);
    }
    status close() override {
        errno = 0;
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;
        const lxw_error e = error_ != LXW_NO_ERROR ? error_ : closed;
        if (e != LXW_NO_ERROR) return status::error(xlsx_error_text(e, errno));
        if (!sheet_is_whole(file_)) return status::error("表格没有完整地写入文件，磁盘空间可能不足");
        return status::ok();
    }

private:
    lxw_format* format(const cell_look* look) {
        if (!look) return nullptr;
        // A sheet has a handful of looks, asked for cell after cell: they
        // are compared as they are before a key is made.
        for (const auto& [seen, f] : seen_)
            if (look->number_format == seen.number_format && look->bold == seen.bold && look->size == seen.size &&
                look->wrap == seen.wrap)
                return f;
        lxw_format* f = keyed_format(look);
        if (seen_.size() < 16) seen_.emplace_back(*look, f);
        return f;
    }
    lxw_format* keyed_format(const cell_look* look) {
        const std::string key = look->number_format + "|" + std::to_string(look->bold) + "|" +
                                std::to_string(look->size) + "|" + std::to_string(look->wrap);
        auto it = formats_.find(key);
        if (it != formats_.end()) return it->second;
        lxw_format* f = workbook_add_format(book_);
        if (!look->number_format.empty()) format_set_num_format(f, look->number_format.c_str());
        if (look->bold) format_set_bold(f);
        if (look->size > 0) format_set_font_size(f, look->size);
        if (look->wrap) format_set_text_wrap(f);
        formats_.emplace(key, f);
        return f;
    }
    void keep(lxw_error e) {
        if (error_ == LXW_NO_ERROR) error_ = e;
    }

    lxw_workbook* book_;
    lxw_worksheet* sheet_;
    std::string file_;
    std::unique_ptr<std::string> tmpdir_;
    std::map<std::string, lxw_format*> formats_;
    std::vector<std::pair<cell_look, lxw_format*>> seen_;
    std::string title_;
    lxw_error error_ = LXW_NO_ERROR;

public:
    void chart(std::uint32_t row, std::uint16_t col, const xlsx_chart& c) override;
};

class libxlsxwriter_writer final : public xlsx_writer {
public:
    result<std::unique_ptr<xlsx_sheet>> create(const std::string& file, const std::string& sheet_name,
                                               xlsx_rows rows) const override {
        lxw_workbook_options options{};
        options.constant_memory = rows == xlsx_rows::in_order ? LXW_TRUE : LXW_FALSE;
        // The finished rows wait in a temporary file beside the target, on
        // the disk that takes the file anyway, not in a /tmp that may be
        // small or in memory.
        // The book keeps the folder's name until it is closed.
        auto folder = std::make_unique<std::string>(containing_folder(file));
        options.tmpdir = folder->data();
        lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
        if (!book) return status::error(xlsx_error_text(LXW_ERROR_MEMORY_MALLOC_FAILED, 0));
        lxw_worksheet* sheet = workbook_add_worksheet(book, sheet_name.c_str());
        if (!sheet) {
            lxw_workbook_free(book);
            return status::error(xlsx_error_text(LXW_ERROR_MEMORY_MALLOC_FAILED, 0));
        }
        return std::unique_ptr<xlsx_sheet>(std::make_unique<book_sheet>(book, sheet, file, std::move(folder)));
    }
};

}  // namespace

namespace {

void book_sheet::chart(std::uint32_t row, std::uint16_t col, const xlsx_chart& c) {
    if (error_ != LXW_NO_ERROR) return;
    const std::uint8_t type = c.kind == xlsx_chart_kind::lines             ? LXW_CHART_LINE
                              : c.kind == xlsx_chart_kind::stacked_columns ? LXW_CHART_COLUMN_STACKED
                                                                           : LXW_CHART_COLUMN;
    lxw_chart* chart = workbook_add_chart(book_, type);
    if (!chart) {
        keep(LXW_ERROR_MEMORY_MALLOC_FAILED);
        return;
    }
    chart_title_set_name(chart, c.title.c_str());
    // The series refer to the sheet's own cells, so the chart follows them.
    const char* sheet = sheet_->name;
    for (const xlsx_chart::series& s : c.values) {
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        if (!series) {
            keep(LXW_ERROR_MEMORY_MALLOC_FAILED);
            return;
        }
        chart_series_set_categories(series, sheet, c.first_row, c.category_col, c.last_row, c.category_col);
        chart_series_set_values(series, sheet, c.first_row, s.col, c.last_row, s.col);
        chart_series_set_name(series, s.name.c_str());
    }
    keep(worksheet_insert_chart(sheet_, row, col, chart));
}

}  // namespace

}  // namespace officerecords

extern "C" __attribute__((visibility("default"))) void* officerecords_module_xlsx() {
    static officerecords::libxlsxwriter_writer writer;
    return static_cast<officerecords::xlsx_writer*>(&writer);
}
