// The XLSX writer's library, loaded by the first export rather than when a
// program starts: with the zip and crypto libraries it pulls in, it cost a
// millisecond of every start, and most runs never export. Without it an
// export fails with the library's absence as its reason.
#include <xlsxwriter.h>

#include <string>

#include "platform/lazy_library.h"

namespace {

officerecords::lazy_library& xlsxwriter() {
    static officerecords::lazy_library library("libxlsxwriter.so.4");
    return library;
}

}  // namespace

#define FORWARD(ret, name, params, args, fallback) \
    OFFICERECORDS_FORWARD(xlsxwriter, ret, name, params, args, fallback)

FORWARD(lxw_workbook*, workbook_new, (const char* filename), (filename), nullptr)
FORWARD(lxw_worksheet*, workbook_add_worksheet, (lxw_workbook * book, const char* name), (book, name), nullptr)
FORWARD(lxw_format*, workbook_add_format, (lxw_workbook * book), (book), nullptr)
FORWARD(lxw_error, workbook_set_properties, (lxw_workbook * book, lxw_doc_properties* properties),
        (book, properties), LXW_ERROR_MEMORY_MALLOC_FAILED)
FORWARD(lxw_error, workbook_close, (lxw_workbook * book), (book), LXW_ERROR_CREATING_XLSX_FILE)
FORWARD(void, lxw_workbook_free, (lxw_workbook * book), (book), void())
FORWARD(void, format_set_bold, (lxw_format * format), (format), void())
FORWARD(void, format_set_font_size, (lxw_format * format, double size), (format, size), void())
FORWARD(void, format_set_num_format, (lxw_format * format, const char* num_format), (format, num_format), void())
FORWARD(void, format_set_text_wrap, (lxw_format * format), (format), void())
FORWARD(void, worksheet_freeze_panes, (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col), (sheet, row, col),
        void())
FORWARD(lxw_error, worksheet_repeat_rows, (lxw_worksheet * sheet, lxw_row_t first, lxw_row_t last),
        (sheet, first, last), LXW_ERROR_MEMORY_MALLOC_FAILED)
FORWARD(lxw_error, worksheet_set_column,
        (lxw_worksheet * sheet, lxw_col_t first, lxw_col_t last, double width, lxw_format* format),
        (sheet, first, last, width, format), LXW_ERROR_MEMORY_MALLOC_FAILED)
FORWARD(lxw_error, worksheet_write_datetime,
        (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, lxw_datetime* when, lxw_format* format),
        (sheet, row, col, when, format), LXW_ERROR_MEMORY_MALLOC_FAILED)
FORWARD(lxw_error, worksheet_write_number,
        (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, double number, lxw_format* format),
        (sheet, row, col, number, format), LXW_ERROR_MEMORY_MALLOC_FAILED)
FORWARD(lxw_error, worksheet_write_string,
        (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, const char* text, lxw_format* format),
        (sheet, row, col, text, format), LXW_ERROR_MEMORY_MALLOC_FAILED)

// The reason an export failed names the missing library when it is one.
extern "C" char* lxw_strerror(lxw_error error) {
    using fn = char* (*)(lxw_error);
    static const fn f = reinterpret_cast<fn>(xlsxwriter().symbol("lxw_strerror"));
    if (f) return f(error);
    static std::string missing = "没有找到 XLSX 写入库 libxlsxwriter（" + xlsxwriter().error() + "）";
    return missing.data();
}
