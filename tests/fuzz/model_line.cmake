vexmor_fuzz(model_line SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/model_line.cpp LIBS vordane5_core)
