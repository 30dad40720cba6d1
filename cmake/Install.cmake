# The installed layout (cmake --install BUILD [--prefix P], DESTDIR honoured):
#   <prefix>/<VEXMOR_INSTALL_LIBDIR>   libvexmor.so.3, libvelloc.so.1, libvelloc-usb.so.1,
#                                      libvelloc-net.so.1, named by <VEXMOR_LDCONF_DIR>/vordane5.conf
#   <VEXMOR_SANE_BACKEND_DIR>          libsane-vordane5.so.1
#   <VEXMOR_SANE_CONFIG_DIR>/dll.d     vordane5
#   <VEXMOR_ETC_DIR>                   kavrun5.ini (kept when present; the new one beside it as .dist)
#   <VEXMOR_OPT_DIR>/models            empty: model files come with the scanners' data
#   <VEXMOR_NETSETUP_DIR>              netsetup-cli, netsetup-gtk; <prefix>/<bindir> links to them
#   <prefix>/<mandir>/man5             sane-vordane5.5, the backend's manual page
# install_manifest.txt lists every file and link written (the two lists and
# the settings file too), so removing what it lists undoes the install.
# The engine and the backend load these libraries by bare name, so they go to
# a folder of their own that the dynamic loader is told about: the names
# stay out of the distribution's library folders and the layout works with
# any prefix. Without DESTDIR, as root, the install ends with ldconfig.
include(GNUInstallDirs)

find_package(PkgConfig REQUIRED)
pkg_get_variable(VEXMOR_SANE_LIBDIR sane-backends libdir)
if(NOT VEXMOR_SANE_LIBDIR)
  set(VEXMOR_SANE_LIBDIR /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()
set(VEXMOR_SANE_BACKEND_DIR "${VEXMOR_SANE_LIBDIR}/sane" CACHE PATH "Folder SANE loads its backends from")
set(VEXMOR_SANE_CONFIG_DIR "/etc/sane.d" CACHE PATH "SANE's configuration folder (holds dll.d)")
set(VEXMOR_LDCONF_DIR "/etc/ld.so.conf.d" CACHE PATH "Folder of the dynamic loader's folder lists")
set(VEXMOR_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vordane5" CACHE STRING
    "Folder of the engine and device-access libraries (relative: below the prefix)")
set(VEXMOR_NETSETUP_DIR "${VEXMOR_OPT_DIR}" CACHE PATH
    "Folder of the setup tools, where they find their companion files and the model folder")
option(VEXMOR_INSTALL_TOOL_LINKS "Link the setup tools from the programs folder" ON)

# Folders made on the way get 0755 whatever the umask: nothing installed is
# writable by others.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The rules run at the end of the top folder, when every target exists.
function(_vexmor_install_rules)
  set(_vexmor_libraries vexmor velloc_dispatcher velloc_usb velloc_net)
  foreach(target IN LISTS _vexmor_libraries)
    if(TARGET ${target})
      install(TARGETS ${target} LIBRARY DESTINATION ${VEXMOR_INSTALL_LIBDIR})
    endif()
  endforeach()
  if(TARGET sane_vordane5)
    install(TARGETS sane_vordane5 LIBRARY DESTINATION ${VEXMOR_SANE_BACKEND_DIR})
  endif()
  foreach(tool netsetup-cli netsetup-gtk)
    if(TARGET ${tool})
      install(TARGETS ${tool} RUNTIME DESTINATION ${VEXMOR_NETSETUP_DIR})
    endif()
  endforeach()
  install(DIRECTORY DESTINATION ${VEXMOR_OPT_DIR}/models)
  # The backend's manual page, naming the folders of this build.
  if(TARGET sane_vordane5)
    configure_file(${CMAKE_SOURCE_DIR}/backend_source/sane-vordane5.5.in ${CMAKE_BINARY_DIR}/sane-vordane5.5 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/sane-vordane5.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
  endif()

  # The steps that depend on the prefix given at install time or on what is
  # already installed.
  configure_file(${CMAKE_SOURCE_DIR}/cmake/InstallSteps.cmake.in ${CMAKE_BINARY_DIR}/InstallSteps.cmake @ONLY)
  install(SCRIPT ${CMAKE_BINARY_DIR}/InstallSteps.cmake)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _vexmor_install_rules)
