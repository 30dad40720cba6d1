vexmor_fuzz(sip_detection SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sip_detection.cpp LIBS sip_test_images)
