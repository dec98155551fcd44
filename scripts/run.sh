#!/bin/sh
# Builds Lumaquill Post and starts the exe we ship, build/win32/lumaquill.exe,
# under Wine 10 in its Debian 13 root (32-bit, through WoW64), in code page
# 932, beside the stand-in chat client. With a display, both windows open
# there: type into Lumaquill Post's box and press 送信. Without one, they run
# on a virtual display, a sample Japanese text is typed and sent with real
# key and mouse input, and what the stand-in received is printed with a
# screenshot. On a machine whose kernel runs no 32-bit code, the 64-bit
# build of the same sources, build/win64/lumaquill.exe, stands in, and the
# first line says so and why.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
. scripts/steps.sh
install_packages
. scripts/which-build.sh
[ -z "$no_32bit_why" ] ||
    echo "Starting the 64-bit build, build/win64/lumaquill.exe, in place of the 32-bit exe we ship: $no_32bit_why."
build_preset "$lumaquill_build" lumaquill standin demo
make_wine_root
bin="$top/build/$lumaquill_build"
export LUMAQUILL_WINE_STATE="$bin/wine-app"
mkdir -p "$LUMAQUILL_WINE_STATE"
run() { sh "$top/cmake/wine-run.sh" "$@"; }

shown=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export LUMAQUILL_DISPLAY="$DISPLAY"
    shown=yes
else
    unset LUMAQUILL_DISPLAY
fi
trap 'run --stop' EXIT INT TERM
start_wine

log="$LUMAQUILL_WINE_STATE/standin.log"
rm -f "$log"
# Wine sees the whole Unix tree as drive Z:.
winlog="Z:$(printf '%s' "$log" | tr / '\\')"
# What Wine says when it cannot start one of them reaches the terminal.
run "$bin/standin.exe" --log "$winlog" >/dev/null &
run "$bin/lumaquill.exe" >/dev/null &
program=$!

if [ "$shown" = yes ]; then
    echo "Lumaquill Post and the stand-in chat client are open on $DISPLAY; close Lumaquill Post to end."
    wait "$program" || true
    exit 0
fi

status=0
run "$bin/demo.exe" >/dev/null || status=$?
shot="$bin/screenshot.png"
import -display ":$(cat "$LUMAQUILL_WINE_STATE/display")" -window root -crop 800x330+0+0 +repage "$shot"
if [ ! -f "$log" ]; then
    echo "The stand-in chat client did not start, so nothing was sent. Screenshot: $shot" >&2
    exit 1
fi
echo "The stand-in chat client received:"
# The text is the seventh field of a LINE record (tools/chat_clients.h).
awk '$3 == "LINE" { print $7 }' "$log" | while read -r hex; do
    printf '  %s\n' "$(printf '%s' "$hex" | xxd -r -p | iconv -f CP932 -t UTF-8)"
done
echo "Screenshot: $shot"
exit $status
