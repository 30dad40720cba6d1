vexmor_fuzz(replay_mock SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/replay_mock.cpp LIBS vexmor_core test_bytes)
