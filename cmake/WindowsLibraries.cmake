# SPDX-License-Identifier: MIT
# Windows: cairo, pixman, FreeType, HarfBuzz, FriBidi, libspng and utf8proc are static libraries (scripts/windows-deps builds them for
# the cross build), so their targets carry pkg-config's static link lines; pango has no build
# for Windows here, and the headless host lays out text with FreeType alone.
function(quorvel_static_package name module)
  pkg_check_modules(${name} REQUIRED ${module})
  add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${${name}_STATIC_INCLUDE_DIRS}"
    INTERFACE_COMPILE_OPTIONS "${${name}_STATIC_CFLAGS_OTHER}"
    INTERFACE_LINK_LIBRARIES "${${name}_STATIC_LDFLAGS}")
endfunction()

quorvel_static_package(CAIRO cairo)
quorvel_static_package(PIXMAN pixman-1)
quorvel_static_package(FREETYPE freetype2)
quorvel_static_package(HARFBUZZ harfbuzz)
quorvel_static_package(FRIBIDI fribidi)
quorvel_static_package(SPNG spng)
quorvel_static_package(UTF8PROC libutf8proc)
set_property(TARGET PkgConfig::SPNG APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS SPNG_STATIC)
# FriBidi's header marks its functions dllimport unless told that the library is static.
set_property(TARGET PkgConfig::FRIBIDI APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS FRIBIDI_LIB_STATIC)
