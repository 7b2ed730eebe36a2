# Cross build of the 32-bit Windows program with Debian's mingw-w64 i686
# compilers. Runtimes are linked statically, arithmetic uses SSE2, and
# CTest runs the Windows test programs under Wine with a prefix that lives
# in the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VANTILO_MINGW_TRIPLE i686-w64-mingw32)
# The -posix variants: GoogleTest needs std::mutex, which the win32-thread
# variants lack.
set(CMAKE_C_COMPILER ${VANTILO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTILO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTILO_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${VANTILO_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${VANTILO_MINGW_TRIPLE}-objdump)
set(CMAKE_OBJCOPY ${VANTILO_MINGW_TRIPLE}-objcopy)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTILO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 instead of the x87 unit, so a double narrowed to float has the same
# bits as on x86-64.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# No libgcc, libstdc++ or winpthread DLL beside an exe or a DLL we build.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Wine runs the test programs; one prefix per build tree, kept quiet, with
# no prompt to install Wine's .NET or HTML engines. -DVANTILO_WINE=OFF: a
# machine where Wine cannot run (one whose kernel runs no 32-bit x86
# program); the test programs are then built but not run.
if(NOT DEFINED VANTILO_WINE OR VANTILO_WINE)
  set(VANTILO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  set(VANTILO_WINE_ENV "WINEPREFIX=${VANTILO_WINEPREFIX}" WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=")
  if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${VANTILO_WINE_ENV} wine)
  endif()
endif()
