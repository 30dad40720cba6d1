vexmor_fuzz(scan_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scan_decode.cpp LIBS vexmor_core)
