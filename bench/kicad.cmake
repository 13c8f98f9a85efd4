# The KiCad reader benchmark: bench/kicad.sh generates a KiCad 8 project and times its reading.
add_executable(generate-kicad EXCLUDE_FROM_ALL generatekicad.cpp)
add_executable(kicad_read_bench EXCLUDE_FROM_ALL kicadreadbench.cpp)
target_link_libraries(kicad_read_bench PRIVATE vexlo::designfile)
