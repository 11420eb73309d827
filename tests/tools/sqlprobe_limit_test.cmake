# Drives sqlprobe's row-limit commands ("limit", "limited") with a script and
# checks each answer line against a regular expression.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_limit_test.cmake

cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# Command, then the regular expression its answer must match (whole line),
# written as sqlprobe_script.cmake says (<SC> for ";").
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

sqlprobe_check_cases(cases out)
file(REMOVE_RECURSE "${WORK_DIR}")
