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
            usr/share/doc/velloran/docs/setup-file.md \
            usr/share/doc/velloran/examples/sqlite.ini; do
    [ -f "$root/$file" ] || { echo "missing from the package: /$file"; exit 1; }
done
# velloran's window module, in a velloran folder of the library folder.
module=$(find "$root/usr/lib" -path '*/velloran/window.so')
[ -n "$module" ] || { echo "missing from the package: the window module"; exit 1; }
[ -f "$example" ] || { echo "missing from the package: the SQLite data-source example"; exit 1; }
# The example's Setup= path is where the package puts the setup library.
setup=$(sed -n 's/.*\\0Setup=\([^\\]*\).*/\1/p' "$example")
[ -f "$root$setup" ] || { echo "the example's Setup=$setup is not in the package"; exit 1; }

# Nothing but the dynamic loader and the C and C++ runtimes (and a
# sanitizer build's own).
for program in velloran velloran-check velloran-apply; do
    if readelf -d "$root/usr/bin/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
        grep -Ev '^(ld-linux[-.a-z0-9_]*|lib(c|m|dl|gcc_s|stdc\+\+|asan|ubsan))\.so\.[0-9]+$' >"$work/needed"; then
        echo "$program links more than the runtimes:"; cat "$work/needed"; exit 1
    fi
done

# Each run: standard error in $work/errors, the files the loader mapped in
# $work/mapped.
run_velloran() {
    rm -f "$work"/loads.*
    env -u LD_LIBRARY_PATH HOME="$work" ODBCSYSINI="$work/sys" ODBCINI="$work/user.ini" \
        LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loads" "$@" 2>"$work/errors"
    sed -n 's/.*file=\([^ ]*\).*/\1/p' "$work"/loads.* | sort -u >"$work/mapped"
}
gui='window\.so|libX|libxcb|fontconfig|freetype'

mkdir "$work/sys"
sed -e "s|$setup|$root$setup|" -e "s|/tmp/velloran-example/sales.db|$work/sales.db|" \
    "$example" >"$work/setup.ini"
run_velloran env -u DISPLAY "$root/usr/bin/velloran" "$work/setup.ini"
if [ -s "$work/errors" ]; then
    echo "the unpacked program warned:"; cat "$work/errors"; exit 1
fi
if grep -E "$gui" "$work/mapped"; then echo "a headless run mapped GUI libraries"; exit 1; fi
grep -qx "Setup *= *$root$setup" "$work/sys/odbcinst.ini" || {
    echo "driver not installed:"; cat "$work/sys/odbcinst.ini"; exit 1; }
grep -qx '\[Sales\]' "$work/sys/odbc.ini" && grep -qx "Database *= *$work/sales.db" "$work/sys/odbc.ini" || {
    echo "data source not added:"; cat "$work/sys/odbc.ini"; exit 1; }

# A display that cannot be opened, first with the module, then without it:
# the warning goes to standard error and the run ends normally.
printf '[Data Sources]\nDSDriver1=No Such Driver\nDSAttrib1=DSN=Lost\nDSRequest1=ODBC_ADD_DSN\n' \
    >"$work/failing.ini"
for state in present missing; do
    if [ $state = missing ]; then rm "$module"; fi
    status=0
    run_velloran env DISPLAY=:none "$root/usr/bin/velloran" "$work/failing.ini" || status=$?
    grep -q '^Error: ' "$work/errors" && [ $status = 0 ] || {
        echo "DISPLAY set, module $state: exit $status, standard error:"; cat "$work/errors"; exit 1; }
    if [ $state = present ]; then
        grep -qxF "$root/usr/bin/../${module#"$root/usr/"}" "$work/mapped" || {
            echo "DISPLAY set: the window module was not loaded"; exit 1; }
    fi
done
echo "package ok: $(basename "$deb")"
