#!/bin/sh
# Checks the shipped executable: a 32-bit GUI program for i386, marked for
# Windows 4.0 (98 and NT 4 on), that imports no function outside the
# reviewed list in scripts/allowed-imports.txt. Prints what it found.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exe="${1:-build/win32/lumaquill.exe}"
allowed="$here/allowed-imports.txt"
dump=$(i686-w64-mingw32-objdump -p "$exe")
passed=0
failed=0
check() { # label pattern
    if printf '%s\n' "$dump" | grep -q "$2"; then
        echo "ok: $1"; passed=$((passed + 1))
    else
        echo "FAILED: $1"; failed=$((failed + 1))
    fi
}
file "$exe" 2>/dev/null || true
check "PE32 for i386" 'file format pei-i386'
check "GUI subsystem" 'Subsystem.*00000002'
check "OS version 4.0" 'MajorOSystemVersion[[:space:]]*4$'
check "OS minor version 0" 'MinorOSystemVersion[[:space:]]*0$'
check "subsystem version 4.0" 'MajorSubsystemVersion[[:space:]]*4$'
check "subsystem minor version 0" 'MinorSubsystemVersion[[:space:]]*0$'

imports=$(printf '%s\n' "$dump" |
    awk '/DLL Name:/ { dll = toupper($3) } dll && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }' | sort -u)
unlisted=$(printf '%s\n' "$imports" | grep -v -x -F -f "$allowed" || true)
echo "imports: $(printf '%s\n' "$imports" | awk '{ print $1 }' | sort -u | tr '\n' ' ')($(printf '%s\n' "$imports" | wc -l) functions)"
if [ -z "$unlisted" ] && [ -n "$imports" ]; then
    echo "ok: every import is on the reviewed list"; passed=$((passed + 1))
else
    echo "FAILED: imports not on the reviewed list (Windows 98 SE and NT 4.0 may lack them; look them up at run time):"
    printf '%s\n' "$unlisted" | sed 's/^/  /'
    failed=$((failed + 1))
fi
echo "size: $(wc -c <"$exe") bytes"
echo "product: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
