# Drives sqlprobe's parsed-query commands ("declare", "query") with a script,
# checks each answer line against a regular expression, then runs every
# rewritten statement on the fixture's server (through the mariadb client)
# and checks the rows each one selects: literals bound and written back as
# the connection writes them, LIKE patterns with their ESCAPE, a join, a
# sub-query with its own ORDER BY and LIMIT, a computed column named in
# WHERE, a date literal, a hostile physical table name, GROUP BY with HAVING
# and the sort kept, a star, empty dates; an UPDATE and an INSERT are
# checked as texts.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_query_test.cmake
#
# KQ_MARIADB_ENV names the server's facts (the CTest fixture sets it). Without
# a mariadb (or mysql) client on the PATH the server run is skipped with a
# note; the texts are still checked.

cmake_minimum_required(VERSION 3.20)  # lists keep their empty elements

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# Item types: 2 text, 5 4-byte integer, 7 8-byte real, 14 date.
#
# Cases in threes: the command, the regular expression its answer must match
# (whole line, written as sqlprobe_script.cmake says), and the rows the
# statement selects on the server, in any order, joined by "|" (cells of a
# row separated by TAB, NULL for a NULL cell), or "-" for an answer that is
# not run.
set(c "`kqpq_c`")
set(o "`kqpq_o`")
# A column, qualified or not.
set(name "(${c}\\.)?`name`")
set(id "(${c}\\.)?`id`")
set(cases
  "declare\tCustomer\tkqpq_c\tid\t5\t4\tname\t2\t21\tcity\t2\t21\tborn\t14\t8"
      "OK\tCustomer" "-"
  "declare\tOrders\tkqpq_o\toid\t5\t4\tcid\t5\t4\tamount\t7\t8"  "OK\tOrders" "-"
  # A physical name that needs its quote doubled.
  "declare\tOdd\tkqpq_x`y\tv\t2\t21"                              "OK\tOdd" "-"
  # Declaring again replaces the file: the last declaration counts.
  "declare\tOdd\tkqpq_x`y\tv\t2\t11"                              "OK\tOdd" "-"

  # ---- Literals: bound as parameters, written back as the connection's
  # literals, whatever they hold.
  "query\t0\tSELECT name FROM Customer WHERE id = 2"
      "OK\tSELECT ${name} FROM ${c} WHERE ${id} ?= ?2"           "bob"
  "query\t0\tSELECT name FROM Customer WHERE city = 'C:\\\\'"
      "OK\tSELECT ${name} FROM ${c} WHERE (${c}\\.)?`city` ?= ?.+" "bob"
  "query\t0\tSELECT name FROM Customer WHERE name = 'x'' OR ''1''=''1'"
      "OK\tSELECT ${name} FROM ${c} WHERE ${name} ?= ?.+"       ""
  # The statement text and its parameter list: the literal's text left out,
  # one parameter at its place (flags 0x80000, operator 9).
  "query\t-1\tSELECT name FROM Customer WHERE id = 2"
      "OK\tSELECT ${name} FROM ${c} WHERE ${id} ?= ?\\\\t@[0-9]+ 0x80000 op9 t[0-9]+" "-"
  # Mode 1: the query copied as a whole (only a sort clause or markers
  # would be rewritten).
  "query\t1\tSELECT name FROM Customer WHERE id = 2"
      "OK\tSELECT name FROM Customer WHERE id = 2"               "-"

  # ---- LIKE: the pattern bound with its escape character, written with
  # the command's own ESCAPE clause once.
  "query\t0\tSELECT name FROM Customer WHERE name LIKE 'a#%%' ESCAPE '#'"
      "OK\tSELECT ${name} FROM ${c} WHERE ${name} LIKE 'a!%%' ESCAPE '!'" "a%z"
  "query\t0\tSELECT name FROM Customer WHERE name LIKE '_b%'"
      "OK\tSELECT ${name} FROM ${c} WHERE ${name} LIKE '_b%' ESCAPE '!'" "abc"

  # ---- A join, a sub-query, a sub-query with its own sort and limit
  # followed by the rest of the condition.
  "query\t0\tSELECT c.name, o.amount FROM Customer c JOIN Orders o ON o.cid = c.id WHERE o.amount > 10"
      "OK\tSELECT .*`name`.*`amount` FROM ${c} `?c`? JOIN ${o} `?o`? ON .*`cid` ?= ?.*`id` WHERE .*`amount` ?> ?10"
      "abc\t300|ann\t150|bob\t20"
  "query\t0\tSELECT name FROM Customer WHERE id IN (SELECT cid FROM Orders WHERE amount > 100)"
      "OK\tSELECT ${name} FROM ${c} WHERE ${id} IN \\(SELECT .*`cid` FROM ${o} WHERE .*`amount` ?> ?100 ?\\)"
      "abc|ann"
  "query\t0\tSELECT name FROM Customer WHERE id = (SELECT cid FROM Orders ORDER BY amount DESC LIMIT 1) AND city IS NULL"
      "OK\tSELECT ${name} FROM ${c} WHERE ${id} ?= ?\\(SELECT .*`cid` FROM ${o} ORDER BY .+ DESC LIMIT 1\\) AND (${c}\\.)?`city` IS NULL"
      "abc"

  # ---- A computed column named in WHERE: its expression in its place.
  "query\t0\tSELECT id * 2 AS twice FROM Customer WHERE twice > 4"
      "OK\tSELECT ${id} ?\\* ?2 AS `?twice`? FROM ${c} WHERE \\(?${id} ?\\* ?2 ?\\)? ?> ?4" "6|8"
  # A date compared with a date literal of the language.
  "query\t0\tSELECT name FROM Customer WHERE born = '19800101'"
      "OK\tSELECT ${name} FROM ${c} WHERE (${c}\\.)?`born` ?= ?'1980-01-01'" "ann"
  # The hostile physical name.
  "query\t0\tSELECT v FROM Odd WHERE v <> 'x'"
      "OK\tSELECT (`kqpq_x``y`\\.)?`v` FROM `kqpq_x``y` WHERE (`kqpq_x``y`\\.)?`v` ?<> ?'x'" "y"

  # ---- Grouping and sorting: GROUP BY items and the sort written again
  # with their directions; a star replaced by the table's columns.
  "query\t0\tSELECT cid, COUNT(*) FROM Orders GROUP BY cid HAVING COUNT(*) > 1 ORDER BY cid DESC"
      "OK\tSELECT (${o}\\.)?`cid`, COUNT\\(\\*\\) FROM ${o} GROUP BY (${o}\\.)?`cid` HAVING COUNT\\(\\*\\) ?> ?1 ?ORDER BY (${o}\\.)?`cid` DESC"
      "1\t2"
  "query\t0\tSELECT * FROM Customer c WHERE c.name LIKE 'a%' ORDER BY 2"
      "OK\tSELECT `c`\\.`id`, ?`c`\\.`name`, ?`c`\\.`city`, ?`c`\\.`born` FROM ${c} `?c`? WHERE `c`\\.`name` LIKE 'a%' ESCAPE '!' ORDER BY .+"
      "1\tann\tParis\t1980-01-01|3\ta%z\tLyon\tNULL|4\tabc\tNULL\t2000-02-29"
  # ---- Empty dates: a NULL test, or a constant condition.
  "query\t0\tSELECT name FROM Customer WHERE born = ''"
      "OK\tSELECT ${name} FROM ${c} WHERE (${c}\\.)?`born` IS NULL ?"   "a%z"
  "query\t0\tSELECT name FROM Customer WHERE born < ''"
      "OK\tSELECT ${name} FROM ${c} WHERE +0=1 ?"                       ""
  # ---- Writes, checked as texts (not run: the rows above stay as they are).
  "query\t0\tUPDATE Customer SET name = 'z' WHERE id = 9"
      "OK\tUPDATE ${c} SET (${c}\\.)?`name` ?= ?'z' ?WHERE ${id} ?= ?9"   "-"
  "query\t0\tINSERT INTO Customer VALUES (9, 'z', 'c', '20010203')"
      "OK\tINSERT INTO ${c} VALUES \\(9 ?, ?'z' ?, ?'c' ?, ?'2001-02-03' ?\\)" "-"

  # ---- Bad input: an answer, never a crash.
  # Computed columns that name each other: user error 32.
  "query\t0\tSELECT y + 1 AS x, x + 1 AS y FROM Customer"          "ERR\t32\t.+"  "-"
  # A table the analysis does not know is written as the query names it.
  "query\t0\tSELECT a FROM Nowhere"                   "OK\tSELECT .*a.* FROM `?Nowhere`?" "-"
  # The probe's own refusals.
  "declare\tT"                                        "ERR\t0\t.+"   "-"
  "declare\tT\tt"                                     "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\t2"                               "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\t2\t21\tc\t5\t4"                  "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\t8\t4"                            "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\t32\t4"                           "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\t2\t0"                            "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\tx\t4"                            "ERR\t0\t.+"   "-"
  "declare\t\tt\tc\t2\t21"                            "ERR\t0\t.+"   "-"
  "declare\tT\t\tc\t2\t21"                            "ERR\t0\t.+"   "-"
  "declare\tT\tt\tc\\x00d\t2\t21"                     "ERR\t0\t.+"   "-"
  "query\t2\tSELECT name FROM Customer"               "ERR\t0\t.+"   "-"
  "query\tx\tSELECT name FROM Customer"               "ERR\t0\t.+"   "-"
  "query\t0"                                          "ERR\t0\t.+"   "-"
  "query\t0\tSELECT name FROM Customer\t1"            "ERR\t0\t.+"   "-"
  "query\t0\tSELECT name\\x00 FROM Customer"          "ERR\t0\t.+"   "-"
  "query\t0\tSELECT \\xff FROM Customer"              "ERR\t0\t.+"   "-"
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

set(drop "DROP TABLE IF EXISTS `kqpq_c`;\nDROP TABLE IF EXISTS `kqpq_o`;\nDROP TABLE IF EXISTS `kqpq_x``y`;\n")
file(WRITE "${client_dir}/setup.sql" "${drop}
CREATE TABLE `kqpq_c` (`id` INT NULL, `name` VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NULL,
  `city` VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NULL, `born` DATE NULL);
INSERT INTO `kqpq_c` VALUES (1, 'ann', 'Paris', '1980-01-01'), (2, 'bob', 'C:\\\\', '1990-05-17'),
  (3, 'a%z', 'Lyon', NULL), (4, 'abc', NULL, '2000-02-29');
CREATE TABLE `kqpq_o` (`oid` INT NULL, `cid` INT NULL, `amount` DOUBLE NULL);
INSERT INTO `kqpq_o` VALUES (10, 1, 5.5), (11, 1, 150), (12, 2, 20), (13, 4, 300);
CREATE TABLE `kqpq_x``y` (`v` VARCHAR(10) NULL);
INSERT INTO `kqpq_x``y` VALUES ('x'), ('y'), (NULL);
")
sqlprobe_run_sql_file(${MARIADB_CLIENT} "${options}" "${client_dir}/setup.sql" ignored)

# The rows of a text of lines each ended by <end>, sorted and joined by "|".
function(sorted_rows text end out_var)
  set(list "")
  while(NOT text STREQUAL "")
    string(FIND "${text}" "${end}" at)
    string(SUBSTRING "${text}" 0 ${at} row)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${text}" ${at} -1 text)
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
