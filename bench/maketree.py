#!/usr/bin/env python3
"""Makes a tree of test files fast (a million empty files in well under a minute on a tmpfs).

    maketree.py <dir> <folders> <files per folder> <bytes | min:max> [--seed N] [--prefix P]

Files are <dir>/d0000/f0000.dat ...; with 0 folders they go into <dir> itself. A size min:max
draws each file's size from that range. The data is random, different in every file, and the
same for the same seed. It refuses to write over a file that exists.
"""
import os
import random
import sys

CHUNK = 1 << 20


def main() -> int:
    args = sys.argv[1:]
    seed, prefix = 1, "f"
    while "--seed" in args or "--prefix" in args:
        i = args.index("--seed") if "--seed" in args else args.index("--prefix")
        if i + 1 >= len(args):
            break
        if args[i] == "--seed":
            seed = int(args[i + 1])
        else:
            prefix = args[i + 1]
        del args[i : i + 2]
    if len(args) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root, folders, files, size = args[0], int(args[1]), int(args[2]), args[3]
    low, _, high = size.partition(":")
    low, high = int(low), int(high or low)
    rng = random.Random(seed)
    # One pool of random bytes; each file takes its data from another offset, and its first
    # eight bytes are its own number, so no two files are equal.
    pool = os.urandom(CHUNK + 4096) if high > 0 else b""
    count = 0
    for d in range(max(folders, 1)):
        folder = os.path.join(root, f"d{d:04d}") if folders else root
        os.makedirs(folder, exist_ok=True)
        for f in range(files):
            path = os.path.join(folder, f"{prefix}{f:04d}.dat")
            n = rng.randint(low, high)
            fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            try:
                left, first = n, True
                while left > 0:
                    start = rng.randrange(4096)
                    piece = pool[start : start + min(left, CHUNK)]
                    if first:
                        piece = count.to_bytes(8, "little")[: len(piece)] + piece[8:]
                        first = False
                    os.write(fd, piece)
                    left -= len(piece)
            finally:
                os.close(fd)
            count += 1
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except FileExistsError as e:
        print(f"maketree: {e.filename} exists already; remove the tree first", file=sys.stderr)
        sys.exit(1)
