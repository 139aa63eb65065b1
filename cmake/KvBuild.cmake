# Build conventions shared by every folder of the tree.
#
#   kv_portable_library(name SOURCES ...)   portable core: no windows.h, -Werror,
#                                           sanitizers in the native tree
#   kv_add_gtest(name SOURCES ... LIBS ...) a GoogleTest executable registered
#                                           with ctest (under Wine in the Windows tree)
#   kv_add_driver(name SOURCES ...)         a test-double kernel driver in C (.sys)
#   kv_add_fuzz_target(name SOURCES ...)    a libFuzzer target (fuzz tree only)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(KV_WINDOWS ON)
else()
  set(KV_WINDOWS OFF)
endif()

set(KV_WARNINGS -Wall -Wextra)
add_compile_options(${KV_WARNINGS})

if(KV_WINDOWS)
  # No mingw runtime DLL (libgcc, libstdc++, winpthread) has to be found at run time,
  # by us or by a foreign host: everything but the system DLLs is linked in.
  add_link_options(-static)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

  # Tests run under Wine in a prefix private to this build tree. The wrapper creates
  # the prefix on first use; the fixture keeps one wineserver up for the whole run.
  set(KV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                 GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

  add_test(NAME wine.server.start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start-server)
  set_tests_properties(wine.server.start PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine.server.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop-server)
  set_tests_properties(wine.server.stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

if(KV_SANITIZE)
  set(KV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                         -fno-omit-frame-pointer)
  add_compile_options(${KV_SANITIZER_FLAGS})
  add_link_options(${KV_SANITIZER_FLAGS})
endif()

function(kv_portable_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -Werror)
  # The portable core never sees windows.h; make an accidental include fail loudly.
  target_compile_definitions(${name} PRIVATE KV_PORTABLE_CORE)
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

function(kv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(KV_WINDOWS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()

# kv_add_driver(name SOURCES ... [OUTPUT_NAME file]): a test-double kernel driver in C
# (the DDK headers do not compile as C++), linked as a native-subsystem image named
# <file>.sys that Wine loads through the service manager.
function(kv_add_driver name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES" ${ARGN})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${name})
  endif()
  add_library(${name} SHARED ${ARG_SOURCES})
  target_include_directories(${name} SYSTEM PRIVATE /usr/share/mingw-w64/include/ddk)
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME}
                                           SUFFIX ".sys" LINKER_LANGUAGE C)
  target_link_options(${name} PRIVATE -nostdlib -Wl,--subsystem,native
                      -Wl,--entry,_DriverEntry@8)
  target_link_libraries(${name} PRIVATE ntoskrnl)
endfunction()

# kv_add_fuzz_target(name SOURCES ... LIBS ... [COVER lib ...] [INCLUDES dir ...]):
# a libFuzzer target over a parser of untrusted bytes, built only in the fuzz tree. The COVER libraries carry the
# coverage that guides the fuzzer.
function(kv_add_fuzz_target name)
  if(NOT KV_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;COVER;INCLUDES" ${ARGN})
  set(flags -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${flags})
  target_link_options(${name} PRIVATE ${flags})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  foreach(lib ${ARG_COVER})
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
  endforeach()
endfunction()
