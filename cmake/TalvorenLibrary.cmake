# Sources include their headers by folder ("model/ETree.h"). The repository
# root is on no library's include path: each folder gets a directory of its
# own in the build tree that holds one link, to that folder, and the library
# built from the folder publishes that directory. A library therefore sees
# its own folder and the folders of the libraries it links, nothing else, and
# an include of a higher layer (which would close a cycle) does not compile.

# Makes `folder` visible, as "<folder>/...", to `target` and to whatever
# links it.
function(talvoren_publish_folder target folder)
    set(dir "${CMAKE_BINARY_DIR}/include/${folder}")
    set(link "${dir}/${folder}")
    file(MAKE_DIRECTORY "${dir}")
    if(IS_SYMLINK "${link}")
        file(REMOVE "${link}")
    endif()
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${link}" SYMBOLIC RESULT failed)
    if(failed)
        message(FATAL_ERROR "Talvoren: cannot link ${link} to the ${folder} folder (${failed}); the build "
                            "needs symbolic links in its build folder")
    endif()
    target_include_directories(${target} PUBLIC "${dir}")
endfunction()

# talvoren_add_library(<name> <folder> SOURCES <file>... [LINKS <target>...])
# The static library of one folder, linking the lower layers it uses.
function(talvoren_add_library name folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    talvoren_publish_folder(${name} ${folder})
    if(ARG_LINKS)
        target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    endif()
endfunction()
