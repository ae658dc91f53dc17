#!/usr/bin/env python3
# Prints the sheets of an XLSX file as the export tests compare them, one
# line per filled cell, read by openpyxl: a reader independent of the
# writer, so the tests see the file as another program does.
#
#   read_xlsx.py FILE
#
# Exits 3 when openpyxl is missing, 2 when the file cannot be read.
import datetime
import json
import sys

try:
    import openpyxl
    from openpyxl.utils import column_index_from_string
except ImportError:
    print("python3-openpyxl is not installed (scripts/install-deps.sh installs it)", file=sys.stderr)
    sys.exit(3)


def cell_line(cell):
    v = cell.value
    if isinstance(v, datetime.datetime):
        # A date cell without a time of day; a time would show here.
        text = v.date().isoformat() if v.time() == datetime.time() else v.isoformat()
        kind = "date"
    elif isinstance(v, bool):
        kind, text = "bool", str(v)
    elif isinstance(v, (int, float)):
        kind, text = "number", repr(float(v))
    else:
        kind, text = "text", json.dumps(v, ensure_ascii=False)
    line = f"{cell.coordinate} {kind} {text}"
    if cell.number_format != "General":
        line += f" [{cell.number_format}]"
    if cell.font is not None and cell.font.b:
        line += " bold"
    if cell.alignment is not None and cell.alignment.wrap_text:
        line += " wrap"
    return line


def page_line(sheet):
    """How the sheet prints: "page landscape fitToWidth 1 fitToHeight 0 paper 9"."""
    setup = sheet.page_setup
    line = "page " + (setup.orientation or "portrait")
    fit = sheet.sheet_properties.pageSetUpPr
    if fit is not None and fit.fitToPage:
        # A count the file leaves out is 1, the format's default.
        wide = 1 if setup.fitToWidth is None else setup.fitToWidth
        tall = 1 if setup.fitToHeight is None else setup.fitToHeight
        line += f" fitToWidth {wide} fitToHeight {tall}"
    if setup.paperSize:
        line += f" paper {setup.paperSize}"
    return line


def main(path):
    try:
        book = openpyxl.load_workbook(path)
    except Exception as e:  # the tests print why, whatever it is
        print(f"cannot read {path}: {e}", file=sys.stderr)
        return 2
    for sheet in book.worksheets:
        print("sheet", sheet.title)
        print("freeze", sheet.freeze_panes)
        print(page_line(sheet))
        # The writer stores a width with its padding in pixels: the whole
        # characters are what the export chose.
        for letter in sorted(sheet.column_dimensions, key=column_index_from_string):
            width = sheet.column_dimensions[letter].width
            if width:
                print("width", letter, int(width))
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is not None:
                    print(cell_line(cell))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: read_xlsx.py FILE", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
