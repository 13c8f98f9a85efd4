target_sources(vexlo_report PRIVATE dispatch.cpp)
