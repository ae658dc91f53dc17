#include "import/csv_reader.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace officerecords {

namespace {

bool is_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else if (c >= 0x80)
            return false;
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

// GB18030 to UTF-8 through the C library's converter; false on bytes
// GB18030 does not have.
bool from_gb18030(std::string_view in, std::string& out) {
    iconv_t cd = ::iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, ::iconv_close);
    out.clear();
    char* from = const_cast<char*>(in.data());
    std::size_t left = in.size();
    std::string chunk(4096, '\0');
    while (left > 0) {
        char* to = chunk.data();
        std::size_t room = chunk.size();
        const std::size_t rc = ::iconv(cd, &from, &left, &to, &room);
        out.append(chunk.data(), chunk.size() - room);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
}

}  // namespace

result<csv_table> read_csv(std::string_view bytes, const std::string& file) {
    csv_table table;
    std::string text;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        table.encoding = "UTF-8（带BOM）";
        if (!is_utf8(bytes)) return status::error(file + " 标明是 UTF-8 编码，但其中有不是 UTF-8 的文字");
        text = bytes;
    } else if (is_utf8(bytes)) {
        table.encoding = "UTF-8";
        text = bytes;
    } else if (from_gb18030(bytes, text)) {
        table.encoding = "GB18030";
    } else {
        return status::error("不能识别 " + file + " 的文字编码（既不是 UTF-8，也不是 GBK/GB18030）");
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return status::error(file + " 是空文件，没有可以导入的内容");

    int line = 1;
    std::size_t i = 0;
    const auto stray = [&](int at) {
        return status::error(file + " 第 " + std::to_string(at) + " 行：引号的位置不对（引号要成对，并且包住整个字段）");
    };
    while (i < text.size()) {
        std::vector<std::string> record;
        const int starts = line;
        bool end_of_record = false;
        while (!end_of_record) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                for (;;) {
                    if (i >= text.size()) return stray(opened);
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
                    field += text[i++];
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') return stray(line);
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"') return stray(line);
                    field += text[i++];
                }
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            // A line end, CR LF, LF or CR, or the end of the text.
            if (i < text.size() && text[i] == '\r') ++i;
            if (i < text.size() && text[i] == '\n') ++i;
            ++line;
            end_of_record = true;
        }
        // Blank lines between records carry nothing.
        if (record.size() == 1 && record[0].empty()) continue;
        table.records.push_back(std::move(record));
        table.lines.push_back(starts);
    }
    return table;
}

}  // namespace officerecords
