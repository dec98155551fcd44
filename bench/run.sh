#!/bin/bash
# Measures the exe we ship, build/win32/lumaquill.exe, from outside, under
# Wine 10's WoW64 as the tests run it, and prints every figure as a ratio.
# Where the kernel runs no 32-bit code, it measures the 64-bit build in its
# place, next to floor programs built as it is, and says so.
#
#   per line   time beyond the 500 ms wait, from the stand-in's stamps, next
#              to floor_sender.exe, which does only the bare delivery
#   start-up   process start until the program can be typed into (its
#              window shown with the box and the button in it, and its
#              loop waiting), as the window manager tells it, next to
#              minimal_window.exe; starts in turns, the quickest of five
#              a round
#   size       bytes and imported DLLs, next to minimal_window.exe
#   memory     private bytes after start, 1,000 passes with no client and
#              100 into the stand-in
#   cutter     the line cutter's bytes per second next to memchr (native)
#
# LUMAQUILL_BENCH_QUICK=1 runs fewer rounds, to try the script out. Raw
# output goes to build/win32/bench-logs (build/win64/ for the 64-bit build).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
if [ "${LUMAQUILL_BENCH_QUICK:-0}" = 1 ]; then
    line_rounds=1 start_rounds=4 idle=100 client=10 reps=2
else
    line_rounds=5 start_rounds=30 idle=1000 client=100 reps=5
fi
. scripts/steps.sh
install_packages
make_wine_root
. scripts/which-build.sh
[ -z "$no_32bit_why" ] || echo "Measuring the 64-bit build in place of the 32-bit exe we ship: $no_32bit_why."
build_preset "$lumaquill_build" exe_bench
build_preset native lines_bench

bin="$top/build/$lumaquill_build"
case $lumaquill_build in
win32) objdump=i686-w64-mingw32-objdump how=WoW64 ;;
*) objdump=x86_64-w64-mingw32-objdump how=64-bit ;;
esac
logs="$bin/bench-logs"
mkdir -p "$logs"
export LUMAQUILL_WINE_STATE="$bin/wine"
trap 'sh "$top/cmake/wine-run.sh" --stop' EXIT
start_wine
bench() { sh "$top/cmake/wine-run.sh" "$bin/exe_bench.exe" "$@"; }

echo "== per line ($line_rounds rounds of 20 lines from each sender)"
bench --line-rounds "$line_rounds" | tee "$logs/line.txt"
echo "== start-up ($start_rounds rounds)"
bench --start-rounds "$start_rounds" | tee "$logs/start.txt"
echo "== memory"
bench --idle-passes "$idle" --client-passes "$client" | tee "$logs/memory.txt"
echo "== size"
for exe in lumaquill minimal_window; do
    echo "RESULT size_$exe $(stat -c %s "$bin/$exe.exe")"
    echo "imports of $exe.exe: $($objdump -p "$bin/$exe.exe" | awk '/DLL Name:/ { printf "%s ", $3 }')"
done | tee "$logs/size.txt"
echo "== line cutter"
build/native/lines_bench --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null | tee "$logs/cutter.csv"

# The value of "RESULT <name> <value>" in the logs.
result() { awk -v name="$1" '$1 == "RESULT" && $2 == name { print $3 }' "$logs"/*.txt; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b ? a / b : 0 }'; }
# Bytes per second of a benchmark's median row.
rate() { awk -F, -v name="\"$1_median\"" '$1 == name { print $6 }' "$logs/cutter.csv"; }
wine=$(sh cmake/wine-run.sh --version 2>/dev/null || echo "wine ?")

echo
echo "== $(date -u +%Y-%m-%d), $(nproc) cores, $wine ($how), build/$lumaquill_build/lumaquill.exe"
printf '%-44s %s\n' "per line beyond 500 ms, lumaquill / floor" \
    "$(ratio "$(result line_ms)" "$(result line_ms_floor)") ($(result line_ms) ms, rounds $(result line_ms_min)-$(result line_ms_max); floor $(result line_ms_floor) ms)"
printf '%-44s %s\n' "start-up, lumaquill / minimal (per round)" \
    "$(result start_ratio) (p25 $(result start_ratio_p25), p75 $(result start_ratio_p75); $(result start_ms) / $(result start_ms_minimal) ms)"
printf '%-44s %s\n' "size, lumaquill / minimal" \
    "$(ratio "$(result size_lumaquill)" "$(result size_minimal_window)") ($(result size_lumaquill) / $(result size_minimal_window) bytes)"
printf '%-44s %s\n' "private bytes, end / start" \
    "$(result memory_ratio) ($(result memory_kib_start) -> $(result memory_kib_idle) -> $(result memory_kib_client) KiB)"
for size in 30000 1048576; do
    printf '%-44s %s\n' "cutter / memchr, bytes per second, $size" \
        "$(ratio "$(rate "CutIntoLines/$size")" "$(rate "MemchrScan/$size")")"
done
