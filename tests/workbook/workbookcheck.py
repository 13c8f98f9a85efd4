#!/usr/bin/env python3
"""Reads a workbook the engine wrote with openpyxl, without using the engine.

    workbookcheck.py check WORKBOOK EXPECTATIONS.json   exit status 0 when all of them hold
    workbookcheck.py convert WORKBOOK FOLDER            converts to CSV with soffice, if there
"""
import json, os, shutil, subprocess, sys, tempfile, zipfile


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
    for corner, rows in want.get("rows", {}).items():  # plain values from a top left cell
        top, left = coordinate_to_tuple(corner)
        want.setdefault("cells", {}).update({sheet.cell(top + down, left + right).coordinate:
                                             plain(value) for down, row in enumerate(rows)
                                             for right, value in enumerate(row)})
    for kind, get in PER_CELL.items():
        for key, value in want.get(kind, {}).items():
            found = sheet[key]  # a cell, or the rows of a range "A1:D3"
            for cell in [found] if ":" not in key else [cell for row in found for cell in row]:
                equal(get(cell), value, "%s of %s" % (kind, cell.coordinate))
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
    with tempfile.TemporaryDirectory(prefix="vexlo-soffice-") as profile:
        result = subprocess.run([office, "-env:UserInstallation=file://" + profile, "--headless",
                                 "--convert-to", "csv", "--outdir", folder, path],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
    print(result.stdout.decode(errors="replace"))
    csv = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + ".csv")
    return result.returncode or (0 if os.path.exists(csv) else 1)


if __name__ == "__main__":
    command = {"check": check, "convert": convert}.get(sys.argv[1] if len(sys.argv) == 4 else "")
    sys.exit(command(*sys.argv[2:]) if command else __doc__)
