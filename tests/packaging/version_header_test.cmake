# The version header of a source tree that is no git checkout of its own
# names the plain version: a tree unpacked from an archive, and one
# unpacked inside some other repository, which must not take that
# repository's commit. Run as
#   cmake -DSCRIPT=<cmake/version_header.cmake> -DWORK=<scratch folder> -P version_header_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
get_filename_component(cmake_dir "${SCRIPT}" DIRECTORY)

function(expect_plain tree what)
    file(COPY "${cmake_dir}/" DESTINATION "${tree}/cmake")
    execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${tree} -DVERSION=9.8.7 -DOUT=${tree}/v.h
        -P "${tree}/cmake/version_header.cmake" RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what}: the version header was not written: ${errors}")
    endif()
    file(READ "${tree}/v.h" header)
    if(NOT header MATCHES "k_version = \"9\\.8\\.7\";" OR NOT header MATCHES "k_version_full = \"9\\.8\\.7\";")
        message(FATAL_ERROR "${what}: expected the plain version 9.8.7, the header says:\n${header}")
    endif()
endfunction()

expect_plain("${WORK}/unpacked" "a tree without git")

find_program(git git)
if(git)
    set(outer "${WORK}/outer")
    file(MAKE_DIRECTORY "${outer}")
    execute_process(COMMAND "${git}" -C "${outer}" init -q)
    file(WRITE "${outer}/readme" "another project\n")
    execute_process(COMMAND "${git}" -C "${outer}" add readme)
    execute_process(COMMAND "${git}" -C "${outer}" -c user.name=t -c user.email=t@t commit -q -m first
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "could not make the outer repository")
    endif()
    expect_plain("${outer}/officerecords-9.8.7" "a tree inside another repository")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "the plain version without a checkout of the tree's own")
