vexmor_fuzz(gen2_scan_blocks SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen2_scan_blocks.cpp LIBS vexmor_core)
