target_sources(vexlo_report PRIVATE
    workbook.cpp
    workbooknumber.cpp
    workbookpackage.cpp
    workbooksheet.cpp
    workbooksheetxml.cpp
    workbookstyles.cpp
    workbookxml.cpp
)
