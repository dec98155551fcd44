#!/bin/sh
# Builds every preset and runs every test: the line cutter natively with
# sanitizers, its fuzzer for a bounded time, the product checks, the
# release (made twice and compared), and under Wine 10, against the stand-in
# chat client, the tests of every exe this machine can run: the 64-bit build
# always, and the shipping 32-bit exe (through WoW64) with the clang-built
# one wherever the kernel runs 32-bit code. The last lines say which.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
. scripts/steps.sh
install_packages
for preset in native win32 win32-clang win64; do
    build_preset "$preset"
done
sh scripts/check-product.sh build/win32/lumaquill.exe
sh scripts/check-product.sh build/win32-clang/lumaquill.exe
sh scripts/release.sh --check
make_wine_root
# Asked once: the answer goes through the environment to every test.
. scripts/which-build.sh
ctest --preset native
[ -n "$no_32bit_why" ] || ctest --preset win32
ctest --preset win64
echo
if [ -z "$no_32bit_why" ]; then
    echo "Tested under Wine: build/win32/lumaquill.exe (the 32-bit exe we ship), build/win32-clang/lumaquill.exe" \
        "(32-bit, clang) and build/win64/lumaquill.exe (64-bit)."
else
    echo "Tested under Wine: build/win64/lumaquill.exe (64-bit) only."
    echo "Not run: build/win32/lumaquill.exe (the exe we ship) and build/win32-clang/lumaquill.exe, as" \
        "$no_32bit_why."
fi
