#!/usr/bin/env python3
"""Packs a release: the shipping exe and the Japanese user guide in a zip,
and a SHA256SUMS beside it. The same inputs always give the same bytes: the
entries go in a fixed order with fixed times and attributes, and the guide
is turned from its UTF-8 source into what Notepad on a Japanese Windows
reads, code page 932 with CR LF line ends.

    make_release.py EXE GUIDE VERSION OUTDIR
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile


def entry_time():
    """SOURCE_DATE_EPOCH, else the commit's time, else a fixed day."""
    stamp = os.environ.get("SOURCE_DATE_EPOCH")
    if not stamp:
        try:
            stamp = subprocess.run(["git", "log", "-1", "--format=%ct"], capture_output=True, text=True,
                                   cwd=os.path.dirname(os.path.abspath(__file__)), check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            stamp = ""
    seconds = int(stamp) if stamp else 1767225600  # 2026-01-01
    # Zip times have no zone and start in 1980.
    return time.gmtime(max(seconds, 315532800))[:6]


def guide_bytes(path):
    with open(path, encoding="utf-8") as source:
        text = source.read()
    lines = text.replace("\r\n", "\n").split("\n")
    return "\r\n".join(lines).encode("cp932")


def main():
    exe, guide, version, outdir = sys.argv[1:5]
    folder = "lumaquill-" + version
    name = folder + ".zip"
    os.makedirs(outdir, exist_ok=True)
    with open(exe, "rb") as program:
        exe_bytes = program.read()
    entries = [(folder + "/lumaquill.exe", exe_bytes), (folder + "/readme.txt", guide_bytes(guide))]
    path = os.path.join(outdir, name)
    stamp = entry_time()
    with zipfile.ZipFile(path + ".new", "w") as archive:
        for entry, data in entries:
            info = zipfile.ZipInfo(entry, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: plain files, as Windows' own zips have them
            info.external_attr = 0x20  # archive bit
            archive.writestr(info, data, compresslevel=9)
    os.replace(path + ".new", path)
    with open(path, "rb") as archive:
        digest = hashlib.sha256(archive.read()).hexdigest()
    with open(os.path.join(outdir, "SHA256SUMS"), "w", newline="\n") as sums:
        sums.write(f"{digest}  {name}\n")
    print(os.path.abspath(path))


if __name__ == "__main__":
    main()
