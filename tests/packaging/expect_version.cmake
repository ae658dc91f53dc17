# Runs PROGRAM --version and checks that it exits 0 and prints one line,
# "NAME VERSION", VERSION as the build names it, with the commit when
# built from a git checkout. Run as
#   cmake -DPROGRAM=<file> -DNAME=<name> -DVERSION=x.y.z -P expect_version.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${PROGRAM}" --version
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
string(REPLACE "." "\\." version "${VERSION}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NAME} --version exited ${status}: ${errors}")
endif()
if(NOT output MATCHES "^${NAME} ${version}( \\(git [0-9A-Za-z._+-]+\\))?\n$")
    message(FATAL_ERROR "${NAME} --version printed \"${output}\", not \"${NAME} ${VERSION} [(git COMMIT)]\"")
endif()
if(errors)
    message(FATAL_ERROR "${NAME} --version wrote to standard error: ${errors}")
endif()
message(STATUS "${output}")
