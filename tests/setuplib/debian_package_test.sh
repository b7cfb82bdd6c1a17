#!/bin/sh
# Builds the .deb with cpack in a temporary directory, checks what it holds
# and depends on and that lintian finds nothing, unpacks it with dpkg -x, and runs the unpacked program on
# the unpacked SQLite example against unixODBC in a temporary configuration:
# the driver must get its data source from the unpacked setup library.
set -eu
config=$1
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
case ", $depends," in
    *", libodbcinst2,"* | *", libodbcinst2 ("*) ;;
    *) echo "libodbcinst2 is not a dependency"; exit 1 ;;
esac

# Debian's own package checks: no errors and no warnings.
lintian --fail-on error,warning "$deb" 2>"$work/lintian.err" || {
    echo "lintian:"; grep -v 'root privileges' "$work/lintian.err"; exit 1; }

root=$work/root
dpkg-deb -x "$deb" "$root"
example=$root/usr/share/doc/velloran/examples/sqlite-datasource.ini
for file in usr/bin/velloran usr/share/doc/velloran/README.md \
            usr/share/doc/velloran/examples/sqlite.ini; do
    [ -f "$root/$file" ] || { echo "missing from the package: /$file"; exit 1; }
done
[ -f "$example" ] || { echo "missing from the package: the SQLite data-source example"; exit 1; }
# The example's Setup= path is where the package puts the setup library.
setup=$(sed -n 's/.*\\0Setup=\([^\\]*\).*/\1/p' "$example")
[ -f "$root$setup" ] || { echo "the example's Setup=$setup is not in the package"; exit 1; }

mkdir "$work/sys"
sed -e "s|$setup|$root$setup|" -e "s|/tmp/velloran-example/sales.db|$work/sales.db|" \
    "$example" >"$work/setup.ini"
env -u LD_LIBRARY_PATH HOME="$work" ODBCSYSINI="$work/sys" ODBCINI="$work/user.ini" \
    "$root/usr/bin/velloran" "$work/setup.ini" 2>"$work/errors"
if [ -s "$work/errors" ]; then
    echo "the unpacked program warned:"; cat "$work/errors"; exit 1
fi
grep -qx "Setup *= *$root$setup" "$work/sys/odbcinst.ini" || {
    echo "driver not installed:"; cat "$work/sys/odbcinst.ini"; exit 1; }
grep -qx '\[Sales\]' "$work/sys/odbc.ini" && grep -qx "Database *= *$work/sales.db" "$work/sys/odbc.ini" || {
    echo "data source not added:"; cat "$work/sys/odbc.ini"; exit 1; }
echo "package ok: $(basename "$deb")"
