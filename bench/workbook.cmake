# The workbook benchmark.
