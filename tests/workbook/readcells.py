# What openpyxl, a reader independent of the workbook engine, finds in a workbook (argument 1):
# each sheet's merged ranges and cells with their bold, italic, size and alignment, and with
# argument 2 "fills" also the type and colour of a fill that has a pattern.
import sys, openpyxl
for ws in openpyxl.load_workbook(sys.argv[1]).worksheets:
    print('sheet', ws.title, 'merged', *sorted(str(r) for r in ws.merged_cells.ranges))
    for row in ws.iter_rows():
        for c in (c for c in row if c.value is not None):
            f, p = c.font, c.fill
            fill = [p.fill_type, p.fgColor.rgb] if sys.argv[2] == 'fills' and p.fill_type else []
            print(c.coordinate, repr(c.value), 'bold' * bool(f.b), 'italic' * bool(f.i), f.sz,
                  c.alignment.horizontal or '', *fill)
