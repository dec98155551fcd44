#!/bin/bash
# Builds what the benchmarks need and runs them all, then prints a short
# report with every figure as a ratio:
#
#   1. per line: time beyond the 500 ms focus delay, from the stand-in chat
#      client's own log stamps, and where it goes step by step (line_cost)
#   2. start-up: CreateProcess to a visible main window, lumaquill.exe next
#      to minimal_window.exe, interleaved runs (start_cost, start_steps)
#   3. size: the 32-bit program next to the 32-bit minimal window, and the
#      DLLs each imports
#   4. memory: private bytes of a running lumaquill.exe after start, after
#      1,000 passes with no client, after 100 passes into the stand-in
#   5. the line cutter's bytes/s next to a memchr scan (native)
#
# The Windows programs are the 32-bit build, the exe we ship among them, and
# run as the tests do: under Wine 10's WoW64 in the Debian 13 root, through
# cmake/wine-run.sh, on the build folder's own prefix and virtual display.
#
# Settings, from the environment:
#   LUMAQUILL_BENCH_WIN32   32-bit build folder (default build/win32)
#   LUMAQUILL_BENCH_NATIVE  host build folder   (default build/native)
#   LUMAQUILL_BENCH_SKIP_BUILD  any of "win32 native": use that folder
#                           as it is, without configuring or building it
#   LUMAQUILL_BENCH_QUICK=1 fewer runs, for trying the script out
# Raw output of each benchmark is kept in <32-bit folder>/bench-logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
win32=${LUMAQUILL_BENCH_WIN32:-$root/build/win32}
native=${LUMAQUILL_BENCH_NATIVE:-$root/build/native}
skip=" ${LUMAQUILL_BENCH_SKIP_BUILD:-} "
quick=${LUMAQUILL_BENCH_QUICK:-0}

if [ "$quick" = 1 ]; then
    line_args=(--rounds 1)
    start_args=(--runs 6 --step-runs 3 --warmup 1)
    memory_args=(--idle-passes 100 --client-passes 10)
    native_reps=2
else
    line_args=(--rounds 3)
    start_args=(--runs 30 --step-runs 15 --warmup 2)
    memory_args=(--idle-passes 1000 --client-passes 100)
    native_reps=5
fi

sh scripts/install-deps.sh

build() { # preset folder targets...
    local preset=$1 folder=$2
    shift 2
    case "$skip" in *" $preset "*) echo "== using $folder as it is"; return ;; esac
    echo "== building $* in $folder"
    cmake --preset "$preset" -B "$folder" >/dev/null
    cmake --build "$folder" --target "$@"
}
build win32 "$win32" lumaquill standin minimal_window line_cost start_cost start_steps memory_use
sh scripts/wine-root.sh >/dev/null
native_bench=yes
if ! build native "$native" lines_bench; then
    echo "lines_bench did not build (it needs libbenchmark-dev); the cutter figure is left out"
    native_bench=no
fi

logs="$win32/bench-logs"
# The display and the wineserver go when the benchmarks are done, however they end.
trap 'LUMAQUILL_WINE_STATE="$win32/wine" sh "$root/cmake/wine-run.sh" --stop' EXIT
mkdir -p "$logs"

under_wine() { # program args...
    local program=$1
    shift
    LUMAQUILL_WINE_STATE="$win32/wine" sh "$root/cmake/wine-run.sh" "$win32/$program" "$@"
}

# A value of "RESULT <name> <value>" from a log; names may hold spaces.
result() { # log name
    awk -v name="$2" '$1 == "RESULT" { key = $0; sub(/^RESULT /, "", key); sub(/ [^ ]*$/, "", key);
                                       if (key == name) value = $NF } END { print value }' "$1"
}

echo "== 1. per-line cost (about $(( ${line_args[1]} * 35 )) s)"
under_wine line_cost.exe "${line_args[@]}" 2>&1 | tee "$logs/line_cost.txt"

echo "== 2. start-up"
under_wine start_cost.exe "${start_args[@]}" 2>&1 | tee "$logs/start_cost.txt"

echo "== 3. size"
objdump=objdump
command -v i686-w64-mingw32-objdump >/dev/null && objdump=i686-w64-mingw32-objdump
{
    for exe in lumaquill.exe minimal_window.exe; do
        echo "$exe $(stat -c %s "$win32/$exe") bytes, imports: $("$objdump" -p "$win32/$exe" |
            awk '/DLL Name:/ { printf "%s%s", sep, $3; sep = " " }')"
    done
    product=$(stat -c %s "$win32/lumaquill.exe")
    floor=$(stat -c %s "$win32/minimal_window.exe")
    echo "RESULT size_bytes_lumaquill $product"
    echo "RESULT size_bytes_minimal $floor"
    echo "RESULT size_ratio $(awk -v a="$product" -v b="$floor" 'BEGIN { printf "%.3f", a / b }')"
} | tee "$logs/size.txt"

echo "== 4. memory (about $(( ${memory_args[3]} / 2 + 30 )) s)"
under_wine memory_use.exe "${memory_args[@]}" 2>&1 | tee "$logs/memory_use.txt"

echo "== 5. line cutter"
if [ "$native_bench" = yes ]; then
    "$native/lines_bench" --benchmark_repetitions="$native_reps" --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | tee "$logs/lines_bench.csv"
    # bytes_per_second of each median row, by benchmark and size.
    median_rate() { # name
        awk -F, -v name="\"$1_median\"" '$1 == name { printf "%.0f", $6 }' "$logs/lines_bench.csv"
    }
    {
        for size in 30000 1048576; do
            cut=$(median_rate "CutIntoLines/$size")
            scan=$(median_rate "MemchrScan/$size")
            echo "RESULT cutter_mb_s[$size] $(awk -v r="$cut" 'BEGIN { printf "%.1f", r / 1e6 }')"
            echo "RESULT memchr_mb_s[$size] $(awk -v r="$scan" 'BEGIN { printf "%.1f", r / 1e6 }')"
            echo "RESULT cutter_ratio[$size] $(awk -v a="$cut" -v b="$scan" 'BEGIN { printf "%.3f", b ? a / b : 0 }')"
        done
    } | tee "$logs/lines_ratio.txt"
fi

# The report: every figure a ratio, next to its target where it has one.
verdict() { # value limit -> "met" when value <= limit
    awk -v v="$1" -v l="$2" 'BEGIN { if (v == "") print "not measured"; else print (v + 0 <= l + 0 ? "met" : "MISSED") }'
}
line=$(result "$logs/line_cost.txt" line_ms_beyond_delay)
line_ratio=$(result "$logs/line_cost.txt" line_target_ratio)
start_ratio=$(result "$logs/start_cost.txt" start_ratio_paired)
start_medians=$(result "$logs/start_cost.txt" start_ratio)
start_idle=$(result "$logs/start_cost.txt" start_idle_ratio)
line_overhead=$(result "$logs/line_cost.txt" line_overhead_ratio)
size_ratio=$(result "$logs/size.txt" size_ratio)
memory_ratio=$(result "$logs/memory_use.txt" memory_private_ratio)
memory_growth=$(result "$logs/memory_use.txt" memory_private_growth_kib)
memory_source=$(result "$logs/memory_use.txt" memory_private_source)
memory_noise=$(result "$logs/memory_use.txt" memory_private_idle_noise_kib)
# Growth counts when it is more than a page beyond what an idle second moved.
memory_verdict=$(awk -v g="$memory_growth" -v n="$memory_noise" 'BEGIN {
    if (g == "") print "not measured"; else if (g + 0 <= (n < 0 ? -n : n) + 4) print "none beyond noise"; else print "GREW" }')

echo
echo "== Report ($(date -u +%Y-%m-%d), $(nproc) cores, $(LUMAQUILL_WINE_STATE="$win32/wine" sh "$root/cmake/wine-run.sh" --version 2>/dev/null || echo wine?), the shipping 32-bit exe under WoW64)"
printf '%-50s %-20s %-10s %s\n' "figure" "ratio" "target" "verdict"
printf '%-50s %-20s %-10s %s\n' "per line beyond 500 ms / 5 ms (stand-in stamps)" "$line_ratio ($line ms)" "< 1" \
    "$(verdict "$line_ratio" 1)"
printf '%-50s %-20s %-10s %s\n' "  (whole line / 500 ms)" "$line_overhead" "-" ""
printf '%-50s %-20s %-10s %s\n' "start-up lumaquill / minimal, per-round median" "$start_ratio" "<= 1.10" \
    "$(verdict "$start_ratio" 1.10)"
printf '%-50s %-20s %-10s %s\n' "  (ratio of the two medians)" "$start_medians" "<= 1.10" \
    "$(verdict "$start_medians" 1.10)"
printf '%-50s %-20s %-10s %s\n' "  (to first idle: children made, loop running)" "$start_idle" "-" ""
printf '%-50s %-20s %-10s %s\n' "size lumaquill / minimal (i686)" "$size_ratio" "<= 2" "$(verdict "$size_ratio" 2)"
printf '%-50s %-20s %-10s %s\n' "private bytes at the end / after start" "$memory_ratio ($memory_growth KiB)" "~1" \
    "$memory_verdict (from $memory_source)"
if [ "$native_bench" = yes ]; then
    for size in 30000 1048576; do
        printf '%-50s %-20s %-10s %s\n' "line cutter / memchr bytes/s, $size bytes" \
            "$(result "$logs/lines_ratio.txt" "cutter_ratio[$size]")" "-" ""
    done
fi
echo "raw output: $logs"
