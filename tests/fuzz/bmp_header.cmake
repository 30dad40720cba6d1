vexmor_fuzz(bmp_header SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bmp_header.cpp LIBS vexmor_core)
