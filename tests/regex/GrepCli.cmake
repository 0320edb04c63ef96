# Runs the built kvx grep as a user would: output lines, exit codes and messages.
#   cmake -DKVX=<kvx binary> -DWORK=<scratch folder> -P GrepCli.cmake

if(NOT KVX OR NOT WORK)
    message(FATAL_ERROR "KVX and WORK must be given")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_grep code expected)
    execute_process(COMMAND ${KVX} grep ${ARGN}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL code)
        message(FATAL_ERROR "kvx grep ${ARGN}: exit ${rc}, expected ${code}\n${out}${err}")
    endif()
    if(NOT "${out}${err}" STREQUAL "${expected}")
        message(FATAL_ERROR "kvx grep ${ARGN}: got\n${out}${err}\nexpected\n${expected}")
    endif()
endfunction()

# CR LF breaks, a UTF-8 character before a match, a label at a line start.
file(WRITE ${WORK}/a.asm "start:\tmov ax, 1\r\n\tMOV bx, ax ; café mov\r\nloop: jmp max\r\n")
set(f ${WORK}/a.asm)

expect_grep(0 "1:8:3:mov\n2:2:3:MOV\n2:20:3:mov\n" mov ${f})
expect_grep(0 "1:8:3:mov\n2:20:3:mov\n" --case mov ${f})
expect_grep(0 "1:12:2:ax\n2:10:2:ax\n" --word ax ${f})
expect_grep(0 "3:1:5:loop:\n" --regex "^[a-z]+:" ${f})
expect_grep(0 "2:18:5:é mov\n" --regex "\\xC3\\xA9 mov" ${f})
# A byte-level pattern that matches inside a character still moves on to the end.
execute_process(COMMAND ${KVX} grep --regex "\\xA9|x" ${f} TIMEOUT 20
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(REGEX MATCHALL "\n" lines "${out}")
list(LENGTH lines n)
if(NOT rc EQUAL 0 OR NOT n EQUAL 5)
    message(FATAL_ERROR "grep inside a character: exit ${rc}, ${n} lines\n${out}")
endif()
expect_grep(0 "1:12:2:ax\n2:10:2:ax\n3:12:2:ax\n" --regex "a[x]" ${f})
expect_grep(1 "" zzz ${f})
expect_grep(2 "Nested repeat\n" --regex "a**" ${f})
expect_grep(2 "File '${WORK}/none' cannot be opened for reading\n" mov ${WORK}/none)
execute_process(COMMAND ${KVX} grep --nope a ${f} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 2)
    message(FATAL_ERROR "bad option: exit ${rc}")
endif()

# "--" ends the options, so a pattern may start with "--".
file(WRITE ${WORK}/opts.txt "run --fast now\r\n--fast\r\n")
expect_grep(0 "1:5:6:--fast\n2:1:6:--fast\n" -- --fast ${WORK}/opts.txt)
expect_grep(0 "2:1:6:--fast\n" --regex -- "^--[a-z]+" ${WORK}/opts.txt)
expect_grep(2 "kvx: 'grep' does not know the option --fast (see kvx --help)\n" --fast ${WORK}/opts.txt)
