vexmor_fuzz(gen1_answers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen1_answers.cpp LIBS vexmor_core)
