vexmor_fuzz(tstring SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tstring.cpp LIBS vdtcl)
