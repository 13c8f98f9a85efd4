# The end-to-end benchmark: bench/e2e.sh drives the real simulator and vexlo-report.
add_executable(generate-design EXCLUDE_FROM_ALL generatedesign.cpp)

# The fetch's floor beside each figure: the design's stream read once from its memory file.
add_executable(stream-floor EXCLUDE_FROM_ALL streamfloor.cpp)
target_link_libraries(stream-floor PRIVATE Qt6::DBus vexlo::common)
