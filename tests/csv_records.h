// The records of an exported CSV file read as a spreadsheet reads them
// (RFC 4180: quoted fields with doubled quotes, which may hold line
// breaks; CR LF after every record), for the core and the desktop tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace officerecords::testkit {

// Each record as its fields; nullopt when the text does not start with
// the UTF-8 byte order mark or its last record is not ended by CR LF.
inline std::optional<std::vector<std::vector<std::string>>> csv_records(std::string_view text) {
    if (!text.starts_with("\xEF\xBB\xBF")) return std::nullopt;
    text.remove_prefix(3);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            fields.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(fields));
            fields.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.empty() || !fields.empty() || quoted) return std::nullopt;
    return records;
}

}  // namespace officerecords::testkit
