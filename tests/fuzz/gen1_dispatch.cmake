vexmor_fuzz(gen1_dispatch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gen1_dispatch.cpp LIBS read_thread_rig)
