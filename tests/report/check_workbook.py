#!/usr/bin/python3
"""Reads a workbook with openpyxl and holds each sheet against its trip log, cell by cell.

Usage: check_workbook.py [--saved] BOOK.xlsx TRIP.csv...   (the trip logs in the sheets' order)
  --saved   the workbook was saved again by a spreadsheet, which writes 15 significant digits:
            a number then has to match the trip log's to the last of those 15 digits

Prints, for each sheet: its name, its frozen cell, its header row (cells joined by "|"), and the
count of rows, number cells and date-time cells; then one line for every cell that differs from
its trip log: a number cell must hold the number the trip log's text reads as (to the last bit
when that text has at most 15 significant digits, the most a spreadsheet keeps), a time cell the
local date and time of the text to the millisecond. Exits 1 when any cell differs.
"""
import csv
import datetime
import re
import sys

import openpyxl


def significant_digits(text):
    mantissa = re.sub(r"[eE].*", "", text).replace("-", "").replace(".", "").lstrip("0")
    return len(mantissa)


def main():
    args = sys.argv[1:]
    saved = args[0] == "--saved"
    args = args[1:] if saved else args
    book = openpyxl.load_workbook(args[0])
    differences = 0
    if len(book.worksheets) != len(args) - 1:
        print("sheets %d for %d trip logs" % (len(book.worksheets), len(args) - 1))
        return 1
    for sheet, trip in zip(book.worksheets, args[1:]):
        with open(trip, newline="") as file:
            rows = list(csv.reader(file))
        names = rows[0]
        print("sheet %s" % sheet.title)
        print("frozen %s" % sheet.freeze_panes)
        header = [cell.value for cell in next(sheet.iter_rows(min_row=1, max_row=1))]
        print("header %s" % "|".join(str(h) for h in header))
        numbers = dates = 0
        cells = list(sheet.iter_rows(min_row=2))
        if len(cells) != len(rows) - 1:
            print("rows %d in the sheet, %d in the trip log" % (len(cells), len(rows) - 1))
            differences += 1
        for r, (texts, row) in enumerate(zip(rows[1:], cells), start=2):
            if len(row) != len(names):
                print("row %d: %d cells for %d columns" % (r, len(row), len(names)))
                differences += 1
                continue
            for name, text, cell in zip(names, texts, row):
                where = "%s%d (%s)" % (cell.column_letter, r, name)
                if name == "time":
                    local = datetime.datetime.strptime(text[:23], "%Y-%m-%dT%H:%M:%S.%f")
                    if not cell.is_date or not isinstance(cell.value, datetime.datetime):
                        print("%s: %r is no date-time for %s" % (where, cell.value, text))
                        differences += 1
                    elif abs((cell.value - local).total_seconds()) >= 0.0005:
                        print("%s: %s for %s" % (where, cell.value.isoformat(), text))
                        differences += 1
                    else:
                        dates += 1
                    continue
                value = float(text)
                if cell.data_type != "n" or isinstance(cell.value, bool) or cell.value is None:
                    print("%s: %r (type %s) is no number for %s" %
                          (where, cell.value, cell.data_type, text))
                    differences += 1
                elif saved and abs(cell.value - value) > abs(value) * 1e-14:
                    print("%s: %r for %s" % (where, cell.value, text))
                    differences += 1
                elif not saved and (cell.value != value if significant_digits(text) <= 15 else
                                    abs(cell.value - value) > abs(value) * 1e-15):
                    print("%s: %r for %s" % (where, cell.value, text))
                    differences += 1
                else:
                    numbers += 1
        print("rows %d numbers %d dates %d" % (len(cells), numbers, dates))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
