#!/bin/sh
# Checks the shipped executable: a 32-bit GUI program for i386 that imports
# nothing but Windows' own DLLs. Prints what it found.
set -eu
exe="${1:-build/win32/lumaquill.exe}"
dump=$(i686-w64-mingw32-objdump -p "$exe")
fail=0
check() {
    if printf '%s\n' "$dump" | grep -q "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}
file "$exe" 2>/dev/null || true
check "PE32 for i386" 'file format pei-i386'
check "GUI subsystem" 'Subsystem.*00000002'
dlls=$(printf '%s\n' "$dump" | sed -n 's/.*DLL Name: //p' | sort -u | tr '\n' ' ')
echo "imports: $dlls"
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|advapi32.dll|comctl32.dll) ;;
    *) echo "FAILED: imports $dll, which is not part of Windows"; fail=1 ;;
    esac
done
echo "size: $(wc -c <"$exe") bytes"
[ $fail -eq 0 ] && echo "product checks: 1 passed, 0 failed" || { echo "product checks: 0 passed, 1 failed"; exit 1; }
