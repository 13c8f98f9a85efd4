# The Preview window's benchmark: bench/preview.sh times it on a generated design.
add_executable(preview_bench EXCLUDE_FROM_ALL previewbench.cpp)
target_link_libraries(preview_bench PRIVATE vexlo::preview vexlo::designfile)
