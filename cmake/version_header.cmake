# Writes the version header. Run as
#   cmake -DSOURCE_DIR=<tree> -DVERSION=x.y.z -DOUT=<header> -P version_header.cmake
# at configure time and again at every build, so that the commit it names
# is the one built; the header is rewritten only when its text changes, so
# an unchanged commit recompiles nothing.
cmake_minimum_required(VERSION 3.25)

set(OFFICERECORDS_VERSION "${VERSION}")
set(OFFICERECORDS_VERSION_FULL "${VERSION}")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
    # Only the tree's own checkout counts: a source tree unpacked inside
    # some other repository must not take that repository's commit.
    # Without optional locks: a build never holds the index a developer's
    # git command is about to write.
    execute_process(COMMAND "${GIT_EXECUTABLE}" --no-optional-locks -C "${SOURCE_DIR}" describe --always --dirty
        RESULT_VARIABLE status OUTPUT_VARIABLE described ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0 AND described MATCHES "^[A-Za-z0-9._+-]+$")
        set(OFFICERECORDS_VERSION_FULL "${VERSION} (git ${described})")
    endif()
endif()
get_filename_component(here "${CMAKE_CURRENT_LIST_FILE}" DIRECTORY)
configure_file("${here}/officerecords_version.h.in" "${OUT}" @ONLY)
