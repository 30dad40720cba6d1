vexmor_fuzz(sip_convert SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sip_convert.cpp LIBS sip_test_images)
