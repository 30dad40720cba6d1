vexmor_fuzz(tiff_create SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tiff_create.cpp LIBS vexmor_core)
