#!/bin/sh
# Makes the Debian 13 root that the Windows programs run in, once: Wine 10,
# whose 64-bit loader runs 32-bit Windows programs inside a 64-bit process
# (WoW64), so the 32-bit exe we ship is tested as most users run it, on
# 64-bit Windows, and no 32-bit Linux code is needed. Debian 12's Wine 8 has
# the same mode but converts a 32-bit program's ANSI texts wrongly.
#
# The root is made again only when it is missing or incomplete: the stamp
# below is written last and names the recipe, so a changed recipe or an
# interrupted make starts over. Prints the root's path.
set -eu
root="${LUMAQUILL_WINE_ROOT:-/var/cache/lumaquill/wine-root}"
recipe="trixie wine64 locales fonts-vlgothic libwine:i386 ja_JP.UTF-8 v1"
stamp="$root/.lumaquill-root"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
    echo "$root"
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    exec sudo LUMAQUILL_WINE_ROOT="$root" sh "$0" "$@"
fi

command -v mmdebstrap >/dev/null || {
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap
}
echo "Making the Debian 13 root for Wine 10 in $root (once)..." >&2
rm -rf "$root"
mkdir -p "$(dirname "$root")"
# Wine 10's 64-bit loader finds the 32-bit halves of its DLLs beside its own
# tree only: with WINEDLLPATH a console program starts but a window does not,
# as the display driver's Unix half is looked up next to the PE file. The
# i386 package is unpacked, not installed, so no i386 Linux library comes in.
copy_dlls='cd /tmp && apt-get download -q libwine:i386 &&
    dpkg-deb -x libwine_*_i386.deb libwine-i386 &&
    cp -r libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/ &&
    rm -rf libwine*'
mmdebstrap --variant=apt --architectures=amd64,i386 \
    --include=wine64,locales,fonts-vlgothic \
    --customize-hook='echo "ja_JP.UTF-8 UTF-8" >"$1/etc/locale.gen" && chroot "$1" locale-gen' \
    --customize-hook="chroot \"\$1\" sh -c '$copy_dlls'" \
    --customize-hook='chroot "$1" apt-get clean' \
    trixie "$root" http://deb.debian.org/debian >&2
[ -f "$root/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || {
    echo "wine-root: the 32-bit Wine DLLs are missing from $root" >&2
    exit 1
}
echo "$recipe" >"$stamp"
echo "$root"
