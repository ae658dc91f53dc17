# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) once the package's files are
# staged and before the control file is written: the package's
# dependencies, computed as CPack's own dpkg-shlibdeps step would, but
# apart for the programs and for the modules.
#
# CPack's step scans every ELF file of the package, so the libraries the
# modules link (libpq5, libxlsxwriter4) would become Depends, although the
# modules are loaded only when a clerk first uses the server or the XLSX
# export. Here the programs give Depends and the modules Recommends (less
# what Depends holds already), and CPack's own scan is switched off.

cmake_policy(VERSION 3.25)

# The staged tree: CPACK_TEMPORARY_DIRECTORY holds the files as installed
# under CPACK_PACKAGING_INSTALL_PREFIX.
set(root "${CPACK_TEMPORARY_DIRECTORY}")
set(prefix "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${prefix}/bin")
    message(FATAL_ERROR "package_depends: no staged programs in ${prefix}/bin")
endif()
find_program(shlibdeps dpkg-shlibdeps REQUIRED)

# "shlibs:Depends=a (>= 1), b" of dpkg-shlibdeps over `files`.
function(shared_library_depends files out)
    # dpkg-shlibdeps wants a debian/control where it runs, as for CPack's.
    file(MAKE_DIRECTORY "${root}/debian")
    file(TOUCH "${root}/debian/control")
    execute_process(COMMAND ${shlibdeps} -O ${files}
        WORKING_DIRECTORY "${root}"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REMOVE_RECURSE "${root}/debian")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "package_depends: dpkg-shlibdeps failed on ${files}:\n${errors}")
    endif()
    string(REGEX REPLACE "^.*shlibs:Depends=" "" output "${output}")
    set(${out} "${output}" PARENT_SCOPE)
endfunction()

# The package names of a dependency field, alternatives included.
function(package_names field out)
    string(REGEX MATCHALL "(^|[,|])[ ]*[a-z0-9][a-z0-9.+-]*" names "${field}")
    list(TRANSFORM names REPLACE "^[,| ]+" "")
    set(${out} ${names} PARENT_SCOPE)
endfunction()

file(GLOB programs LIST_DIRECTORIES false "${prefix}/bin/*")
file(GLOB modules LIST_DIRECTORIES false "${prefix}/${CPACK_OFFICERECORDS_MODULE_FOLDER}/*.so")
if(NOT programs OR NOT modules)
    message(FATAL_ERROR "package_depends: expected the programs and the modules, found: ${programs} ${modules}")
endif()

shared_library_depends("${programs}" depends)
shared_library_depends("${modules}" module_depends)

package_names("${depends}" required)
set(recommends "")
string(REPLACE ", " ";" module_entries "${module_depends}")
foreach(entry IN LISTS module_entries)
    package_names("${entry}" names)
    list(GET names 0 name)
    if(NOT name IN_LIST required)
        list(APPEND recommends "${entry}")
    endif()
endforeach()
if(CPACK_OFFICERECORDS_RECOMMENDS_EXTRA)
    list(APPEND recommends "${CPACK_OFFICERECORDS_RECOMMENDS_EXTRA}")
endif()
list(JOIN recommends ", " recommends)
if(CPACK_OFFICERECORDS_DEPENDS_EXTRA)
    string(APPEND depends ", ${CPACK_OFFICERECORDS_DEPENDS_EXTRA}")
endif()

set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${recommends}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
message(STATUS "package_depends: Depends: ${depends}")
message(STATUS "package_depends: Recommends: ${recommends}")
