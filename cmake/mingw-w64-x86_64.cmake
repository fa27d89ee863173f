# SPDX-License-Identifier: MIT
# Cross-compiling for Windows x86-64 with Debian's mingw-w64 (the posix thread flavour).
# The libraries come from scripts/windows-deps: pass -DQUORVEL_WINDOWS_DEPS_PREFIX=<its prefix/>
# (default: build-windows-deps/prefix in the source tree).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${QUORVEL_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUORVEL_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

if(NOT QUORVEL_WINDOWS_DEPS_PREFIX)
  get_filename_component(_quorvel_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(QUORVEL_WINDOWS_DEPS_PREFIX "${_quorvel_root}/build-windows-deps/prefix")
endif()
set(QUORVEL_WINDOWS_DEPS_PREFIX "${QUORVEL_WINDOWS_DEPS_PREFIX}" CACHE PATH
    "Prefix of the cross-built Windows libraries")
# Try-compiles run in projects of their own; hand them the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_WINDOWS_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLET} ${QUORVEL_WINDOWS_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the cross-built libraries only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${QUORVEL_WINDOWS_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Everything the programs and the module need from the compiler's own libraries goes inside
# them, so that they depend on Windows' system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
