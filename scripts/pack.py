#!/usr/bin/env python3
"""Packs release archives that are the same bytes on every run: members sorted, owned by root,
with fixed modes and the time SOURCE_DATE_EPOCH.

Usage: pack.py OUT.zip|OUT.tar.gz MEMBER=FILE...|FOLDER/=DIR/...
A member whose FILE is executable gets mode 755, others 644; FOLDER/=DIR/ packs every file
below DIR into FOLDER; a tarball also gets an entry for each folder.
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def members(args):
    for name, path in (arg.split("=", 1) for arg in args):
        if not name.endswith("/"):
            yield name, path
            continue
        for folder, _, files in os.walk(path):
            for file in files:
                full = os.path.join(folder, file)
                yield name + os.path.relpath(full, path), full


def main():
    out, pairs = sys.argv[1], sorted(members(sys.argv[2:]))
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])

    def mode(path):
        return 0o755 if os.access(path, os.X_OK) else 0o644

    if out.endswith(".zip"):
        with zipfile.ZipFile(out, "w") as archive:
            for name, path in pairs:
                info = zipfile.ZipInfo(name, time.gmtime(max(epoch, 315532800))[:6])
                info.external_attr = mode(path) << 16
                info.create_system = 3  # Unix, so that the mode means what it says
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    archive.writestr(info, f.read())
        return
    folders = {name[:i] for name, _ in pairs for i in range(len(name)) if name[i] == "/"}
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, path in sorted([(f, None) for f in folders] + pairs):
            info = tarfile.TarInfo(name)
            info.mtime, info.uid, info.gid, info.uname, info.gname = epoch, 0, 0, "root", "root"
            if path is None:
                info.type, info.mode = tarfile.DIRTYPE, 0o755
                archive.addfile(info)
            else:
                info.size, info.mode = os.path.getsize(path), mode(path)
                with open(path, "rb") as f:
                    archive.addfile(info, f)
    with open(out, "wb") as f, gzip.GzipFile(filename="", mode="wb", fileobj=f,
                                             mtime=epoch) as packed:
        packed.write(raw.getvalue())


if __name__ == "__main__":
    main()
