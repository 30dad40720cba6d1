vexmor_fuzz(sip_page_process SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sip_page_process.cpp LIBS sip_test_images)
