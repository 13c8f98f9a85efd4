#!/usr/bin/env python3
"""Reads a workbook the engine wrote with openpyxl, without using the engine.

    workbookcheck.py check WORKBOOK EXPECTATIONS.json   what the calling test expects to see
    workbookcheck.py convert WORKBOOK FOLDER            converts to CSV with soffice, if there
Exit status 0 when everything holds; each failure is printed on a line of its own.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile


def cells(sheet, key):
    """The cells of "B2" or of a range "A1:D3", row by row."""
    found = sheet[key]
    return [found] if ":" not in key else [cell for row in found for cell in row]


def typed(cell):
    value = cell.value
    return [None if value is None else cell.data_type if cell.data_type in "nb" else "s", value]


def plain(value):
    """A JSON value as typed() shows it: a string is text, a number a number."""
    kind = "b" if isinstance(value, bool) else "n" if isinstance(value, (int, float)) else "s"
    return [None if value is None else kind, value]


# What is expected of a cell, or of every cell of a range.
PER_CELL = {
    "cells": typed,
    "fonts": lambda c: {"bold": bool(c.font.b), "italic": bool(c.font.i), "size": c.font.sz},
    "alignments": lambda c: c.alignment.horizontal,
    "numberFormats": lambda c: c.number_format,
    "comments": lambda c: c.comment.text if c.comment else None,
}


def check(path, expectations):
    import openpyxl
    from openpyxl.utils.cell import coordinate_to_tuple
    with open(expectations, encoding="utf-8") as file:
        want = json.load(file)
    failures = []

    def equal(actual, wanted, what):
        if actual != wanted:
            failures.append("%s: expected %r, got %r" % (what, wanted, actual))

    archive = zipfile.ZipFile(path)
    equal(archive.testzip(), None, "part failing its CRC")
    # A file object: openpyxl judges a file name by its extension, and reports end in ".xls".
    with open(path, "rb") as file:
        book = openpyxl.load_workbook(file, data_only=True)
    sheet = book.worksheets[0]
    # Reading a cell makes openpyxl create it: the used range is taken first.
    for key, actual in (("maxRow", sheet.max_row), ("maxColumn", sheet.max_column),
                        ("sheets", book.sheetnames)):
        if key in want:
            equal(actual, want[key], key)
    for kind, get in PER_CELL.items():
        for key, value in want.get(kind, {}).items():
            for cell in cells(sheet, key):
                equal(get(cell), value, "%s of %s" % (kind, cell.coordinate))
    for corner, rows in want.get("rows", {}).items():
        top, left = coordinate_to_tuple(corner)
        for down, row in enumerate(rows):
            for right, value in enumerate(row):
                cell = sheet.cell(top + down, left + right)
                equal(typed(cell), plain(value), "cell " + cell.coordinate)
    for letter, (low, high) in want.get("widths", {}).items():
        width = sheet.column_dimensions[letter]
        equal(width.customWidth and low <= width.width <= high, True, "width %s" % width.width)
    if "merged" in want:
        equal(sorted(map(str, sheet.merged_cells.ranges)), sorted(want["merged"]), "merged")
    for row, height in want.get("rowHeights", {}).items():
        equal(sheet.row_dimensions[int(row)].height, height, "height of row " + row)
    for row in want.get("hiddenRows", []):
        equal(sheet.row_dimensions[row].hidden, True, "row %d hidden" % row)
    for other, values in want.get("otherSheets", {}).items():
        for cell, value in values.items():
            equal(book[other][cell].value, value, other + "!" + cell)
    for part in want.get("images", []) + want.get("absentParts", []):
        equal(part in archive.namelist() and len(archive.read(part)) > 0,
              part in want.get("images", []), "part " + part)
    print("\n".join(failures + ["workbookcheck: %d failed" % len(failures)]))
    return 1 if failures else 0


def convert(path, folder):
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if office is None:
        print("soffice is not installed")
        return 2
    # A profile of its own, so that a running office or a parallel test never shares it.
    profile = tempfile.mkdtemp(prefix="vexlo-soffice-")
    try:
        result = subprocess.run([office, "-env:UserInstallation=file://" + profile, "--headless",
                                 "--convert-to", "csv", "--outdir", folder, path],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    print(result.stdout.decode(errors="replace"))
    converted = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + ".csv")
    return result.returncode or (0 if os.path.exists(converted) else 1)


if __name__ == "__main__":
    commands = {"check": check, "convert": convert}
    if len(sys.argv) != 4 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    sys.exit(commands[sys.argv[1]](sys.argv[2], sys.argv[3]))
