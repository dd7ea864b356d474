# Linking the Windows executables with LLVM's lld where the MinGW compiler
# can use it (the command `i686-w64-mingw32-ld.lld` beside its own linker, see
# the README): it folds identical code (--icf=all) and, unlike GNU ld, can
# delay-load a DLL that the static Qt calls through __declspec(dllimport).
#
# The command-line mode of talvoren.exe needs none of Direct3D, DirectWrite,
# the common dialogs, winsock and the rest that Qt's window code imports; with
# them delay-loaded, Windows maps only the system's core DLLs at start, which is
# most of what a change made from a script costs.

include(CheckCXXSourceCompiles)

set(CMAKE_REQUIRED_LINK_OPTIONS -fuse-ld=lld -Wl,--icf=all)
check_cxx_source_compiles("int main() { return 0; }" TALVOREN_HAVE_LLD)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
find_program(TALVOREN_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14)

if(TALVOREN_HAVE_LLD)
    add_link_options(-fuse-ld=lld $<$<CONFIG:Release>:-Wl,--icf=all>)
    message(STATUS "Talvoren: linking with lld")
else()
    message(STATUS "Talvoren: linking with GNU ld (no ${TALVOREN_MINGW_TRIPLET}-ld.lld): "
                   "the DLLs of the window are loaded at every start")
endif()

# talvoren_delay_load(target): the DLLs named by cmake/delayload/*.def are
# loaded on the first call into them. Each .def lists the functions imported
# from that DLL; a function missing there comes from the ordinary import
# library, so that DLL is simply loaded at start again.
function(talvoren_delay_load target)
    if(NOT TALVOREN_HAVE_LLD OR NOT TALVOREN_LLVM_DLLTOOL)
        return()
    endif()
    file(GLOB defs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/delayload/*.def)
    set(libs)
    foreach(def ${defs})
        get_filename_component(name ${def} NAME_WE)
        file(STRINGS ${def} library REGEX "^LIBRARY ")
        string(REGEX REPLACE "^LIBRARY +" "" dll "${library}")
        set(lib ${CMAKE_BINARY_DIR}/delayload/lib${name}.a)
        # -k: the functions are called with their stdcall names (Foo@8)
        # and exported by the DLL without the decoration.
        add_custom_command(OUTPUT ${lib}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayload
            COMMAND ${TALVOREN_LLVM_DLLTOOL} -m i386 -k -d ${def} -l ${lib}
            DEPENDS ${def}
            VERBATIM)
        list(APPEND libs ${lib})
        target_link_options(${target} PRIVATE -Wl,--delayload=${dll})
    endforeach()
    add_custom_target(${target}_delayload DEPENDS ${libs})
    add_dependencies(${target} ${target}_delayload)
    # Before every other library, so that these imports are the ones taken.
    target_link_options(${target} PRIVATE ${libs})
endfunction()
