# Drives sqlprobe's row-limit commands ("limit", "limited") with a script and
# checks each answer line against a regular expression.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_limit_test.cmake
#
# KQ_MARIADB_ENV names the server's facts (the CTest fixture sets it).

cmake_minimum_required(VERSION 3.20)

if(NOT PROBE OR NOT WORK_DIR)
  message(FATAL_ERROR "PROBE and WORK_DIR are required")
endif()

# Command, then the regular expression its answer must match (whole line).
# In commands, \t is a TAB; the probe's escapes are written with a doubled
# backslash; <SC> stands for ";" (which would split the list).
set(cases
  # A row limit, an offset, a TOP, 64-bit numbers.
  "limit\t100\t-1\tSELECT a FROM t ORDER BY a"   "OK\tSELECT a FROM t ORDER BY a LIMIT 100"
  "limit\t100\t200\tSELECT a FROM t"             "OK\tSELECT a FROM t LIMIT 200, 100"
  "limit\t-1\t-1\tSELECT TOP 10 a FROM t"        "OK\tSELECT  a FROM t LIMIT 10"
  "limit\t4294967301\t2147483648\tSELECT a FROM t"
      "OK\tSELECT a FROM t LIMIT 2147483648, 4294967301"
  "limit\t9223372036854775807\t-1\tSELECT a FROM t"
      "OK\tSELECT a FROM t LIMIT 9223372036854775807"
  # Where the clause goes: before ";", a locking clause, a comment.
  "limit\t5\t-1\tSELECT a FROM t <SC>"           "OK\tSELECT a FROM t LIMIT 5 <SC>"
  "limit\t5\t-1\tSELECT a FROM t FOR UPDATE"     "OK\tSELECT a FROM t LIMIT 5 FOR UPDATE"
  "limit\t5\t-1\tSELECT a FROM t LOCK IN SHARE MODE"
      "OK\tSELECT a FROM t LIMIT 5 LOCK IN SHARE MODE"
  "limit\t5\t-1\tSELECT a FROM t -- all"         "OK\tSELECT a FROM t LIMIT 5 -- all"
  "limit\t5\t-1\tSELECT a FROM t # all"          "OK\tSELECT a FROM t LIMIT 5 # all"
  "limit\t5\t-1\tSELECT a FROM t WHERE b LIKE '%d%s'"
      "OK\tSELECT a FROM t WHERE b LIKE '%d%s' LIMIT 5"
  "limit\t5\t-1\tSELECT 'caf\\xc3\\xa9' FROM t"   "OK\tSELECT 'caf.+' FROM t LIMIT 5"
  # No limit: 0 and below.
  "limit\t0\t3\tSELECT a FROM t"                 "OK\tSELECT a FROM t"
  "limit\t-5\t3\tSELECT a FROM t"                "OK\tSELECT a FROM t"
  # Limited SELECTs.
  "limited\tSELECT a FROM t LIMIT 5"             "OK\t1"
  "limited\tselect top 3 a from t"               "OK\t1"
  "limited\tSELECT a FROM t WHERE b = 'x LIMIT 5'" "OK\t0"
  "limited\tSELECT a FROM t WHERE b = 'it''s LIMIT 5'" "OK\t0"
  "limited\tSELECT `a limit 5` FROM t"           "OK\t0"
  "limited\tSELECT a FROM t -- LIMIT 5"          "OK\t0"
  "limited\tSELECT TOPIC FROM t"                 "OK\t0"
  "limited\tUPDATE t SET a = 1 LIMIT 5"          "OK\t0"
  # Bad input: an answer, never a crash.
  "limit\tx\t0\tSELECT 1"                        "ERR\t0\t.+"
  "limit\t9223372036854775808\t0\tSELECT 1"      "ERR\t0\t.+"
  "limit\t5\t0"                                  "ERR\t0\t.+"
  "limit\t5\t0\tSELECT \\xff"                    "ERR\t0\t.+"
  "limited"                                      "ERR\t0\t.+"
  "limited\ta\tb"                                "ERR\t0\t.+"
)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(input "")
set(expected "")
list(LENGTH cases n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET cases ${i} command)
  list(GET cases ${j} answer)
  string(REPLACE "<SC>" ";" command "${command}")
  string(APPEND input "${command}\n")
  list(APPEND expected "${answer}")
endforeach()
file(WRITE "${WORK_DIR}/script.txt" "${input}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${RUNNER} ${PROBE}
  INPUT_FILE "${WORK_DIR}/script.txt"
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "sqlprobe ended with ${rc}\n${err}\n${out}")
endif()

# Line by line (list splitting would cut at semicolons in the texts).
set(rest "${out}")
set(failures 0)
set(k 0)
foreach(answer IN LISTS expected)
  string(FIND "${rest}" "\n" eol)
  if(eol EQUAL -1)
    message(SEND_ERROR "answer ${k}: missing (expected ${answer})")
    math(EXPR failures "${failures} + 1")
    break()
  endif()
  string(SUBSTRING "${rest}" 0 ${eol} line)
  math(EXPR eol "${eol} + 1")
  string(SUBSTRING "${rest}" ${eol} -1 rest)
  string(REPLACE "<SC>" ";" answer "${answer}")
  if(NOT line MATCHES "^${answer}$")
    message(SEND_ERROR "answer ${k}: \"${line}\" does not match \"${answer}\"")
    math(EXPR failures "${failures} + 1")
  endif()
  math(EXPR k "${k} + 1")
endforeach()
if(NOT rest STREQUAL "")
  message(SEND_ERROR "answers past the script: ${rest}")
  math(EXPR failures "${failures} + 1")
endif()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} answer(s) wrong")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
