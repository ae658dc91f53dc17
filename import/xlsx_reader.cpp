#include "import/xlsx_reader.h"

#include <expat.h>
#include <zip.h>

#include <charconv>
#include <deque>
#include <map>
#include <optional>

namespace officerecords {

namespace {

// How much of a part is read and parsed at a time.
constexpr std::size_t k_chunk_bytes = 64 * 1024;
// The shared strings are held whole. A zip entry can inflate a thousand
// times, so a file within the size limit may still hold more text than any
// clerk typed: past this it is refused rather than filling the memory.
constexpr std::size_t k_max_shared_text_bytes = 256u * 1024 * 1024;
// Excel's last column, XFD.
constexpr int k_max_columns = 16384;
// Days from 1900-01-01 to 1904-01-01 in Excel's count (it has a 29 Feb 1900).
constexpr double k_days_1900_to_1904 = 1462;

struct zip_discarder {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using zip_ptr = std::unique_ptr<zip_t, zip_discarder>;
struct zip_file_closer {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using zip_file_ptr = std::unique_ptr<zip_file_t, zip_file_closer>;
struct parser_freer {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};
using parser_ptr = std::unique_ptr<XML_ParserStruct, parser_freer>;

std::string zip_message(int code) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string m = zip_error_strerror(&e);
    zip_error_fini(&e);
    return m;
}

std::string damaged(const std::string& file, const std::string& what) {
    return file + " 已损坏，不是完好的 XLSX 文件：" + what;
}

// The parser is namespace-aware ("uri|name"), so that prefixed and
// unprefixed documents read alike: elements are matched by local name.
std::string_view local_name(const XML_Char* name) {
    std::string_view n(name);
    const auto bar = n.rfind('|');
    return bar == std::string_view::npos ? n : n.substr(bar + 1);
}

const char* attribute(const XML_Char** atts, std::string_view local) {
    for (; *atts; atts += 2)
        if (local_name(atts[0]) == local) return atts[1];
    return nullptr;
}

template <typename T>
std::optional<T> number_of(std::string_view text) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// One part's handlers and the fault, if any, that stopped its parse.
class xml_reader {
public:
    virtual ~xml_reader() = default;
    virtual void start(std::string_view name, const XML_Char** atts) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(std::string_view) {}

    void fail(status s) {
        if (!fault) fault = std::move(s);
        XML_StopParser(parser, XML_FALSE);
    }
    std::optional<status> fault;
    XML_Parser parser = nullptr;
};

// A zip entry fed to expat a chunk at a time.
class part_stream {
public:
    status open(zip_t* zip, const std::string& part, xml_reader& reader, const std::string& file) {
        part_ = part;
        file_name_ = file;
        reader_ = &reader;
        if (zip_name_locate(zip, part.c_str(), ZIP_FL_NOCASE) < 0)
            return status::error(file + " 缺少 " + part + "，不是完好的 XLSX 文件");
        entry_.reset(zip_fopen(zip, part.c_str(), ZIP_FL_NOCASE));
        if (!entry_)
            return status::error(damaged(
                file, "读不出 " + part + "（" + zip_error_strerror(zip_get_error(zip)) + "）"));
        parser_.reset(XML_ParserCreateNS(nullptr, '|'));
        if (!parser_) return status::error("读 " + file + " 时内存不够");
        reader.parser = parser_.get();
        XML_SetUserData(parser_.get(), &reader);
        XML_SetElementHandler(
            parser_.get(),
            [](void* r, const XML_Char* name, const XML_Char** atts) {
                auto* reader = static_cast<xml_reader*>(r);
                if (!reader->fault) reader->start(local_name(name), atts);
            },
            [](void* r, const XML_Char* name) {
                auto* reader = static_cast<xml_reader*>(r);
                if (!reader->fault) reader->end(local_name(name));
            });
        XML_SetCharacterDataHandler(parser_.get(), [](void* r, const XML_Char* s, int len) {
            auto* reader = static_cast<xml_reader*>(r);
            if (!reader->fault) reader->text(std::string_view(s, static_cast<std::size_t>(len)));
        });
        buffer_.resize(k_chunk_bytes);
        return status::ok();
    }

    // Parses the next chunk; false once the whole part is parsed.
    result<bool> step() {
        const zip_int64_t n = zip_fread(entry_.get(), buffer_.data(), buffer_.size());
        if (n < 0)
            return status::error(damaged(
                file_name_, "读 " + part_ + " 时出错（" +
                                zip_error_strerror(zip_file_get_error(entry_.get())) + "）"));
        const bool last = n == 0;
        if (XML_Parse(parser_.get(), buffer_.data(), static_cast<int>(n), last) != XML_STATUS_OK) {
            if (reader_->fault) return *reader_->fault;
            return status::error(damaged(
                file_name_,
                part_ + " 第 " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) +
                    " 行的 XML 有误（" + XML_ErrorString(XML_GetErrorCode(parser_.get())) + "）"));
        }
        if (reader_->fault) return *reader_->fault;
        return !last;
    }

private:
    std::string part_;
    std::string file_name_;
    xml_reader* reader_ = nullptr;
    zip_file_ptr entry_;
    parser_ptr parser_;
    std::vector<char> buffer_;
};

status parse_part(zip_t* zip, const std::string& part, xml_reader& reader,
                  const std::string& file) {
    part_stream stream;
    if (status s = stream.open(zip, part, reader, file); !s) return s;
    for (;;) {
        auto more = stream.step();
        if (!more) return status::error(more.message());
        if (!*more) return status::ok();
    }
}

// "worksheets/sheet1.xml" beside xl/workbook.xml, or "/xl/worksheets/sheet1.xml".
std::string part_path(std::string_view folder, std::string_view target) {
    const std::string joined =
        target.starts_with('/') ? std::string(target) : std::string(folder) + std::string(target);
    std::vector<std::string_view> steps;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view step = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (step.empty() || step == ".") continue;
        if (step == "..") {
            if (!steps.empty()) steps.pop_back();
            continue;
        }
        steps.push_back(step);
    }
    std::string path;
    for (const auto step : steps) {
        if (!path.empty()) path += '/';
        path += step;
    }
    return path;
}

struct relationship {
    std::string type;
    std::string target;
};

class relationships_reader final : public xml_reader {
public:
    std::map<std::string, relationship> by_id;

    void start(std::string_view name, const XML_Char** atts) override {
        if (name != "Relationship") return;
        const char* id = attribute(atts, "Id");
        const char* type = attribute(atts, "Type");
        const char* target = attribute(atts, "Target");
        const char* mode = attribute(atts, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            by_id[id] = {type, target};
    }
    void end(std::string_view) override {}
};

class workbook_reader final : public xml_reader {
public:
    std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
    bool date1904 = false;

    void start(std::string_view name, const XML_Char** atts) override {
        if (name == "workbookPr") {
            const char* d = attribute(atts, "date1904");
            date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
        } else if (name == "sheet") {
            const char* sheet_name = attribute(atts, "name");
            const char* id = attribute(atts, "id");  // r:id
            if (sheet_name && id) sheets.emplace_back(sheet_name, id);
        }
    }
    void end(std::string_view) override {}
};

class shared_strings_reader final : public xml_reader {
public:
    explicit shared_strings_reader(const std::string& file) : file_(file) {}
    std::vector<std::string> strings;

    void start(std::string_view name, const XML_Char**) override {
        if (name == "si") {
            in_item_ = true;
            current_.clear();
        } else if (name == "rPh") {
            ++phonetic_;  // the reading aid above the text, not the text
        } else if (name == "t") {
            in_text_ = in_item_ && phonetic_ == 0;
        }
    }
    void end(std::string_view name) override {
        if (name == "t") {
            in_text_ = false;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "si") {
            in_item_ = false;
            held_ += current_.size();
            strings.push_back(std::move(current_));
            current_.clear();
        }
    }
    void text(std::string_view s) override {
        if (!in_text_) return;
        if (held_ + current_.size() + s.size() > k_max_shared_text_bytes)
            return fail(status::error(file_ + " 中的文字超过 " +
                                      std::to_string(k_max_shared_text_bytes >> 20) +
                                      " MB，不像是一份登记表，不能导入"));
        current_.append(s);
    }

private:
    const std::string& file_;
    std::string current_;
    std::size_t held_ = 0;
    bool in_item_ = false;
    bool in_text_ = false;
    int phonetic_ = 0;
};

class styles_reader final : public xml_reader {
public:
    std::map<int, std::string> codes;  // custom number formats by id
    std::vector<int> cell_formats;     // number format id of each cell style

    void start(std::string_view name, const XML_Char** atts) override {
        if (name == "numFmts") {
            in_formats_ = true;
        } else if (name == "cellXfs") {
            in_cell_styles_ = true;
        } else if (name == "numFmt" && in_formats_) {
            const char* id = attribute(atts, "numFmtId");
            const char* code = attribute(atts, "formatCode");
            if (id && code)
                if (auto n = number_of<int>(id)) codes[*n] = code;
        } else if (name == "xf" && in_cell_styles_) {
            const char* id = attribute(atts, "numFmtId");
            cell_formats.push_back(id ? number_of<int>(id).value_or(0) : 0);
        }
    }
    void end(std::string_view name) override {
        if (name == "numFmts") in_formats_ = false;
        if (name == "cellXfs") in_cell_styles_ = false;
    }

    std::vector<bool> date_styles() const {
        std::vector<bool> dates;
        for (int id : cell_formats) {
            const auto code = codes.find(id);
            dates.push_back(
                is_date_number_format(id, code == codes.end() ? std::string_view() : code->second));
        }
        return dates;
    }

private:
    bool in_formats_ = false;
    bool in_cell_styles_ = false;
};

// A cell's text as it arrives, counted in characters; past the limit only
// counted, so that an overlong cell is reported with its length without
// being held.
struct counted_text {
    std::string text;
    std::size_t characters = 0;
    bool present = false;

    void clear() {
        text.clear();
        characters = 0;
        present = false;
    }
    void append(std::string_view s) {
        characters += cell_characters(s);
        if (characters <= k_max_cell_characters) text.append(s);
    }
};

// "C7" → column 2; nullopt for no letters or past XFD.
std::optional<int> column_of(std::string_view reference) {
    int column = 0;
    std::size_t i = 0;
    for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
        column = column * 26 + (reference[i] - 'A' + 1);
        if (column > k_max_columns) return std::nullopt;
    }
    if (i == 0) return std::nullopt;
    return column - 1;
}

// The stored number shifted from the 1904 date system to the 1900 one.
std::string serial_in_1900_system(const std::string& serial) {
    const auto v = number_of<double>(serial);
    if (!v) return serial;
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *v + k_days_1900_to_1904);
    return ec == std::errc() ? std::string(buf, end) : serial;
}

class sheet_reader final : public xml_reader {
public:
    sheet_reader(const std::string& file, std::vector<std::string> shared,
                 std::vector<bool> date_styles, bool date1904)
        : file_(file),
          shared_(std::move(shared)),
          date_styles_(std::move(date_styles)),
          date1904_(date1904) {}

    std::deque<sheet_row> rows;  // completed, not yet handed out

    void start(std::string_view name, const XML_Char** atts) override {
        if (name == "sheetData") {
            in_data_ = true;
        } else if (!in_data_) {
            return;
        } else if (name == "row") {
            start_row(attribute(atts, "r"));
        } else if (name == "c" && in_row_) {
            start_cell(atts);
        } else if (!in_cell_) {
            return;
        } else if (name == "v") {
            reading_ = &value_;
            value_.present = true;
        } else if (name == "f") {
            reading_ = &formula_;
            formula_.present = true;
        } else if (name == "is") {
            inline_.present = true;
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t" && inline_.present && phonetic_ == 0) {
            reading_ = &inline_;
        }
    }

    void end(std::string_view name) override {
        if (name == "sheetData") {
            in_data_ = false;
        } else if (!in_data_) {
            return;
        } else if (name == "row" && in_row_) {
            in_row_ = false;
            if (!row_.cells.empty()) rows.push_back(std::move(row_));
        } else if (name == "c" && in_cell_) {
            in_cell_ = false;
            end_cell();
        } else if (name == "v" || name == "f" || name == "t") {
            reading_ = nullptr;
        } else if (name == "rPh") {
            --phonetic_;
        }
    }

    void text(std::string_view s) override {
        if (reading_) reading_->append(s);
    }

private:
    void start_row(const char* r) {
        long number = row_number_ + 1;
        if (r) {
            const auto given = number_of<long>(r);
            if (!given || *given < 1)
                return fail(status::error(damaged(
                    file_, "第 " + std::to_string(row_number_) + " 行之后的行号“" + r + "”无效")));
            number = *given;
        }
        row_number_ = number;
        row_ = sheet_row{};
        row_.number = number;
        column_ = -1;
        in_row_ = true;
    }

    void start_cell(const XML_Char** atts) {
        int column = column_ + 1;
        if (const char* r = attribute(atts, "r")) {
            const auto given = column_of(r);
            if (!given)
                return fail(status::error(damaged(file_, "第 " + std::to_string(row_number_) +
                                                             " 行的单元格位置“" + r + "”无效")));
            column = *given;
        }
        if (column >= k_max_columns)
            return fail(status::error(
                damaged(file_, "第 " + std::to_string(row_number_) + " 行的单元格超出了 XFD 列")));
        column_ = column;
        const char* t = attribute(atts, "t");
        type_ = t ? t : "";
        const char* s = attribute(atts, "s");
        style_ = s ? number_of<int>(s).value_or(-1) : 0;
        value_.clear();
        formula_.clear();
        inline_.clear();
        phonetic_ = 0;
        reading_ = nullptr;
        in_cell_ = true;
    }

    void end_cell() {
        sheet_cell cell;
        const counted_text* content = &value_;
        std::size_t characters = 0;
        if (type_ == "inlineStr") {
            cell.kind = cell_kind::text;
            content = &inline_;
        } else if (!value_.present) {
            // A formula never calculated (as generators write them) has no
            // value to import: it is reported, never read as empty.
            if (!formula_.present) return;
            cell.kind = cell_kind::no_value;
            content = &formula_;
        } else if (type_ == "s") {
            const auto index = number_of<std::size_t>(value_.text);
            if (!index || *index >= shared_.size())
                return fail(status::error(damaged(
                    file_, "第 " + std::to_string(row_number_) + " 行 " + column_letters(column_) +
                               " 列引用了不存在的共享文字“" + value_.text + "”")));
            cell.kind = cell_kind::text;
            cell.text = shared_[*index];
            characters = cell_characters(cell.text);
            content = nullptr;
        } else if (type_ == "b") {
            cell.kind = cell_kind::boolean;
        } else if (type_ == "e") {
            cell.kind = cell_kind::error;
        } else if (type_.empty() || type_ == "n") {
            const bool date = style_ >= 0 &&
                              static_cast<std::size_t>(style_) < date_styles_.size() &&
                              date_styles_[style_];
            cell.kind = date ? cell_kind::date : cell_kind::number;
        } else {
            cell.kind = cell_kind::text;  // "str", a formula's text, and ISO dates ("d")
        }
        if (content) {
            cell.text = content->text;
            characters = content->characters;
        }
        if (characters > k_max_cell_characters)
            return fail(cell_too_long(file_, row_number_, column_, characters));
        if (cell.text.empty() && cell.kind != cell_kind::no_value) return;
        if (cell.kind == cell_kind::date && date1904_) cell.text = serial_in_1900_system(cell.text);
        if (row_.cells.size() <= static_cast<std::size_t>(column_)) row_.cells.resize(column_ + 1);
        row_.cells[column_] = std::move(cell);
    }

    const std::string& file_;
    const std::vector<std::string> shared_;
    const std::vector<bool> date_styles_;
    const bool date1904_;

    bool in_data_ = false;
    bool in_row_ = false;
    long row_number_ = 0;  // the last row begun
    int column_ = -1;      // the last cell begun
    sheet_row row_;

    bool in_cell_ = false;
    std::string type_;
    int style_ = 0;
    counted_text value_;
    counted_text formula_;
    counted_text inline_;
    counted_text* reading_ = nullptr;
    int phonetic_ = 0;
};

bool ends_with_type(const std::string& type, std::string_view what) {
    return type.size() > what.size() && type.ends_with(what) &&
           type[type.size() - what.size() - 1] == '/';
}

// The workbook's parts: its sheets in order, where they are, and the
// shared strings' and styles' parts ("" when the workbook has none).
struct workbook_parts {
    zip_ptr zip;
    std::vector<std::pair<std::string, std::string>> sheets;  // name, part
    bool date1904 = false;
    std::string shared_strings;
    std::string styles;
};

result<workbook_parts> open_workbook(const std::string& path, const std::string& file) {
    workbook_parts book;
    int code = 0;
    book.zip.reset(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!book.zip)
        return status::error(file + " 不是完好的 XLSX 文件，可能已损坏或没有保存完整（" +
                             zip_message(code) + "）");
    relationships_reader rels;
    if (status s = parse_part(book.zip.get(), "xl/_rels/workbook.xml.rels", rels, file); !s)
        return s;
    workbook_reader workbook;
    if (status s = parse_part(book.zip.get(), "xl/workbook.xml", workbook, file); !s) return s;
    book.date1904 = workbook.date1904;
    for (const auto& [id, rel] : rels.by_id) {
        if (ends_with_type(rel.type, "sharedStrings"))
            book.shared_strings = part_path("xl/", rel.target);
        if (ends_with_type(rel.type, "styles")) book.styles = part_path("xl/", rel.target);
    }
    for (const auto& [name, id] : workbook.sheets) {
        const auto rel = rels.by_id.find(id);
        if (rel == rels.by_id.end())
            return status::error(damaged(file, "找不到工作表“" + name + "”的位置（" + id + "）"));
        // Chart sheets and macro sheets hold no rows.
        if (ends_with_type(rel->second.type, "worksheet"))
            book.sheets.emplace_back(name, part_path("xl/", rel->second.target));
    }
    if (book.sheets.empty()) return status::error(file + " 中没有工作表");
    return book;
}

class xlsx_sheet final : public sheet_source {
public:
    xlsx_sheet(zip_ptr zip, const std::string& file, std::vector<std::string> shared,
               std::vector<bool> date_styles, bool date1904)
        : zip_(std::move(zip)),
          file_(file),
          reader_(file_, std::move(shared), std::move(date_styles), date1904) {}

    status open(const std::string& part) { return stream_.open(zip_.get(), part, reader_, file_); }

    result<bool> next(sheet_row& row) override {
        for (;;) {
            // Rows completed before a fault are still handed out; none after.
            if (!reader_.rows.empty()) {
                row = std::move(reader_.rows.front());
                reader_.rows.pop_front();
                return true;
            }
            if (fault_) return *fault_;
            if (ended_) return false;
            auto more = stream_.step();
            if (!more)
                fault_ = status::error(more.message());
            else if (!*more)
                ended_ = true;
        }
    }

    std::string description() const override { return "XLSX"; }

private:
    // The stream reads from the archive: declared after it, it goes first.
    zip_ptr zip_;
    const std::string file_;
    sheet_reader reader_;
    part_stream stream_;
    std::optional<status> fault_;
    bool ended_ = false;
};

}  // namespace

bool is_date_number_format(int id, std::string_view code) {
    if (code.empty())
        return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
               (id >= 50 && id <= 58);
    for (std::size_t i = 0; i < code.size(); ++i) {
        switch (code[i]) {
            case '"':  // literal text
                i = code.find('"', i + 1);
                if (i == std::string_view::npos) return false;
                break;
            case '\\':  // an escaped character, and the characters _ pads with and * repeats
            case '_':
            case '*':
                ++i;
                break;
            case '[': {
                // [Red], [$-804], [DBNum1], [>=100] say nothing of dates; [h], [mm], [ss] are
                // elapsed time.
                const auto close = code.find(']', i);
                if (close == std::string_view::npos) return false;
                const auto inside = code.substr(i + 1, close - i - 1);
                if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                    return true;
                i = close;
                break;
            }
            case 'y':
            case 'Y':
            case 'm':
            case 'M':
            case 'd':
            case 'D':
            case 'h':
            case 'H':
            case 's':
            case 'S':
                return true;
            default:
                break;
        }
    }
    return false;
}

result<std::vector<std::string>> xlsx_sheet_names(const std::string& path,
                                                  const std::string& file) {
    auto book = open_workbook(path, file);
    if (!book) return status::error(book.message());
    std::vector<std::string> names;
    for (const auto& [name, part] : book->sheets) names.push_back(name);
    return names;
}

result<std::unique_ptr<sheet_source>> open_xlsx_sheet(const std::string& path,
                                                      const std::string& file,
                                                      const std::string& sheet) {
    auto book = open_workbook(path, file);
    if (!book) return status::error(book.message());
    auto chosen = book->sheets.begin();
    if (!sheet.empty())
        while (chosen != book->sheets.end() && chosen->first != sheet) ++chosen;
    if (chosen == book->sheets.end()) {
        std::vector<std::string> names;
        for (const auto& [name, part] : book->sheets) names.push_back(name);
        return no_such_sheet(file, sheet, names);
    }
    shared_strings_reader shared(file);
    if (!book->shared_strings.empty())
        if (status s = parse_part(book->zip.get(), book->shared_strings, shared, file); !s)
            return s;
    styles_reader styles;
    if (!book->styles.empty())
        if (status s = parse_part(book->zip.get(), book->styles, styles, file); !s) return s;
    const std::string part = chosen->second;
    auto source =
        std::make_unique<xlsx_sheet>(std::move(book->zip), file, std::move(shared.strings),
                                     styles.date_styles(), book->date1904);
    if (status s = source->open(part); !s) return s;
    return std::unique_ptr<sheet_source>(std::move(source));
}

}  // namespace officerecords
