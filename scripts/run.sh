#!/bin/sh
# Builds Lumaquill Post and starts the exe we ship, build/win32/lumaquill.exe,
# under Wine 10 in its Debian 13 root (32-bit, through WoW64), in code page
# 932, beside the stand-in chat client. With a display, both windows open
# there: type into Lumaquill Post's box and press 送信. Without one, they run
# on a virtual display, a sample Japanese text is typed and sent with real
# key and mouse input, and what the stand-in received is printed with a
# screenshot.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
sh scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lumaquill standin demo
sh scripts/wine-root.sh >/dev/null
bin="$top/build/win32"
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

log="$LUMAQUILL_WINE_STATE/standin.log"
rm -f "$log"
# Wine sees the whole Unix tree as drive Z:.
winlog="Z:$(printf '%s' "$log" | tr / '\\')"
run "$bin/standin.exe" --log "$winlog" >/dev/null 2>&1 &
run "$bin/lumaquill.exe" >/dev/null 2>&1 &
program=$!

if [ "$shown" = yes ]; then
    echo "Lumaquill Post and the stand-in chat client are open on $DISPLAY; close Lumaquill Post to end."
    wait "$program" || true
    exit 0
fi

status=0
run "$bin/demo.exe" >/dev/null 2>&1 || status=$?
shot="$bin/screenshot.png"
import -display ":$(cat "$LUMAQUILL_WINE_STATE/display")" -window root -crop 800x330+0+0 +repage "$shot"
echo "The stand-in chat client received:"
# The text is the seventh field of a LINE record (tools/chat_clients.h).
awk '$3 == "LINE" { print $7 }' "$log" | while read -r hex; do
    printf '  %s\n' "$(printf '%s' "$hex" | xxd -r -p | iconv -f CP932 -t UTF-8)"
done
echo "Screenshot: $shot"
exit $status
