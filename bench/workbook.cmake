# The workbook benchmark: 100,000 rows of 11 columns, blank and from the test template.
add_executable(workbook_bench EXCLUDE_FROM_ALL workbookbench.cpp)
target_link_libraries(workbook_bench PRIVATE vexlo::workbook PkgConfig::LIBZIP)
target_compile_definitions(workbook_bench PRIVATE
    VEXLO_WORKBOOK_TEMPLATE_DIR="${PROJECT_SOURCE_DIR}/tests/workbook/template")
