#!/usr/bin/env python3
"""Write a release ZIP of Pelmora Vantrel and the SHA256SUMS file that checks it.

The same inputs give the same bytes on every machine and at every run:
  - the files come in the order given, inside one top folder named like the ZIP;
  - every entry carries one time: SOURCE_DATE_EPOCH where it is set, else the
    time of the source tree's last commit (1980-01-01, the earliest a ZIP can
    hold, where neither is known), written in UTC;
  - fixed permissions (programs 755, other files 644), no owner, no access or
    change times: no extra fields at all;
  - SHA256SUMS holds "HASH  NAME.zip", the form `sha256sum -c` reads.
CMake's own archiver cannot do this: it copies each file's access and change
times and its owner from the disk into every entry.

Run:  release_package.py --name NAME --out-dir DIR --source-dir SRC FILE...
Standard library only.
"""

import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

EARLIEST_ZIP_TIME = (1980, 1, 1, 0, 0, 0)


def entry_time(source_dir):
    """The time every entry carries, as a ZIP date and time in UTC, and where it came from."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "").strip()
    origin = "SOURCE_DATE_EPOCH"
    if not epoch:
        origin = "the last commit"
        try:
            epoch = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                                   capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    if not epoch:
        return EARLIEST_ZIP_TIME, "no SOURCE_DATE_EPOCH and no commit"
    stamp = time.gmtime(int(epoch))[:6]
    return max(stamp, EARLIEST_ZIP_TIME), origin


def add_entry(archive, name, data, mode, stamp):
    info = zipfile.ZipInfo(name, date_time=stamp)
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = mode << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data, compresslevel=9)


def write_whole(path, data):
    """Writes beside the target and moves it in, so that a failed run leaves no half file."""
    partial = path + ".partial"
    with open(partial, "wb") as out:
        out.write(data)
    os.replace(partial, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--name", required=True, help="the ZIP's name without .zip, and its top folder")
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--source-dir", required=True, help="the source tree whose commit dates the entries")
    parser.add_argument("files", nargs="+", help="the files to pack, in this order")
    args = parser.parse_args()

    stamp, origin = entry_time(args.source_dir)
    zip_name = args.name + ".zip"
    zip_path = os.path.join(args.out_dir, zip_name)
    partial = zip_path + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for path in args.files:
            with open(path, "rb") as source:
                data = source.read()
            mode = 0o100755 if path.lower().endswith(".exe") else 0o100644
            add_entry(archive, args.name + "/" + os.path.basename(path), data, mode, stamp)
    os.replace(partial, zip_path)

    with open(zip_path, "rb") as packed:
        digest = hashlib.sha256(packed.read()).hexdigest()
    write_whole(os.path.join(args.out_dir, "SHA256SUMS"), f"{digest}  {zip_name}\n".encode("ascii"))
    print(f"{zip_path}: entries dated {time.strftime('%Y-%m-%d %H:%M:%S', stamp + (0, 0, 0))} UTC "
          f"({origin}), sha256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
