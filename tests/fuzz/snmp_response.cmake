vexmor_fuzz(snmp_response SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/snmp_response.cpp LIBS velloc_net_core)
