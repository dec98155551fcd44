#!/bin/sh
# Runs one Windows program under Wine 10 in the Debian 13 root (see
# scripts/wine-root.sh), in code page 932, on a private prefix and a private
# virtual display kept beside the build. 32-bit programs run there through
# WoW64, inside Wine's 64-bit process, as on 64-bit Windows.
#
#   wine-run.sh PROGRAM [ARGS...]   run it; its output and exit code are its own
#   wine-run.sh --stop              end the wineserver and the display
#
# CTest waits until every process holding the test's output has let go, and
# Wine's helper processes (wineserver, services, explorer) would hold it for
# as long as they live. So the display and the wineserver are started once,
# detached from our streams, and the program's output goes through files
# that are printed after it ends.
#
# Every call enters the root in a mount namespace of its own: the mounts it
# needs go away with the last process in it, also when a test is killed. The
# wineserver keeps its namespace until it ends, which --stop (or its own
# short persistence) sees to.
#
# LUMAQUILL_DISPLAY, when set, is an X display to use instead of a private
# one (the run command's, on the user's own screen); XAUTHORITY goes with it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
state="${LUMAQUILL_WINE_STATE:-$(pwd)/wine}"
mkdir -p "$state"
state=$(cd "$state" && pwd)

if [ "$(id -u)" -ne 0 ]; then
    # Entering the root takes root; the programs themselves run as the caller.
    exec sudo --preserve-env=LUMAQUILL_WINE_STATE,LUMAQUILL_WINE_ROOT,LUMAQUILL_DISPLAY,XAUTHORITY,WINEDEBUG \
        sh "$0" "$@"
fi
root=$(sh "$top/scripts/wine-root.sh") || exit 1

# Runs a Wine command inside the root, as the user who called us through sudo.
in_root() {
    LQ_ROOT="$root" LQ_TOP="$top" LQ_STATE="$state" LQ_DISPLAY="$display" LQ_XAUTH="${xauthority:-}" LQ_PWD="$(pwd)" \
    unshare --mount --propagation private sh -c '
        set -e
        mount -t proc proc "$LQ_ROOT/proc"
        mount --rbind /sys "$LQ_ROOT/sys"
        mount --rbind /dev "$LQ_ROOT/dev"
        for dir in "$LQ_TOP" "$LQ_STATE" /tmp/.X11-unix; do
            [ -d "$dir" ] || continue
            mkdir -p "$LQ_ROOT$dir"
            mount --bind "$dir" "$LQ_ROOT$dir"
        done
        user=""
        [ -n "${SUDO_UID:-}" ] && [ "$SUDO_UID" != 0 ] && user="setpriv --reuid=$SUDO_UID --regid=$SUDO_GID --clear-groups"
        # Relative paths keep their meaning when the caller stands in a folder we bound.
        [ -d "$LQ_ROOT$LQ_PWD" ] || LQ_PWD=/
        exec chroot "$LQ_ROOT" $user env -i -C "$LQ_PWD" PATH=/usr/bin:/bin HOME="$LQ_STATE" LC_ALL=ja_JP.UTF-8 \
            WINEPREFIX="$LQ_STATE/prefix" WINEDEBUG="${WINEDEBUG:--all}" DISPLAY="$LQ_DISPLAY" \
            XAUTHORITY="$LQ_XAUTH" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$@"' sh "$@"
}

# What we make for the programs belongs to whoever called us through sudo.
give_to_caller() {
    [ -z "${SUDO_UID:-}" ] || chown "$SUDO_UID:$SUDO_GID" "$@"
}

start_display() {
    if [ -n "${LUMAQUILL_DISPLAY:-}" ]; then
        display="$LUMAQUILL_DISPLAY"
        # The user's authority file is copied to where the root can see it.
        if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
            cp "$XAUTHORITY" "$state/xauthority"
            xauthority="$state/xauthority"
        fi
        return
    fi
    if ! { [ -f "$state/display" ] && [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; }; then
        rm -f "$state/display"
        # -displayfd lets the X server pick a free display and tell us which;
        # no screen saver may blank it in the middle of a long run.
        setsid Xvfb -displayfd 3 -nolisten tcp -s 0 -screen 0 1024x768x24 3>"$state/display.new" </dev/null >/dev/null 2>&1 &
        echo $! >"$state/xvfb.pid"
        i=0
        while [ ! -s "$state/display.new" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
        mv "$state/display.new" "$state/display"
    fi
    display=":$(cat "$state/display")"
}

stop() {
    display=":0"
    in_root /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
}

if [ "${1:-}" = "--stop" ]; then
    stop
    exit 0
fi

# One caller at a time sets up the display, the prefix and the server.
exec 9>"$state/lock"
flock 9
start_display
mkdir -p "$state/prefix"
give_to_caller "$state" "$state/prefix"
in_root /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1
if [ ! -f "$state/prefix/system.reg" ]; then
    in_root /usr/lib/wine/wine64 wineboot -i </dev/null >"$state/wineboot.log" 2>&1
fi
flock -u 9
exec 9>&-

[ "$#" -gt 0 ] || exit 0
out=$(mktemp "$state/out.XXXXXX")
err=$(mktemp "$state/err.XXXXXX")
give_to_caller "$out" "$err"
in_root /usr/lib/wine/wine64 "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
