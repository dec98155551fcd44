#!/bin/sh
# Runs one Windows program under Wine 10 in the Debian 13 root (see
# scripts/wine-root.sh), as the calling user, in code page 932, on a private
# prefix and virtual display kept in $LUMAQUILL_WINE_STATE (./wine).
#
#   wine-run.sh PROGRAM [ARGS...]   run it; its output and exit code are its
#                                   own, once Wine has started it
#   wine-run.sh --stop              end the wineserver and the display
#
# A program Wine could not start gets, in place of its output, one line
# with Wine's own words in UTF-8, and never the exit code 0; a 32-bit one on
# a machine that runs no 32-bit code (scripts/which-build.sh, whose answer
# a calling command hands down) is not even tried. Called with no command
# around it, as a bare ctest does for every test, the runner takes the
# answer its state folder holds for this boot, and asks only where there is
# none: once a run, at the latest when the display is started.
#
# bubblewrap enters the root in namespaces that go with the program, also
# when a test is killed. The display and the wineserver are started once,
# apart from our streams, which CTest would otherwise wait on for as long as
# they live; the program's output goes through files for the same reason.
# LUMAQUILL_DISPLAY names an X display to use instead (the user's own).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
root="${LUMAQUILL_WINE_ROOT:-/var/cache/lumaquill/wine-root}"
state="${LUMAQUILL_WINE_STATE:-$(pwd)/wine}"
mkdir -p "$state/tmp" "$state/fs"
state=$(cd "$state" && pwd)
[ -f "$root/.lumaquill-root" ] || { echo "wine-run: no Wine root in $root; make it once: sh $top/scripts/wine-root.sh" >&2; exit 1; }
# Relative paths keep their meaning when the caller stands in a folder we bind.
cwd=$(pwd)
case "$cwd" in "$top" | "$top"/* | "$state" | "$state"/*) ;; *) cwd=/ ;; esac
# The root is merged-/usr: its top-level program folders are links into usr.
for dir in bin lib lib64 sbin; do
    # Callers started together race to make these; one making it is enough.
    [ -L "$state/fs/$dir" ] || ln -s "usr/$dir" "$state/fs/$dir" 2>/dev/null
done
xauthority="${XAUTHORITY:-/nonexistent}"
if [ "${1:-}" != "--stop" ]; then
    answer_record="$state/32bit-answer"
    . "$top/scripts/which-build.sh"
    case $(file -b "${1:-}" 2>/dev/null) in
    "PE32 executable"*)
        if [ -n "$no_32bit_why" ]; then
            echo "wine-run: not starting $1, a 32-bit program: $no_32bit_why" >&2
            exit 1
        fi ;;
    esac
fi

# The root's /usr, /etc and /var are bound read-only, and a read-only folder
# has no room for a mount point. Where something we bind (the tree, the
# state, the X authority file) lies inside one, as a clone under
# /usr/local/src or /var/lib/jenkins does, that folder becomes a tmpfs that
# holds each of the root's entries in it, bound one by one (links made anew,
# so that absolute targets keep their meaning), the entry on the way down
# treated the same; bwrap then makes the mount point in the tmpfs. The
# mounts are printed NUL-separated, for bwrap's --args, as a path may hold
# any byte but that one.
root_folder() ( # FOLDER PATH...
    folder=$1
    shift
    for path in "$@"; do
        case $path in "$folder"/*) ;; *) continue ;; esac
        printf '%s\0' --tmpfs "$folder"
        for entry in "$root$folder"/* "$root$folder"/.[!.]* "$root$folder"/..?*; do
            if [ -L "$entry" ]; then
                printf '%s\0' --symlink "$(readlink "$entry")" "${entry#"$root"}"
            elif [ -d "$entry" ]; then
                root_folder "${entry#"$root"}" "$@"
            elif [ -e "$entry" ]; then
                printf '%s\0' --ro-bind "$entry" "${entry#"$root"}"
            fi
        done
        exit 0
    done
    printf '%s\0' --ro-bind "$root$folder" "$folder"
)

# Every call stands on the same folder as its "/": the wineserver hands each
# program its current folder as a handle opened in the server's own call,
# and only the same "/" lets the program find that folder's path again. The
# state's /tmp holds the wineserver's socket; the root is only read. The
# root's folders reach bwrap through a pipe on descriptor 3, the caller's
# input staying the program's.
sandbox() {
    for folder in /usr /etc /var; do root_folder "$folder" "$top" "$state" "$xauthority"; done |
        bwrap --die-with-parent --bind "$state/fs" / --args 3 --proc /proc --dev /dev --ro-bind /sys /sys \
            --bind "$state/tmp" /tmp --bind-try /tmp/.X11-unix /tmp/.X11-unix --ro-bind-try "$xauthority" "$xauthority" \
            --bind "$top" "$top" --bind "$state" "$state" --chdir "$cwd" \
            /usr/bin/env -i PATH=/usr/bin HOME="$state" LC_ALL=ja_JP.UTF-8 WINEPREFIX="$state/prefix" \
            WINEDEBUG="${WINEDEBUG:--all}" DISPLAY="${display:-}" XAUTHORITY="$xauthority" \
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$@" 3<&0 <&4 4<&-
} 4<&0

# bubblewrap's own words say why it could not: only when they say the
# kernel refused the namespaces is a setting of the kernel to blame.
if ! refusal=$(sandbox /usr/bin/true 2>&1 >/dev/null); then
    refusal=$(printf '%s' "$refusal" | tr -s '\n' ' ')
    case $refusal in
    *namespace*) refusal="$refusal (this kernel refuses user namespaces to $(id -un 2>/dev/null || id -u);"\
" allow them: sysctl kernel.unprivileged_userns_clone=1 user.max_user_namespaces=15000)" ;;
    esac
    echo "wine-run: bubblewrap cannot enter $root: $refusal" >&2
    exit 1
fi

if [ "${1:-}" = "--stop" ]; then
    sandbox /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1
    [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null
    rm -f "$state/xvfb.pid" "$state/display"
    exit 0
fi

# One caller at a time sets up the display, the prefix and the server.
exec 9>"$state/lock"
flock 9
if [ -n "${LUMAQUILL_DISPLAY:-}" ]; then
    display="$LUMAQUILL_DISPLAY"
else
    if ! { [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; }; then
        # -displayfd lets the X server pick a free display and tell us which;
        # no screen saver may blank it in the middle of a long run.
        setsid Xvfb -displayfd 3 -nolisten tcp -s 0 -screen 0 1024x768x24 3>"$state/display.new" </dev/null >/dev/null 2>&1 &
        echo $! >"$state/xvfb.pid"
        i=0
        while [ ! -s "$state/display.new" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
        mv "$state/display.new" "$state/display"
    fi
    display=":$(cat "$state/display")"
fi
sandbox /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1
# The wineserver writes the registry files only later, so a stamp, not
# their presence, tells the next caller that the prefix is made.
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
# When the loader cannot start a program it hands it to start.exe, whose
# ShellExecuteEx fails too and says so in code page 932; the loader's own
# complaints begin "wine: ". The exit status alone may be 0 or 1.
if grep -q 'ShellExecuteEx' "$out" || grep -q -E '^wine: (failed to open|cannot find|could not load)' "$err"; then
    echo "wine-run: Wine could not start $1: $(cat "$out" "$err" | iconv -c -f CP932 -t UTF-8 | tr -s '\r\n' '  ' | sed 's/ *$//')" >&2
    [ "$status" -ne 0 ] || status=1
else
    cat "$out"
    cat "$err" >&2
fi
rm -f "$out" "$err"
exit $status
