# Tests of the workbook engine and the workbook report.
vexlo_add_test(workbook_test
    SOURCES
        workbooknumbertest.cpp
        workbooksheettest.cpp
        workbookpackagetest.cpp
        workbookchecktest.cpp
        workbookfixture.cpp
    LIBS vexlo::report PkgConfig::LIBZIP pugixml::pugixml
)
