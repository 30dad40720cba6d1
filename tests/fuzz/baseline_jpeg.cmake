vexmor_fuzz(baseline_jpeg SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/baseline_jpeg.cpp LIBS vexmor_core)
