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
# on the gate; built and run, they take about a tenth of a second, so the
# answer is found afresh each time and never outlives a reboot with other
# kernel settings.
#
# LUMAQUILL_NO_32BIT=1 gives the "no 32-bit code" answer on any machine, so
# that the paths taken on such a machine can be tried anywhere.
no_32bit_why=""
if [ "${LUMAQUILL_NO_32BIT:-0}" = 1 ]; then
    no_32bit_why="LUMAQUILL_NO_32BIT=1 says to take this machine for one that runs no 32-bit code"
else
    probe_dir=$(mktemp -d)
    cat >"$probe_dir/probe.c" <<'EOF'
#include <setjmp.h>
#include <signal.h>
#include <unistd.h>
static sigjmp_buf refused;
static void Refused(int sig) { (void)sig; siglongjmp(refused, 1); }
int main(void)
{
    long pid = 20; /* getpid in the i386 system call table */
    signal(SIGSEGV, Refused);
    signal(SIGILL, Refused);
    signal(SIGBUS, Refused);
    if (sigsetjmp(refused, 1))
        return 1;
    __asm__ volatile("int $0x80" : "+a"(pid) : : "memory");
    return pid == (long)getpid() ? 0 : 1;
}
EOF
    if ! cc -O1 -o "$probe_dir/probe" "$probe_dir/probe.c" 2>"$probe_dir/cc.log"; then
        echo "which-build: could not build the check for 32-bit code, so the 32-bit build is tried:" \
            "$(head -n 1 "$probe_dir/cc.log")" >&2
    elif ! "$probe_dir/probe"; then
        no_32bit_why="this Linux kernel runs no 32-bit code: 32-bit emulation is off (boot it with ia32_emulation=on; a kernel before 6.7 needs CONFIG_IA32_EMULATION=y)"
    fi
    rm -rf "$probe_dir"
fi
if [ -n "$no_32bit_why" ]; then lumaquill_build=win64; else lumaquill_build=win32; fi
