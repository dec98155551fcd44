#!/bin/sh
# Builds every preset and runs every test: the line cutter natively with
# sanitizers, its fuzzer for a bounded time, the product checks, the
# release (made twice and compared), and the shipping 32-bit exe and its
# tests under Wine 10's WoW64 against the stand-in chat client, with the
# clang-built exe through the black-box tests as well.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in native win32 win32-clang win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
sh scripts/check-product.sh build/win32/lumaquill.exe
sh scripts/check-product.sh build/win32-clang/lumaquill.exe
sh scripts/release.sh --check
sh scripts/wine-root.sh >/dev/null
ctest --preset native
ctest --preset win32
