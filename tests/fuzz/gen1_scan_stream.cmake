vexmor_fuzz(gen1_scan_stream SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen1_scan_stream.cpp LIBS vexmor_core)
