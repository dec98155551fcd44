#!/bin/sh
# The Wine runner from a folder of the root it binds read-only, and what it
# says when bubblewrap cannot make its sandbox. It needs only itself and
# scripts/which-build.sh, so a copy of the two in a fresh folder under
# /var/tmp stands for a clone there, with its Wine state folder inside, as
# the run command keeps it: from nothing, it makes its display, prefix and
# wineserver and runs a real Windows program. They are its own: a
# wineserver started there would see only that copy, and every program of
# the build that came to it after would be lost. Two failures an ordinary
# user can meet are made for real: a root without its folders, whose bind
# fails, and a user namespace in which the kernel lets no more be made.
set -u
here=$(cd "$(dirname "$0")" && pwd)
runner="$here/../../cmake/wine-run.sh"
work=$(mktemp -d "$(pwd)/wine-run-tests.XXXXXX")
copy=$(mktemp -d /var/tmp/lumaquill-runner.XXXXXX)
trap 'LUMAQUILL_WINE_STATE="$copy/wine" sh "$copy/cmake/wine-run.sh" --stop; rm -rf "$work" "$copy"' EXIT
mkdir "$copy/cmake" "$copy/scripts" "$work/root"
cp "$runner" "$copy/cmake/"
cp "$here/../../scripts/which-build.sh" "$copy/scripts/"
touch "$work/root/.lumaquill-root"

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

setting='sysctl|kernel\.|user\.max'
# A path in a pattern stands for itself, whatever bytes the folder's name holds.
literal() { printf '%s' "$1" | sed 's/[][\\.*^$(){}+?|]/\\&/g'; }
case_ "a copy under /var/tmp runs a Windows program" '^from the copy under /var/tmp' 'wine-run:' \
    env LUMAQUILL_WINE_STATE="$copy/wine" sh "$copy/cmake/wine-run.sh" cmd.exe /c echo from the copy under /var/tmp
# Which of the root's folders bubblewrap misses first depends on where the
# tree lies: from a clone under /usr the root's /usr is made of its entries,
# of which this root has none, and /etc is the first it cannot find.
case_ "a root without its folders: bubblewrap's words, and no kernel setting" \
    "^wine-run: bubblewrap cannot enter $(literal "$work")/root: bwrap: Can't find source path $(literal "$work")/root/(usr|etc|var)(:|\$)" \
    "$setting" \
    env LUMAQUILL_WINE_ROOT="$work/root" LUMAQUILL_WINE_STATE="$work/state" sh "$runner" --stop
# Mapped to root, bubblewrap would need no namespace of its own, so the
# caller is mapped to an ordinary user, who keeps the capabilities only to
# set the limit, and drops them before the runner starts.
case_ "the kernel refuses namespaces: bubblewrap's words, then the setting" \
    "^wine-run: bubblewrap cannot enter [^:]*: bwrap: [^(]*namespace.*allow them: sysctl .*user\.max_user_namespaces=" \
    "" unshare --map-user=1000 --map-group=1000 --keep-caps sh -c 'echo 0 >/proc/sys/user/max_user_namespaces &&
        exec setpriv --inh-caps=-all --ambient-caps=-all env LUMAQUILL_WINE_STATE="$1" sh "$2" --stop' \
        sh "$work/state" "$runner"
echo "wine-run: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
