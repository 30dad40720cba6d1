vexmor_fuzz(page_enhance SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/page_enhance.cpp LIBS vexmor_core)
