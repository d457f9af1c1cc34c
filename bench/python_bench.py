"""darkfill from Python, side by side in one run with what it is compared with:
the C++ call, two threads against one, OpenCV's inpainting, and the Dask batch
runner against darkfill-cli. The frames are library_bench's 200 generated
640 x 480 16-bit depth maps.

    PYTHONPATH=build/python python3 bench/python_bench.py build [--passes N]

Needs python3-opencv for the inpainting rows (a benchmark dependency only) and
python3-distributed for the batch rows; either is skipped where missing.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

import darkfill

ROWS, COLUMNS, FRAMES = 480, 640, 200


def frames_of(build, folder):
    path = os.path.join(folder, "frames.raw")
    subprocess.run([os.path.join(build, "bench", "library_bench"), "--write", path], check=True)
    return list(np.fromfile(path, dtype=np.uint16).reshape(FRAMES, ROWS, COLUMNS))


def per_frame(seconds):
    return seconds / FRAMES * 1e3


def module_pass(frames, out):
    filler = darkfill.Filler()
    filler.fill(frames[0], out=out)
    start = time.perf_counter()
    for frame in frames:
        filler.fill(frame, out=out)
    return per_frame(time.perf_counter() - start)


def cpp_pass(build):
    result = subprocess.run([os.path.join(build, "bench", "library_bench"), "--steady", "1"],
                            check=True, capture_output=True, text=True)
    return float(result.stdout) / 1e6


def threaded_pass(frames, threads):
    """Every frame once, shared among the threads, each with its own Filler."""
    share = [frames[i::threads] for i in range(threads)]
    outs = [np.empty((ROWS, COLUMNS), np.uint16) for _ in range(threads)]

    def work(i):
        filler = darkfill.Filler()
        for frame in share[i]:
            filler.fill(frame, out=outs[i])

    workers = [threading.Thread(target=work, args=(i,)) for i in range(threads)]
    start = time.perf_counter()
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    return time.perf_counter() - start


def inpaint_rows(frames, darkfill_ms):
    try:
        import cv2
    except ImportError:
        print("OpenCV's inpainting: skipped (python3-opencv is not installed)")
        return
    for name, flag in (("Telea", cv2.INPAINT_TELEA), ("Navier-Stokes", cv2.INPAINT_NS)):
        start = time.perf_counter()
        for frame in frames:
            cv2.inpaint(frame, (frame == 0).astype(np.uint8), 3, flag)
        ms = per_frame(time.perf_counter() - start)
        print(f"cv2.inpaint {name}, radius 3: {ms:8.2f} ms a frame; darkfill is {ms / darkfill_ms:6.1f} times "
              "as fast")


def write_inputs(frames, folder):
    names = []
    for i, frame in enumerate(frames):
        name = os.path.join(folder, f"frame{i:03}.pgm")
        with open(name, "wb") as f:
            f.write(b"P5\n%d %d\n65535\n" % (COLUMNS, ROWS) + frame.astype(">u2").tobytes())
        names.append(name)
    return names


def batch_rows(build, frames, folder, passes):
    try:
        import distributed
        from darkfill import batch
    except ImportError:
        print("Dask batch: skipped (python3-distributed is not installed)")
        return
    import logging
    names = write_inputs(frames, folder)
    tool = os.path.join(build, "cli", "darkfill-cli")
    times = {}
    for p in range(passes):
        for jobs in (1, 2):
            out = os.path.join(folder, f"cli-{jobs}-{p}")
            start = time.perf_counter()
            subprocess.run([tool, *names, "--output-dir", out, "--jobs", str(jobs), "--quiet"], check=True)
            times.setdefault(("cli", jobs), []).append(time.perf_counter() - start)
        for jobs in (1, 2):
            start = time.perf_counter()
            with distributed.LocalCluster(n_workers=jobs, threads_per_worker=1, processes=True,
                                          dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
                    distributed.Client(cluster) as client:
                started = time.perf_counter()
                reports = batch.fill_files(names, os.path.join(folder, f"dask-{jobs}-{p}"), client=client)
                done = time.perf_counter()
            assert all(r.ok for r in reports)
            times.setdefault(("start", jobs), []).append(started - start)
            times.setdefault(("dask", jobs), []).append(done - started)
    m = {k: statistics.median(v) for k, v in times.items()}
    print(f"batch of {FRAMES} files (16-bit PGM in, PNG out), medians of {passes} passes:")
    for jobs in (1, 2):
        print(f"  {jobs} job(s): darkfill-cli {m['cli', jobs]:6.2f} s; Dask {m['dask', jobs]:6.2f} s "
              f"(+ {m['start', jobs]:4.2f} s to start the cluster); Dask's overhead "
              f"{(m['dask', jobs] - m['cli', jobs]) / FRAMES * 1e3:+6.2f} ms a file")
    print(f"  2 workers against 1: Dask {m['dask', 1] / m['dask', 2]:.2f} times, "
          f"darkfill-cli {m['cli', 1] / m['cli', 2]:.2f} times")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--passes", type=int, default=7)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        frames = frames_of(options.build, folder)
        out = np.empty((ROWS, COLUMNS), np.uint16)
        module, cpp, one, two = [], [], [], []
        for _ in range(options.passes):
            cpp.append(cpp_pass(options.build))
            module.append(module_pass(frames, out))
            one.append(threaded_pass(frames, 1))
            two.append(threaded_pass(frames, 2))
        # Other work on the machine only ever adds time: the fastest pass of each
        # is the fairest pair.
        module_ms, cpp_ms = min(module), min(cpp)
        print(f"{FRAMES} frames of 640 x 480 uint16, the fastest of {options.passes} interleaved passes "
              "(threads: medians):")
        print(f"  C++ Filler.Fill     {cpp_ms:7.3f} ms a frame")
        print(f"  Python Filler.fill  {module_ms:7.3f} ms a frame ({module_ms / cpp_ms:.3f} times the C++ call)")
        print(f"  two Python threads: {statistics.median(one) / statistics.median(two):.2f} times one thread")
        inpaint_rows(frames, module_ms)
        batch_rows(options.build, frames, folder, max(1, options.passes // 2))


if __name__ == "__main__":
    sys.exit(main())
