vexmor_fuzz(ber_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ber_decode.cpp LIBS velloc_net_core)
