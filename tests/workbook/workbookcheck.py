#!/usr/bin/env python3
"""Checks workbooks written by the workbook engine without using the engine.

The package is read with openpyxl and with the standard library's zip and XML readers. Every
workbook gets the structural checks a spreadsheet application relies on when it opens a file
without offering a repair; the expectations file adds what the calling test wrote into it.

    workbookcheck.py check WORKBOOK EXPECTATIONS.json
    workbookcheck.py template PATH      writes a template workbook with openpyxl
    workbookcheck.py convert WORKBOOK FOLDER
                                        converts WORKBOOK to CSV with soffice, if installed

Exit status 0 when everything holds; each failure is printed on a line of its own.
"""

import json
import os
import posixpath
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ElementTree

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
PACKAGE_RELATIONSHIPS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
CONTENT_TYPES = "{http://schemas.openxmlformats.org/package/2006/content-types}"
OFFICE_RELATIONSHIPS = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"

WORKSHEET_ORDER = [
    "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols", "sheetData", "sheetCalcPr",
    "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState",
    "dataConsolidate", "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting",
    "dataValidations", "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter",
    "rowBreaks", "colBreaks", "customProperties", "cellWatches", "ignoredErrors", "smartTags",
    "drawing", "legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "oleObjects",
    "controls", "webPublishItems", "tableParts", "extLst"]


class Checker:
    def __init__(self):
        self.failures = []
        self.checks = 0

    def expect(self, condition, message):
        self.checks += 1
        if not condition:
            self.failures.append(message)

    def equal(self, actual, expected, what):
        self.expect(actual == expected, "%s: expected %r, got %r" % (what, expected, actual))


def local(tag):
    return tag.split("}", 1)[-1]


def column_number(letters):
    number = 0
    for letter in letters:
        number = number * 26 + ord(letter) - ord("A") + 1
    return number


def split_reference(reference):
    match = re.fullmatch(r"([A-Z]+)([0-9]+)", reference)
    return (int(match.group(2)), column_number(match.group(1))) if match else None


def relationships_part(part):
    folder, name = posixpath.split(part)
    return posixpath.join(folder, "_rels", name + ".rels")


def read_relationships(archive, part):
    name = relationships_part(part)
    if name not in archive.namelist():
        return []
    root = ElementTree.fromstring(archive.read(name))
    return [node.attrib for node in root if local(node.tag) == "Relationship"]


def resolve(part, target):
    if target.startswith("/"):
        return target[1:]
    return posixpath.normpath(posixpath.join(posixpath.dirname(part), target))


def workbook_parts(archive):
    """The workbook part and its worksheet parts, first sheet first."""
    office = [r for r in read_relationships(archive, "")
              if r["Type"].endswith("/officeDocument")]
    workbook = resolve("", office[0]["Target"])
    targets = {r["Id"]: resolve(workbook, r["Target"])
               for r in read_relationships(archive, workbook)}
    root = ElementTree.fromstring(archive.read(workbook))
    sheets = [targets[sheet.attrib[OFFICE_RELATIONSHIPS + "id"]]
              for sheet in root.iter(MAIN + "sheet")]
    return workbook, sheets


def check_package(checker, archive):
    names = set(archive.namelist())
    types = ElementTree.fromstring(archive.read("[Content_Types].xml"))
    defaults = {node.attrib["Extension"].lower() for node in types
                if local(node.tag) == "Default"}
    overrides = {node.attrib["PartName"][1:] for node in types if local(node.tag) == "Override"}
    for name in names:
        if name.endswith("/") or name == "[Content_Types].xml":
            continue
        extension = name.rsplit(".", 1)[-1].lower()
        checker.expect(name in overrides or extension in defaults,
                       "part %s has no content type" % name)
    for name in overrides:
        checker.expect(name in names, "content type for missing part %s" % name)
    for rels in (n for n in names if n.endswith(".rels")):
        source = posixpath.join(posixpath.dirname(posixpath.dirname(rels)),
                                posixpath.basename(rels)[:-len(".rels")])
        for relationship in ElementTree.fromstring(archive.read(rels)):
            if relationship.attrib.get("TargetMode") == "External":
                continue
            target = resolve(source, relationship.attrib["Target"])
            checker.expect(target in names, "%s points to missing part %s" % (rels, target))


def check_worksheet(checker, archive, part, cell_formats):
    root = ElementTree.fromstring(archive.read(part))
    ranks = [WORKSHEET_ORDER.index(local(child.tag)) for child in root
             if local(child.tag) in WORKSHEET_ORDER]
    checker.expect(ranks == sorted(ranks), "%s: elements out of schema order" % part)
    names = [local(child.tag) for child in root if local(child.tag) != "conditionalFormatting"]
    checker.expect(len(set(names)) == len(names), "%s: an element appears twice" % part)
    cells = []
    previous_row = 0
    for row in root.iter(MAIN + "row"):
        number = int(row.attrib["r"])
        checker.expect(number > previous_row, "%s: row %d after row %d" % (part, number,
                                                                            previous_row))
        previous_row = number
        previous_column = 0
        for cell in row:
            if local(cell.tag) != "c":
                continue
            position = split_reference(cell.attrib["r"])
            checker.expect(position is not None and position[0] == number,
                           "%s: cell %s in row %d" % (part, cell.attrib["r"], number))
            if position is None:
                continue
            checker.expect(position[1] > previous_column,
                           "%s: cell %s out of order" % (part, cell.attrib["r"]))
            previous_column = position[1]
            cells.append(position)
            style = int(cell.attrib.get("s", "0"))
            checker.expect(style < cell_formats, "%s: cell %s uses format %d of %d"
                           % (part, cell.attrib["r"], style, cell_formats))
    dimension = root.find(MAIN + "dimension")
    if dimension is not None and cells:
        first_row = min(r for r, _ in cells)
        last_row = max(r for r, _ in cells)
        first_column = min(c for _, c in cells)
        last_column = max(c for _, c in cells)
        corners = dimension.attrib["ref"].split(":")
        start = split_reference(corners[0])
        end = split_reference(corners[-1])
        checker.equal((start, end), ((first_row, first_column), (last_row, last_column)),
                      "%s: dimension" % part)
    merges = root.find(MAIN + "mergeCells")
    if merges is not None:
        checker.equal(int(merges.attrib.get("count", len(merges))), len(merges),
                      "%s: merged range count" % part)
    cols = root.find(MAIN + "cols")
    if cols is not None:
        last = 0
        for col in cols:
            low, high = int(col.attrib["min"]), int(col.attrib["max"])
            checker.expect(last < low <= high, "%s: columns %d:%d overlap" % (part, low, high))
            last = high


def check_styles(checker, archive, workbook):
    styles = [resolve(workbook, r["Target"]) for r in read_relationships(archive, workbook)
              if r["Type"].endswith("/styles")]
    if not styles:
        return 1
    root = ElementTree.fromstring(archive.read(styles[0]))
    lists = {local(child.tag): child for child in root}
    for name, node in lists.items():
        if "count" in node.attrib:
            checker.equal(int(node.attrib["count"]), len(node), "styles: %s count" % name)
    custom_formats = {int(n.attrib["numFmtId"]) for n in lists.get("numFmts", [])}
    for index, xf in enumerate(lists.get("cellXfs", [])):
        for attribute, target in (("fontId", "fonts"), ("fillId", "fills"),
                                  ("borderId", "borders")):
            value = int(xf.attrib.get(attribute, "0"))
            checker.expect(value < len(lists.get(target, [])),
                           "styles: format %d uses %s %d" % (index, attribute, value))
        number_format = int(xf.attrib.get("numFmtId", "0"))
        checker.expect(number_format < 164 or number_format in custom_formats,
                       "styles: format %d uses number format %d" % (index, number_format))
    return len(lists.get("cellXfs", [])) or 1


def check_shared_strings(checker, archive, workbook, sheets):
    tables = [resolve(workbook, r["Target"]) for r in read_relationships(archive, workbook)
              if r["Type"].endswith("/sharedStrings")]
    references = 0
    largest = -1
    for part in sheets:
        for cell in ElementTree.fromstring(archive.read(part)).iter(MAIN + "c"):
            if cell.attrib.get("t") == "s":
                references += 1
                largest = max(largest, int(cell.find(MAIN + "v").text))
    if not tables:
        checker.equal(references, 0, "shared string references without a table")
        return
    root = ElementTree.fromstring(archive.read(tables[0]))
    if "count" in root.attrib:
        checker.equal(int(root.attrib["count"]), references, "shared strings: count")
    if "uniqueCount" in root.attrib:
        checker.equal(int(root.attrib["uniqueCount"]), len(root), "shared strings: uniqueCount")
    checker.expect(largest < len(root), "shared string %d does not exist" % largest)


def check_images(checker, archive, sheet, expected):
    drawings = [resolve(sheet, r["Target"]) for r in read_relationships(archive, sheet)
                if r["Type"].endswith("/drawing")]
    media = []
    for drawing in drawings:
        media += [resolve(drawing, r["Target"]) for r in read_relationships(archive, drawing)
                  if r["Type"].endswith("/image")]
    checker.equal(sorted(media), sorted(expected), "images of the first sheet")
    for name in media:
        checker.expect(name in archive.namelist() and len(archive.read(name)) > 0,
                       "image %s is missing or empty" % name)


def typed(cell):
    if cell.value is None:
        return [None, None]
    return [cell.data_type if cell.data_type in ("n", "b") else "s", cell.value]


def expected_typed(value):
    """A plain JSON value as typed() shows it: a string is text, a number a number."""
    if value is None:
        return [None, None]
    if isinstance(value, bool):
        return ["b", value]
    if isinstance(value, (int, float)):
        return ["n", value]
    return ["s", value]


def references(key):
    """The cells of "B2" or of a range "A1:D3", row by row."""
    corners = [split_reference(corner) for corner in key.split(":")]
    (first_row, first_column), (last_row, last_column) = corners[0], corners[-1]
    return ["%s%d" % (column_letters(column), row)
            for row in range(first_row, last_row + 1)
            for column in range(first_column, last_column + 1)]


def column_letters(number):
    letters = ""
    while number > 0:
        number, rest = divmod(number - 1, 26)
        letters = chr(ord("A") + rest) + letters
    return letters


def check_expectations(checker, archive, path, expected):
    import openpyxl
    # A file object, because openpyxl judges a file name by its extension and the report keeps
    # the ".xls" name its users know.
    with open(path, "rb") as file:
        book = openpyxl.load_workbook(file, data_only=True)
    sheet = book.worksheets[0]
    # Reading a cell makes openpyxl create it: the used range is taken first.
    if "maxRow" in expected:
        checker.equal(sheet.max_row, expected["maxRow"], "last row")
    if "maxColumn" in expected:
        checker.equal(sheet.max_column, expected["maxColumn"], "last column")
    if "sheets" in expected:
        checker.equal(book.sheetnames, expected["sheets"], "sheet names")
    for reference, value in expected.get("cells", {}).items():
        checker.equal(typed(sheet[reference]), value, "cell %s" % reference)
    # A block of rows from its top left cell: plain values, a string for text, a number for a
    # number, null for an empty cell.
    for corner, rows in expected.get("rows", {}).items():
        top, left = split_reference(corner)
        for offset, row in enumerate(rows):
            for column, value in enumerate(row):
                reference = "%s%d" % (column_letters(left + column), top + offset)
                checker.equal(typed(sheet[reference]), expected_typed(value),
                              "cell %s" % reference)
    # Fonts and alignments are given for a cell or for every cell of a range.
    for key, font in expected.get("fonts", {}).items():
        for reference in references(key):
            actual = sheet[reference].font
            checker.equal({"bold": bool(actual.b), "italic": bool(actual.i), "size": actual.sz},
                          font, "font of %s" % reference)
    for key, alignment in expected.get("alignments", {}).items():
        for reference in references(key):
            checker.equal(sheet[reference].alignment.horizontal, alignment,
                          "alignment of %s" % reference)
    for reference, number_format in expected.get("numberFormats", {}).items():
        checker.equal(sheet[reference].number_format, number_format,
                      "number format of %s" % reference)
    for letter, (low, high) in expected.get("widths", {}).items():
        dimension = sheet.column_dimensions[letter]
        checker.expect(dimension.customWidth and low <= dimension.width <= high,
                       "width of column %s: expected %s to %s, got %s"
                       % (letter, low, high, dimension.width))
    if "merged" in expected:
        checker.equal(sorted(str(r) for r in sheet.merged_cells.ranges),
                      sorted(expected["merged"]), "merged ranges")
    for row, height in expected.get("rowHeights", {}).items():
        checker.equal(sheet.row_dimensions[int(row)].height, height, "height of row %s" % row)
    for row in expected.get("hiddenRows", []):
        checker.expect(sheet.row_dimensions[row].hidden, "row %d is not hidden" % row)
    for name, cells in expected.get("otherSheets", {}).items():
        for reference, value in cells.items():
            checker.equal(book[name][reference].value, value, "%s!%s" % (name, reference))
    for reference, text in expected.get("comments", {}).items():
        comment = sheet[reference].comment
        checker.equal(comment.text if comment else None, text, "comment on %s" % reference)
    for name in expected.get("absentParts", []):
        checker.expect(name not in archive.namelist(), "part %s is still there" % name)


def check(path, expectations_path):
    with open(expectations_path, encoding="utf-8") as file:
        expected = json.load(file)
    checker = Checker()
    with zipfile.ZipFile(path) as archive:
        checker.expect(archive.testzip() is None, "a part fails its CRC")
        check_package(checker, archive)
        workbook, sheets = workbook_parts(archive)
        cell_formats = check_styles(checker, archive, workbook)
        for part in sheets:
            check_worksheet(checker, archive, part, cell_formats)
        check_shared_strings(checker, archive, workbook, sheets)
        if "images" in expected:
            check_images(checker, archive, sheets[0], expected["images"])
        try:
            check_expectations(checker, archive, path, expected)
        except Exception as failure:  # the structural findings above still get printed
            checker.expect(False, "openpyxl cannot read the workbook: %r" % failure)
    for failure in checker.failures:
        print(failure)
    print("workbookcheck: %d checks, %d failed" % (checker.checks, len(checker.failures)))
    return 1 if checker.failures else 0


def make_template(path):
    import openpyxl
    from openpyxl.styles import Alignment, Border, Font, Side
    book = openpyxl.Workbook()
    cover = book.active
    cover.title = "Cover"
    cover["A1"] = "Assembly 42"
    cover["A1"].font = Font(bold=True, size=16)
    cover.merge_cells("A1:E1")
    cover["A2"] = "Revision"
    cover["B2"] = 3.25
    cover["B2"].number_format = "0.00"
    cover["F4"] = "beside the block"
    cover["B5"] = "replaced"
    cover["B5"].border = Border(bottom=Side(style="thin"))
    cover["B5"].alignment = Alignment(vertical="top")
    cover.row_dimensions[2].height = 22
    cover.column_dimensions["A"].width = 18
    cover.column_dimensions["F"].width = 25
    data = book.create_sheet("Data")
    data["A1"] = "kept"
    data["B1"] = 7
    book.save(path)
    return 0


def convert(path, folder):
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if office is None:
        print("soffice is not installed")
        return 2
    # A profile of its own, so that a running office or a parallel test never shares it.
    profile = tempfile.mkdtemp(prefix="vexlo-soffice-")
    try:
        result = subprocess.run([office, "-env:UserInstallation=file://" + profile,
                                 "--headless", "--convert-to", "csv", "--outdir", folder, path],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180,
                                check=False)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    print(result.stdout.decode(errors="replace"))
    converted = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + ".csv")
    if result.returncode == 0 and not os.path.exists(converted):
        print("soffice wrote no %s" % converted)
        return 1
    return result.returncode


def main(arguments):
    if len(arguments) == 3 and arguments[0] == "check":
        return check(arguments[1], arguments[2])
    if len(arguments) == 2 and arguments[0] == "template":
        return make_template(arguments[1])
    if len(arguments) == 3 and arguments[0] == "convert":
        return convert(arguments[1], arguments[2])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
