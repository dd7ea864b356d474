# Delay-loaded system DLLs for a MinGW-w64 executable.
#
# The window's static Qt imports DLLs that the command-line mode never
# touches (Direct3D, DirectWrite, sockets, printing, multimedia ...); loading
# them at start costs more than the change itself, above all under Wine,
# where Direct3D brings up its whole OpenGL layer. A delay-import library of
# the same name, found before the system one, makes each of them load at its
# first call instead.

function(talvoren_delay_load target)
    find_program(TALVOREN_DLLTOOL NAMES ${TALVOREN_MINGW_TRIPLET}-dlltool dlltool REQUIRED)
    find_program(TALVOREN_NM NAMES ${TALVOREN_MINGW_TRIPLET}-nm nm REQUIRED)
    set(dir ${CMAKE_BINARY_DIR}/delayload)
    file(MAKE_DIRECTORY ${dir})
    foreach(lib IN LISTS ARGN)
        find_file(import_${lib} lib${lib}.a PATHS /usr/${TALVOREN_MINGW_TRIPLET}/lib NO_DEFAULT_PATH
                  NO_CMAKE_FIND_ROOT_PATH)
        if(NOT import_${lib})
            message(FATAL_ERROR "no import library lib${lib}.a")
        endif()
        set(out ${dir}/lib${lib}.a)
        if(NOT EXISTS ${out} OR ${import_${lib}} IS_NEWER_THAN ${out})
            execute_process(COMMAND ${TALVOREN_NM} -g ${import_${lib}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            # The DLL's name as the import library records it, and one
            # export per import thunk "__imp__Name".
            execute_process(COMMAND ${TALVOREN_DLLTOOL} -I ${import_${lib}} OUTPUT_VARIABLE dll
                            OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
            string(REGEX MATCHALL "__imp__[^\r\n]+" thunks "${symbols}")
            list(REMOVE_DUPLICATES thunks)
            set(def "LIBRARY ${dll}\nEXPORTS\n")
            foreach(thunk IN LISTS thunks)
                string(REGEX REPLACE "^__imp__" "" name "${thunk}")
                string(APPEND def "${name}\n")
            endforeach()
            file(WRITE ${dir}/${lib}.def "${def}")
            execute_process(COMMAND ${TALVOREN_DLLTOOL} -k -d ${dir}/${lib}.def -D ${dll} -y ${out}
                            COMMAND_ERROR_IS_FATAL ANY)
        endif()
    endforeach()
    # -L comes before the toolchain's own folder, so "-lname" finds these.
    target_link_directories(${target} PRIVATE ${dir})
    target_link_libraries(${target} PRIVATE delayimp)
endfunction()
