#!/usr/bin/python3
"""The first fill of a large picture in a fresh process against a kept Filler's.

    PYTHONPATH=build/python python3 bench/first_fill.py build/cli/darkfill-cli [RUNS]

For a 2048 x 2048 8-bit vertical serpentine and noise of 35 % zeros: the
median analysis time that darkfill-cli reports (--json, so with counts) for its
one-file run, the module's first fill_holes call in a fresh interpreter, and a
kept Filler's fill of the same array with counts (the median of its calls after
the first); ms, and the ratios to the kept Filler.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import cv2
import numpy as np

import darkfill

SIDE = 2048


def serpentine():
    picture = np.full((SIDE, SIDE), 200, np.uint8)
    for lane in range(1, SIDE - 1, 2):
        picture[1:SIDE - 1, lane] = 0
        if lane + 1 < SIDE - 1:
            picture[1 if (lane // 2) % 2 else SIDE - 2, lane + 1] = 0
    return picture


def noise():
    rng = np.random.default_rng(12345)
    picture = rng.integers(1, 256, (SIDE, SIDE), dtype=np.uint8)
    picture[rng.random((SIDE, SIDE)) < 0.35] = 0
    return picture


FIRST_CALL = """
import sys, time, numpy as np, darkfill
picture = np.load(sys.argv[1])
start = time.perf_counter()
darkfill.fill_holes(picture, counts=True)
print((time.perf_counter() - start) * 1e3)
"""


def main():
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    folder = tempfile.mkdtemp()
    for name, make in (("vertical serpentine", serpentine), ("noise, 35 % zeros", noise)):
        picture = make()
        png, npy = os.path.join(folder, "picture.png"), os.path.join(folder, "picture.npy")
        cv2.imwrite(png, picture)
        np.save(npy, picture)
        cli_ms, first_ms = [], []
        for _ in range(runs):
            report = subprocess.run([cli, png, "-o", os.path.join(folder, "out.png"), "--force", "--json"],
                                    check=True, capture_output=True, text=True).stdout
            cli_ms.append(json.loads(report.splitlines()[0])["milliseconds"]["analyse"])
            first_ms.append(float(subprocess.run([sys.executable, "-c", FIRST_CALL, npy], check=True,
                                                 capture_output=True, text=True).stdout))
        filler, kept = darkfill.Filler(), []
        for _ in range(runs + 1):
            start = time.perf_counter()
            filler.fill(picture, counts=True)
            kept.append((time.perf_counter() - start) * 1e3)
        k, c, f = statistics.median(kept[1:]), statistics.median(cli_ms), statistics.median(first_ms)
        print(f"{name}: kept Filler {k:.1f} ms; darkfill-cli {c:.1f} ms ({c / k:.2f}); "
              f"first module call {f:.1f} ms ({f / k:.2f})")


if __name__ == "__main__":
    main()
