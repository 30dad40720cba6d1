find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
vexmor_fuzz(usb_device_id SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/usb_device_id.cpp LIBS velloc_usb_core PkgConfig::LIBUSB)
