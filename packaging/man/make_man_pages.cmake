# Makes the manual pages of both programs from the one source. Run as
#   cmake -DSOURCE=officerecords.man.in -DOUT_DIR=<dir> -DVERSION=x.y.z
#         -DDATE=YYYY-MM-DD [-DGZIP=<gzip>] -P make_man_pages.cmake
# The source holds a part per page, each opened by a line
# '.\" == page NAME', and after them a part opened by '.\" == shared'
# that ends every page. Writes OUT_DIR/NAME.1 and, with GZIP, NAME.1.gz
# (without a name or time in its header, so a rebuild gives the same file).
cmake_minimum_required(VERSION 3.25)

file(READ "${SOURCE}" text)
set(marker "\n.\\\" == ")

string(FIND "${text}" "${marker}shared\n" shared_at)
if(shared_at EQUAL -1)
    message(FATAL_ERROR "${SOURCE}: no shared part")
endif()
string(LENGTH "${marker}shared\n" length)
math(EXPR shared_start "${shared_at} + ${length}")
string(SUBSTRING "${text}" ${shared_start} -1 shared)
string(SUBSTRING "${text}" 0 ${shared_at} pages)
string(APPEND pages "\n")

# The pages' names, in order.
string(REGEX MATCHALL "\n\\.\\\\\" == page [a-z-]+\n" heads "${pages}")
set(names)
foreach(head IN LISTS heads)
    string(REGEX REPLACE "^\n\\.\\\\\" == page ([a-z-]+)\n$" "\\1" name "${head}")
    list(APPEND names ${name})
endforeach()
list(LENGTH names count)
if(count LESS 2)
    message(FATAL_ERROR "${SOURCE}: expected a part for each program, found: ${names}")
endif()

foreach(name IN LISTS names)
    string(FIND "${pages}" "${marker}page ${name}\n" at)
    string(LENGTH "${marker}page ${name}\n" length)
    math(EXPR start "${at} + ${length}")
    string(SUBSTRING "${pages}" ${start} -1 rest)
    string(FIND "${rest}" "${marker}" end)
    if(end EQUAL -1)
        set(own "${rest}")
    else()
        string(SUBSTRING "${rest}" 0 ${end} own)
        string(APPEND own "\n")
    endif()
    # The other programs, for SEE ALSO.
    set(others ${names})
    list(REMOVE_ITEM others ${name})
    list(JOIN others "" other)
    string(REPLACE "-" "\\-" PAGE "${name}")
    string(REPLACE "-" "\\-" OTHER "${other}")
    set(page "${own}${shared}")
    string(REPLACE "@PAGE@" "${PAGE}" page "${page}")
    string(REPLACE "@OTHER@" "${OTHER}" page "${page}")
    string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
    string(REPLACE "@DATE@" "${DATE}" page "${page}")
    if(page MATCHES "@[A-Z]+@")
        message(FATAL_ERROR "${SOURCE}: ${name}: a placeholder is left: ${CMAKE_MATCH_0}")
    endif()
    set(out "${OUT_DIR}/${name}.1")
    file(WRITE "${out}.new" "${page}")
    file(COPY_FILE "${out}.new" "${out}" ONLY_IF_DIFFERENT)
    file(REMOVE "${out}.new")
    if(GZIP)
        execute_process(COMMAND "${GZIP}" -9 -n -c "${out}" OUTPUT_FILE "${out}.gz"
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "${GZIP} failed on ${out}")
        endif()
    endif()
endforeach()
