#!/bin/sh
# The Wine runner from a folder of the root it binds read-only. It needs
# only itself and scripts/which-build.sh, so a copy of the two in a fresh
# folder under /var/tmp stands for a clone there, with its Wine state folder
# inside, as the run command keeps it: from nothing, it makes its display,
# prefix and wineserver and runs a real Windows program. They are its own: a
# wineserver started there would see only that copy, and every program of
# the build that came to it after would be lost.
set -u
here=$(cd "$(dirname "$0")" && pwd)
runner="$here/../../cmake/wine-run.sh"
copy=$(mktemp -d /var/tmp/lumaquill-runner.XXXXXX)
trap 'LUMAQUILL_WINE_STATE="$copy/wine" sh "$copy/cmake/wine-run.sh" --stop; rm -rf "$copy"' EXIT
mkdir "$copy/cmake" "$copy/scripts"
cp "$runner" "$copy/cmake/"
cp "$here/../../scripts/which-build.sh" "$copy/scripts/"

passed=0
failed=0
# case_ LABEL EXPECTED FORBIDDEN COMMAND...: what the command prints, on
# either stream, must match the pattern EXPECTED and not FORBIDDEN ("" for
# nothing forbidden).
case_() {
    label=$1 expected=$2 forbidden=$3
    shift 3
    got=$("$@" 2>&1)
    if printf '%s\n' "$got" | grep -q -E "$expected" &&
        { [ -z "$forbidden" ] || ! printf '%s\n' "$got" | grep -q -E "$forbidden"; }; then
        passed=$((passed + 1))
        echo "ok: $label"
    else
        failed=$((failed + 1))
        echo "FAILED: $label: printed '$got'"
    fi
}

case_ "a copy under /var/tmp runs a Windows program" '^from the copy under /var/tmp' 'wine-run:' \
    env LUMAQUILL_WINE_STATE="$copy/wine" sh "$copy/cmake/wine-run.sh" cmd.exe /c echo from the copy under /var/tmp
echo "wine-run: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
