# Drives sqlprobe's command-writing commands ("where", "name") with a script
# against the fixture's server and checks each answer line against a regular
# expression.
#
#   cmake -DPROBE=<sqlprobe> [-DRUNNER=<i386 runner>] -DWORK_DIR=<dir> -P sqlprobe_command_test.cmake

cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/sqlprobe_script.cmake)

# Command, then the regular expression its answer must match (whole line),
# written as sqlprobe_script.cmake says. Language types: 1 boolean, 8 int, 9 int64, 10 money, 12 real,
# 16 wide text, 19 8-bit text, 24 date, 25 time, 26 date-time, 28 binary.
set(where "OK\tSELECT `a` FROM `t` WHERE `a`")
set(cases
  # Names: inner quotes doubled, one well-formed quoted name kept, any
  # character the connection holds.
  "name\ttable\tcustomer"                  "OK\t`customer`"
  "name\titem\ta`b"                        "OK\t`a``b`"
  "name\ttable\t`x`"                       "OK\t`x`"
  "name\ttable\t`x` OR 1"                  "OK\t```x`` OR 1`"
  "name\ttable\t`"                         "OK\t````"
  "name\titem\t a "                        "OK\t` a `"
  "name\titem\tcaf\\xc3\\xa9"          "OK\t`caf..`"
  # Values as parameters of every class, at their place.
  "where\tt\ta\teq\t16\tO'Hara"         "${where} = 'O''Hara'"
  "where\tt\ta\teq\t16\t\\\\' OR 1=1 #" "${where} = _utf8mb4 X'5C27204F5220313D312023'"
  "where\tt\ta\teq\t16\ta\\x00b"      "${where} = _utf8mb4 X'610062'"
  "where\tt\ta\teq\t8\t42"              "${where} = 42"
  "where\tt\ta\teq\t9\t-9000000000123"  "${where} = -9000000000123"
  "where\tt\ta\teq\t12\t2.5"            "${where} = 2\\.5"
  "where\tt\ta\teq\t10\t1.25"           "${where} = 1\\.25"
  "where\tt\ta\teq\t1\t1"               "${where} = 1"
  "where\tt\ta\teq\t24\t20240229"       "${where} = '2024-02-29'"
  "where\tt\ta\teq\t25\t123456789"      "${where} = '12:34:56\\.789'"
  "where\tt\ta\teq\t26\t20240229103000000" "${where} = '2024-02-29 10:30:00\\.000'"
  "where\tt\ta\teq\t28\tab"             "${where} = X'6162'"
  # Names and value together.
  "where\tt`x\ta\"b\teq\t8\t1"          "OK\tSELECT `a\"b` FROM `t``x` WHERE `a\"b` = 1"
  # begins: the value matches itself, then anything, with the command's own
  # escape character and clause.
  "where\tt\ta\tbegins\t16\t50%_x\\\\y!" "${where} LIKE _utf8mb4 X'35302125215F785C79212125' ESCAPE '!'"
  "where\tt\ta\tbegins\t19\tcaf\\xc3\\xa9%" "${where} LIKE 'caf..!%%' ESCAPE '!'"
  "where\tt\ta\tbegins\t16\tab"         "${where} LIKE 'ab%' ESCAPE '!'"
  "where\tt\ta\tbegins\t16\t"           "${where} LIKE '%' ESCAPE '!'"
  # Bad input: an answer, never a crash.
  "name\titem\t"                           "ERR\t44\t.+"
  "name\titem\ta\\x00b"                  "ERR\t0\t.+"
  "name\tcolumn\tx"                        "ERR\t0\t.+"
  "name\ttable"                             "ERR\t0\t.+"
  "where\tt\t\teq\t16\tx"               "ERR\t44\t.+"
  "where\tt\ta\teq\t12\tnan"            "ERR\t44\t.+"
  "where\tt\ta\teq\t12\t1e400"          "ERR\t44\t.+"
  "where\tt\ta\teq\t8\tabc"             "ERR\t53\t.+"
  "where\tt\ta\teq\t24\tnope"           "ERR\t0\t.+"
  "where\tt\ta\teq\t999\tx"             "ERR\t0\t.+"
  "where\tt\ta\teq\tx\tx"               "ERR\t0\t.+"
  "where\tt\ta\tbegins\t8\t4"           "ERR\t0\t.+"
  "where\tt\ta\tbegins\t16\ta\\x00b"  "ERR\t0\t.+"
  "where\tt\ta\tne\t8\t1"               "ERR\t0\t.+"
  "where\tt\ta\teq\t8"                   "ERR\t0\t.+"
  "where\tt\ta\teq\t16\t\\xff"        "ERR\t0\t.+"
)

sqlprobe_check_cases(cases out)
file(REMOVE_RECURSE "${WORK_DIR}")
