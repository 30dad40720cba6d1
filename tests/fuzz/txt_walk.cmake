vexmor_fuzz(txt_walk SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/txt_walk.cpp LIBS vordane5_core)
