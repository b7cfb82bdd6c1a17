#!/bin/sh
# The Windows .zip, built by cpack from this build and the windows-x86 one:
# an x64 and an x86 folder, each with every program for its bitness,
# stripped, beside the README and the pages it links, the changelog, the
# licence and the examples.
# Exit 77: the windows-x86 build has not been made.
set -eu
config=$1
x86_build=$2
[ -f "$x86_build/bin/velloran.exe" ] || { echo "skipped: no windows-x86 build in $x86_build"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
(cd "$work" && unzip -q out/*.zip)
top=$(ls -d "$work"/velloran-*-windows)
status=0
for file in README.md CHANGELOG.md docs/setup-file.md LICENSE sqlite.ini sqlite-datasource.ini; do
    [ -f "$top/$file" ] || { echo "missing: $file"; status=1; }
done
for arch in x64:x86-64 x86:i386; do
    folder=${arch%%:*} format=${arch#*:}
    for program in velloran.exe velloran-check.exe velloran-apply.exe velloran-setup.dll; do
        file=$top/$folder/$program
        [ -f "$file" ] || { echo "missing: $folder/$program"; status=1; continue; }
        dump=$(x86_64-w64-mingw32-objdump -h "$file")
        echo "$dump" | grep -q "file format pei\?-$format$" || { echo "$folder/$program is not $format"; status=1; }
        if echo "$dump" | grep -q '\.debug'; then echo "$folder/$program is not stripped"; status=1; fi
        echo "$folder/$program $(wc -c <"$file") bytes"
    done
done
exit $status
