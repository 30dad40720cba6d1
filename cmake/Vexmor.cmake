# Build helpers shared by every folder: sanitizers, fuzz instrumentation,
# test registration and the deliverable shared libraries.

function(vexmor_apply_sanitizers)
  if(VEXMOR_FUZZ)
    # Library code gets coverage instrumentation; only the targets link libFuzzer.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  elseif(VEXMOR_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  elseif(VEXMOR_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  elseif(NOT VEXMOR_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VEXMOR_SANITIZE must be empty, address or thread")
  endif()
endfunction()

# vexmor_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENVIRONMENT ...] [TIMEOUT s] [SHARDS ...])
# One GoogleTest program registered as one ctest test, or with SHARDS as one
# test <name>_<shard> per shard running the cases whose parameter name is
# that shard (--gtest_filter=*/<shard>), so that they run side by side.
# Labels: unit (default), slow, root (skips when not root), threads (also
# run in the ThreadSanitizer build).
# A program whose tests all GTEST_SKIP exits 77, a ctest skip.
function(vexmor_test name)
  if(NOT VEXMOR_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT;SHARDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} vexmor_gtest_main GTest::gtest Threads::Threads ${CMAKE_DL_LIBS})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(tests ${name})
  if(T_SHARDS)
    set(tests "")
    foreach(shard ${T_SHARDS})
      add_test(NAME ${name}_${shard} COMMAND ${name} --gtest_filter=*/${shard})
      list(APPEND tests ${name}_${shard})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${tests} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    SKIP_RETURN_CODE 77
    ENVIRONMENT "VEXMOR_BUILD_DIR=${CMAKE_BINARY_DIR};VEXMOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};${T_ENVIRONMENT}")
endfunction()

# vexmor_fuzz(<name> SOURCES ... [LIBS ...]): a libFuzzer target, built only
# in the fuzz configuration. CI runs every fuzz_* program for a bounded time.
function(vexmor_fuzz name)
  if(NOT VEXMOR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${F_SOURCES})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS} Threads::Threads ${CMAKE_DL_LIBS})
endfunction()

# vexmor_shared_library(<target> <file soname> SOURCES ... [LIBS ...])
# A deliverable: the file and soname are fixed (libvelloc.so.1 ...), no
# version symlinks, only explicitly exported symbols.
function(vexmor_shared_library target soname)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${L_SOURCES})
  string(REGEX REPLACE "^lib" "" base "${soname}")
  string(REGEX REPLACE "\\.so.*$" "" base "${base}")
  string(REGEX REPLACE "^.*\\.so" "" suffix "${soname}")
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${base}
    SUFFIX ".so${suffix}"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_link_options(${target} PRIVATE "LINKER:--exclude-libs,ALL")
  if(NOT VEXMOR_FUZZ)
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  target_link_libraries(${target} PRIVATE ${L_LIBS} Threads::Threads ${CMAKE_DL_LIBS})
endfunction()

find_package(Threads REQUIRED)
if(VEXMOR_TESTS OR VEXMOR_FUZZ)
  find_package(GTest REQUIRED)
endif()

# Adds every immediate subfolder that has a CMakeLists.txt; "support" (shared
# test doubles) first so the others can link it.
macro(vexmor_add_child_dirs)
  file(GLOB _children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT _children)
  list(TRANSFORM _children REPLACE "/CMakeLists.txt$" "")
  if("support" IN_LIST _children)
    list(REMOVE_ITEM _children support)
    list(PREPEND _children support)
  endif()
  foreach(_child IN LISTS _children)
    add_subdirectory(${_child})
  endforeach()
endmacro()
