# Build helpers shared by every folder.

add_compile_options(-Wall -Wextra)

# The sanitizer build runs the tests: line tables (-g1) are all its reports
# and stack traces need, and far less to write and link than full debug
# information. QUENTA_FULL_DEBUG_INFO=ON keeps -g for a debugger.
option(QUENTA_FULL_DEBUG_INFO "Full debug information in the sanitizer build" OFF)
if(QUENTA_SANITIZE AND NOT QUENTA_FULL_DEBUG_INFO)
  foreach(lang C CXX)
    string(REGEX REPLACE "(^| )-g( |$)" "\\1-g1\\2" CMAKE_${lang}_FLAGS_DEBUG "${CMAKE_${lang}_FLAGS_DEBUG}")
  endforeach()
endif()

# lld links the many test programs (each with the sanitizers' runtime and
# its libraries) in a fraction of the default linker's time; scripts/deps
# installs it. QUENTA_LINKER=default keeps the compiler's own linker.
set(QUENTA_LINKER "lld" CACHE STRING "Linker for -fuse-ld (lld, mold, gold), or default")
if(NOT QUENTA_LINKER STREQUAL "default")
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=${QUENTA_LINKER}" QUENTA_HAVE_LINKER_${QUENTA_LINKER})
  if(QUENTA_HAVE_LINKER_${QUENTA_LINKER})
    add_link_options("-fuse-ld=${QUENTA_LINKER}")
  else()
    message(STATUS "No ${QUENTA_LINKER} linker: the compiler's own links")
  endif()
endif()

if(QUENTA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # Every program takes the sanitizer settings of SanitizerDefaults.cpp.
  add_library(quenta_sanitizer_defaults OBJECT "${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp")
  link_libraries("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:quenta_sanitizer_defaults>")
endif()
if(QUENTA_FUZZ)
  # Every sanitizer report ends the run, so the fuzzer keeps the input as a
  # finding instead of printing the report and going on.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Adds every direct sub-folder of DIR (absolute) that has a CMakeLists.txt.
function(quenta_add_subfolders dir)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS "${dir}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# Every folder of a layer (platform, lib, app) is one library.
function(quenta_add_layer layer)
  quenta_add_subfolders("${CMAKE_SOURCE_DIR}/${layer}")
endfunction()

# quenta_library(NAME <target> [SOURCES ...] [DEPS ...])
# One static library made of the folder's .cpp files (or the SOURCES given).
# Headers are included by their path from the source root:
#   #include "platform/foundation/RunLoop.h"
function(quenta_library)
  cmake_parse_arguments(Q "" "NAME" "SOURCES;DEPS" ${ARGN})
  if(NOT Q_SOURCES)
    file(GLOB Q_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.c")
  endif()
  add_library(${Q_NAME} STATIC ${Q_SOURCES})
  target_include_directories(${Q_NAME} PUBLIC "${CMAKE_SOURCE_DIR}")
  target_compile_definitions(${Q_NAME} PRIVATE QUENTA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(Q_DEPS)
    target_link_libraries(${Q_NAME} PUBLIC ${Q_DEPS})
  endif()
endfunction()

# The precompiled header every test program shares (REUSE_FROM): the test
# framework and the standard headers most tests include. Its target is built
# with the test programs' settings, so the compiler takes the header as it is.
function(_quenta_test_pch)
  if(TARGET quenta_test_pch)
    return()
  endif()
  set(source "${CMAKE_BINARY_DIR}/quenta_test_pch.cpp")
  if(NOT EXISTS "${source}")
    file(WRITE "${source}" "// The shared precompiled header's own translation unit.\n")
  endif()
  add_library(quenta_test_pch OBJECT "${source}")
  target_include_directories(quenta_test_pch PRIVATE "${CMAKE_SOURCE_DIR}")
  target_compile_definitions(quenta_test_pch PRIVATE
    QUENTA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QUENTA_BINARY_DIR="${CMAKE_BINARY_DIR}" _REENTRANT)
  target_link_libraries(quenta_test_pch PRIVATE GTest::gtest Threads::Threads)
  target_precompile_headers(quenta_test_pch PRIVATE
    <gtest/gtest.h> <algorithm> <chrono> <functional> <map> <memory> <optional> <string> <thread> <vector>)
endfunction()

# quenta_test(LABEL <label> [SOURCES ...] DEPS ... [ENV VAR=VALUE ...] [TIMEOUT seconds])
# One test executable per folder; every case is a CTest test carrying LABEL.
function(quenta_test)
  cmake_parse_arguments(Q "" "LABEL;TIMEOUT" "SOURCES;DEPS;ENV" ${ARGN})
  if(NOT Q_TIMEOUT)
    set(Q_TIMEOUT 300)
  endif()
  if(NOT Q_SOURCES)
    file(GLOB Q_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  endif()
  set(target test_${Q_LABEL})
  add_executable(${target} ${Q_SOURCES})
  target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}")
  # _REENTRANT as the display and font libraries' flags define it, for all
  # alike: the shared precompiled header is taken only where the macros it
  # was made with are the same.
  target_compile_definitions(${target} PRIVATE
    QUENTA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QUENTA_BINARY_DIR="${CMAKE_BINARY_DIR}" _REENTRANT)
  target_link_libraries(${target} PRIVATE ${Q_DEPS} quenta_testsupport GTest::gtest GTest::gmock Threads::Threads)
  # Every test file starts with the test framework: compiled once for all.
  _quenta_test_pch()
  target_precompile_headers(${target} REUSE_FROM quenta_test_pch)
  # Every case runs (and is listed) through env with the test settings: a list
  # handed to the discovery as a test property keeps only its first entry.
  set(runner /usr/bin/env QUENTA_TEST=1 "QUENTA_BUNDLE=${CMAKE_SOURCE_DIR}/resources" ${Q_ENV})
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${runner}")
  # Listing the cases of a sanitizer build on a busy machine can take longer
  # than the default five seconds.
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS ${Q_LABEL}
               TIMEOUT ${Q_TIMEOUT})
endfunction()

# Stops the configure step when a source under the current folder includes
# a header of app/screens/ outside the folders ALLOWED names (app/screens/<x>/).
function(quenta_screen_includes_only)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "#include \"app/screens/")
    foreach(line IN LISTS includes)
      set(allowed FALSE)
      foreach(folder IN LISTS ARGN)
        if(line MATCHES "#include \"app/screens/${folder}/")
          set(allowed TRUE)
        endif()
      endforeach()
      if(NOT allowed)
        message(FATAL_ERROR "${source}: a screen area includes another area (${line}); segue through the screen map")
      endif()
    endforeach()
  endforeach()
endfunction()

# quenta_screen_area(<area> [DEPS ...])
# The library of one screen area, app/screens/<area>/: quenta_app_screens_<area>,
# made of the folder's .cpp files, on app/cycle, app/core and the screens'
# shared parts (app/screens/shared/). app/start links every area. An area
# never includes another area's headers (segues go through the screen map);
# configuring fails when one does. The shared parts are the one folder every
# area may include.
function(quenta_screen_area area)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  set(target quenta_app_screens_${area})
  quenta_library(NAME ${target} DEPS quenta_app_screens_shared quenta_app_cycle quenta_app_core ${Q_DEPS})
  quenta_screen_includes_only(${area} shared)
  set_property(GLOBAL APPEND PROPERTY QUENTA_SCREEN_AREAS ${target})
endfunction()

# The libraries a target links, directly or through other libraries.
function(_quenta_linked target out)
  set(seen "")
  set(queue ${target})
  list(LENGTH queue left)
  while(left GREATER 0)
    list(POP_FRONT queue current)
    list(LENGTH queue left)
    if(NOT TARGET "${current}" OR current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    set(links "")
    foreach(property INTERFACE_LINK_LIBRARIES LINK_LIBRARIES)
      get_target_property(more ${current} ${property})
      if(more)
        list(APPEND links ${more})
      endif()
    endforeach()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      list(APPEND queue "${link}")
    endforeach()
    list(LENGTH queue left)
  endwhile()
  set(${out} "${seen}" PARENT_SCOPE)
endfunction()

# quenta_keep_apart(<target> FROM <folder>...)
# Stops the configure step when the target's sources include a header of one
# of the folders (platform/ui, ...) or when the target links a folder's
# library, directly or through another library. Called once every library is
# defined.
function(quenta_keep_apart target)
  cmake_parse_arguments(Q "" "" "FROM" ${ARGN})
  get_target_property(dir ${target} SOURCE_DIR)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.h" "${dir}/*.cpp")
  _quenta_linked(${target} linked)
  foreach(folder IN LISTS Q_FROM)
    string(REPLACE "/" "_" library "quenta_${folder}")
    if(library IN_LIST linked)
      message(FATAL_ERROR "${target} links ${library}: it must build without ${folder}/")
    endif()
    foreach(source IN LISTS sources)
      file(STRINGS "${source}" includes REGEX "#include \"${folder}/")
      if(includes)
        message(FATAL_ERROR "${source}: ${target} includes ${folder}/ (${includes}); it must build without it")
      endif()
    endforeach()
  endforeach()
endfunction()

# quenta_screen_shared([DEPS ...])
# The screens' shared parts, app/screens/shared/: quenta_app_screens_shared,
# on app/cycle and app/core. It is no area (it registers no screen) and
# includes no area's header.
function(quenta_screen_shared)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  quenta_library(NAME quenta_app_screens_shared DEPS quenta_app_cycle quenta_app_core ${Q_DEPS})
  quenta_screen_includes_only(shared)
endfunction()

# quenta_screen_parts_rule(CYCLE <folder> KEEPS <header>... SHARED <folder>)
# Where a part of a screen lives: app/cycle holds only what every screen
# stands on (the headers KEEPS names: the command cycle, the toolbox,
# analytics); a part two or more areas use lives in the shared parts; a part
# one area uses lives in that area. Stops the configure step when app/cycle
# holds another header, or when fewer than two areas include a shared part.
# Called once every area is defined.
function(quenta_screen_parts_rule)
  cmake_parse_arguments(Q "" "CYCLE;SHARED" "KEEPS" ${ARGN})
  file(GLOB cycle_headers CONFIGURE_DEPENDS "${Q_CYCLE}/*.h")
  foreach(header IN LISTS cycle_headers)
    get_filename_component(name "${header}" NAME)
    if(NOT name IN_LIST Q_KEEPS)
      message(FATAL_ERROR "${header}: app/cycle holds only what every screen stands on (${Q_KEEPS}); "
                          "a part two areas use lives in app/screens/shared/, a part one area uses in the area")
    endif()
  endforeach()
  get_property(areas GLOBAL PROPERTY QUENTA_SCREEN_AREAS)
  file(GLOB shared_headers CONFIGURE_DEPENDS "${Q_SHARED}/*.h")
  foreach(header IN LISTS shared_headers)
    get_filename_component(name "${header}" NAME)
    set(users "")
    foreach(area IN LISTS areas)
      get_target_property(dir ${area} SOURCE_DIR)
      file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.h" "${dir}/*.cpp")
      foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "#include \"app/screens/shared/${name}\"")
        if(includes)
          list(APPEND users ${area})
          break()
        endif()
      endforeach()
    endforeach()
    list(LENGTH users count)
    if(count LESS 2)
      message(FATAL_ERROR "${header}: a shared part that ${count} area(s) use (${users}); "
                          "a part one area uses lives in that area")
    endif()
  endforeach()
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/Duktape.cmake")
