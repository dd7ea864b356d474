# Runs one QTest program under Wine and prints its results: Wine gives the
# test's standard output no console, so QTest writes them to a file instead.
#   cmake -DEMULATOR=wine -DTEST=<exe> -DLOG=<file> -P RunQTest.cmake
file(REMOVE ${LOG})
get_filename_component(log_name ${LOG} NAME)
get_filename_component(log_dir ${LOG} DIRECTORY)
execute_process(COMMAND ${EMULATOR} ${TEST} -o ${log_name},txt WORKING_DIRECTORY ${log_dir} RESULT_VARIABLE rc)
if(EXISTS ${LOG})
    file(READ ${LOG} results)
    message("${results}")
else()
    message("no results from ${TEST}")
endif()
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TEST} failed: ${rc}")
endif()
