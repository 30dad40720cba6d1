vexmor_fuzz(jpeg_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/jpeg_decode.cpp LIBS vdtcl)
