#!/bin/sh
# Builds Lumaquill Post and starts it under Wine, in code page 932, beside the
# stand-in chat client. With a display, both windows open there: type into
# Lumaquill Post's box and press 送信. Without one, they run on a virtual
# display, a sample Japanese text is typed and sent with real key and mouse
# input, and what the stand-in received is printed with a screenshot.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
sh scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target lumaquill standin demo
bin="$root/build/win64"
state="$bin/wine-app"
mkdir -p "$state/prefix"
export WINEPREFIX="$state/prefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64

xvfb=""
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    rm -f "$state/display"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$state/display" </dev/null >/dev/null 2>&1 &
    xvfb=$!
    while ! grep -q '[0-9]' "$state/display" 2>/dev/null; do sleep 0.1; done
    export DISPLAY=":$(cat "$state/display")"
fi
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

[ -f "$WINEPREFIX/system.reg" ] || { echo "Preparing Wine (first run only)..."; "$wine" wineboot -i >"$state/wineboot.log" 2>&1; }
log="$state/standin.log"
rm -f "$log"
"$wine" "$bin/standin.exe" --log "$(/usr/lib/wine/wine64 winepath -w "$log" 2>/dev/null)" </dev/null >/dev/null 2>&1 &
"$wine" "$bin/lumaquill.exe" </dev/null >/dev/null 2>&1 &
program=$!

if [ -z "$xvfb" ]; then
    echo "Lumaquill Post and the stand-in chat client are open on $DISPLAY; close Lumaquill Post to end."
    wait "$program" || true
    exit 0
fi

status=0
"$wine" "$bin/demo.exe" </dev/null >/dev/null 2>&1 || status=$?
shot="$bin/screenshot.png"
import -display "$DISPLAY" -window root -crop 800x330+0+0 +repage "$shot"
echo "The stand-in chat client received:"
awk '$3 == "LINE" { print $6 }' "$log" | while read -r hex; do
    printf '  %s\n' "$(printf '%s' "$hex" | xxd -r -p | iconv -f CP932 -t UTF-8)"
done
echo "Screenshot: $shot"
exit $status
