# The Windows resources of the executable: the version resource (file version
# major.minor.release.build from PROJECT_VERSION, read back at run time), the
# manifest asking for "asInvoker", and the program icon.
enable_language(RC)

function(talvoren_add_windows_resources target)
    set(TALVOREN_RC_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    set(out ${PROJECT_BINARY_DIR}/resources)
    foreach(part MAJOR MINOR PATCH TWEAK)
        if("${PROJECT_VERSION_${part}}" STREQUAL "")
            set(PROJECT_VERSION_${part} 0)
        endif()
    endforeach()
    set(TALVOREN_RC_MAJOR ${PROJECT_VERSION_MAJOR})
    set(TALVOREN_RC_MINOR ${PROJECT_VERSION_MINOR})
    set(TALVOREN_RC_RELEASE ${PROJECT_VERSION_PATCH})
    set(TALVOREN_RC_BUILD ${PROJECT_VERSION_TWEAK})
    set(TALVOREN_RC_MANIFEST ${out}/talvoren.manifest)
    set(TALVOREN_RC_ICON ${TALVOREN_RC_DIR}/talvoren.ico)
    # Rewritten only when the text changes, so calling twice is harmless.
    configure_file(${TALVOREN_RC_DIR}/talvoren.manifest.in ${out}/talvoren.manifest @ONLY)
    configure_file(${TALVOREN_RC_DIR}/talvoren.rc.in ${out}/talvoren.rc @ONLY)
    target_sources(${target} PRIVATE ${out}/talvoren.rc)
    # windres does not see the manifest and icon as inputs by itself.
    set_property(SOURCE ${out}/talvoren.rc TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
                 ${out}/talvoren.manifest ${TALVOREN_RC_DIR}/talvoren.ico)
endfunction()
