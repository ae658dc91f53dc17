"""Writes the XLS workbooks the reader's tests read, with xlwt
(python3-xlwt), into the folder given: an old-style workbook is not
something the tests can write by hand.

    make_xls.py FOLDER
"""
import datetime
import os
import struct
import sys

import xlwt


def assets(path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("资产")
    day = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    moment = xlwt.easyxf(num_format_str="YYYY-MM-DD HH:MM:SS")
    for column, caption in enumerate(["名称", "价值", "购置日期", "身份证号", "数量"]):
        sheet.write(0, column, caption)
    sheet.write(1, 0, "台式计算机")
    sheet.write(1, 1, 19960.5)
    sheet.write(1, 2, datetime.date(2020, 1, 1), day)
    # An ID number typed as text keeps all its digits.
    sheet.write(1, 3, "110101199001011234")
    sheet.write(1, 4, 3)
    # Row 3 is left empty.
    sheet.write(3, 0, "Printer")
    sheet.write(3, 1, 0.1)
    sheet.write(3, 2, datetime.datetime(2021, 3, 4, 12, 0, 0), moment)
    sheet.write(3, 4, 1234567890123)
    sheet.write(4, 2, datetime.date(1900, 2, 28), day)
    people = book.add_sheet("人员")
    people.write(0, 0, "姓名")
    people.write(1, 0, "张三")
    book.save(path)


def asset_register(path):
    """The asset register as an office kept it in Excel 97-2003: its own
    captions, a date cell, a code by its name, an amount cell."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("固定资产")
    day = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    for column, caption in enumerate(["资产分类", "资产名称", "数量", "价值（元）", "添置日期", "保管人"]):
        sheet.write(0, column, caption)
    sheet.write(1, 0, "电子设备")
    sheet.write(1, 1, "复印机")
    sheet.write(1, 2, 1)
    sheet.write(1, 3, 12800.5)
    sheet.write(1, 4, datetime.date(2018, 7, 9), day)
    sheet.write(1, 5, "刘敏")
    book.save(path)


def with_password(path):
    """A workbook marked as encrypted: a FILEPASS record (RC4, as Excel
    writes it) right after the first BOF. Its key data is zeros and the
    records are left plain; a reader must stop at the mark anyway."""
    workbook = xlwt.Workbook
    header = workbook._Workbook__intf_hdr_rec

    def marked(self):
        body = struct.pack("<HHH", 1, 1, 1) + bytes(48)
        return struct.pack("<HH", 0x002F, len(body)) + body + header(self)

    workbook._Workbook__intf_hdr_rec = marked
    try:
        book = xlwt.Workbook(encoding="utf-8")
        book.add_sheet("工资").write(0, 0, "姓名")
        book.save(path)
    finally:
        workbook._Workbook__intf_hdr_rec = header


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_xls.py FOLDER")
    assets(os.path.join(sys.argv[1], "资产.xls"))
    with_password(os.path.join(sys.argv[1], "工资.xls"))
    asset_register(os.path.join(sys.argv[1], "固定资产.xls"))


if __name__ == "__main__":
    main()
