# Runs `kvx tokens` on every language sample in the golden folder and compares the output
# with the checked-in FILE.tokens, so that a change to a language script or to the scanner
# shows up as a failure naming the first row that highlights differently. For a change made
# on purpose, scripts/regen-golden.sh writes the new expectations, to be read as a diff.
#   cmake -DKVX=<kvx binary> -DGOLDEN=<folder of samples> -P GoldenTokens.cmake

file(GLOB entries LIST_DIRECTORIES false ${GOLDEN}/*)
set(samples "")
foreach(entry IN LISTS entries)
    get_filename_component(entry_name ${entry} NAME)
    # FILE.tokens are the expectations; hidden files (.clang-format) are not samples.
    if(NOT entry MATCHES "\\.tokens$" AND NOT entry_name MATCHES "^\\.")
        list(APPEND samples ${entry})
    endif()
endforeach()
list(LENGTH samples count)
# Two or more samples for each of the six languages.
if(count LESS 12)
    message(FATAL_ERROR "only ${count} samples in ${GOLDEN}")
endif()

set(failures "")
foreach(sample IN LISTS samples)
    get_filename_component(name ${sample} NAME)
    if(NOT EXISTS ${sample}.tokens)
        string(APPEND failures "${name}: no ${name}.tokens (run scripts/regen-golden.sh)\n")
        continue()
    endif()
    execute_process(COMMAND ${KVX} tokens ${sample}
        RESULT_VARIABLE rc OUTPUT_VARIABLE got ERROR_VARIABLE err)
    file(READ ${sample}.tokens want)
    if(NOT rc EQUAL 0)
        string(APPEND failures "${name}: kvx tokens exited ${rc}: ${err}\n")
    elseif(NOT got STREQUAL want)
        # Token lines hold digits, '*' and blanks only, so they split safely into lists.
        string(REPLACE "\n" ";" got_rows "${got}")
        string(REPLACE "\n" ";" want_rows "${want}")
        list(LENGTH got_rows got_count)
        list(LENGTH want_rows want_count)
        set(row 0)
        while(row LESS got_count AND row LESS want_count)
            list(GET got_rows ${row} g)
            list(GET want_rows ${row} w)
            if(NOT g STREQUAL w)
                break()
            endif()
            math(EXPR row "${row} + 1")
        endwhile()
        math(EXPR line "${row} + 1")
        if(row LESS got_count AND row LESS want_count)
            string(APPEND failures
                "${name}, row ${line}:\n  expected ${w}\n  got      ${g}\n")
        else()
            string(APPEND failures
                "${name}: ${got_count} rows of output where ${want_count} were expected\n")
        endif()
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "token output differs from the golden files:\n${failures}")
endif()
message(STATUS "${count} samples highlight as their golden files say")
