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

# A container followed by anything more is damaged: refused, the output left alone. The
# empty input of either method round-trips and ends where its container does.
foreach(method block lzh)
    file(WRITE ${WORK}/empty "")
    expect_run(0 pack --method ${method} ${WORK}/empty ${WORK}/empty.${method})
    expect_run(0 unpack ${WORK}/empty.${method} ${WORK}/empty.back)
    expect_same(${WORK}/empty ${WORK}/empty.back)
    foreach(container in.${method} empty.${method})
        # The container's bytes and one byte more.
        file(COPY_FILE ${WORK}/${container} ${WORK}/damaged)
        file(APPEND ${WORK}/damaged "A")
        file(WRITE ${WORK}/keep "keep me")
        expect_run(1 unpack ${WORK}/damaged ${WORK}/keep)
        if(NOT last_err STREQUAL
           "${WORK}/damaged : Compressor decompression : data follows the end of the container !\n")
            message(FATAL_ERROR "trailing data after ${container}: '${last_err}'")
        endif()
        file(READ ${WORK}/keep kept)
        if(NOT kept STREQUAL "keep me")
            message(FATAL_ERROR "a refused unpack changed its output file")
        endif()
    endforeach()
endforeach()
expect_run(0 unpack --help)

# Stopped by a signal half way, pack leaves no temporary file beside its output: wait until
# the temporary file is there, stop the program, and look again.
execute_process(COMMAND sh -c "
    head -c 60000000 /dev/urandom > '${WORK}/noise' || exit 3
    mkdir -p '${WORK}/sig' && cd '${WORK}/sig' || exit 3
    '${KVX}' pack --method lzh '${WORK}/noise' out & pid=$!
    for i in $(seq 200); do
        ls | grep -q 'kvx-' && break
        sleep 0.05
    done
    ls | grep -q 'kvx-' || { kill $pid; exit 4; }
    kill -TERM $pid
    wait $pid
    ls | grep -q . && exit 5
    exit 0"
    RESULT_VARIABLE rc)
file(REMOVE ${WORK}/noise)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pack stopped by SIGTERM: check ended with ${rc} (5: files left behind)")
endif()
