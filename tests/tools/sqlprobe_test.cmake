# Drives sqlprobe with a script of commands and checks each answer line
# against a regular expression; then runs the same script under a
# decimal-comma process locale (fr_FR.UTF-8 built by localedef into a private
# directory) and requires the very same answers.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_test.cmake

cmake_minimum_required(VERSION 3.20)  # lists keep their empty elements

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# Command, then the regular expression its answer must match (whole line),
# written as sqlprobe_script.cmake says (<BS> for a lone backslash at the end
# of a command).
set(cases
  # Date-times of two precisions, a date and a time item, a slot cut short.
  "dbtext\t24\t8\t0\t2024-02-29 13:45:07.125"   "OK\t1d02e807356bf302"
  "dbtext\t24\t8\t0\t2024-02-29 13:45:07.1"     "OK\t1d02e8071c6bf302"
  "dbtext\t24\t3\t0\t2024-02-29 13:45:07.125"   "OK\t1d02e8"
  "dbtext\t14\t9\t0\t2024-02-29"                "OK\t323032343032323900"
  "dbtext\t11\t10\t0\t13:45:07.125"             "OK\t31333435303731323500"
  # A TIME that is no time of day, unreadable text: conversion error 53.
  "dbtext\t11\t10\t0\t-01:00:00"                "ERR\t53\t.+"
  "dbtext\t24\t8\t0\t100:00:00"                 "ERR\t53\t.+"
  "dbtext\t24\t8\t0\t2024/02/29"                "ERR\t53\t.+"
  # Numbers with "." whatever the locale; extremes.
  "dbtext\t19\t8\t0\t-9223372036854775808"      "OK\t0000000000000080"
  "dbtext\t20\t8\t0\t18446744073709551615"      "OK\tffffffffffffffff"
  "dbtext\t22\t4\t0\t4294967295"                "OK\tffffffff"
  "dbtext\t7\t8\t0\t12.5"                       "OK\t0000000000002940"
  "dbtext\t7\t8\t0\t-0.5"                       "OK\t000000000000e0bf"
  "dbtext\t17\t10\t0\t12.5"                     "OK\t20bcbe00000000000000"
  "dbtext\t31\t18\t2\t-12.50"                   "OK\t[0-9a-f]+"
  "dbtext\t7\t8\t0\t12,5"                       "ERR\t53\t.+"
  "dbtext\t9\t2\t0\t65536"                      "ERR\t53\t.+"
  # BOOL texts.
  "dbtext\t27\t1\t0\tfalse"                     "OK\t00"
  "dbtext\t27\t1\t0\tT"                         "OK\t01"
  # A binary with escaped bytes: length word, bytes, zeros.
  "dbtext\t23\t8\t0\ta\\x00\\xff\\tb"           "OK\t05006100ff096200"
  # UTF-8 text into an 8-bit item (the language's code page) and a Unicode
  # one (UTF-16 with its terminator).
  "dbtext\t2\t6\t0\tcaf\\xc3\\xa9"              "OK\t636166e90000"
  "dbtext\t29\t10\t0\t\\xc3\\xa9\\xf0\\x9f\\x98\\x80" "OK\te9003dd800de00000000"
  # The connection's final type map.
  "sqltype\t2\t41\t0\t0"                        "OK\tVARCHAR\\(40\\)"
  "sqltype\t29\t82\t0\t0"                       "OK\tVARCHAR\\(40\\) CHARACTER SET utf8mb4"
  "sqltype\t31\t18\t30\t8"                      "OK\tDECIMAL\\(38,8\\)"
  "sqltype\t24\t8\t0\t0"                        "OK\tDATETIME\\(3\\)"
  "sqltype\t7\t8\t0\t0"                         "OK\tDOUBLE"
  "sqltype\t22\t4\t0\t0"                        "OK\tINT UNSIGNED"
  "sqltype\t18\t8\t0\t0"                        "OK\tLONGBLOB"
  # Bad input: an answer, never a crash.
  ""                                            "ERR\t0\t.+"
  "nothing"                                     "ERR\t0\t.+"
  "dbtext\t24\t8"                               "ERR\t0\t.+"
  "dbtext\t24\t8\t0\tx\textra"                  "ERR\t0\t.+"
  "dbtext\tx\t8\t0\t1"                          "ERR\t0\t.+"
  "dbtext\t24\t99999999999\t0\t1"               "ERR\t0\t.+"
  "dbtext\t24\t8\t0\tbad\\q"                    "ERR\t0\t.+"
  "dbtext\t24\t8\t0\t\\x4"                      "ERR\t0\t.+"
  "dbtext\t24\t8\t0\ttrailing<BS>"               "ERR\t0\t.+"
  "dbtext\t2\t-5\t0\tx"                         "ERR\t0\t.+"
  "dbtext\t2\t2000000\t0\tx"                    "ERR\t0\t.+"
  "sqltype\t99\t1\t0\t0"                        "ERR\t0\t.+"
  "sqltype\t8\t4\t0\t0"                         "ERR\t0\t.+"
  "sqltype\t2\t4\t0"                            "ERR\t0\t.+"
)

sqlprobe_check_cases(cases out_c)

# The same script under a decimal-comma locale gives the same answers.
find_program(LOCALEDEF localedef)
if(NOT LOCALEDEF)
  message(STATUS "comma-locale run skipped: localedef is not installed")
  return()
endif()
if(NOT EXISTS /usr/share/i18n/locales/fr_FR)
  message(STATUS "comma-locale run skipped: /usr/share/i18n/locales/fr_FR is not installed")
  return()
endif()
# localedef answers 1 for mere warnings: the locale's files decide.
file(MAKE_DIRECTORY "${WORK_DIR}/locale")
execute_process(COMMAND ${LOCALEDEF} -i fr_FR -f UTF-8 "${WORK_DIR}/locale/fr_FR.UTF-8"
                OUTPUT_QUIET ERROR_QUIET)
if(NOT EXISTS "${WORK_DIR}/locale/fr_FR.UTF-8/LC_NUMERIC")
  message(FATAL_ERROR "localedef made no fr_FR.UTF-8 locale in ${WORK_DIR}/locale")
endif()
sqlprobe_run(out_comma LC_ALL=fr_FR.UTF-8 "LOCPATH=${WORK_DIR}/locale")
if(NOT out_comma STREQUAL out_c)
  message(FATAL_ERROR "answers differ under fr_FR.UTF-8:\n--- C\n${out_c}\n--- fr_FR.UTF-8\n${out_comma}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
