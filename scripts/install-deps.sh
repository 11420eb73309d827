#!/usr/bin/env bash
# Installs what the build and the tests need: the 32-bit toolchain and libraries,
# the MariaDB client library (i386) and a MariaDB server to run tests against.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  g++-multilib ninja-build cmake clang libclang-rt-14-dev
  libmariadb-dev:i386 libmariadb3:i386 zlib1g-dev:i386
  libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386
  mariadb-server mariadb-client
  qemu-user  # runs the i386 programs where the kernel cannot
  unicode-data  # UnicodeData.txt feeds the generator of the fast sort table
  zip unzip  # the setup program's payload, its tests' archives and its benchmark
  python3 util-linux  # the setup program's tests (zipfile; unshare, setpriv)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
