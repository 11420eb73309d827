# Drives sqlprobe's record-search command ("search") with a script, checks
# each answer line against a regular expression, then runs every statement
# answered on the fixture's server (through the mariadb client) over tables
# that hold NULLs, empty texts, zeros, negative amounts, extreme dates and
# texts with %, _, \ and quotes, and checks the rows each one selects.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_search_test.cmake
#
# KQ_MARIADB_ENV names the server's facts (the CTest fixture sets it). Without
# a mariadb (or mysql) client on the PATH the server run is skipped with a
# note; the texts are still checked.

cmake_minimum_required(VERSION 3.20)  # lists keep their empty elements

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# Item types: 2 text, 5 4-byte integer, 11 time, 14 date, 17 money,
# 24 date-time, 29 Unicode text.
#
# Cases in threes: the command, the regular expression its answer must match
# (whole line, written as sqlprobe_script.cmake says), and the rows the
# statement selects on the server, in any order, joined by "|" (NULL for a
# NULL cell, '' for an empty text), or "-" for an answer that is no
# statement.
set(n "OK\tSELECT `n` FROM `kqps_n`")
set(t "OK\tSELECT `t` FROM `kqps_t`")
set(d "OK\tSELECT `d` FROM `kqps_d`")
set(h "OK\tSELECT `h` FROM `kqps_h`")
set(htext "SUBSTR\\(TIME_FORMAT\\(`h`,'%H%i%S%f'\\), 1, 9\\)")
set(dt "OK\tSELECT `dt` FROM `kqps_dt`")
set(m "OK\tSELECT `m` FROM `kqps_m`")
set(u "OK\tSELECT `u` FROM `kqps_u`")
set(esc " ESCAPE '!'")
set(cases
  # ---- A 4-byte integer: NULL, -5, 0, 5, 7, 2147483647.
  "search\tkqps_n\tn\t5\t4\teq\t5"              "${n} WHERE `n`=5"             "5"
  "search\tkqps_n\tn\t5\t4\teq\t{max}"          "${n} WHERE `n`=2147483647"    "2147483647"
  # After an exact search: forward past it; backward before it, NULL
  # first in the language's order as in MariaDB's.
  "search\tkqps_n\tn\t5\t4\tnext\t5"            "${n} WHERE `n`>5"             "2147483647|7"
  "search\tkqps_n\tn\t5\t4\tprev\t5"            "${n} WHERE \\(`n`<5 OR `n` IS NULL\\)" "-5|0|NULL"
  # Filters: both bounds; equal bounds; the extremes are no bound; a lower
  # bound that may stand for NULL lets NULL through on both sides; bounds
  # that cross select nothing.
  "search\tkqps_n\tn\t5\t4\tfilter\t-5\t5"      "${n} WHERE `n`>=-5 AND `n`<=5" "-5|0|5"
  "search\tkqps_n\tn\t5\t4\tfilter\t5\t5"       "${n} WHERE `n`=5"             "5"
  "search\tkqps_n\tn\t5\t4\tfilter\t{min}\t{max}" "${n}"                       "-5|0|2147483647|5|7|NULL"
  # An upper bound alone lets no NULL through: a filter's bounds let NULL
  # through only from a lower bound that may stand for NULL.
  "search\tkqps_n\tn\t5\t4\tfilter\t{min}\t0"   "${n} WHERE `n`<=0"             "-5|0"
  "search\tkqps_n\tn\t5\t4\tfilter\t6\t{max}"   "${n} WHERE `n`>=6"            "2147483647|7"
  "search\tkqps_n\tn\t5\t4\tfilter\t0\t5"
      "${n} WHERE \\(`n`>=0 OR `n` IS NULL\\) AND \\(`n`<=5 OR `n` IS NULL\\)" "0|5|NULL"
  "search\tkqps_n\tn\t5\t4\tfilter\t7\t5"       "${n} WHERE `n`>=7 AND `n`<=5" ""

  # ---- A text: NULL, '', ab, ab%, abc, a_c, a\b, O'Hara, b.
  "search\tkqps_t\tt\t2\t21\teq\tab"            "${t} WHERE `t`='ab'"          "ab"
  "search\tkqps_t\tt\t2\t21\teq\t"              "${t} WHERE `t`=''"            "''"
  "search\tkqps_t\tt\t2\t21\tbegins\tab"        "${t} WHERE `t` LIKE 'ab%'${esc}" "ab|ab%|abc"
  # Wildcards and the escape characters of the value match themselves.
  "search\tkqps_t\tt\t2\t21\tbegins\tab%"       "${t} WHERE `t` LIKE 'ab!%%'${esc}" "ab%"
  "search\tkqps_t\tt\t2\t21\tbegins\ta_"        "${t} WHERE `t` LIKE 'a!_%'${esc}" "a_c"
  "search\tkqps_t\tt\t2\t21\tbegins\ta\\<BS>"    "${t} WHERE `t` LIKE _utf8mb4 X'615C25'${esc}" "a\\b"
  "search\tkqps_t\tt\t2\t21\tbegins\tO'H"       "${t} WHERE `t` LIKE 'O''H%'${esc}" "O'Hara"
  # An empty prefix: every text, not NULL.
  "search\tkqps_t\tt\t2\t21\tbegins\t"          "${t} WHERE `t` LIKE '%'"
      "''|O'Hara|a\\b|a_c|ab|ab%|abc|b"
  # (The tables' texts compare by their bytes: O'Hara, a\b and a_c sort
  # before ab.)
  "search\tkqps_t\tt\t2\t21\tnext\tab"          "${t} WHERE `t`>'ab'"          "ab%|abc|b"
  "search\tkqps_t\tt\t2\t21\tprev\tab"          "${t} WHERE \\(`t`<'ab' OR `t` IS NULL\\)"
      "''|NULL|O'Hara|a\\b|a_c"

  # Hostile values select only themselves (here: nothing), whatever they
  # hold.
  "search\tkqps_t\tt\t2\t21\teq\t\\\\' OR 1=1 #" "${t} WHERE `t`=_utf8mb4 X'5C27204F5220313D312023'" ""
  "search\tkqps_t\tt\t2\t21\tbegins\t' OR ''='"  "${t} WHERE `t` LIKE ''' OR ''''=''%'${esc}" ""
  "search\tkqps_t\tt\t2\t21\tnext\tb' OR 1=1 -- " "${t} WHERE `t`>'b'' OR 1=1 -- '" ""

  # ---- A Unicode text (binary collation): NULL, cafe, café, x.
  "search\tkqps_u\tu\t29\t42\tbegins\tcaf\\xc3\\xa9" "${u} WHERE `u` LIKE 'caf..%'${esc}" "café"
  "search\tkqps_u\tu\t29\t42\teq\tx"            "${u} WHERE `u`='x'"           "x"

  # ---- A date: NULL, 1000-01-01, 2023-11-30, 2023-12-01, 2023-12-31,
  # 2024-01-01, 2024-02-28, 2024-02-29, 9999-12-31.
  "search\tkqps_d\td\t14\t8\teq\t20231201"      "${d} WHERE `d`='2023-12-01'"  "2023-12-01"
  # Partial dates: the range they designate, carried over a month or a
  # year; a range with no end in MariaDB's years has its lower bound alone.
  "search\tkqps_d\td\t14\t8\tbegins\t2023"
      "${d} WHERE `d`>='2023-01-01' AND `d`<'2024-01-01'" "2023-11-30|2023-12-01|2023-12-31"
  "search\tkqps_d\td\t14\t8\tbegins\t202312"
      "${d} WHERE `d`>='2023-12-01' AND `d`<'2024-01-01'" "2023-12-01|2023-12-31"
  "search\tkqps_d\td\t14\t8\tbegins\t2024022"
      "${d} WHERE `d`>='2024-02-20' AND `d`<'2024-03-01'" "2024-02-28|2024-02-29"
  "search\tkqps_d\td\t14\t8\tbegins\t9999"      "${d} WHERE `d`>='9999-01-01'" "9999-12-31"
  "search\tkqps_d\td\t14\t8\tnext\t20231231"    "${d} WHERE `d`>'2023-12-31'"
      "2024-01-01|2024-02-28|2024-02-29|9999-12-31"
  "search\tkqps_d\td\t14\t8\tfilter\t{min}\t{max}" "${d}"
      "1000-01-01|2023-11-30|2023-12-01|2023-12-31|2024-01-01|2024-02-28|2024-02-29|9999-12-31|NULL"
  "search\tkqps_d\td\t14\t8\tfilter\t20240101\t{max}" "${d} WHERE `d`>='2024-01-01'"
      "2024-01-01|2024-02-28|2024-02-29|9999-12-31"

  # ---- A time: NULL, 00:00:00.000, 10:30:00.000, 23:15:00.000,
  # 23:59:59.999. The connection compares times as their texts.
  "search\tkqps_h\th\t11\t10\tbegins\t23"   "${h} WHERE ${htext} LIKE '23%'${esc}"
      "23:15:00.000|23:59:59.999"
  "search\tkqps_h\th\t11\t10\tbegins\t1030" "${h} WHERE ${htext} LIKE '1030%'${esc}"
      "10:30:00.000"
  "search\tkqps_h\th\t11\t10\teq\t103000000" "${h} WHERE ${htext}='103000000'" "10:30:00.000"
  "search\tkqps_h\th\t11\t10\tnext\t103000000" "${h} WHERE ${htext}>'103000000'"
      "23:15:00.000|23:59:59.999"

  # ---- A date-time: NULL, 1000-01-01 00:00:00.000, 2023-12-31 23:59:59.999,
  # 2024-01-01 00:00:00.000, 2024-02-29 10:30:00.000, 9999-12-31 23:59:59.999.
  "search\tkqps_dt\tdt\t24\t8\teq\t20240229103000000"
      "${dt} WHERE `dt`='2024-02-29 10:30:00\\.000'" "2024-02-29 10:30:00.000"
  "search\tkqps_dt\tdt\t24\t8\tbegins\t2024"
      "${dt} WHERE `dt`>='2024-01-01 00:00:00\\.000' AND `dt`<'2025-01-01 00:00:00\\.000'"
      "2024-01-01 00:00:00.000|2024-02-29 10:30:00.000"
  "search\tkqps_dt\tdt\t24\t8\tbegins\t202402291030"
      "${dt} WHERE `dt`>='2024-02-29 10:30:00\\.000' AND `dt`<'2024-02-29 10:31:00\\.000'"
      "2024-02-29 10:30:00.000"
  "search\tkqps_dt\tdt\t24\t8\tbegins\t9999"    "${dt} WHERE `dt`>='9999-01-01 00:00:00\\.000'"
      "9999-12-31 23:59:59.999"
  "search\tkqps_dt\tdt\t24\t8\tnext\t20240101000000000"
      "${dt} WHERE `dt`>'2024-01-01 00:00:00\\.000'"
      "2024-02-29 10:30:00.000|9999-12-31 23:59:59.999"
  # The maximum is no bound: the last instant MariaDB holds is kept.
  "search\tkqps_dt\tdt\t24\t8\tfilter\t20240101000000000\t{max}"
      "${dt} WHERE `dt`>='2024-01-01 00:00:00\\.000'"
      "2024-01-01 00:00:00.000|2024-02-29 10:30:00.000|9999-12-31 23:59:59.999"
  "search\tkqps_dt\tdt\t24\t8\tfilter\t{min}\t{max}" "${dt}"
      "1000-01-01 00:00:00.000|2023-12-31 23:59:59.999|2024-01-01 00:00:00.000|2024-02-29 10:30:00.000|9999-12-31 23:59:59.999|NULL"

  # ---- Money: NULL, -12.5, 0, 3.25. The minimum is the most negative
  # amount: a filter from it keeps the negative ones.
  "search\tkqps_m\tm\t17\t10\tfilter\t{min}\t{max}" "${m}"        "-12.500000|0.000000|3.250000|NULL"
  "search\tkqps_m\tm\t17\t10\tfilter\t{min}\t0" "${m} WHERE `m`<=0"   "-12.500000|0.000000"

  # ---- Bad input: an answer, never a crash.
  # A value of another type than the item's: the search's conversion
  # refuses it.
  "search\tkqps_n\tn\t5\t4\teq\tabc"            "ERR\t53\t.+"                  "-"
  "search\tkqps_n\tn\t5\t4\tnext\tabc"          "ERR\t53\t.+"                  "-"
  "search\tkqps_n\tn\t5\t4\tfilter\t1\tabc"     "ERR\t53\t.+"                  "-"
  # Partial dates that name no instant, texts that are no date.
  "search\tkqps_d\td\t14\t8\tbegins\t202313"    "ERR\t53\t.+"                  "-"
  "search\tkqps_d\td\t14\t8\tbegins\t2023a"     "ERR\t53\t.+"                  "-"
  "search\tkqps_d\td\t14\t8\teq\t2023\\xc3\\xa9" "ERR\t43\t.+"                 "-"
  # The probe's own refusals.
  "search\tkqps_n\tn\t5\t4\tne\t5"              "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t4\teq"                 "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t4\teq\t5\t6"           "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t4\tfilter\t5"          "ERR\t0\t.+"                   "-"
  "search\tkqps_n\t\t5\t4\teq\t5"               "ERR\t0\t.+"                   "-"
  "search\t\tn\t5\t4\teq\t5"                    "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\\x00x\t5\t4\teq\t5"        "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t8\t4\teq\t5"              "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t0\t4\teq\t5"              "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t32\t4\teq\t5"             "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t99\t4\teq\t5"             "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\tx\t4\teq\t5"              "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t0\teq\t5"              "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t2000000\teq\t5"        "ERR\t0\t.+"                   "-"
  "search\tkqps_n\tn\t5\t4\teq\t\\xff"          "ERR\t0\t.+"                   "-"
  "search"                                      "ERR\t0\t.+"                   "-"
)

# ---- The answers.
set(pairs "")
set(rows "")
list(LENGTH cases count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 3)
  math(EXPR j "${i} + 1")
  math(EXPR k "${i} + 2")
  list(GET cases ${i} command)
  list(GET cases ${j} answer)
  list(GET cases ${k} selected)
  list(APPEND pairs "${command}" "${answer}")
  list(APPEND rows "${selected}")
endforeach()
sqlprobe_check_cases(pairs out)

# ---- The statements on the server.
find_program(MARIADB_CLIENT NAMES mariadb mysql)
if(NOT MARIADB_CLIENT)
  message(STATUS "server run skipped: no mariadb client on the PATH")
  file(REMOVE_RECURSE "${WORK_DIR}")
  return()
endif()
set(client_dir "${WORK_DIR}/client")
sqlprobe_client_options("${client_dir}" options)

set(tables kqps_n kqps_t kqps_u kqps_d kqps_h kqps_dt kqps_m)
set(drop "")
foreach(table IN LISTS tables)
  string(APPEND drop "DROP TABLE IF EXISTS `${table}`;\n")
endforeach()
file(WRITE "${client_dir}/setup.sql" "${drop}
CREATE TABLE `kqps_n` (`n` INT NULL);
INSERT INTO `kqps_n` VALUES (NULL), (-5), (0), (5), (7), (2147483647);
CREATE TABLE `kqps_t` (`t` VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NULL);
INSERT INTO `kqps_t` VALUES (NULL), (''), ('ab'), ('ab%'), ('abc'), ('a_c'), ('a\\\\b'), ('O''Hara'), ('b');
CREATE TABLE `kqps_u` (`u` VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NULL);
INSERT INTO `kqps_u` VALUES (NULL), ('cafe'), ('caf\\xc3\\xa9'), ('x');
CREATE TABLE `kqps_d` (`d` DATE NULL);
INSERT INTO `kqps_d` VALUES (NULL), ('1000-01-01'), ('2023-11-30'), ('2023-12-01'), ('2023-12-31'),
  ('2024-01-01'), ('2024-02-28'), ('2024-02-29'), ('9999-12-31');
CREATE TABLE `kqps_h` (`h` TIME(3) NULL);
INSERT INTO `kqps_h` VALUES (NULL), ('00:00:00.000'), ('10:30:00.000'), ('23:15:00.000'), ('23:59:59.999');
CREATE TABLE `kqps_dt` (`dt` DATETIME(3) NULL);
INSERT INTO `kqps_dt` VALUES (NULL), ('1000-01-01 00:00:00.000'), ('2023-12-31 23:59:59.999'),
  ('2024-01-01 00:00:00.000'), ('2024-02-29 10:30:00.000'), ('9999-12-31 23:59:59.999');
CREATE TABLE `kqps_m` (`m` DECIMAL(24,6) NULL);
INSERT INTO `kqps_m` VALUES (NULL), (-12.5), (0), (3.25);
")
# The Unicode row written as UTF-8 bytes.
file(READ "${client_dir}/setup.sql" setup)
string(ASCII 195 169 e_acute)
string(REPLACE "caf\\xc3\\xa9" "caf${e_acute}" setup "${setup}")
file(WRITE "${client_dir}/setup.sql" "${setup}")
sqlprobe_run_sql_file(${MARIADB_CLIENT} "${options}" "${client_dir}/setup.sql" ignored)

# The rows of a text of lines each ended by <end>, sorted and joined by "|";
# an empty row (an empty text) is written ''.
function(sorted_rows text end out_var)
  set(list "")
  while(NOT text STREQUAL "")
    string(FIND "${text}" "${end}" at)
    string(SUBSTRING "${text}" 0 ${at} row)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${text}" ${at} -1 text)
    if(row STREQUAL "")
      set(row "''")
    endif()
    list(APPEND list "${row}")
  endwhile()
  list(SORT list)
  list(JOIN list "|" joined)
  set(${out_var} "${joined}" PARENT_SCOPE)
endfunction()

# The answer lines, in script order.
set(rest "${out}")
set(failures 0)
set(k 0)
foreach(expected IN LISTS rows)
  string(FIND "${rest}" "\n" eol)
  string(SUBSTRING "${rest}" 0 ${eol} line)
  math(EXPR eol "${eol} + 1")
  string(SUBSTRING "${rest}" ${eol} -1 rest)
  if(NOT expected STREQUAL "-")
    # The probe's escapes undone (a statement holds no TAB or line end).
    string(REGEX REPLACE "^OK\t" "" sql "${line}")
    string(REPLACE "\\\\" "\\" sql "${sql}")
    file(WRITE "${client_dir}/case.sql" "${sql};\n")
    sqlprobe_run_sql_file(${MARIADB_CLIENT} "${options}" "${client_dir}/case.sql" selected)
    sorted_rows("${selected}" "\n" got)
    string(REPLACE "|" "\n" expected "${expected}")
    if(NOT expected STREQUAL "")
      string(APPEND expected "\n")
    endif()
    sorted_rows("${expected}" "\n" expected)
    if(NOT got STREQUAL expected)
      message(SEND_ERROR "statement ${k}: ${sql}\n  selects \"${got}\"\n  expected \"${expected}\"")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
  math(EXPR k "${k} + 1")
endforeach()

file(WRITE "${client_dir}/drop.sql" "${drop}")
sqlprobe_run_sql_file(${MARIADB_CLIENT} "${options}" "${client_dir}/drop.sql" ignored)
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} statement(s) selected other rows")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
