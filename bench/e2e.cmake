# The end-to-end benchmark: bench/e2e.sh drives the real simulator and vexlo-report.
add_executable(generate-design EXCLUDE_FROM_ALL generatedesign.cpp)

