# Runs the built kvx tokens and kvx highlight as a user would: the language comes from the
# extension or from --lang or --script, every byte of every row is covered, and bad input
# gets its message and exit status.
#   cmake -DKVX=<kvx binary> -DWORK=<scratch folder> -P TokensCli.cmake

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_run expected_rc expected_out)
    execute_process(COMMAND ${KVX} ${ARGN}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL expected_rc OR NOT out STREQUAL expected_out)
        message(FATAL_ERROR "kvx ${ARGN}: exit ${rc}, expected ${expected_rc}\n"
                            "got:\n${out}${err}\nexpected:\n${expected_out}")
    endif()
endfunction()

# CR LF breaks: each row's break is one character, the row's last.
file(WRITE ${WORK}/a.asm "\tmovlw 0x1F ; c\r\n\r\nend\r\n")
expect_run(0 "0*1 12*5 0*1 13*4 0*1 1*3 0*1\n0*1\n10*3 0*1\n" tokens ${WORK}/a.asm)
# The same text as C, chosen by --lang.
expect_run(0 "0*1 3*5 0*1 13*4 0*1 11*1 0*1 3*1 0*1\n0*1\n3*3 0*1\n" tokens --lang 2 ${WORK}/a.asm)
file(WRITE ${WORK}/x.c "while (x) /* a\nb */\n")
expect_run(0 "12*5 0*1 11*1 3*1 11*1 0*1 2*5\n2*4 0*1\n" tokens ${WORK}/x.c)
# A file without an extension is plain text; an empty file prints nothing.
file(WRITE ${WORK}/readme "one\ntwo")
expect_run(0 "1*3 2*1\n1*3\n" tokens ${WORK}/readme)
file(WRITE ${WORK}/empty.pas "")
expect_run(0 "" tokens ${WORK}/empty.pas)

# A script of one's own.
file(WRITE ${WORK}/mini.syn "%%words 'ab' '' 7\n")
file(WRITE ${WORK}/ab.txt "abc\n")
expect_run(0 "7*2 0*2\n" tokens --script ${WORK}/mini.syn ${WORK}/ab.txt)
file(WRITE ${WORK}/bad.syn "%%words 'ab' x\n")
execute_process(COMMAND ${KVX} tokens --script ${WORK}/bad.syn ${WORK}/readme
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "^\\*\\* ERROR near line 1")
    message(FATAL_ERROR "bad script: exit ${rc}\n${out}${err}")
endif()

# Usage errors exit 2, a missing file 1.
foreach(args "tokens" "tokens --lang 7 ${WORK}/readme" "tokens --lang 1 --script ${WORK}/mini.syn ${WORK}/readme"
        "highlight --color=sometimes ${WORK}/readme" "tokens ${WORK}/readme ${WORK}/x.c")
    separate_arguments(list UNIX_COMMAND "${args}")
    execute_process(COMMAND ${KVX} ${list} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 2)
        message(FATAL_ERROR "kvx ${args}: exit ${rc}, expected 2")
    endif()
endforeach()
execute_process(COMMAND ${KVX} tokens ${WORK}/missing.asm RESULT_VARIABLE rc OUTPUT_QUIET
    ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR err STREQUAL "")
    message(FATAL_ERROR "missing file: exit ${rc}")
endif()

# highlight: plain text when asked or into a pipe; colours with --color=always.
expect_run(0 "while (x) /* a\nb */\n" highlight ${WORK}/x.c)
expect_run(0 "while (x) /* a\nb */\n" highlight --color=never ${WORK}/x.c)
execute_process(COMMAND ${KVX} highlight --color=always ${WORK}/x.c
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(ASCII 27 esc)
# "while" is bold; the comment is green (0, 128, 0); every line ends with a reset.
if(NOT rc EQUAL 0 OR NOT out MATCHES "^${esc}\\[0;1mwhile" OR NOT out MATCHES "38;2;0;128;0m/\\* a${esc}\\[0m\n")
    message(FATAL_ERROR "highlight --color=always: exit ${rc}\n${out}")
endif()

# highlight --format html and rtf: the editor's own writers, dated by SOURCE_DATE_EPOCH so
# that a script gets the same bytes on every run.
function(expect_format expected_var)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=86400
                            ${KVX} highlight ${ARGN} ${WORK}/x.c
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REPLACE "\r" "" out "${out}")
    if(NOT rc EQUAL 0 OR NOT "${out}" STREQUAL "${${expected_var}}")
        message(FATAL_ERROR "kvx highlight ${ARGN}: exit ${rc}\n${out}${err}")
    endif()
endfunction()
string(CONCAT html
    "<HTML><HEAD>\n<META NAME=\"Generator\" CONTENT=\" KOVEX                              \">\n"
    "<TITLE>${WORK}/x.c</TITLE>\n<META NAME=\"Date\" CONTENT=\"1970-01-02\">\n</HEAD>\n"
    "<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">\n"
    "<PRE><FONT FACE=\"Courier New\"><B>while</B> (x) <FONT COLOR=\"#008000\">/* a\nb */\n"
    "</FONT></FONT></PRE></BODY></HTML>\n")
expect_format(html --format=html)
string(CONCAT rtf
    "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil Courier New;}}\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red0\\green0\\blue128;"
    "\\red0\\green128\\blue0;}\n"
    "{\\f1\\fs20\\cf0\\cb1 \\b1 while\\b0  (x) \\cf3 /* a\\line \nb */\\line \n}}")
expect_format(rtf --format rtf)
# A format it does not know is bad usage; output that cannot be written is a failure.
execute_process(COMMAND ${KVX} highlight --format pdf ${WORK}/x.c RESULT_VARIABLE rc
    OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 2)
    message(FATAL_ERROR "highlight --format pdf: exit ${rc}, expected 2")
endif()
if(EXISTS /dev/full)
    execute_process(COMMAND ${KVX} highlight --format html ${WORK}/x.c
        OUTPUT_FILE /dev/full RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 1 OR NOT err STREQUAL "Cannot write to standard output\n")
        message(FATAL_ERROR "highlight into a full disk: exit ${rc}\n${err}")
    endif()
endif()
