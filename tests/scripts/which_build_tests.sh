#!/bin/sh
# What scripts/which-build.sh decides for each way its check can end: the
# kernel answers, the kernel refuses, or the check cannot be made at all;
# how its answer is handed down and kept for the boot. A stand-in compiler
# ($CC) writes a probe that ends the way a case asks, so every case runs on
# any machine; one case builds the real probe with the real compiler, and
# holds its answer against a 32-bit program made with binutils alone.
#
# Everything is made and run in the current folder (CTest's: the build
# folder), never in /tmp, which hardened hosts mount noexec; the cases that
# need a folder that runs nothing make one themselves.
set -u
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../scripts/which-build.sh"
work=$(mktemp -d "$(pwd)/which-build-tests.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The stand-in compiler: "-o OUT" names the probe; FAKE_PROBE says how it ends.
# It is found on PATH, as $CC may carry options and is split at spaces, and
# the tree's own path may hold some.
mkdir "$work/bin"
cat >"$work/bin/fake-cc" <<'EOF'
#!/bin/sh
while [ "$#" -gt 0 ]; do [ "$1" = -o ] && out=$2; shift; done
case $FAKE_PROBE in
unbuildable) echo "fake-cc: error: no assembler here" >&2; exit 1 ;;
answers) printf '#!/bin/sh\necho yes\n' >"$out" ;;
refused) printf '#!/bin/sh\necho refused\n' >"$out" ;;
seccomp) printf '#!/bin/sh\nkill -SYS $$\n' >"$out" ;;
says-nothing) printf '#!/bin/sh\nexit 0\n' >"$out" ;;
filtered) printf '#!/bin/sh\necho answered -38\n' >"$out" ;;
noexec) printf '#!/bin/sh\necho yes\n' >"$out"; chmod -x "$out"; exit 0 ;;
noexec-tmp) printf '#!/bin/sh\necho yes\n' >"$out"
    case $out in "$TMPDIR"/*) chmod -x "$out"; exit 0 ;; esac ;;
esac
chmod +x "$out"
EOF
chmod +x "$work/bin/fake-cc"
mkdir "$work/here"

passed=0
failed=0
# case LABEL BUILD WHY-PATTERN NOTE-PATTERN [VAR=VALUE...]: the check, run
# with those settings, must choose BUILD, give a reason matching WHY-PATTERN
# and a line on stderr matching NOTE-PATTERN ("" for none at all). RECORD
# names the file the check keeps its answer in, as the Wine runner does;
# THEN, a command run after the check, whose two lines count in place of
# the build and the reason.
record="$work/record"
case_() {
    label=$1 build=$2 why=$3 note=$4
    shift 4
    mkdir -p "$work/tmp"
    got=$(cd "$work/here" && env -u LUMAQUILL_32BIT_CHECKED -u LUMAQUILL_NO_32BIT_WHY -u LUMAQUILL_NO_32BIT \
        TMPDIR="$work/tmp" PATH="$work/bin:$PATH" CC=fake-cc RECORD= THEN= "$@" \
        sh -c 'answer_record=$RECORD; . "$1"
            if [ -n "$THEN" ]; then eval "$THEN"; else echo "$lumaquill_build"; echo "$no_32bit_why"; fi' \
        sh "$check" 2>"$work/err")
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
# A path in a pattern stands for itself, whatever bytes the folder's name holds.
literal() { printf '%s' "$1" | sed 's/[][\\.*^$(){}+?|]/\\&/g'; }
could_not='^which-build: could not check whether this kernel runs 32-bit code, so the 32-bit build is tried: '
case_ "the kernel answers: the exe we ship" win32 "" "" FAKE_PROBE=answers
case_ "the kernel refuses: the 64-bit build, and why" win64 "$kernel_no" "" FAKE_PROBE=refused
case_ "no compiler output: could not check, not a no" win32 "" "${could_not}could not build it .*no assembler here" \
    FAKE_PROBE=unbuildable
case_ "no compiler at all: could not check" win32 "" "${could_not}could not build it with /nonexistent/cc" \
    CC=/nonexistent/cc
case_ "killed by a seccomp filter: could not check" win32 "" "${could_not}it was killed by SIGSYS" FAKE_PROBE=seccomp
case_ "a probe that says nothing: could not check" win32 "" "${could_not}it gave no answer in " FAKE_PROBE=says-nothing
case_ "a gate that answers an error code: could not check, not a no" win32 "" \
    "${could_not}the gate answered -38, not our process id" FAKE_PROBE=filtered
case_ "no folder runs it: could not check, naming both" win32 "" \
    "${could_not}it gave no answer in $(literal "$work")/tmp \(status 126.*\); it gave no answer in $(literal "$work")/here \(status 126" \
    FAKE_PROBE=noexec
case_ "a noexec /tmp: the check runs from the current folder" win32 "" "" FAKE_PROBE=noexec-tmp
case_ "an answer handed down is taken, not checked again" win64 "^handed down$" "" FAKE_PROBE=unbuildable \
    LUMAQUILL_32BIT_CHECKED=1 LUMAQUILL_NO_32BIT_WHY="handed down"
case_ "LUMAQUILL_NO_32BIT=1 wins over a handed-down yes" win64 "^LUMAQUILL_NO_32BIT=1 says" "" \
    LUMAQUILL_32BIT_CHECKED=1 LUMAQUILL_NO_32BIT=1
# A program the command starts checks again only if the answer did not reach
# it: the compiler it would use here cannot build anything.
case_ "a program the command starts takes the answer handed down" win64 "$kernel_no" "" FAKE_PROBE=refused \
    THEN='FAKE_PROBE=unbuildable sh -c ". \"\$1\"; echo \"\$lumaquill_build\"; echo \"\$no_32bit_why\"" sh "$1"'

# The answer kept for the boot: written by a check, taken while the kernel's
# boot id is the one beside it, and never from another boot.
boot=$(cat /proc/sys/kernel/random/boot_id)
rm -f "$record"
case_ "a definite answer is kept with the boot's id" "$boot" "$kernel_no" "" FAKE_PROBE=refused RECORD="$record" \
    THEN='cat "$RECORD"'
case_ "this boot's kept answer is taken without a check" win64 "$kernel_no" "" FAKE_PROBE=unbuildable RECORD="$record"
printf '%s\n%s\n' "00000000-0000-0000-0000-000000000000" "kept before a reboot" >"$record"
case_ "an answer kept before a reboot is checked again" win32 "" "" FAKE_PROBE=answers RECORD="$record"
case_ "and the new answer is kept" win32 "" "" FAKE_PROBE=unbuildable RECORD="$record"
rm -f "$record"
case_ "a check that could not be made is not kept" "not kept" "" "${could_not}it was killed by SIGSYS" FAKE_PROBE=seccomp \
    RECORD="$record" THEN='[ -e "$RECORD" ] && echo kept || echo "not kept"; echo'

# The real probe, built by the real compiler, against what this kernel does
# with a static i386 program made with binutils alone, which says "yes"
# through the same gate: where no 32-bit code runs, the kernel will not load
# it (Exec format error), or it dies at the gate. A bare execv, unlike a
# shell or execvp, never takes a program it cannot load for a script.
printf '.globl _start\n_start:\n movl $4, %%eax\n movl $1, %%ebx\n movl $yes, %%ecx\n movl $4, %%edx\n int $0x80\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\nyes: .ascii "yes\\n"\n' >"$work/i386.s"
as --32 -o "$work/i386.o" "$work/i386.s" && ld -m elf_i386 -o "$work/i386" "$work/i386.o"
evidence=$(python3 -c 'import os, sys
try: os.execv(sys.argv[1], sys.argv[1:])
except OSError as e: print(e.strerror)' "$work/i386" 2>&1)
status=$?
case $status:$evidence in
0:yes) expected="win32 " ;;
0:"Exec format error" | 139:*) expected="win64 this Linux kernel runs no 32-bit code:" ;;
*) expected="(no evidence: the i386 program ended with status $status: $evidence)" ;;
esac
mkdir -p "$work/tmp"
real=$(cd "$work/here" && env -u LUMAQUILL_32BIT_CHECKED -u LUMAQUILL_NO_32BIT TMPDIR="$work/tmp" \
    sh -c '. "$1"; echo "$lumaquill_build $no_32bit_why"' sh "$check" 2>&1)
case $real in
"$expected"*) passed=$((passed + 1)); echo "ok: the real probe: '$real', as the i386 program shows: '$evidence'" ;;
*) failed=$((failed + 1)); echo "FAILED: the real probe: '$real', where the i386 program ('$evidence') shows '$expected'" ;;
esac
echo "which-build: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
