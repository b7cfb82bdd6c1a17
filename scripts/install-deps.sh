#!/bin/sh
# Installs, from Debian's packages, what building and testing both targets
# needs. Asks the package index only when something is missing.
set -eu
packages="cmake ninja-build g++ libgtest-dev libbenchmark-dev mingw-w64
  unixodbc-dev unixodbc odbcinst libodbcinst2 libsqliteodbc
  libfltk1.3-dev libxcursor-dev libxinerama-dev libxft-dev libxext-dev
  libxfixes-dev libxrender-dev libfontconfig-dev
  wine wine64 xvfb xdotool x11-utils imagemagick openbox python3
  sqlite3 dpkg-dev lintian clang libclang-rt-14-dev make nlohmann-json3-dev
  ansible-core openssh-server openssh-client yamllint pycodestyle pylint
  postgresql odbc-postgresql
  python3-voluptuous"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends $missing
fi
