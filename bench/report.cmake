# The report benchmark.
add_executable(report_bench reportbench.cpp)
target_link_libraries(report_bench PRIVATE vexlo::report)
