vexmor_fuzz(recv_cmd_response SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/recv_cmd_response.cpp
            LIBS vexmor_core fake_device_access)
