#!/bin/sh
# The Windows executable must run on a bare system: it may import only the
# system's own DLLs, and never the ODBC installer, which it loads at run time.
set -eu
exe=$1
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports: $(echo $imports)"
[ -n "$imports" ] || { echo "no import table found"; exit 1; }
status=0
for dll in $imports; do
    case $dll in
        odbccp32.dll) echo "imports the ODBC installer: $dll"; status=1 ;;
        kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|advapi32.dll|version.dll) ;;
        *) echo "imports a DLL the system may not have: $dll"; status=1 ;;
    esac
done
exit $status
