# Checks that a manual page names every option and command of its
# program's usage text. Run as
#   cmake -DPROGRAM=<file> -DPAGE=<NAME.1> -P man_names_options.cmake
# or with -DUSAGE=<file> holding a usage text instead of the program's.
# Fails naming each one the page lacks.
cmake_minimum_required(VERSION 3.25)
if(DEFINED USAGE)
    file(READ "${USAGE}" usage)
else()
    execute_process(COMMAND "${PROGRAM}" --help
        RESULT_VARIABLE status OUTPUT_VARIABLE usage ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} --help exited ${status}: ${errors}")
    endif()
endif()
file(READ "${PAGE}" page)
# The page as a reader sees it: groff's escaped hyphens plain, fonts gone.
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")

# Options: --word; commands: the words after "officerecords-cli" that
# are no placeholder (placeholders are upper case).
string(REGEX MATCHALL "--[a-z][a-z-]*" options "${usage}")
string(REGEX MATCHALL "officerecords-cli [a-z][a-z-]*( [a-z|]+)?" commands "${usage}")
set(wanted ${options})
foreach(command IN LISTS commands)
    string(REGEX REPLACE "^officerecords-cli " "" command "${command}")
    string(REPLACE "|" ";" words "${command}")
    string(REPLACE " " ";" words "${words}")
    list(APPEND wanted ${words})
endforeach()
list(REMOVE_DUPLICATES wanted)
list(LENGTH wanted count)
if(count LESS 3)
    message(FATAL_ERROR "the usage text names hardly any option (${wanted}): is it a usage text?\n${usage}")
endif()

set(missing)
foreach(word IN LISTS wanted)
    # A whole word of the page: not the start of a longer option.
    string(REGEX REPLACE "([.+|])" "\\\\\\1" pattern "${word}")
    if(NOT page MATCHES "(^|[^a-z-])${pattern}([^a-z-]|$)")
        list(APPEND missing "${word}")
    endif()
endforeach()
if(missing)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "${PAGE} does not name: ${missing}")
endif()
message(STATUS "${PAGE} names all ${count} of: ${wanted}")
