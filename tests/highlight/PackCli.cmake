# Runs the built kvx through pack and unpack: round trips for every method, and the exit
# codes and messages of a bad container and of bad usage.
#   cmake -DKVX=<kvx binary> -DWORK=<scratch folder> -P PackCli.cmake

if(NOT KVX OR NOT WORK)
    message(FATAL_ERROR "KVX and WORK must be given")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_run code)
    execute_process(COMMAND ${KVX} ${ARGN}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL code)
        message(FATAL_ERROR "kvx ${ARGN}: exit ${rc}, expected ${code}\n${out}${err}")
    endif()
    set(last_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_same a b)
    file(SHA256 ${a} ha)
    file(SHA256 ${b} hb)
    if(NOT ha STREQUAL hb)
        message(FATAL_ERROR "${a} and ${b} differ")
    endif()
endfunction()

# Some 200 KB of source-like lines, enough for advise to sample.
set(line "loop:\tmov eax, [ebx+4]\t; next item\n")
set(text "")
foreach(i RANGE 255)
    string(APPEND text "${i}${line}${line}${line}${line}${line}")
endforeach()
foreach(i RANGE 3)
    string(APPEND text "${text}")
endforeach()
file(WRITE ${WORK}/in.asm "${text}")

foreach(method block lzh advise)
    expect_run(0 pack --method ${method} ${WORK}/in.asm ${WORK}/in.${method})
    expect_run(0 unpack ${WORK}/in.${method} ${WORK}/back.${method})
    expect_same(${WORK}/in.asm ${WORK}/back.${method})
endforeach()
expect_run(0 pack ${WORK}/in.asm ${WORK}/in.default)
expect_same(${WORK}/in.block ${WORK}/in.default)
file(READ ${WORK}/in.lzh magic LIMIT 4)
if(NOT magic STREQUAL "!HZL")
    message(FATAL_ERROR "--method lzh wrote '${magic}'")
endif()

# Not a container: exit 1, the message alone on one line, and the output untouched.
file(WRITE ${WORK}/keep "keep me")
expect_run(1 unpack ${WORK}/in.asm ${WORK}/keep)
if(NOT last_err STREQUAL "${WORK}/in.asm : Compressor decompression : this file has no valid header !\n")
    message(FATAL_ERROR "unexpected message: '${last_err}'")
endif()
file(READ ${WORK}/keep kept)
if(NOT kept STREQUAL "keep me")
    message(FATAL_ERROR "a failed unpack changed its output file")
endif()
expect_run(1 pack ${WORK}/missing ${WORK}/out)

expect_run(2 pack)
expect_run(2 pack --method zip ${WORK}/in.asm ${WORK}/out)
expect_run(2 unpack ${WORK}/in.block)
