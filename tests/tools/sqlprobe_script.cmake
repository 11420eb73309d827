# The run-and-compare loop of the sqlprobe scripts: a list of cases (a
# command, then the regular expression its answer line must match whole)
# written as a script, run through the probe, every answer line checked.
#
# The including script is run as
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P <script>
# with KQ_MARIADB_ENV naming the server's facts (the CTest fixture sets it).
#
# In the cases, \t is a TAB (a field separator); the probe's escapes are
# written with a doubled backslash. Two stand-ins keep a case whole in the
# list: <SC> for ";" (which would split it) and <BS> for a lone backslash at
# the end of a command (which would escape the separator).

cmake_minimum_required(VERSION 3.20)  # lists keep their empty elements
include_guard(GLOBAL)

if(NOT PROBE OR NOT WORK_DIR)
  message(FATAL_ERROR "PROBE and WORK_DIR are required")
endif()

# The list's stand-ins in <var> replaced by what they stand for.
macro(sqlprobe_restore var)
  string(REPLACE "<SC>" ";" ${var} "${${var}}")
  string(REPLACE "<BS>" "\\" ${var} "${${var}}")
endmacro()

# Writes the commands of the list named <cases_var> to a fresh
# ${WORK_DIR}/script.txt; the expected answers (stand-ins kept) into
# <expected_var>.
function(sqlprobe_write_script cases_var expected_var)
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  set(input "")
  set(expected "")
  list(LENGTH ${cases_var} n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET ${cases_var} ${i} command)
    list(GET ${cases_var} ${j} answer)
    sqlprobe_restore(command)
    string(APPEND input "${command}\n")
    list(APPEND expected "${answer}")
  endforeach()
  file(WRITE "${WORK_DIR}/script.txt" "${input}")
  set(${expected_var} "${expected}" PARENT_SCOPE)
endfunction()

# Runs the probe over the script with the given environment settings
# (NAME=value ...); the output into <out_var>.
function(sqlprobe_run out_var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${ARGN} ${RUNNER} ${PROBE}
    INPUT_FILE "${WORK_DIR}/script.txt"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "sqlprobe ended with ${rc}\n${err}\n${out}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# Checks the output line by line against the answers of the list named
# <expected_var> (list splitting would cut at semicolons in the texts); one
# line more or less is a failure too.
function(sqlprobe_check output expected_var)
  set(rest "${output}")
  set(failures 0)
  set(k 0)
  foreach(answer IN LISTS ${expected_var})
    string(FIND "${rest}" "\n" eol)
    if(eol EQUAL -1)
      message(SEND_ERROR "answer ${k}: missing (expected ${answer})")
      math(EXPR failures "${failures} + 1")
      break()
    endif()
    string(SUBSTRING "${rest}" 0 ${eol} line)
    math(EXPR eol "${eol} + 1")
    string(SUBSTRING "${rest}" ${eol} -1 rest)
    sqlprobe_restore(answer)
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
endfunction()

# The whole loop under the C locale: script, run, check. The output into
# <out_var> for a further run to compare with.
function(sqlprobe_check_cases cases_var out_var)
  sqlprobe_write_script(${cases_var} expected)
  sqlprobe_run(out LC_ALL=C)
  sqlprobe_check("${out}" expected)
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# Reads the server's facts (the file KQ_MARIADB_ENV names) into the caller's
# KQ_MARIADB_* variables and writes an options file for the mariadb client
# in a fresh <dir>, which only its owner may read: the password reaches the
# client through it, never through a command line that ps would show.
# <options_var> receives the file's path.
macro(sqlprobe_client_options dir options_var)
  if(NOT DEFINED ENV{KQ_MARIADB_ENV} OR NOT EXISTS "$ENV{KQ_MARIADB_ENV}")
    message(FATAL_ERROR "KQ_MARIADB_ENV names no file of server facts")
  endif()
  file(STRINGS "$ENV{KQ_MARIADB_ENV}" _sqlprobe_facts)
  foreach(_sqlprobe_fact IN LISTS _sqlprobe_facts)
    if(_sqlprobe_fact MATCHES "^(KQ_MARIADB_[A-Z]+)=(.*)$")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  foreach(_sqlprobe_key SOCKET USER PASSWORD DATABASE)
    if(NOT DEFINED KQ_MARIADB_${_sqlprobe_key})
      message(FATAL_ERROR "the server facts lack KQ_MARIADB_${_sqlprobe_key}")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  file(CHMOD "${dir}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(${options_var} "${dir}/client.cnf")
  file(WRITE "${${options_var}}" "[client]\nprotocol=socket\nsocket=${KQ_MARIADB_SOCKET}\nuser=${KQ_MARIADB_USER}\npassword=${KQ_MARIADB_PASSWORD}\ndatabase=${KQ_MARIADB_DATABASE}\ndefault-character-set=utf8mb4\n")
endmacro()

# Runs the SQL file through <client> with the options file; its output (one
# row a line, tabs between cells) into <out_var>. A refusal fails the test.
function(sqlprobe_run_sql_file client options file out_var)
  execute_process(
    COMMAND ${client} --defaults-file=${options} --batch --raw --skip-column-names
    INPUT_FILE "${file}"
    OUTPUT_VARIABLE sql_out
    ERROR_VARIABLE sql_err
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    file(READ "${file}" text)
    message(FATAL_ERROR "the server refused:\n${text}\n${sql_err}")
  endif()
  set(${out_var} "${sql_out}" PARENT_SCOPE)
endfunction()
