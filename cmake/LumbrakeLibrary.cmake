# What every library and test program of the project is built with: the one table of which
# library may use which, the warnings, the library function and GoogleTest.

# Each library folder and the libraries it builds on directly. Links follow this table and
# nothing else; the Layering.Includes test (cmake/CheckLayers.cmake, registered in
# tests/CMakeLists.txt) checks every #include against it.
set(LUMBRAKE_LAYERS
    "platform:"
    "gui:platform"
    "core:platform"
    "text:core"
    "fs:text"
    "tasks:text"
    "file:fs,tasks"
    "app:file,gui")

# lumbrake_layer_deps(name out): the direct dependencies of one library.
function(lumbrake_layer_deps name out)
  set(_deps "")
  foreach(entry IN LISTS LUMBRAKE_LAYERS)
    string(REPLACE ":" ";" _parts "${entry}")
    list(GET _parts 0 _name)
    if(_name STREQUAL name)
      list(LENGTH _parts _n)
      if(_n GREATER 1)
        list(GET _parts 1 _list)
        string(REPLACE "," ";" _deps "${_list}")
      endif()
      set(${out} "${_deps}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "lumbrake_layer_deps: '${name}' is not in LUMBRAKE_LAYERS")
endfunction()

# Our own code builds with warnings as errors; third-party code (GoogleTest) does not.
set(LUMBRAKE_WARNINGS -Wall -Wextra -Wpedantic -Werror)
# GCC 12 at -O2 and above reports overlapping memcpy inside std::string's own inlined code
# (a false -Wrestrict); keep it a warning there rather than an error.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND LUMBRAKE_WARNINGS -Wno-error=restrict)
endif()
function(lumbrake_target t)
  target_compile_options(${t} PRIVATE ${LUMBRAKE_WARNINGS})
endfunction()

# lumbrake_library(name [SOURCES file...]): one static library from every .cpp of the
# current folder (plus SOURCES), linked to the libraries the table gives it.
function(lumbrake_library name)
  cmake_parse_arguments(PARSE_ARGV 1 _arg "" "" "SOURCES")
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(APPEND _src ${_arg_SOURCES})
  lumbrake_layer_deps(${name} _deps)
  if(NOT _src)
    add_library(lumbrake_${name} INTERFACE)
    target_include_directories(lumbrake_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    list(TRANSFORM _deps PREPEND lumbrake_)
    target_link_libraries(lumbrake_${name} INTERFACE ${_deps})
    return()
  endif()
  add_library(lumbrake_${name} STATIC ${_src})
  target_include_directories(lumbrake_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  list(TRANSFORM _deps PREPEND lumbrake_)
  target_link_libraries(lumbrake_${name} PUBLIC ${_deps})
  lumbrake_target(lumbrake_${name})
endfunction()

# GoogleTest, built once per build tree from Debian's sources with that tree's compiler and
# flags: a host libgtest would be wrong for the cross (Wine) and sanitizer builds.
function(lumbrake_googletest)
  if(TARGET GTest::gtest_main)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
