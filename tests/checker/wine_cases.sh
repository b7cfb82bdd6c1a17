#!/bin/sh
# velloran-check.exe under Wine must give the Linux program's report (line
# ends aside) and exit status on every case file. Exit 77: no Wine, no
# booted prefix from the Wine test session, or no WoW64 for an x86 build.
set -u
exe=$1
cases=$2
prefix=$3
command -v wine >/dev/null 2>&1 && [ -d "$prefix" ] || exit 77
# An x86 build needs Wine's WoW64 side (wine32, and a kernel that runs it).
if x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' &&
   ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "skipped: this Wine runs no x86 programs"; exit 77
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all
out=$(mktemp)
trap 'rm -f "$out" "$out.unix"' EXIT
cd "$cases" || exit 1
status=0
for case in *.ini; do
    wine "$exe" "$case" >"$out" 2>/dev/null
    code=$?
    golden=${case%.ini}.expected
    grep -q '^No findings\.$' "$golden" && expected=0 || expected=1
    # Each build names the view it works on; the rest is the same.
    tr -d '\r' <"$out" | sed 's/^ODBC view: [0-9][0-9]-bit$/ODBC view: unixODBC/' >"$out.unix"
    if ! cmp -s "$out.unix" "$golden"; then
        echo "$case: report differs from $golden"
        diff "$out.unix" "$golden" | head -20
        status=1
    fi
    [ "$code" -eq "$expected" ] || { echo "$case: exit status $code, expected $expected"; status=1; }
done
exit $status
