"""darkfill-cli's whole time a file (reading, filling, writing, one job) on 120
real 640 x 480 16-bit depth PNGs, beside Python loops of OpenCV over the same
files: only reading and writing them at OpenCV's defaults, and reading,
inpainting (Navier-Stokes, radius 3) and writing. Each figure is the median
over the rounds, the three measured in turn within each round; the sizes of
darkfill-cli's outputs beside the same pictures written by OpenCV.

    python3 bench/file_batch.py build/cli/darkfill-cli build/bench/file_bench [ROUNDS]
"""

import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import cv2


def per_file(seconds, count):
    return seconds / count * 1000


def cli(tool, frames, out, *options):
    shutil.rmtree(out, ignore_errors=True)
    started = time.perf_counter()
    subprocess.run([tool, *frames, "--output-dir", out, "--jobs", "1", "--quiet", *options], check=True)
    return time.perf_counter() - started


def opencv(frames, out, inpaint=False, level=None):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    options = [] if level is None else [cv2.IMWRITE_PNG_COMPRESSION, level]
    started = time.perf_counter()
    for name in frames:
        depth = cv2.imread(name, cv2.IMREAD_UNCHANGED)
        if inpaint:
            depth = cv2.inpaint(depth, (depth == 0).astype("uint8"), 3, cv2.INPAINT_NS)
        cv2.imwrite(os.path.join(out, os.path.basename(name)), depth, options)
    return time.perf_counter() - started


def size(folder):
    return sum(os.path.getsize(f) for f in glob.glob(os.path.join(folder, "*.png")))


def main():
    tool, writer = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    cv2.setNumThreads(1)
    with tempfile.TemporaryDirectory() as work:
        inputs = os.path.join(work, "in")
        print(subprocess.run([writer, "--write", inputs], check=True, capture_output=True, text=True).stdout.strip())
        frames = sorted(glob.glob(os.path.join(inputs, "*.png")))
        n = len(frames)
        times = {"darkfill-cli (read, fill, write)": [], "OpenCV imread + imwrite": [],
                 "OpenCV imread + inpaint (Navier-Stokes, 3) + imwrite": []}
        for _ in range(rounds):
            times["darkfill-cli (read, fill, write)"].append(per_file(cli(tool, frames, os.path.join(work, "df")), n))
            times["OpenCV imread + imwrite"].append(per_file(opencv(frames, os.path.join(work, "cv")), n))
            times["OpenCV imread + inpaint (Navier-Stokes, 3) + imwrite"].append(
                per_file(opencv(frames, os.path.join(work, "ns"), inpaint=True), n))
        medians = {name: statistics.median(values) for name, values in times.items()}
        reference = medians["OpenCV imread + imwrite"]
        print(f"\n{n} files, one job, {rounds} rounds\n")
        print("| a file | ms (median) | rounds | against OpenCV's read and write |\n|---|---:|---|---:|")
        for name, values in times.items():
            print(f"| {name} | {medians[name]:.2f} | {', '.join(f'{v:.2f}' for v in values)} | "
                  f"{medians[name] / reference:.2f} |")
        inpainting = medians["OpenCV imread + inpaint (Navier-Stokes, 3) + imwrite"]
        print(f"\ndarkfill-cli against the inpainting loop: {medians['darkfill-cli (read, fill, write)'] / inpainting:.3f}")

        # The filled pictures, as darkfill-cli wrote them and as OpenCV writes them.
        cli(tool, frames, os.path.join(work, "small"), "--compression", "small")
        filled = sorted(glob.glob(os.path.join(work, "df", "*.png")))
        opencv(filled, os.path.join(work, "cv1"))
        opencv(filled, os.path.join(work, "cv6"), level=6)
        level6 = size(os.path.join(work, "cv6"))
        print("\n| the filled pictures | bytes a file | against OpenCV's level 6 |\n|---|---:|---:|")
        for name, folder in [("darkfill-cli (fast, the default)", "df"), ("darkfill-cli --compression small", "small"),
                             ("OpenCV, default (level 1)", "cv1"), ("OpenCV, level 6", "cv6")]:
            total = size(os.path.join(work, folder))
            print(f"| {name} | {total / n:.0f} | {total / level6:.3f} |")


if __name__ == "__main__":
    main()
