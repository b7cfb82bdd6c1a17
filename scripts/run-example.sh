#!/bin/sh
# Builds the Linux program and the data-source setup library, and nothing
# else (the linux-example preset: no tests, no benchmarks), makes a small
# SQLite database in a temporary directory, and runs the program from the
# build tree on examples/sqlite-datasource.ini against a temporary unixODBC
# configuration: it installs Debian's SQLite 3 ODBC driver with the setup
# library as its Setup= and adds the system data source "Sales". isql then
# reads the database's rows through that data source.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh example
cmake --preset linux-example >/dev/null
# The preset's targets: velloran (with its window module) and the setup
# library.
cmake --build --preset linux-example
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export ODBCSYSINI="$config" ODBCINI="$config/user-odbc.ini" HOME="$config"

# The example names the packaged setup library and a fixed database path;
# this run points them into the temporary directory.
example=examples/sqlite-datasource.ini
setup=$(cd build/linux-example && find "$PWD" -name libvelloran-setup.so)
sed -e "s|/usr/lib/x86_64-linux-gnu/odbc/libvelloran-setup.so|$setup|" \
    -e "s|/tmp/velloran-example/sales.db|$config/sales.db|" \
    "$example" >"$config/sqlite-datasource.ini"
sqlite3 "$config/sales.db" "CREATE TABLE sales(region TEXT, amount INTEGER);
    INSERT INTO sales VALUES ('North', 120), ('South', 80), ('West', 95);"

echo "== velloran sqlite-datasource.ini (ODBCSYSINI=$config)"
build/linux-example/bin/velloran "$config/sqlite-datasource.ini"
echo "== installed drivers (odbcinst -q -d):"
odbcinst -q -d
echo "== $config/odbcinst.ini:"
cat "$config/odbcinst.ini"
echo "== $config/odbc.ini:"
cat "$config/odbc.ini"
echo "== isql Sales: the rows of the sales table"
echo "SELECT region, amount FROM sales ORDER BY region" | isql -b -v -c -d'|' Sales
