vexmor_fuzz(engine_replay SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_replay.cpp LIBS vexmor_core engine_driver mock_recording)
