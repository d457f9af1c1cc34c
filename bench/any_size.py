#!/usr/bin/python3
"""The cost a cell at 16,384 x 16,384 against 2,048 x 2,048, through a kept Filler.

    PYTHONPATH=build/python python3 bench/any_size.py

For a 16-bit depth map (a twentieth of 8 x 8 blocks in holes), an 8-bit
vertical serpentine a pixel wide and 8-bit noise of 35 % zeros: ms of a fill
(the fastest after the first), ns a cell, the Filler's memory in bytes a cell,
and the ratio of the two sizes' cost a cell.
"""
import time

import numpy as np

import darkfill


def depth(side):
    rng = np.random.default_rng(3)
    y, x = np.mgrid[0:side, 0:side].astype(np.float32)
    surface = (800 + 3000 * (y / side) + 400 * np.sin(x / 300.0)).astype(np.uint16)
    holes = rng.random((side // 8, side // 8)) < 0.05
    holes = np.kron(holes, np.ones((8, 8), bool))
    surface[holes] = 0
    return surface


def noise(side):
    rng = np.random.default_rng(5)
    p = rng.integers(1, 256, (side, side), dtype=np.uint8)
    p[rng.random((side, side), dtype=np.float32) < 0.35] = 0
    return p


def serpentine(side):
    p = np.full((side, side), 200, np.uint8)
    p[1:side - 1, 1:side - 1:2] = 0
    for lane in range(1, side - 2, 2):
        p[1 if (lane // 2) % 2 else side - 2, lane + 1] = 0
    return p


def main():
    for name, make in (("depth map", depth), ("vertical serpentine", serpentine), ("noise 35 %", noise)):
        per_cell = []
        for side in (2048, 16384):
            picture = make(side)
            out = np.empty_like(picture)
            filler = darkfill.Filler()
            seconds = []
            for _ in range(11 if side == 2048 else 3):
                start = time.perf_counter()
                filler.fill(picture, out=out)
                seconds.append(time.perf_counter() - start)
            best = min(seconds[1:])
            per_cell.append(best / picture.size * 1e9)
            print(f"{name}, {side} x {side}: {best * 1e3:.0f} ms, {per_cell[-1]:.2f} ns a cell, "
                  f"{filler.held_bytes / picture.size:.1f} bytes a cell held", flush=True)
            del picture, out, filler
        print(f"{name}: 16384 against 2048, a cell: {per_cell[1] / per_cell[0]:.2f}", flush=True)


if __name__ == "__main__":
    main()
