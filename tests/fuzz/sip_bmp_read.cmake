vexmor_fuzz(sip_bmp_read SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sip_bmp_read.cpp LIBS vexmor_imagelib_archive)
