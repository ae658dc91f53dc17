# Plays one scripted session on a fresh demo database and compares its
# transcript with the expected one beside the script (NAME.out). A run that
# ends with a non-zero status appends "[exit N]" and what it wrote to stderr.
get_filename_component(name ${SCRIPT} NAME_WE)
get_filename_component(dir ${SCRIPT} DIRECTORY)
set(work ${WORK}/${name})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(db ${work}/office.db)
# The picture files scripts choose in file dialogs, beside the database.
if(EXISTS ${dir}/files)
    file(COPY ${dir}/files/ DESTINATION ${work})
endif()
execute_process(COMMAND ${CLI} init ${db} --demo
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "init failed: ${err}")
endif()
execute_process(COMMAND ${CLI} run ${SCRIPT} --db ${db}
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
