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

# Release: small code, unused sections dropped at link time, no symbols.
# (Cache entries: the compiler's own defaults, -O3, would follow an _INIT.)
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG -ffunction-sections -fdata-sections" CACHE STRING "Release C flags")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG -ffunction-sections -fdata-sections" CACHE STRING "Release C++ flags")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s -Wl,--gc-sections" CACHE STRING "Release linker flags")

# A Qt 6 built for i686 MinGW gives the full window: pass its prefix (the
# folder holding lib/cmake/Qt6) as TALVOREN_QT_WINDOWS, and QT_HOST_PATH
# naming a host Qt 6 of the same version for moc, rcc and uic. Without
# TALVOREN_QT_WINDOWS the prebuilt archive beside the repository
# (../shared/qt6-i686-mingw.tar.xz, made by tools/build-qt-mingw.sh) is
# unpacked into the build folder when it is there; otherwise the executable
# is the command-line mode alone.
if(NOT TALVOREN_QT_WINDOWS AND NOT CMAKE_IN_TRY_COMPILE)
    if(NOT TALVOREN_QT_WINDOWS_ARCHIVE)
        get_filename_component(TALVOREN_QT_WINDOWS_ARCHIVE
                               "${CMAKE_CURRENT_LIST_DIR}/../../shared/qt6-i686-mingw.tar.xz" ABSOLUTE)
    endif()
    set(qt_unpacked "${CMAKE_BINARY_DIR}/qt6-i686-mingw")
    if(EXISTS "${qt_unpacked}/opt/qt6-i686-mingw/lib/cmake/Qt6")
        set(TALVOREN_QT_WINDOWS "${qt_unpacked}/opt/qt6-i686-mingw")
    elseif(EXISTS "${TALVOREN_QT_WINDOWS_ARCHIVE}")
        message(STATUS "Talvoren: unpacking ${TALVOREN_QT_WINDOWS_ARCHIVE}")
        file(ARCHIVE_EXTRACT INPUT "${TALVOREN_QT_WINDOWS_ARCHIVE}" DESTINATION "${qt_unpacked}")
        set(TALVOREN_QT_WINDOWS "${qt_unpacked}/opt/qt6-i686-mingw")
    endif()
    if(TALVOREN_QT_WINDOWS)
        set(TALVOREN_QT_WINDOWS "${TALVOREN_QT_WINDOWS}" CACHE PATH "Qt 6 for i686 MinGW" FORCE)
    endif()
endif()
if(TALVOREN_QT_WINDOWS)
    # Debian's host Qt of the same version gives moc, rcc and uic.
    if(NOT QT_HOST_PATH AND EXISTS /usr/lib/qt6/libexec/moc)
        set(QT_HOST_PATH /usr CACHE PATH "Host Qt 6")
        set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt 6 CMake folder")
    endif()
    list(APPEND CMAKE_FIND_ROOT_PATH ${TALVOREN_QT_WINDOWS})
    list(APPEND CMAKE_PREFIX_PATH ${TALVOREN_QT_WINDOWS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALVOREN_QT_WINDOWS QT_HOST_PATH QT_HOST_PATH_CMAKE_DIR)
