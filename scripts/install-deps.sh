#!/bin/sh
# Installs, from Debian's packages, whatever building, testing and running
# Lumaquill Post needs and this machine lacks. Quiet when nothing is missing.
# Wine itself is not among them: it runs in a Debian 13 root of its own,
# which scripts/wine-root.sh makes. With --missing, it only names what is
# missing, so that a command can say first what it is about to install.
set -eu
packages="cmake ninja-build gcc g++ clang-14 lld libclang-rt-14-dev googletest libbenchmark-dev python3
g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
mmdebstrap bubblewrap xvfb xauth x11-utils imagemagick util-linux xxd file"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing="$missing $p"
done
if [ "${1:-}" = --missing ]; then
    echo "${missing# }"
    exit 0
fi
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
