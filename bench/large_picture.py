#!/usr/bin/python3
"""Large pictures through darkfill-cli against OpenCV only reading and writing them.

    python3 bench/large_picture.py build/cli/darkfill-cli [FOLDER] [RUNS]

Writes two PNGs into FOLDER (a temporary folder unless given): a 6,000 x 7,000
8-bit scan of 291,500 dark squares of 100 pixels (29 million dark pixels), each
walled by its own grey, and a 7,680 x 4,320 16-bit depth map with a sixth of
its pixels in holes. Prints, for each, the median seconds of darkfill-cli's
one-file run and of cv2.imread + cv2.imwrite of the same file (PNG at OpenCV's
default level), their ratio, and darkfill-cli's peak memory in bytes a pixel.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

import cv2
import numpy as np


def scan():
    cell = 12
    rows, columns = 6000, 7000
    y, x = np.mgrid[0:rows, 0:columns]
    walls = (1 + (y // cell * 7 + x // cell * 3) % 250).astype(np.uint8)
    dark = (y % cell >= 1) & (y % cell <= 10) & (x % cell >= 1) & (x % cell <= 10) & (y < 6000) & (x < 6996)
    return np.where(dark, 0, walls).astype(np.uint8)


def depth():
    rows, columns = 4320, 7680
    rng = np.random.default_rng(7)
    y, x = np.mgrid[0:rows, 0:columns].astype(np.float32)
    surface = 800 + 3000 * (y / rows) + 400 * np.sin(x / 300.0) * np.cos(y / 500.0)
    holes = np.zeros((rows // 8, columns // 8), bool)
    holes[rng.random(holes.shape) < 0.04] = True
    holes = cv2.dilate(holes.astype(np.uint8), np.ones((3, 3), np.uint8)).astype(bool)
    holes = np.kron(holes, np.ones((8, 8), bool))
    return np.where(holes, 0, surface).astype(np.uint16)


def seconds(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    cli = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    for name, make in (("scan, 6000 x 7000, 8 bits", scan), ("depth, 7680 x 4320, 16 bits", depth)):
        picture = make()
        path = os.path.join(folder, "large.png")
        cv2.imwrite(path, picture)
        out = os.path.join(folder, "filled.png")
        opencv = [sys.executable, "-c",
                  f"import cv2; cv2.imwrite({out!r}, cv2.imread({path!r}, cv2.IMREAD_UNCHANGED))"]
        ours = [cli, path, "-o", out, "--force"]
        ours_s, opencv_s = [], []
        for _ in range(runs):
            ours_s.append(seconds(ours))
            opencv_s.append(seconds(opencv))
        pixels = picture.size
        # The peak of a fresh child alone: run it in a process of its own.
        peak = int(subprocess.run([sys.executable, "-c",
                                   "import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True, "
                                   "stdout=subprocess.DEVNULL); "
                                   "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024)"] + ours,
                                  check=True, capture_output=True, text=True).stdout)
        a, b = statistics.median(ours_s), statistics.median(opencv_s)
        print(f"{name}: darkfill-cli {a:.2f} s, OpenCV read + write {b:.2f} s, ratio {a / b:.2f}; "
              f"peak {peak / pixels:.1f} bytes a pixel")


if __name__ == "__main__":
    main()
