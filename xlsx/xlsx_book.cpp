// The module's one entry: the XLSX writer, over libxlsxwriter.
#include <xlsxwriter.h>

#include <cerrno>
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

class book_sheet final : public xlsx_sheet {
public:
    book_sheet(lxw_workbook* book, lxw_worksheet* sheet, std::unique_ptr<std::string> tmpdir)
        : book_(book), sheet_(sheet), tmpdir_(std::move(tmpdir)) {}
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
        return e == LXW_NO_ERROR ? status::ok() : status::error(xlsx_error_text(e, errno));
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
    std::unique_ptr<std::string> tmpdir_;
    std::map<std::string, lxw_format*> formats_;
    std::vector<std::pair<cell_look, lxw_format*>> seen_;
    std::string title_;
    lxw_error error_ = LXW_NO_ERROR;
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
        return std::unique_ptr<xlsx_sheet>(std::make_unique<book_sheet>(book, sheet, std::move(folder)));
    }
};

}  // namespace

}  // namespace officerecords

extern "C" __attribute__((visibility("default"))) void* officerecords_module_xlsx() {
    static officerecords::libxlsxwriter_writer writer;
    return static_cast<officerecords::xlsx_writer*>(&writer);
}
