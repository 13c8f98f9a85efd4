# The wide-design benchmark: two components of 100,000 attributes, every name a column.
add_executable(wide_bench EXCLUDE_FROM_ALL widebench.cpp)
target_link_libraries(wide_bench PRIVATE vexlo::report vexlo::design_dbus)
