target_sources(vexlo_report PRIVATE
    compressformat.cpp
    csvline.cpp
    csvwriter.cpp
    dispatch.cpp
    htmlwriter.cpp
    intermediatefile.cpp
    reportnames.cpp
    table.cpp
    tablereport.cpp
    textwriter.cpp
    transientfiles.cpp
)
