// Which column of a clerk's sheet is which column of the register: the
// header row's texts matched to the register's captions (the list's, and
// the form's as an alternative), with blanks and punctuation, ASCII or
// full-width, not counted. The header may be the first row or stand under
// a title row, as the program's own export writes it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/status.h"

namespace officerecords {

// "资产名称：" and " 资产 名称" alike: "资产名称".
std::string caption_key(std::string_view caption);

// A caption as the clerk reads it in a message: without the colon a form
// label ends with ("价值（元）:" is "价值（元）").
std::string shown_caption(std::string_view caption);

struct register_column {
    std::string name;                   // the column, as items are addressed
    std::vector<std::string> captions;  // the list's first, then the form's
};

struct header_match {
    int header_record = 0;             // which of the records given is the header (0-based)
    std::vector<std::string> columns;  // per field of the header: its column, "" when none
    std::vector<std::string> ignored;  // header texts that match no column, in order
};

// The header among the first records of a sheet: the first of them that
// names at least one column, and more than any record before it. An
// override "caption=column" takes that header text for that column
// whatever its caption; "caption=" leaves it out. A header naming one column twice, an override of
// a column or a caption that is not there, and a sheet whose first records
// name no column are refused with a message.
result<header_match> match_header(const std::vector<std::vector<std::string>>& first_records,
                                  const std::vector<register_column>& columns,
                                  const std::vector<std::pair<std::string, std::string>>& overrides = {});

}  // namespace officerecords
