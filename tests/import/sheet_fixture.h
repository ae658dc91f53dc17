// Workbooks made by the tests themselves: XLSX files written part by part
// with libzip, so that each test says exactly what the file holds, and the
// rows of a sheet as one comparable text.
#pragma once

#include <zip.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "import/sheet_source.h"

namespace officerecords::testkit {

struct zip_part {
    std::string name;
    std::string bytes;
    bool stored = false;  // written uncompressed, so a test can find and change its bytes
};

// Writes the parts as a new archive at `path`; "" or what went wrong.
inline std::string write_zip(const std::string& path, const std::vector<zip_part>& parts) {
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip) return "cannot create " + path;
    for (const auto& part : parts) {
        zip_source_t* source = zip_source_buffer(zip, part.bytes.data(), part.bytes.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(zip, part.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            zip_discard(zip);
            return "cannot add " + part.name;
        }
        if (part.stored)
            zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(zip) != 0) {
        const std::string why = zip_strerror(zip);
        zip_discard(zip);
        return why;
    }
    return "";
}

struct fixture_sheet {
    std::string name;
    std::string rows;  // the XML inside <sheetData>
};

// A workbook: its sheets, shared strings (each <si>'s XML), and the
// styles' custom number formats and cell formats (<numFmt>, <xf>).
struct fixture_book {
    std::vector<fixture_sheet> sheets;
    std::vector<std::string> shared;
    std::string number_formats;
    std::string cell_formats = R"(<xf numFmtId="0"/>)";
    bool date1904 = false;
};

inline const char* const k_main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* const k_rel_ns =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline std::string worksheet_xml(const std::string& rows) {
    return std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") +
           "\n<worksheet xmlns=\"" + k_main_ns + "\"><sheetData>" + rows +
           "</sheetData></worksheet>";
}

// The parts of the workbook as Excel lays them out; sheet N is in
// xl/worksheets/sheetN.xml.
inline std::vector<zip_part> workbook_parts(const fixture_book& book) {
    const std::string rel_type =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string sheets, rels, types;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheets += "<sheet name=\"" + book.sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" +
                  n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel_type +
                "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    }
    rels += "<Relationship Id=\"rIdS\" Type=\"" + rel_type +
            "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    rels += "<Relationship Id=\"rIdT\" Type=\"" + rel_type + "styles\" Target=\"styles.xml\"/>";
    std::vector<zip_part> parts = {
        {"[Content_Types].xml",
         R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
         R"(<Default Extension="xml" ContentType="application/xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml",
         std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") + k_main_ns +
             "\" xmlns:r=\"" + k_rel_ns + "\">" +
             (book.date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>") + "<sheets>" +
             sheets + "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" +
             rels + "</Relationships>"},
    };
    std::string shared;
    for (const auto& si : book.shared) shared += "<si>" + si + "</si>";
    parts.push_back({"xl/sharedStrings.xml",
                     std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"") +
                         k_main_ns + "\" count=\"" + std::to_string(book.shared.size()) + "\">" +
                         shared + "</sst>"});
    parts.push_back({"xl/styles.xml",
                     std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"") +
                         k_main_ns + "\"><numFmts>" + book.number_formats +
                         "</numFmts><cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs>" +
                         book.cell_formats + "</cellXfs></styleSheet>"});
    for (std::size_t i = 0; i < book.sheets.size(); ++i)
        parts.push_back({"xl/worksheets/sheet" + std::to_string(i + 1) + ".xml",
                         worksheet_xml(book.sheets[i].rows)});
    return parts;
}

// A compound file as far as the dispatcher reads one: the signature, and a
// directory sector after the 512-byte header whose entries name streams.
inline std::string compound_file(const std::vector<std::string>& streams) {
    std::string bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    bytes.resize(512, '\0');
    for (const auto& name : streams) {
        std::string entry;
        for (char c : name) entry += {c, '\0'};
        entry.resize(128, '\0');
        const std::size_t name_bytes = (name.size() + 1) * 2;
        entry[64] = static_cast<char>(name_bytes & 0xFF);
        entry[65] = static_cast<char>(name_bytes >> 8);
        entry[66] = 2;  // a stream
        bytes += entry;
    }
    bytes.resize(1024, '\0');
    return bytes;
}

inline std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One cell as "n:19960.5" (its kind's letter and its text), "" when empty.
inline std::string cell_text(const sheet_cell& cell) {
    switch (cell.kind) {
        case cell_kind::empty:
            return "";
        case cell_kind::text:
            return "t:" + cell.text;
        case cell_kind::number:
            return "n:" + cell.text;
        case cell_kind::date:
            return "d:" + cell.text;
        case cell_kind::boolean:
            return "b:" + cell.text;
        case cell_kind::error:
            return "e:" + cell.text;
        case cell_kind::no_value:
            return "f:" + cell.text;
    }
    return "?";
}

// A row as "2|t:名称||n:3": its number, then each cell.
inline std::string row_text(const sheet_row& row) {
    std::string out = std::to_string(row.number);
    for (const auto& cell : row.cells) out += "|" + cell_text(cell);
    return out;
}

// Every row the source hands out, one a line, and its fault last as
// "fault: …" when reading ended in one.
inline std::string all_rows(sheet_source& source) {
    std::string out;
    sheet_row row;
    for (;;) {
        auto more = source.next(row);
        if (!more) return out + "fault: " + more.message() + "\n";
        if (!*more) return out;
        out += row_text(row) + "\n";
    }
}

// The rows of the sheet of the file at `path`, or "open: …" when it does not open.
inline std::string rows_of(const std::string& path, const std::string& sheet = "") {
    auto source = open_sheet(path, sheet);
    if (!source) return "open: " + source.message() + "\n";
    return all_rows(**source);
}

}  // namespace officerecords::testkit
