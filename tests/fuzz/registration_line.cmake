vexmor_fuzz(registration_line SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registration_line.cpp LIBS vordane5_core usb-1.0)
