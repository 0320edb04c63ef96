# Runs the built kvx compile as a user would: a script that compiles writes stored tables
# and a summary; a script with an error prints exactly the error and exits 1.
#   cmake -DKVX=<kvx binary> -DWORK=<scratch folder> -DSCRIPT=<good script> -P CompileCli.cmake

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

execute_process(COMMAND ${KVX} compile ${SCRIPT} -o ${WORK}/out.bin
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Fuzz seed: 2 words, [0-9]+ rules, 1 handlers, [0-9]+ styles\n$")
    message(FATAL_ERROR "compile: exit ${rc}\n${out}${err}")
endif()
file(SIZE ${WORK}/out.bin size)
if(size LESS 100)
    message(FATAL_ERROR "stored tables of ${size} bytes")
endif()

file(WRITE ${WORK}/bad.syn "%%map 1 2\n%%map 3 x\n")
execute_process(COMMAND ${KVX} compile ${WORK}/bad.syn -o ${WORK}/bad.bin
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err STREQUAL "** ERROR near line 2, Column 10: Identifier \"x\" Unknown\n")
    message(FATAL_ERROR "bad script: exit ${rc}\n${out}${err}")
endif()
if(EXISTS ${WORK}/bad.bin)
    message(FATAL_ERROR "a failed compile wrote its output")
endif()

execute_process(COMMAND ${KVX} compile RESULT_VARIABLE rc ERROR_QUIET)
if(NOT rc EQUAL 2)
    message(FATAL_ERROR "compile without a script: exit ${rc}, expected 2")
endif()

# A message that holds a line break of its own is printed on one line.
file(WRITE ${WORK}/keys.syn "%%keys 1 (LEFT) 'a' 2 (LEFT) 'b'")
execute_process(COMMAND ${KVX} compile ${WORK}/keys.syn
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err STREQUAL
   "** ERROR near line 1, Column 33: Duplicate key sequence definition for \"\" and \"a\"\n")
    message(FATAL_ERROR "message on two lines? exit ${rc}\n'${err}'")
endif()

# A script beyond the size limit is refused by name, unread, by compile and by tokens.
execute_process(COMMAND truncate -s 5M ${WORK}/huge.syn RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "truncate failed")
endif()
file(WRITE ${WORK}/text.txt "x\n")
foreach(args "compile;${WORK}/huge.syn" "tokens;--script;${WORK}/huge.syn;${WORK}/text.txt")
    execute_process(COMMAND ${KVX} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 1 OR NOT err STREQUAL "Script '${WORK}/huge.syn' is larger than 4 MB\n")
        message(FATAL_ERROR "kvx ${args}: exit ${rc}\n${out}${err}")
    endif()
endforeach()
