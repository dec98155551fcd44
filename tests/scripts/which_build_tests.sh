#!/bin/sh
# What scripts/which-build.sh decides for each way its check can end: the
# kernel answers, the kernel refuses, or the check cannot be made at all.
# A stand-in compiler ($CC) writes a probe that ends the way a case asks,
# so every case runs on any machine; one case builds the real probe with the
# real compiler, and takes whichever of the two answers this kernel gives.
set -u
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../scripts/which-build.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stand-in compiler: "-o OUT" names the probe; FAKE_PROBE says how it ends.
cat >"$work/fake-cc" <<'EOF'
#!/bin/sh
while [ "$#" -gt 0 ]; do [ "$1" = -o ] && out=$2; shift; done
case $FAKE_PROBE in
unbuildable) echo "fake-cc: error: no assembler here" >&2; exit 1 ;;
answers) printf '#!/bin/sh\necho yes\n' >"$out" ;;
refused) printf '#!/bin/sh\necho refused\n' >"$out" ;;
seccomp) printf '#!/bin/sh\nkill -SYS $$\n' >"$out" ;;
says-nothing) printf '#!/bin/sh\nexit 0\n' >"$out" ;;
noexec) printf '#!/bin/sh\necho yes\n' >"$out"; chmod -x "$out"; exit 0 ;;
noexec-tmp) printf '#!/bin/sh\necho yes\n' >"$out"
    case $out in "$TMPDIR"/*) chmod -x "$out"; exit 0 ;; esac ;;
esac
chmod +x "$out"
EOF
chmod +x "$work/fake-cc"
mkdir "$work/here"

passed=0
failed=0
# case LABEL BUILD WHY-PATTERN NOTE-PATTERN [VAR=VALUE...]: the check, run
# with those settings, must choose BUILD, give a reason matching WHY-PATTERN
# and a line on stderr matching NOTE-PATTERN ("" for none at all).
case_() {
    label=$1 build=$2 why=$3 note=$4
    shift 4
    mkdir -p "$work/tmp"
    got=$(cd "$work/here" && env -u LUMAQUILL_32BIT_CHECKED -u LUMAQUILL_NO_32BIT_WHY -u LUMAQUILL_NO_32BIT \
        TMPDIR="$work/tmp" CC="$work/fake-cc" "$@" \
        sh -c '. "$1"; echo "$lumaquill_build"; echo "$no_32bit_why"' sh "$check" 2>"$work/err")
    got_build=$(printf '%s\n' "$got" | sed -n 1p)
    got_why=$(printf '%s\n' "$got" | sed -n 2p)
    got_note=$(cat "$work/err")
    ok=yes
    [ "$got_build" = "$build" ] || ok=no
    if [ -z "$why" ]; then [ -z "$got_why" ] || ok=no; else printf '%s' "$got_why" | grep -q -E "$why" || ok=no; fi
    if [ -z "$note" ]; then [ -z "$got_note" ] || ok=no; else printf '%s' "$got_note" | grep -q -E "$note" || ok=no; fi
    # The probe is built in a folder of its own and leaves nothing behind.
    left=$(find "$work/tmp" "$work/here" -mindepth 1 | tr '\n' ' ')
    [ -z "$left" ] || ok=no
    if [ $ok = yes ]; then
        passed=$((passed + 1))
        echo "ok: $label"
    else
        failed=$((failed + 1))
        echo "FAILED: $label: build '$got_build', reason '$got_why', stderr '$got_note'," \
            "left '$left'"
    fi
    rm -rf "$work/tmp" "$work/here"/* "$work/here"/.[!.]*
}

kernel_no='^this Linux kernel runs no 32-bit code: .*ia32_emulation=on'
could_not='^which-build: could not check whether this kernel runs 32-bit code, so the 32-bit build is tried: '
case_ "the kernel answers: the exe we ship" win32 "" "" FAKE_PROBE=answers
case_ "the kernel refuses: the 64-bit build, and why" win64 "$kernel_no" "" FAKE_PROBE=refused
case_ "no compiler output: could not check, not a no" win32 "" "${could_not}could not build it .*no assembler here" \
    FAKE_PROBE=unbuildable
case_ "no compiler at all: could not check" win32 "" "${could_not}could not build it with /nonexistent/cc" \
    CC=/nonexistent/cc
case_ "killed by a seccomp filter: could not check" win32 "" "${could_not}it was killed by SIGSYS" FAKE_PROBE=seccomp
case_ "a probe that says nothing: could not check" win32 "" "${could_not}it gave no answer in " FAKE_PROBE=says-nothing
case_ "no folder runs it: could not check, naming both" win32 "" \
    "${could_not}it gave no answer in $work/tmp \(status 126.*\); it gave no answer in $work/here \(status 126" \
    FAKE_PROBE=noexec
case_ "a noexec /tmp: the check runs from the current folder" win32 "" "" FAKE_PROBE=noexec-tmp
case_ "an answer handed down is taken, not checked again" win64 "^handed down$" "" FAKE_PROBE=unbuildable \
    LUMAQUILL_32BIT_CHECKED=1 LUMAQUILL_NO_32BIT_WHY="handed down"
case_ "LUMAQUILL_NO_32BIT=1 wins over a handed-down yes" win64 "^LUMAQUILL_NO_32BIT=1 says" "" \
    LUMAQUILL_32BIT_CHECKED=1 LUMAQUILL_NO_32BIT=1
# The real probe, built by the real compiler, gets an answer from this kernel.
real=$(env -u LUMAQUILL_32BIT_CHECKED -u LUMAQUILL_NO_32BIT sh -c '. "$1"; echo "$lumaquill_build $no_32bit_why"' sh "$check" 2>&1)
case $real in
"win32 " | "win64 this Linux kernel runs no 32-bit code:"*) passed=$((passed + 1)); echo "ok: the real probe: $real" ;;
*) failed=$((failed + 1)); echo "FAILED: the real probe: $real" ;;
esac
echo "which-build: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
