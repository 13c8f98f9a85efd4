# Tests of the table, the compressed table, the writers and the dispatch.
vexlo_add_test(report_table_test
    SOURCES
        compressformattest.cpp
        csvlinetest.cpp
        csvwritertest.cpp
        dispatchtest.cpp
        htmlwritertest.cpp
        intermediatefiletest.cpp
        reportnamestest.cpp
        tabletest.cpp
        textwritertest.cpp
    LIBS vexlo::report
)
# The golden reports are found from the source tree, wherever the tests run.
target_compile_definitions(report_table_test PRIVATE
    VEXLO_REPORT_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/golden")
