#!/usr/bin/env bash
# Build guard: a program that this project builds and then runs during the build
# (message_packer, sort_table_gen, any later one) must be run by its full path,
# behind the i386 runner when there is one.
#
# Why: cmake/i386-linux.cmake makes every build a cross build, and there CMake
# turns a bare target name in a custom command into a path only when it has an
# emulator. Such a build works under qemu-i386 and fails with "not found" where
# i386 programs run natively, so CI under qemu alone would never notice.
#
# How: configures two scratch trees, the runner forced empty and forced to
# qemu-i386, and reads their generated commands (ninja -t commands); nothing is
# built. The executable targets are read from each tree's link steps.
#
# Usage: scripts/check-build-commands.sh [SOURCE_DIR [EXTRA_CMAKE_ARGS...]]
# Exit status 0 when every command is sound, 1 otherwise (each offender printed).
set -uo pipefail

src=$(cd "${1:-$(dirname "$0")/..}" && pwd) || exit 1
shift $(($# > 0 ? 1 : 0))
qemu=$(command -v qemu-i386 || echo /usr/bin/qemu-i386)  # never run: need not exist
scratch=$(mktemp -d /tmp/kq-build-guard.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
status=0

# check NAME RUNNER: configures a tree with RUNNER and checks its commands.
check() {
  local dir="$scratch/$1" runner=$2 tools
  if ! cmake -S "$src" -B "$dir" -G Ninja -DKQ_I386_RUNNER="$runner" "${@:3}" \
       >"$dir.log" 2>&1; then
    echo "build guard: $1 tree: configuration failed:"; tail -n 20 "$dir.log"; return 1
  fi
  # "core/message_packer: CXX_EXECUTABLE_LINKER__message_packer_RelWithDebInfo"
  tools=$(ninja -C "$dir" -t targets all | sed -nE 's/^([^:]+): [A-Za-z]+_EXECUTABLE_LINKER__.*/\1/p')
  if [ -z "$tools" ]; then
    echo "build guard: $1 tree: found no executable targets, cannot check"; return 1
  fi
  # Splits each step into its shell commands and looks at each one's program.
  ninja -C "$dir" -t commands | awk -v tree="$1" -v dir="$dir" -v runner="$runner" -v tools="$tools" '
    BEGIN {
      n = split(tools, t, "\n")
      for (i = 1; i <= n; i++) { b = t[i]; sub(/.*\//, "", b); bare[b] = 1; full[dir "/" t[i]] = 1 }
    }
    {
      m = split($0, cmds, / (&&|\|\||;|\|) /)
      for (j = 1; j <= m; j++) {
        w = split(cmds[j], word, " ")
        for (k = 1; k <= w && word[k] ~ /^[A-Za-z_][A-Za-z0-9_]*=/; k++) {}  # VAR=value
        prog = word[k]; gsub(/^["\047]|["\047]$/, "", prog)
        why = ""
        if (prog in bare) why = "runs " prog " by a bare name"
        else if ((prog in full) && runner != "") why = "runs " prog " without the runner " runner
        if (why != "") { printf "build guard: %s tree: %s:\n    %s\n", tree, why, $0; bad = 1 }
      }
    }
    END { exit bad }'
}

check native "" "$@" || status=1
check qemu "$qemu" "$@" || status=1
if [ $status -eq 0 ]; then
  echo "build guard: passed (every build-time tool runs by full path, behind the runner under qemu)"
else
  echo "build guard: FAILED"
fi
exit $status
