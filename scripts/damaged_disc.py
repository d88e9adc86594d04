#!/usr/bin/python3
"""A read-only FUSE file system that serves a folder as a damaged disc would.

    damaged_disc.py <folder> <mount point> [--fail <path>:<times>[:<errno>]]... [--log <file>]

Each --fail names a file (relative to the folder) with a bad spot in its middle: every read
that covers the spot fails with the error (EIO unless named: ENODEV, ENXIO, ENOENT...) the
given number of times in a row, and is then served; "always" never serves it. Those files
are opened with direct_io, so that the kernel's page cache neither retries a failed read nor
serves one from memory: each read of the program reaches this file system. Each failed read
is written to the log as "<seconds since the epoch> <path> <offset>". Runs in the
foreground until unmounted (fusermount -u).
"""
import argparse
import errno
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations


class DamagedDisc(Operations):
    def __init__(self, root, faults, log):
        self.root = root
        self.faults = faults  # path -> [failures left (None: always), errno]
        self.log = log
        self.mutex = threading.Lock()

    def _real(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._real(path))
        keys = ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid",
                "st_atime", "st_mtime", "st_ctime")
        return {k: getattr(st, k) for k in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._real(path))

    def statfs(self, path):
        st = os.statvfs(self._real(path))
        keys = ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail",
                "f_files", "f_ffree", "f_favail", "f_namemax")
        return {k: getattr(st, k) for k in keys}

    def open(self, path, fi):
        if fi.flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        fi.fh = os.open(self._real(path), os.O_RDONLY)
        fi.direct_io = path in self.faults
        return 0

    def read(self, path, size, offset, fi):
        fault = self.faults.get(path)
        if fault is not None:
            spot = os.fstat(fi.fh).st_size // 2
            with self.mutex:
                left, code = fault
                if offset <= spot < offset + size and left != 0:
                    if left is not None:
                        fault[0] = left - 1
                    with open(self.log, "a") as f:
                        f.write("%.3f %s %d\n" % (time.time(), path, offset))
                    raise FuseOSError(code)
        return os.pread(fi.fh, size, offset)

    def release(self, path, fi):
        os.close(fi.fh)
        return 0


def parse_fault(text):
    path, times, *code = text.split(":")
    left = None if times == "always" else int(times)
    return "/" + path.lstrip("/"), [left, getattr(errno, code[0]) if code else errno.EIO]


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("folder")
    p.add_argument("mountpoint")
    p.add_argument("--fail", action="append", default=[], type=parse_fault)
    p.add_argument("--log", default=os.devnull)
    a = p.parse_args()
    FUSE(DamagedDisc(os.path.abspath(a.folder), dict(a.fail), a.log), a.mountpoint,
         raw_fi=True, foreground=True, ro=True, fsname="damaged-disc")


if __name__ == "__main__":
    sys.exit(main())
