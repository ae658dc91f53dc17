// A CSV file as clerks' programs save it: UTF-8 with or without a byte
// order mark, or GB18030 (the GBK that Chinese Excel and WPS write by
// default), told apart by the bytes themselves; fields as RFC 4180 quotes
// them, with CR LF, LF or CR line ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

struct csv_table {
    // Every record's fields, as UTF-8; a record may have fewer fields
    // than another.
    std::vector<std::vector<std::string>> records;
    // The physical line each record begins on (1-based), for messages.
    std::vector<int> lines;
    // What the bytes were read as: "UTF-8", "UTF-8（带BOM）" or "GB18030".
    std::string encoding;
};

// Reads the file's bytes; `file` names it in the messages. An empty file,
// bytes that are neither UTF-8 nor GB18030, and a quote out of place (an
// unclosed quoted field, text after a closing quote, a quote inside an
// unquoted field) are refused with a message naming the file and line.
result<csv_table> read_csv(std::string_view bytes, const std::string& file);

}  // namespace officerecords
