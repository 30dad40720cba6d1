vexmor_fuzz(toml_reader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/toml_reader.cpp LIBS vdtcl)
