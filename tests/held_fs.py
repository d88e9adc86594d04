#!/usr/bin/python3
"""A folder shown read-only through FUSE, whose listings wait while a hold file exists: a
disc that takes its time to answer, for the tests that check that the window never waits on
it. With --stat, questions about entries wait too (the mount point itself answers).

Usage: held_fs.py [--stat] <folder> <mount point> <hold file>   (runs until unmounted)
"""
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations

FIELDS = ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime",
          "st_ctime")


class Held(Operations):
    def __init__(self, root, hold, stat):
        self.root, self.hold, self.stat = root, hold, stat

    def _real(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def _wait(self):
        while os.path.exists(self.hold):
            time.sleep(0.02)

    def getattr(self, path, fh=None):
        if self.stat and path != "/":
            self._wait()
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        return {k: getattr(st, k) for k in FIELDS}

    def readdir(self, path, fh):
        self._wait()
        return [".", ".."] + os.listdir(self._real(path))

    def open(self, path, flags):
        return os.open(self._real(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


if __name__ == "__main__":
    args = sys.argv[1:]
    stat = args[:1] == ["--stat"]
    root, mount, hold = args[1:] if stat else args
    FUSE(Held(os.path.abspath(root), os.path.abspath(hold), stat), mount, foreground=True,
         ro=True)
