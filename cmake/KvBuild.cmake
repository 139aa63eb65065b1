# Build conventions shared by every folder of the tree.
#
#   kv_portable_library(name SOURCES ...)   portable core: no windows.h, -Werror,
#                                           sanitizers in the native tree
#   kv_windows_library(name SHARED|STATIC SOURCES ... LIBS ... [OUTPUT_NAME file])
#                                           a Win32 shell or deliverable: -Werror, the
#                                           static runtime, the shared Win32 layer, the
#                                           import libraries it names
#   kv_windows_program(name [GUI] SOURCES ... LIBS ... [OUTPUT_NAME file])
#                                           the same for a program
#   kv_add_gtest(name SOURCES ... LIBS ... [ARGS ...])
#                                           a GoogleTest executable registered
#                                           with ctest (under Wine in the Windows tree)
#   kv_add_driver(name SOURCES ...)         a test-double kernel driver in C (.sys)
#   kv_add_fuzz_target(name SOURCES ...)    a libFuzzer target (fuzz tree), replayed over
#                                           its kept inputs by ctest (native tree)

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

# Headers that stand before the system's Win32 headers for portable sources: each one
# stops the build with a message (every Win32 header comes in through one of them).
set(KV_PORTABLE_GUARD_DIR ${CMAKE_CURRENT_LIST_DIR}/portable_guard)

function(kv_portable_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -Werror)
  # The portable core never sees windows.h: an include of it fails to build, in the
  # Windows tree too.
  target_compile_definitions(${name} PRIVATE KV_PORTABLE_CORE)
  target_include_directories(${name} BEFORE PRIVATE ${KV_PORTABLE_GUARD_DIR})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# Options shared by the two functions below.
function(kv_windows_target name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "LIBS" ${ARGN})
  # RC files go to windres, which knows no -Werror.
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Werror>)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
endfunction()

# kv_windows_library(name SHARED|STATIC SOURCES ... [LIBS ...] [PUBLIC_LIBS ...]
#                    [OUTPUT_NAME file]): a Win32 shell (STATIC) or a deliverable DLL
# (SHARED, named exactly <OUTPUT_NAME or name>.dll, exports from the .def among the
# sources). Every import library it calls into is named in LIBS; the static runtime
# comes with every link of this tree (add_link_options above).
function(kv_windows_library name kind)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} ${kind} ${ARG_SOURCES})
  if(kind STREQUAL "SHARED")
    set_target_properties(${name} PROPERTIES PREFIX "")
  endif()
  kv_windows_target(${name} OUTPUT_NAME "${ARG_OUTPUT_NAME}" LIBS ${ARG_LIBS})
  # A shell's headers use the layer's owners: whoever links the shell sees them too.
  if(NOT name STREQUAL "kv_win32")
    target_link_libraries(${name} PUBLIC kv_win32)
  endif()
  if(ARG_PUBLIC_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS})
  endif()
endfunction()

# kv_windows_program(name [GUI] SOURCES ... [LIBS ...] [OUTPUT_NAME file]): a program.
function(kv_windows_program name)
  cmake_parse_arguments(ARG "GUI" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  if(ARG_GUI)
    add_executable(${name} WIN32 ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  kv_windows_target(${name} OUTPUT_NAME "${ARG_OUTPUT_NAME}" LIBS ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE kv_win32)
endfunction()

function(kv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS})
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
# a target over a parser of untrusted bytes (a LLVMFuzzerTestOneInput in SOURCES). Its
# kept inputs lie in fuzz/corpus/<name>/ (seeds and minimised finds, at least one file)
# and fuzz/regressions/<name>/ (every input that ever found a fault).
#   - fuzz tree (KV_FUZZ): the libFuzzer program <name>; the COVER libraries carry the
#     coverage that guides the fuzzer. A line in <build>/fuzz-targets/<name>.target
#     tells scripts/fuzz.sh where the program and its folders are.
#   - native tree: <name>_replay, the same sources with fuzz/replay's main under the
#     tree's sanitizers, which ctest runs over both folders (test <name>_replay).
set(KV_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR}/../fuzz)
cmake_path(NORMAL_PATH KV_FUZZ_DIR)
if(KV_FUZZ)
  # Written anew by every configure, so a target that is gone is no longer listed.
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/fuzz-targets)
endif()

function(kv_add_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;COVER;INCLUDES" ${ARGN})
  set(corpus ${KV_FUZZ_DIR}/corpus/${name})
  set(regressions ${KV_FUZZ_DIR}/regressions/${name})
  if(KV_FUZZ)
    set(flags -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${flags} -Werror)
    target_link_options(${name} PRIVATE ${flags})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
    foreach(lib ${ARG_COVER})
      target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz-targets/${name}.target
         CONTENT "$<TARGET_FILE:${name}>\n${corpus}\n${regressions}\n")
  elseif(NOT KV_WINDOWS)
    add_executable(${name}_replay ${ARG_SOURCES} ${KV_FUZZ_DIR}/replay/fuzz_replay_main.cpp)
    target_compile_definitions(${name}_replay PRIVATE KV_FUZZ_TARGET_NAME="${name}")
    target_compile_options(${name}_replay PRIVATE -Werror)
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
    target_include_directories(${name}_replay PRIVATE ${ARG_INCLUDES})
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${corpus} ${regressions})
    set_tests_properties(${name}_replay PROPERTIES LABELS fuzz_replay TIMEOUT 900)
  endif()
endfunction()
