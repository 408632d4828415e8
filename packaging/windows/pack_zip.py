#!/usr/bin/env python3
"""Packs a folder into a zip whose bytes depend on the files alone.

    pack_zip.py <out.zip> <folder> <top> <epoch>

Each file below <folder> becomes the entry <top>/<path>; entries come in
byte order of their paths, every one dated <epoch> (seconds, as UTC: a zip
keeps no time zone), with the same permissions and no owner, compressed
with deflate at level 9. Folders get no entries of their own.
"""
import os
import sys
import time
import zipfile


def main(out, folder, top, epoch):
    when = time.gmtime(max(int(epoch), 315532800))[:6]  # a zip has no date before 1980
    paths = []
    for base, dirs, files in os.walk(folder):
        paths.extend(os.path.relpath(os.path.join(base, f), folder) for f in files)
    paths.sort(key=lambda p: p.replace(os.sep, "/").encode("utf-8"))
    partial = out + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for rel in paths:
            entry = zipfile.ZipInfo(top + "/" + rel.replace(os.sep, "/"), when)
            entry.create_system = 3  # Unix, so that the permissions below are read
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, rel), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
