vexmor_fuzz(netsetup_names SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/netsetup_names.cpp LIBS netsetup_core)
