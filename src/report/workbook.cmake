target_sources(vexlo_report PRIVATE)
