# The wide-design benchmark: two components of 100,000 attributes, every name a column.
add_executable(wide_bench EXCLUDE_FROM_ALL widebench.cpp)
target_link_libraries(wide_bench PRIVATE vexlo::report vexlo::dbus)

# The report's stages in process on a design of the end-to-end benchmark's kind.
add_executable(table_bench EXCLUDE_FROM_ALL tablebench.cpp)
target_link_libraries(table_bench PRIVATE vexlo::report vexlo::dbus)
