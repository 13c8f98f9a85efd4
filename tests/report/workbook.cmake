# Tests of the workbook engine and the workbook report.
vexlo_add_test(workbook_test
    SOURCES
        workbooknumbertest.cpp
        workbooksheettest.cpp
        workbookpackagetest.cpp
        workbookchecktest.cpp
        workbookfixture.cpp
        fillclipboardtest.cpp
    LIBS vexlo::report PkgConfig::LIBZIP pugixml::pugixml
)
# The workbook report beside a real clipboard, which needs a GUI application.
vexlo_add_test(fillclipboard_clipboard_test QT
    SOURCES fillclipboardclipboardtest.cpp
    LIBS vexlo::report
)
