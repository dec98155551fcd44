#!/bin/sh
# Runs one Windows program under 64-bit Wine for CTest, in code page 932, on a
# private prefix and a private virtual display kept beside the build.
#
# CTest waits until every process holding the test's output has let go, and
# Wine's helper processes (wineserver, services, explorer) would hold it for
# as long as they live. So the display and the wineserver are started here
# once, detached from our streams, and the program's own output goes through
# files that are printed after it ends.
set -u
state="${LUMAQUILL_WINE_STATE:-$(pwd)/wine}"
mkdir -p "$state"
state=$(cd "$state" && pwd)
export WINEPREFIX="$state/prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=ja_JP.UTF-8
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

start_display() {
    if [ -f "$state/display" ] && [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
        return
    fi
    rm -f "$state/display"
    # -displayfd lets the X server pick a free display and tell us which.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$state/display.new" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    i=0
    while [ ! -s "$state/display.new" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    mv "$state/display.new" "$state/display"
}

# One caller at a time sets up the display, the prefix and the server.
exec 9>"$state/lock"
flock 9
start_display
export DISPLAY=":$(cat "$state/display")"
mkdir -p "$WINEPREFIX"
"$wineserver" -p300 </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1
fi
flock -u 9
exec 9>&-

[ "$#" -gt 0 ] || exit 0
out=$(mktemp "$state/out.XXXXXX")
err=$(mktemp "$state/err.XXXXXX")
"$wine" "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
