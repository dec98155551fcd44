# Sourced, never run: tells, before any Windows program starts, which build
# of Lumaquill Post this machine can run under Wine 10, and sets
#
#   lumaquill_build   win32 (the exe we ship) or win64 (the 64-bit build of
#                     the same sources, standing in for it)
#   no_32bit_why      empty, or why no 32-bit code runs here, in one line
#
# Wine's WoW64 runs a 32-bit exe inside a 64-bit process but sets up each of
# its threads through the kernel's 32-bit system call gate (int 0x80). A
# kernel booted with ia32_emulation=0, built without IA32 emulation, or in a
# virtual machine with no 32-bit mode closes that gate, and every 32-bit
# program then dies before its first instruction. A dozen lines of C knock
# on the gate, built with $CC (cc) in the first folder that lets them run:
# $TMPDIR (/tmp), else the current one. Only a knock the kernel refuses
# with a fault means "no 32-bit code". A check that could not be made (no
# compiler, a folder that runs nothing, a probe killed by a seccomp filter,
# a gate that answers with something other than our process id, as a
# sandbox's filter returning an error code does) says so in one line on
# stderr, and the 32-bit build is tried, so a real problem shows up as a
# failing test rather than as a skipped one.
#
# The answer is exported, so every program a command starts (CTest, the
# Wine runner, the tests) takes it over rather than checking again: a
# command checks once, in about a tenth of a second, compiling included,
# and never carries an answer past a reboot with other kernel settings.
# A caller that is started many times with no command around it (the Wine
# runner, under a bare ctest) names a file in answer_record before sourcing
# this: a definite answer is written there with the boot's id, and taken
# from there for as long as that id is the kernel's.
#
# LUMAQUILL_NO_32BIT=1 gives the "no 32-bit code" answer on any machine, so
# that the paths taken on such a machine can be tried anywhere.
if [ "${LUMAQUILL_NO_32BIT:-0}" = 1 ]; then
    no_32bit_why="LUMAQUILL_NO_32BIT=1 says to take this machine for one that runs no 32-bit code"
elif [ "${LUMAQUILL_32BIT_CHECKED:-}" = 1 ]; then
    no_32bit_why=${LUMAQUILL_NO_32BIT_WHY:-}
elif boot_id=$(cat /proc/sys/kernel/random/boot_id 2>/dev/null) && [ -f "${answer_record:-}" ] &&
    { read -r recorded_boot && read -r recorded_why; } <"$answer_record" &&
    [ "$recorded_boot" = "$boot_id" ]; then
    no_32bit_why=$recorded_why
    LUMAQUILL_32BIT_CHECKED=1
    LUMAQUILL_NO_32BIT_WHY=$no_32bit_why
    export LUMAQUILL_32BIT_CHECKED LUMAQUILL_NO_32BIT_WHY
else
    no_32bit_why=""
    probe_answer=""
    check_failed="" # why no answer came, folder by folder
    for probe_folder in "${TMPDIR:-/tmp}" "$(pwd)"; do
        probe_dir=$(mktemp -d "$probe_folder/lumaquill-probe.XXXXXX" 2>/dev/null) || {
            check_failed="${check_failed:+$check_failed; }$probe_folder is not writable"
            continue
        }
        cat >"$probe_dir/probe.c" <<'EOF'
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>
static sigjmp_buf refused;
static void Refused(int sig) { (void)sig; siglongjmp(refused, 1); }
int main(void)
{
    long pid = 20; /* getpid in the i386 system call table */
    signal(SIGSEGV, Refused);
    signal(SIGILL, Refused);
    signal(SIGBUS, Refused);
    if (sigsetjmp(refused, 1)) {
        puts("refused");
        return 0;
    }
    __asm__ volatile("int $0x80" : "+a"(pid) : : "memory");
    if (pid == (long)getpid())
        puts("yes");
    else
        printf("answered %ld\n", pid);
    return 0;
}
EOF
        if ! ${CC:-cc} -O1 -o "$probe_dir/probe" "$probe_dir/probe.c" 2>"$probe_dir/log"; then
            check_failed="${check_failed:+$check_failed; }could not build it with ${CC:-cc}: $(head -n 1 "$probe_dir/log")"
            rm -rf "$probe_dir"
            break
        fi
        probe_status=0
        probe_answer=$("$probe_dir/probe" 2>"$probe_dir/log") || probe_status=$?
        if [ "$probe_status" -gt 128 ]; then
            check_failed="${check_failed:+$check_failed; }it was killed by SIG$(kill -l $((probe_status - 128)))"
        elif [ "${probe_answer#answered }" != "$probe_answer" ]; then
            check_failed="${check_failed:+$check_failed; }the gate answered ${probe_answer#answered }, not our process id, as a sandbox's filter would"
        elif [ "$probe_answer" != yes ] && [ "$probe_answer" != refused ]; then
            check_failed="${check_failed:+$check_failed; }it gave no answer in $probe_folder (status $probe_status: $(head -n 1 "$probe_dir/log"))"
        fi
        rm -rf "$probe_dir"
        # A folder that runs nothing is worth another try elsewhere.
        [ "$probe_status" -eq 126 ] || [ "$probe_status" -eq 127 ] || break
    done
    case $probe_answer in
    yes | refused)
        [ "$probe_answer" = yes ] ||
            no_32bit_why="this Linux kernel runs no 32-bit code: 32-bit emulation is off (boot it with ia32_emulation=on; a kernel before 6.7 needs CONFIG_IA32_EMULATION=y)"
        # Only a definite answer is kept: a check that could not be made may
        # be put right (a compiler installed), and is asked again.
        if [ -n "${answer_record:-}" ] && [ -n "${boot_id:-}" ] &&
            printf '%s\n%s\n' "$boot_id" "$no_32bit_why" 2>/dev/null >"$answer_record.$$"; then
            mv -f "$answer_record.$$" "$answer_record"
        fi ;;
    *) echo "which-build: could not check whether this kernel runs 32-bit code, so the 32-bit build is tried: $check_failed" >&2 ;;
    esac
    LUMAQUILL_32BIT_CHECKED=1
    LUMAQUILL_NO_32BIT_WHY=$no_32bit_why
    export LUMAQUILL_32BIT_CHECKED LUMAQUILL_NO_32BIT_WHY
fi
if [ -n "$no_32bit_why" ]; then lumaquill_build=win64; else lumaquill_build=win32; fi
