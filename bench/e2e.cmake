# The end-to-end benchmark: bench/e2e.sh drives the real simulator and vexlo-report.
add_executable(generate-design generatedesign.cpp)
target_link_libraries(generate-design PRIVATE vexlo::simtestsupport)
