#!/bin/sh
# Makes the release a user downloads: build/release/lumaquill-<version>.zip,
# with the shipping exe and the Japanese guide, and SHA256SUMS beside it.
#
#   sh scripts/release.sh           make it
#   sh scripts/release.sh --check   make it, then make it again in another
#                                   folder a little later, compare the two
#                                   byte for byte, and check what the zip holds
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
sh scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target release
[ "${1:-}" = "--check" ] || exit 0

again="$top/build/release-again"
rm -rf "$again"
sleep 2
cmake --preset win32 -B "$again" -DLUMAQUILL_TESTS=OFF -DLUMAQUILL_RELEASE_DIR="$again/release" >/dev/null
cmake --build "$again" --target release
zip=$(ls "$top"/build/release/lumaquill-*.zip)
passed=0
failed=0
for pair in "build/win32/lumaquill.exe:$again/lumaquill.exe" \
            "build/release/$(basename "$zip"):$again/release/$(basename "$zip")" \
            "build/release/SHA256SUMS:$again/release/SHA256SUMS"; do
    first=${pair%%:*}
    second=${pair#*:}
    if cmp -s "$first" "$second"; then
        echo "ok: $first is the same, byte for byte, built again"; passed=$((passed + 1))
    else
        echo "FAILED: $first differs when built again"; failed=$((failed + 1))
    fi
done
echo "reproducible: $passed passed, $failed failed"
python3 tests/release/check_release.py "$zip" build/win32/lumaquill.exe src/resources/lumaquill.rc
[ "$failed" -eq 0 ]
