# Plays one scripted session on a fresh demo database and compares its
# transcript with the expected one beside the script (NAME.out). A run that
# ends with a non-zero status appends "[exit N]" and what it wrote to stderr.
# With -DBACKEND=postgresql the database is s_NAME on the server named by
# OFFICERECORDS_PG_URI, and the transcript must be the same one.
get_filename_component(name ${SCRIPT} NAME_WE)
get_filename_component(dir ${SCRIPT} DIRECTORY)
set(work ${WORK}/${name})
if(NOT DEFINED BACKEND)
    set(BACKEND sqlite)
endif()

# A script that sets up its case in one database's own language (a trigger)
# or stores what only one of them can hold says so: "# backend: sqlite".
file(STRINGS ${SCRIPT} only REGEX "^# backend: ")
if(only AND NOT only STREQUAL "# backend: ${BACKEND}")
    string(REPLACE "# backend: " "" only "${only}")
    message("skipped: for ${only} only")
    return()
endif()

if(BACKEND STREQUAL "postgresql")
    set(admin_uri "$ENV{OFFICERECORDS_PG_URI}")
    if(admin_uri STREQUAL "")
        message("skipped: no PostgreSQL server (OFFICERECORDS_PG_URI not set)")
        return()
    endif()
    # A server that does not answer fails the case in seconds, not at
    # ctest's timeout.
    set(ENV{PGCONNECT_TIMEOUT} 5)
    string(TOLOWER "s_${name}" database)
    string(REGEX REPLACE "[^a-z0-9_]" "_" database "${database}")
    string(LENGTH "${database}" length)
    if(length GREATER 63)
        message(FATAL_ERROR "${database}: longer than a PostgreSQL name may be; shorten ${name}.script")
    endif()
    # The same server, user and parameters, another database.
    if(NOT admin_uri MATCHES "^(.*)/postgres([?].*)?$")
        message(FATAL_ERROR "OFFICERECORDS_PG_URI must name the database postgres: ${admin_uri}")
    endif()
    set(db "${CMAKE_MATCH_1}/${database}${CMAKE_MATCH_2}")
    find_program(psql psql REQUIRED)
    # FORCE: a run that crashed may have left a connection behind.
    execute_process(COMMAND ${psql} -X -q -v ON_ERROR_STOP=1 "${admin_uri}"
            -c "DROP DATABASE IF EXISTS ${database} WITH (FORCE)"
            -c "CREATE DATABASE ${database}"
        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "creating ${database} failed: ${err}")
    endif()
elseif(BACKEND STREQUAL "sqlite")
    set(db ${work}/office.db)
else()
    message(FATAL_ERROR "unknown BACKEND ${BACKEND}")
endif()

file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
# The picture files scripts choose in file dialogs, beside the database.
if(EXISTS ${dir}/files)
    file(COPY ${dir}/files/ DESTINATION ${work})
endif()
execute_process(COMMAND ${CLI} init ${db} --demo
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "init failed: ${err}")
endif()
set(windows_db ${db})
set(sql_db)
if(BACKEND STREQUAL "postgresql")
    # The windows work as a clerk of the demo community (and of every other
    # community the script turns to), as an office's workstation does; the
    # script's own `sql` lines stand for the administrator's psql beside it.
    set(communities 420106001001)
    file(STRINGS ${SCRIPT} turns REGEX "^community [0-9]+")
    foreach(turn IN LISTS turns)
        string(REGEX REPLACE "^community ([0-9]+).*" "\\1" commno "${turn}")
        list(APPEND communities ${commno})
    endforeach()
    list(REMOVE_DUPLICATES communities)
    list(JOIN communities "," communities)
    string(SUBSTRING "k_${database}" 0 63 clerk)
    execute_process(COMMAND ${psql} -X -q -v ON_ERROR_STOP=1 "${admin_uri}" -c "DROP ROLE IF EXISTS ${clerk}"
        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dropping the clerk ${clerk} failed: ${err}")
    endif()
    file(WRITE ${work}/password "${clerk}-pw\n")
    execute_process(COMMAND ${CLI} account add ${clerk} --db ${db} --communities ${communities}
        INPUT_FILE ${work}/password RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "creating the clerk ${clerk} failed: ${err}")
    endif()
    set(ENV{PGPASSWORD} "${clerk}-pw")
    string(REGEX REPLACE "^(postgres(ql)?://)[^@/]*@" "\\1${clerk}@" windows_db "${db}")
    set(sql_db --sql-db ${db})
endif()
# Files written for display go to the user's cache: the session's own,
# never the tester's. The working folder has no bmp/ of its own.
set(ENV{XDG_CACHE_HOME} ${work}/cache)
execute_process(COMMAND ${CLI} run ${SCRIPT} --db ${windows_db} ${sql_db}
    WORKING_DIRECTORY ${work}
    RESULT_VARIABLE rc OUTPUT_VARIABLE actual ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    string(APPEND actual "[exit ${rc}]\n${err}")
endif()
file(READ ${dir}/${name}.out expected)
if(NOT actual STREQUAL expected)
    file(WRITE ${work}/actual.out "${actual}")
    execute_process(COMMAND diff -u ${dir}/${name}.out ${work}/actual.out OUTPUT_VARIABLE delta)
    message(FATAL_ERROR "transcript differs from ${name}.out:\n${delta}")
endif()
# A database that held a failing run stays for a look at it.
if(BACKEND STREQUAL "postgresql")
    execute_process(COMMAND ${psql} -X -q -v ON_ERROR_STOP=1 "${admin_uri}"
            -c "DROP DATABASE IF EXISTS ${database} WITH (FORCE)"
            -c "DROP ROLE IF EXISTS ${clerk}"
        RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dropping ${database} failed: ${err}")
    endif()
endif()
