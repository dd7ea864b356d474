# Cross build for 32-bit Windows with Debian's MinGW-w64 i686 compiler.
#
# The executable is linked statically (C++ runtime, libgcc and winpthreads),
# so it runs from a bare folder without any MinGW DLL beside it. Tests run
# through Wine: CTest prefixes every test command with the emulator below.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TALVOREN_MINGW_TRIPLET i686-w64-mingw32)

# The "posix" thread model gives std::thread, std::mutex and friends on
# GCC 12; the "win32" one does not. Fall back to the plain names otherwise.
find_program(TALVOREN_MINGW_CC NAMES ${TALVOREN_MINGW_TRIPLET}-gcc-posix ${TALVOREN_MINGW_TRIPLET}-gcc REQUIRED)
find_program(TALVOREN_MINGW_CXX NAMES ${TALVOREN_MINGW_TRIPLET}-g++-posix ${TALVOREN_MINGW_TRIPLET}-g++ REQUIRED)
find_program(TALVOREN_MINGW_RC NAMES ${TALVOREN_MINGW_TRIPLET}-windres REQUIRED)
set(CMAKE_C_COMPILER ${TALVOREN_MINGW_CC})
set(CMAKE_CXX_COMPILER ${TALVOREN_MINGW_CXX})
set(CMAKE_RC_COMPILER ${TALVOREN_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${TALVOREN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wide-character Win32 API throughout; Windows 7 is the oldest target.
set(TALVOREN_WIN32_DEFINES "-DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -DNOMINMAX")
set(CMAKE_C_FLAGS_INIT "${TALVOREN_WIN32_DEFINES}")
set(CMAKE_CXX_FLAGS_INIT "${TALVOREN_WIN32_DEFINES}")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TALVOREN_WINE NAMES wine)
if(TALVOREN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVOREN_WINE})
endif()

# A Qt 6 built for i686 MinGW gives the full window: pass its prefix (the
# folder holding lib/cmake/Qt6) as TALVOREN_QT_WINDOWS, and QT_HOST_PATH
# naming a host Qt 6 of the same version for moc, rcc and uic. Without it
# the executable is the command-line mode alone.
if(TALVOREN_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TALVOREN_QT_WINDOWS})
    list(APPEND CMAKE_PREFIX_PATH ${TALVOREN_QT_WINDOWS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALVOREN_QT_WINDOWS)
