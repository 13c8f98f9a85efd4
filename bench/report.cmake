# The report benchmark: the compressed table, the writers and the whole workbook report.
add_executable(report_bench reportbench.cpp)
target_link_libraries(report_bench PRIVATE vexlo::report PkgConfig::LIBZIP)
target_compile_definitions(report_bench PRIVATE
    VEXLO_WORKBOOK_TEMPLATE_DIR="${PROJECT_SOURCE_DIR}/tests/report/data/workbook/template")
