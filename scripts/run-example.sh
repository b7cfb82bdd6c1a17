#!/bin/sh
# Builds and installs the Linux program and the data-source setup library in
# a temporary directory, makes a small SQLite database there, and runs the
# program on examples/sqlite-datasource.ini against a temporary unixODBC
# configuration: it installs Debian's SQLite 3 ODBC driver with the setup
# library as its Setup= and adds the system data source "Sales". isql then
# reads the database's rows through that data source.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset linux >/dev/null
# Everything the install rules name must be built before cmake --install.
cmake --build --preset linux
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
cmake --install build/linux --prefix "$config/usr" >/dev/null
export ODBCSYSINI="$config" ODBCINI="$config/user-odbc.ini" HOME="$config"

# The example names the packaged setup library and a fixed database path;
# this run points them into the temporary directory.
example=$config/usr/share/doc/velloran/examples/sqlite-datasource.ini
setup=$(find "$config/usr/lib" -name libvelloran-setup.so)
sed -e "s|/usr/lib/x86_64-linux-gnu/odbc/libvelloran-setup.so|$setup|" \
    -e "s|/tmp/velloran-example/sales.db|$config/sales.db|" \
    "$example" >"$config/sqlite-datasource.ini"
sqlite3 "$config/sales.db" "CREATE TABLE sales(region TEXT, amount INTEGER);
    INSERT INTO sales VALUES ('North', 120), ('South', 80), ('West', 95);"

echo "== velloran sqlite-datasource.ini (ODBCSYSINI=$config)"
"$config/usr/bin/velloran" "$config/sqlite-datasource.ini"
echo "== installed drivers (odbcinst -q -d):"
odbcinst -q -d
echo "== $config/odbcinst.ini:"
cat "$config/odbcinst.ini"
echo "== $config/odbc.ini:"
cat "$config/odbc.ini"
echo "== isql Sales: the rows of the sales table"
echo "SELECT region, amount FROM sales ORDER BY region" | isql -b -v -c -d'|' Sales
