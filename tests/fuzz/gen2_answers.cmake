vexmor_fuzz(gen2_answers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen2_answers.cpp LIBS vexmor_core)
