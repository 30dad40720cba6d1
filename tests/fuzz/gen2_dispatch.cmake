vexmor_fuzz(gen2_dispatch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen2_dispatch.cpp LIBS read_thread_rig)
