#!/bin/sh
# Builds the Linux program and runs it on the example setup file against a
# temporary unixODBC configuration, then lists the drivers it installed.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target velloran
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export ODBCSYSINI="$config" ODBCINI="$config/odbc.ini" HOME="$config"
echo "== velloran examples/sqlite.ini (ODBCSYSINI=$config)"
build/linux/bin/velloran examples/sqlite.ini
echo "== exit code $?; installed drivers:"
odbcinst -q -d
echo "== $config/odbcinst.ini:"
cat "$config/odbcinst.ini"
