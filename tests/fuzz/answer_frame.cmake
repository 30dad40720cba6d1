vexmor_fuzz(answer_frame SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/answer_frame.cpp LIBS vexmor_core)
