vexmor_fuzz(model_line_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/model_line_decode.cpp LIBS vordane5_core)
