vexmor_fuzz(jpeg_header SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/jpeg_header.cpp LIBS vexmor_core)
