#!/bin/sh
# Makes the Debian 13 root that the Windows programs run in, once: Wine 10,
# whose 64-bit loader runs 32-bit Windows programs inside a 64-bit process
# (WoW64), so the 32-bit exe we ship is tested as most users run it, on
# 64-bit Windows, and no 32-bit Linux code is needed. Debian 12's Wine 8 has
# the same mode but converts a 32-bit program's ANSI texts wrongly.
#
# The root is made again only when it is missing or incomplete: the stamp
# below is written last and names the recipe, so a changed recipe or an
# interrupted make starts over. Prints the root's path; with --check, makes
# nothing and fails where the root is not made yet, so that a command can
# say first what it is about to do.
#
# The packages come from the Debian mirror this machine's apt uses, through
# its apt's proxy if it has one (scripts/debian-mirror.sh), or from the one
# named in LUMAQUILL_DEBIAN_MIRROR. LUMAQUILL_WINE_ROOT puts the root
# elsewhere than /var/cache/lumaquill/wine-root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root="${LUMAQUILL_WINE_ROOT:-/var/cache/lumaquill/wine-root}"
recipe="trixie wine64 locales fonts-vlgothic libwine:i386 ja_JP.UTF-8 v1"
stamp="$root/.lumaquill-root"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
    echo "$root"
    exit 0
fi
if [ "${1:-}" = --check ]; then
    echo "$root"
    exit 1
fi
# Looked for before sudo asks for a password, so that a machine with no
# mirror to take says so at once; root's look then finds the same one.
found=$(sh "$here/debian-mirror.sh") || exit 1
mirror=$(printf '%s\n' "$found" | head -n 1)
if [ "$(id -u)" -ne 0 ]; then
    exec sudo LUMAQUILL_WINE_ROOT="$root" LUMAQUILL_DEBIAN_MIRROR="$mirror" sh "$0" "$@"
fi
set --
while IFS= read -r option; do
    [ -z "$option" ] || set -- "$@" --aptopt="$option"
done <<EOF
$(printf '%s\n' "$found" | sed 1d)
EOF
include=wine64,locales,fonts-vlgothic
# apt in the root fetches the 32-bit DLLs itself, and from a mirror behind
# https it needs the authorities' certificates for that.
case $mirror in https:*) include="$include,ca-certificates" ;; esac

command -v mmdebstrap >/dev/null || {
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap
}
echo "Making the Debian 13 root for Wine 10 in $root from $mirror (once, about a minute)..." >&2
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
mmdebstrap --variant=apt --architectures=amd64,i386 "$@" \
    --include="$include" \
    --customize-hook='echo "ja_JP.UTF-8 UTF-8" >"$1/etc/locale.gen" && chroot "$1" locale-gen' \
    --customize-hook="chroot \"\$1\" sh -c '$copy_dlls'" \
    --customize-hook='chroot "$1" apt-get clean' \
    trixie "$root" "deb $mirror trixie main" >&2
[ -f "$root/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || {
    echo "wine-root: the 32-bit Wine DLLs are missing from $root" >&2
    exit 1
}
echo "$recipe" >"$stamp"
echo "$root"
