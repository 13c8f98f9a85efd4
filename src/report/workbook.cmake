target_sources(vexlo_report PRIVATE
    fillclipboard.cpp
    workbook.cpp
    workbooknumber.cpp
    workbookpackage.cpp
    workbooksheet.cpp
    workbooksheetxml.cpp
    workbookstyles.cpp
    workbookxml.cpp
)
