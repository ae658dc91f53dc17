// Which reader a file goes to, told by its first bytes; and the CSV file
// as a sheet of one.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "import/csv_reader.h"
#include "import/sheet_source.h"
#include "import/xls_reader.h"
#include "import/xlsx_reader.h"

namespace officerecords {

namespace {

enum class file_kind { xlsx, xls, csv };

constexpr char k_zip_signature[] = "PK\x03\x04";
constexpr unsigned char k_compound_signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::string name_of(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string cannot_read(const std::string& file) {
    return "打不开 " + file + "，请确认它没有被别的程序占用，并且有读取它的权限";
}

// Whether the compound file holds an encrypted XLSX: Excel keeps the
// password-protected workbook in streams named "EncryptionInfo" and
// "EncryptedPackage". Only the names are looked at: every 128-byte
// directory entry slot after the header is tried for a stream of either
// name (UTF-16, with the entry's name length and stream type).
result<bool> holds_encrypted_workbook(const std::string& path, const std::string& file) {
    const auto entry = [](std::string_view name) {
        std::string e;
        for (char c : name) e += {c, '\0'};
        return e + std::string(2, '\0');
    };
    const std::string names[] = {entry("EncryptionInfo"), entry("EncryptedPackage")};
    std::ifstream in(path, std::ios::binary);
    if (!in) return status::error(cannot_read(file));
    std::vector<char> chunk(64 * 1024);  // a multiple of the 128-byte entry
    in.seekg(512);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t at = 0; at + 128 <= got; at += 128) {
            const char* slot = chunk.data() + at;
            const unsigned name_bytes =
                static_cast<unsigned char>(slot[64]) | static_cast<unsigned char>(slot[65]) << 8;
            const bool stream = slot[66] == 2;
            for (const auto& name : names)
                if (stream && name_bytes == name.size() &&
                    std::memcmp(slot, name.data(), name.size()) == 0)
                    return true;
        }
    }
    if (in.bad()) return status::error(cannot_read(file));
    return false;
}

// The file's kind, or why it is not read at all.
result<file_kind> kind_of(const std::string& path, const std::string& file) {
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(st)) return status::error("找不到文件 " + file);
    if (!std::filesystem::is_regular_file(st)) return status::error(file + " 不是一个文件");
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return status::error(cannot_read(file));
    if (size == 0) return status::error(file + " 是空文件，没有可以导入的内容");
    if (static_cast<long long>(size) > k_max_import_file_bytes) {
        // Rounded up, so that a file just over the limit is not shown at it.
        constexpr double mb = 1024.0 * 1024.0;
        char shown[32];
        std::snprintf(shown, sizeof shown, "%.1f",
                      std::ceil(static_cast<double>(size) * 10 / mb) / 10);
        return status::error(file + " 有 " + shown + " MB，超过了导入文件最大 " +
                             std::to_string(k_max_import_file_bytes / (1024 * 1024)) +
                             " MB 的限制");
    }
    char head[8] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return status::error(cannot_read(file));
    in.read(head, sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got >= 4 && std::memcmp(head, k_zip_signature, 4) == 0) return file_kind::xlsx;
    if (got == sizeof head && std::memcmp(head, k_compound_signature, sizeof head) == 0) {
        auto encrypted = holds_encrypted_workbook(path, file);
        if (!encrypted) return status::error(encrypted.message());
        if (*encrypted) return password_protected(file);
        return file_kind::xls;
    }
    return file_kind::csv;
}

class csv_sheet final : public sheet_source {
public:
    csv_sheet(csv_table table, const std::string& file) : table_(std::move(table)), file_(file) {}

    result<bool> next(sheet_row& row) override {
        if (fault_) return *fault_;
        while (next_ < table_.records.size()) {
            const std::size_t i = next_++;
            row = sheet_row{};
            row.number = table_.lines[i];
            auto& fields = table_.records[i];
            for (std::size_t f = 0; f < fields.size(); ++f) {
                if (fields[f].empty()) continue;
                if (const std::size_t n = cell_characters(fields[f]); n > k_max_cell_characters) {
                    fault_ = cell_too_long(file_, row.number, static_cast<int>(f), n);
                    return *fault_;
                }
                row.cells.resize(f + 1);
                row.cells[f] = {cell_kind::text, std::move(fields[f])};
            }
            if (!row.cells.empty()) return true;
        }
        return false;
    }

    std::string description() const override { return "CSV（" + table_.encoding + "）"; }

private:
    csv_table table_;
    const std::string file_;
    std::size_t next_ = 0;
    std::optional<status> fault_;
};

result<std::unique_ptr<sheet_source>> open_csv(const std::string& path, const std::string& file,
                                               const std::string& sheet) {
    const std::string only = std::filesystem::path(path).stem().string();
    if (!sheet.empty() && sheet != only) return no_such_sheet(file, sheet, {only});
    std::ifstream in(path, std::ios::binary);
    if (!in) return status::error(cannot_read(file));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return status::error(cannot_read(file));
    auto table = read_csv(bytes, file);
    if (!table) return status::error(table.message());
    return std::unique_ptr<sheet_source>(std::make_unique<csv_sheet>(table.take(), file));
}

}  // namespace

std::size_t cell_characters(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string column_letters(int column) {
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

status cell_too_long(const std::string& file, long row, int column, std::size_t characters) {
    return status::error(file + " 第 " + std::to_string(row) + " 行 " + column_letters(column) +
                         " 列有 " + std::to_string(characters) + " 个字，超过了一格最多 " +
                         std::to_string(k_max_cell_characters) + " 个字的限制");
}

status no_such_sheet(const std::string& file, const std::string& sheet,
                     const std::vector<std::string>& sheets) {
    std::string there;
    for (const auto& name : sheets) there += (there.empty() ? "" : "、") + name;
    return status::error(file + " 中没有名为“" + sheet + "”的工作表（有：" + there + "）");
}

result<std::vector<std::string>> sheet_names(const std::string& path) {
    const std::string file = name_of(path);
    auto kind = kind_of(path, file);
    if (!kind) return status::error(kind.message());
    switch (*kind) {
        case file_kind::xlsx:
            return xlsx_sheet_names(path, file);
        case file_kind::xls:
            return xls_sheet_names(path, file);
        case file_kind::csv:
            break;
    }
    return std::vector<std::string>{std::filesystem::path(path).stem().string()};
}

result<std::unique_ptr<sheet_source>> open_sheet(const std::string& path,
                                                 const std::string& sheet) {
    const std::string file = name_of(path);
    auto kind = kind_of(path, file);
    if (!kind) return status::error(kind.message());
    switch (*kind) {
        case file_kind::xlsx:
            return open_xlsx_sheet(path, file, sheet);
        case file_kind::xls:
            return open_xls_sheet(path, file, sheet);
        case file_kind::csv:
            break;
    }
    return open_csv(path, file, sheet);
}

}  // namespace officerecords
