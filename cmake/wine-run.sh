#!/bin/sh
# Runs one Windows program under Wine 10 in the Debian 13 root (see
# scripts/wine-root.sh), in code page 932, on a private prefix and a private
# virtual display kept beside the build. 32-bit programs run there through
# WoW64, inside Wine's 64-bit process, as on 64-bit Windows.
#
#   wine-run.sh PROGRAM [ARGS...]   run it; its output and exit code are its own
#   wine-run.sh --stop              end the wineserver and the display
#
# It runs as whoever calls it: bubblewrap enters the root in namespaces of
# its own, which go with the program, also when a test is killed. Only
# making the root needs root, and that is an install step.
#
# CTest waits until every process holding the test's output has let go, and
# Wine's helper processes (wineserver, services, explorer) would hold it for
# as long as they live. So the display and the wineserver are started once,
# detached from our streams, and the program's output goes through files
# that are printed after it ends.
#
# LUMAQUILL_DISPLAY, when set, is an X display to use instead of a private
# one (the run command's, on the user's own screen); XAUTHORITY goes with it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
state="${LUMAQUILL_WINE_STATE:-$(pwd)/wine}"
root="${LUMAQUILL_WINE_ROOT:-/var/cache/lumaquill/wine-root}"
mkdir -p "$state/tmp"
state=$(cd "$state" && pwd)
# Relative paths keep their meaning when the caller stands in a folder we bind.
cwd=$(pwd)
case "$cwd" in "$top" | "$top"/* | "$state" | "$state"/*) ;; *) cwd=/ ;; esac

if [ ! -f "$root/.lumaquill-root" ]; then
    echo "wine-run: no Wine root in $root; make it once with: sh $top/scripts/wine-root.sh" >&2
    exit 1
fi
# Every call stands on the same folder of the state as its "/", shares the
# state's /tmp, where Wine keeps the wineserver's socket, and sees the root's
# system read-only. The same "/" matters: the wineserver hands each program
# its current folder as a handle it opened in its own call, and only a "/"
# that is the same folder lets the program find that folder's path again.
sandbox() {
    bwrap --die-with-parent --bind "$state/fs" / \
        --ro-bind "$root/usr" /usr --ro-bind "$root/etc" /etc --ro-bind "$root/var" /var \
        --proc /proc --dev /dev --ro-bind /sys /sys --bind "$state/tmp" /tmp \
        --bind-try /tmp/.X11-unix /tmp/.X11-unix --bind "$top" "$top" --bind "$state" "$state" \
        --chdir "$cwd" \
        /usr/bin/env -i PATH=/usr/bin HOME="$state" LC_ALL=ja_JP.UTF-8 \
        WINEPREFIX="$state/prefix" WINEDEBUG="${WINEDEBUG:--all}" DISPLAY="$display" \
        XAUTHORITY="${xauthority:-}" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$@"
}
# The root is merged-/usr: its top-level program folders are links into usr.
mkdir -p "$state/fs"
for dir in bin lib lib64 sbin; do
    [ -L "$state/fs/$dir" ] || ln -s "usr/$dir" "$state/fs/$dir"
done

# Where the kernel allows no namespaces to an ordinary user, say so at once.
display=""
if ! sandbox /usr/bin/true 2>/dev/null; then
    echo "wine-run: bubblewrap cannot enter $root: this kernel refuses user namespaces to $(id -un)" \
        "(allow them: sysctl kernel.unprivileged_userns_clone=1 user.max_user_namespaces=15000)" >&2
    exit 1
fi

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

if [ "${1:-}" = "--stop" ]; then
    display=":0"
    sandbox /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    exit 0
fi

# One caller at a time sets up the display, the prefix and the server.
exec 9>"$state/lock"
flock 9
start_display
sandbox /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1
# The wineserver writes the prefix's registry files only later, so the stamp
# tells a second caller that the prefix is made, not their presence.
if [ ! -f "$state/prefix/.made" ]; then
    sandbox /usr/lib/wine/wine64 wineboot -i </dev/null >"$state/wineboot.log" 2>&1 && touch "$state/prefix/.made"
fi
flock -u 9
exec 9>&-

[ "$#" -gt 0 ] || exit 0
out=$(mktemp "$state/out.XXXXXX")
err=$(mktemp "$state/err.XXXXXX")
sandbox /usr/lib/wine/wine64 "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
