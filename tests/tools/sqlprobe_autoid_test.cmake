# Drives sqlprobe's automatic-identifier command ("autoid") with a script
# over tables made on the fixture's server (through the mariadb client) and
# checks each answer line against a regular expression: the next value and
# the current maximum of empty and filled tables, hostile table and column
# names, a table and a column the server lacks, bad input.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_autoid_test.cmake
#
# KQ_MARIADB_ENV names the server's facts (the CTest fixture sets it). Without
# a mariadb (or mysql) client on the PATH the tables cannot be made: only the
# answers that need no table are checked, with a note.

cmake_minimum_required(VERSION 3.20)  # lists keep their empty elements

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# The tables, each with its identifier column and the identifiers it holds
# (the names as SQL writes them; \xNN, written with its backslash doubled,
# stands for the byte NN, <SC> for ";").
set(setup_sql "
DROP TABLE IF EXISTS `kqpa_empty`, `kqpa_41`, `kqpa_q'uo\"te`, `kqpa_b``q`, `kqpa_back\\slash`,
  `kqpa_caf\\xc3\\xa9`, `kqpa_semi<SC> DROP TABLE x`;
CREATE TABLE `kqpa_empty` (`id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY, v INT);
CREATE TABLE `kqpa_41` (`id` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, v INT);
INSERT INTO `kqpa_41` VALUES (1, 0), (20, 0), (41, 0);
CREATE TABLE `kqpa_q'uo\"te` (`c'o\"l` INT NOT NULL PRIMARY KEY);
INSERT INTO `kqpa_q'uo\"te` VALUES (6);
CREATE TABLE `kqpa_b``q` (`c``x`` = ``x` INT NOT NULL PRIMARY KEY);
INSERT INTO `kqpa_b``q` VALUES (-3);
CREATE TABLE `kqpa_back\\slash` (`c\\` INT NOT NULL PRIMARY KEY);
INSERT INTO `kqpa_back\\slash` VALUES (99);
CREATE TABLE `kqpa_caf\\xc3\\xa9` (`\\xe6\\xbc\\xa2\\xe5\\xad\\x97` INT NOT NULL PRIMARY KEY);
INSERT INTO `kqpa_caf\\xc3\\xa9` VALUES (7);
CREATE TABLE `kqpa_semi<SC> DROP TABLE x` (`id` INT NOT NULL PRIMARY KEY);
INSERT INTO `kqpa_semi<SC> DROP TABLE x` VALUES (12);
")
set(drop_sql "DROP TABLE IF EXISTS `kqpa_empty`, `kqpa_41`, `kqpa_q'uo\"te`, `kqpa_b``q`,
  `kqpa_back\\slash`, `kqpa_caf\\xc3\\xa9`, `kqpa_semi<SC> DROP TABLE x`;\n")

# Cases in twos: the command and the regular expression its answer must
# match (whole line, written as sqlprobe_script.cmake says). Names in the
# commands use the probe's escapes; the TAB between the two values comes
# escaped (${tab}), as every TAB of an answer's text.
set(tab "\\\\t")
set(with_tables
  # An empty table starts at 1 and has no maximum; a filled one goes on
  # after its largest identifier.
  "autoid\tkqpa_empty\tid"                            "OK\t1${tab}NULL"
  "autoid\tkqpa_41\tid"                               "OK\t42${tab}41"
  # Hostile names read their own table.
  "autoid\tkqpa_q'uo\"te\tc'o\"l"                     "OK\t7${tab}6"
  "autoid\tkqpa_b`q\tc`x` = `x"                       "OK\t-2${tab}-3"
  "autoid\tkqpa_back\\\\slash\tc<BS><BS>"                "OK\t100${tab}99"
  "autoid\tkqpa_caf\\xc3\\xa9\t\\xe6\\xbc\\xa2\\xe5\\xad\\x97" "OK\t8${tab}7"
  "autoid\tkqpa_semi<SC> DROP TABLE x\tid"            "OK\t13${tab}12"
  # A column the table lacks: the identifier's message, then the server's.
  "autoid\tkqpa_41\tnope"
      "ERR\t[0-9]+\tError while computing the next value of kqpa_41\\.nope:.*1054.*"
)
set(without_tables
  # A table the server lacks.
  "autoid\tkqpa_missing\tid"
      "ERR\t[0-9]+\tError while computing the next value of kqpa_missing\\.id:.*1146.*"
  # The probe's own refusals.
  "autoid\tkqpa_41"                                   "ERR\t0\t.+"
  "autoid\tkqpa_41\tid\tv"                            "ERR\t0\t.+"
  "autoid\t\tid"                                      "ERR\t0\t.+"
  "autoid\tkqpa_41\t"                                 "ERR\t0\t.+"
  "autoid\tkqpa\\x00x\tid"                            "ERR\t0\t.+"
  "autoid\t\\xff\tid"                                 "ERR\t0\t.+"
  "autoid"                                            "ERR\t0\t.+"
)

find_program(MARIADB_CLIENT NAMES mariadb mysql)
if(NOT MARIADB_CLIENT)
  message(STATUS "tables not made: no mariadb client on the PATH")
  sqlprobe_check_cases(without_tables out)
  file(REMOVE_RECURSE "${WORK_DIR}")
  return()
endif()
# Outside WORK_DIR, which each run of the probe makes afresh.
set(client_dir "${WORK_DIR}_client")
sqlprobe_client_options("${client_dir}" options)

# Runs the SQL text (its stand-ins restored, \xNN written as those bytes).
function(run_sql text)
  sqlprobe_restore(text)
  string(REGEX MATCHALL "\\\\x[0-9a-f][0-9a-f]" escapes "${text}")
  list(REMOVE_DUPLICATES escapes)
  foreach(escape IN LISTS escapes)
    string(SUBSTRING "${escape}" 2 2 hex)
    math(EXPR code "0x${hex}")
    string(ASCII ${code} byte)
    string(REPLACE "${escape}" "${byte}" text "${text}")
  endforeach()
  file(WRITE "${client_dir}/run.sql" "${text}")
  execute_process(
    COMMAND ${MARIADB_CLIENT} --defaults-file=${options} --batch
    INPUT_FILE "${client_dir}/run.sql"
    ERROR_VARIABLE sql_err
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the server refused:\n${text}\n${sql_err}")
  endif()
endfunction()

run_sql("${setup_sql}")
set(cases ${with_tables} ${without_tables})
sqlprobe_write_script(cases expected)
sqlprobe_run(out LC_ALL=C)
run_sql("${drop_sql}")
file(REMOVE_RECURSE "${client_dir}")
sqlprobe_check("${out}" expected)
file(REMOVE_RECURSE "${WORK_DIR}")
