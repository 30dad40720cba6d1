vexmor_fuzz(bmp_read SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bmp_read.cpp LIBS vexmor_core)
