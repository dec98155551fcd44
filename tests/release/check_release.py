#!/usr/bin/env python3
"""Checks a release zip as a Japanese user gets it: the exe is the shipping
build, and the guide beside it reads in Notepad on a Japanese Windows (code
page 932, CR LF), names every menu entry as the menu shows it, and gives the
version the exe's own version record gives.

    check_release.py ZIP SHIPPING_EXE RESOURCE_SCRIPT
"""
import re
import sys
import zipfile

results = []


def check(label, ok, detail=""):
    results.append(ok)
    print(("ok: " if ok else "FAILED: ") + label + ("" if ok or not detail else " (" + detail + ")"))


def version_string(exe_bytes, key):
    """A string of the exe's version record, read from its UTF-16 bytes."""
    marker = (key + "\0").encode("utf-16-le")
    at = exe_bytes.find(marker)
    if at < 0:
        return None
    at += len(marker)
    at += (4 - at % 4) % 4  # values start on a 32-bit boundary
    end = exe_bytes.find(b"\0\0", at)
    while end >= 0 and (end - at) % 2:
        end = exe_bytes.find(b"\0\0", end + 1)
    return exe_bytes[at:end].decode("utf-16-le")


def menu_entries(script):
    """Every menu text of the resource script, as the menu shows it."""
    with open(script, encoding="utf-8") as rc:
        texts = re.findall(r'^\s*(?:POPUP|MENUITEM)\s+"([^"]*)"', rc.read(), re.M)
    return [text.replace("&", "") for text in texts]


def main():
    zip_path, exe_path, script = sys.argv[1:4]
    with open(exe_path, "rb") as exe:
        shipping = exe.read()
    version = version_string(shipping, "FileVersion")
    check("the shipping exe has a version record", bool(version and version.startswith("Version ")), repr(version))
    number = version.split()[-1] if version else "?"
    check("the zip is named for the version", zip_path.endswith("lumaquill-" + number + ".zip"), zip_path)

    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        folder = "lumaquill-" + number + "/"
        check("the zip holds the exe and the guide, in one folder",
              names == [folder + "lumaquill.exe", folder + "readme.txt"], str(names))
        exe_entry = archive.read(names[0]) if names else b""
        guide = archive.read(folder + "readme.txt") if folder + "readme.txt" in names else b""
    check("the zip's exe is the shipping build, byte for byte", exe_entry == shipping)

    try:
        text, error = guide.decode("cp932"), ""
    except UnicodeDecodeError as problem:
        text, error = "", str(problem)
    check("the guide is code page 932", bool(guide) and not error, error or "missing")
    lone = len(re.findall(rb"\r(?!\n)|(?<!\r)\n", guide))
    check("every line of the guide ends in CR LF", lone == 0 and guide.endswith(b"\r\n"), f"{lone} lone breaks")
    for entry in menu_entries(script):
        check("the guide names the menu entry " + entry, entry in text)
    first = text.split("\r\n", 1)[0]
    check("the guide's title gives the exe's version", first.endswith(version or "?"), first)

    failed = results.count(False)
    print(f"release: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
