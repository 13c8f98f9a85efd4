# Tests of the workbook engine and the workbook report.
