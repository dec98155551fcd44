#!/bin/sh
# Builds all three presets and runs every test: the line cutter natively with
# sanitizers, its fuzzer for a bounded time, the product checks, and the
# shipping 32-bit exe and its tests under Wine 10's WoW64 against the
# stand-in chat client.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in native win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
sh scripts/check-product.sh build/win32/lumaquill.exe
sh scripts/wine-root.sh >/dev/null
ctest --preset native
ctest --preset win32
