vexmor_fuzz(sim_frames SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim_frames.cpp LIBS scanner_sim)
