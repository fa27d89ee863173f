# SPDX-License-Identifier: MIT
# The plug-in: one static library of plug-in code from host/, params/, text/ and render/,
# and the module built from it that exports EntryPointFunc and nothing else.

file(GLOB QUORVEL_PLUGIN_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/host/*.cpp
     ${PROJECT_SOURCE_DIR}/params/*.cpp
     ${PROJECT_SOURCE_DIR}/text/*.cpp
     ${PROJECT_SOURCE_DIR}/render/*.cpp)
list(FILTER QUORVEL_PLUGIN_SOURCES EXCLUDE REGEX ".*_main\\.cpp$")

add_library(quorvel_plugin STATIC ${QUORVEL_PLUGIN_SOURCES})
target_include_directories(quorvel_plugin PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvel_plugin PUBLIC quorvel_hostapi PkgConfig::CAIRO PRIVATE quorvel_warnings)
set_target_properties(quorvel_plugin PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# The PiPL is defined once, in code; this tool writes it as the Linux sidecar and as a
# Windows resource script. A cross build runs a copy built for the build machine.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(QUORVEL_NATIVE_PIPL_WRITER ${PROJECT_BINARY_DIR}/pipl_writer_native/quorvel_pipl_writer)
  ExternalProject_Add(quorvel_pipl_writer_native
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/pipl_writer
    BINARY_DIR ${PROJECT_BINARY_DIR}/pipl_writer_native
    CMAKE_ARGS -DQUORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${QUORVEL_NATIVE_PIPL_WRITER})
  set(QUORVEL_PIPL_WRITER_COMMAND ${QUORVEL_NATIVE_PIPL_WRITER})
  set(QUORVEL_PIPL_WRITER_DEPENDS quorvel_pipl_writer_native ${QUORVEL_NATIVE_PIPL_WRITER})
else()
  add_executable(quorvel_pipl_writer ${PROJECT_SOURCE_DIR}/host/pipl_writer_main.cpp)
  target_link_libraries(quorvel_pipl_writer PRIVATE quorvel_plugin quorvel_warnings)
  set(QUORVEL_PIPL_WRITER_COMMAND quorvel_pipl_writer)
  set(QUORVEL_PIPL_WRITER_DEPENDS quorvel_pipl_writer)
endif()

# The module is made of every object of the library (as a whole archive would be); linking the
# library as well brings its usage requirements (cairo) and adds no object twice.
add_library(Quorvel MODULE $<TARGET_OBJECTS:quorvel_plugin>)
target_link_libraries(Quorvel PRIVATE quorvel_plugin)
set_target_properties(Quorvel PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                                         LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
if(NOT WIN32)
  target_link_options(Quorvel PRIVATE
                      "LINKER:--version-script=${PROJECT_SOURCE_DIR}/host/exports.map"
                      "LINKER:--exclude-libs,ALL")
  # Under clang's sanitizers the runtime lives in the program that loads the module, so the
  # module's sanitizer symbols are resolved only at load time.
  if(NOT (QUORVEL_SANITIZE OR QUORVEL_TSAN OR QUORVEL_FUZZ))
    target_link_options(Quorvel PRIVATE "LINKER:--no-undefined")
  endif()
  set_property(TARGET Quorvel APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/host/exports.map)
else()
  set_target_properties(Quorvel PROPERTIES SUFFIX ".aex")
  # A Windows host finds the PiPL as resource 16000 inside the module.
  enable_language(RC)
  target_sources(Quorvel PRIVATE ${PROJECT_BINARY_DIR}/Quorvel_pipl.rc)
  if(MINGW)
    # EntryPointFunc is the only export (it is marked dllexport); nothing else is exported
    # automatically, from our objects or from the static libraries linked in.
    target_link_options(Quorvel PRIVATE "LINKER:--exclude-all-symbols" "LINKER:--no-undefined")
  endif()
endif()

add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/Quorvel.pipl ${PROJECT_BINARY_DIR}/Quorvel_pipl.rc
  COMMAND ${QUORVEL_PIPL_WRITER_COMMAND} ${PROJECT_BINARY_DIR}/Quorvel.pipl
          ${PROJECT_BINARY_DIR}/Quorvel_pipl.rc
  DEPENDS ${QUORVEL_PIPL_WRITER_DEPENDS}
  COMMENT "Writing the PiPL sidecar and resource script")
add_custom_target(quorvel_pipl ALL DEPENDS ${PROJECT_BINARY_DIR}/Quorvel.pipl)
add_dependencies(Quorvel quorvel_pipl)
