"""Fill many picture files on a Dask cluster: darkfill-cli's batch form, spread
over the workers of one machine or of many.

    python3 -m darkfill.batch IN... --output-dir DIR [--scheduler ADDRESS]
                              [--fill-map DIR] [--format FORMAT] [--jobs N]
                              [--force | --skip-existing] [--stats] [--json]
                              [--quiet]

Without --scheduler the runner starts a cluster on this machine, one worker
process of one thread a core (or --jobs N of them); with one it sends the work
to a cluster that is running already (dask-scheduler, and dask-worker on each
machine, all seeing the same files under the same paths). Each task reads,
fills and writes one file itself and returns only its counts and times.

The rules are darkfill-cli's, planned and enforced by its own code: an input
is never written over, an existing output only with --force (even one that
appears while its file is being made), every output is written whole or not
at all, and a bad file is reported with its name and reason while the batch
goes on. The exit status is 0 when every file went well, 1 when any failed, 2
for a wrong command line. Reports come in the order of the inputs; a progress
bar shows on a terminal.

A Dask task fills a run of up to eight neighbouring files, since a task costs
the cluster about as much as a small file's fill. Where a worker dies, Dask
gives its run to another: the files that the lost worker had put in place
stay, whole, and the run again refuses them as existing (exit status 1); the
same command with --skip-existing then leaves them, and what else is done, as
they are, and fills the rest.

From a program, fill_files() does the same with a Client of its own.
"""

import argparse
import contextlib
import os
import sys
import time
from typing import NamedTuple, Optional

from darkfill import FillCounts, _darkfill

__all__ = ["FileReport", "fill_files", "main"]


class FileReport(NamedTuple):
    """What became of one input file."""
    input: str
    output: str
    ok: bool
    error: str                      # darkfill-cli's message where not ok, else ""
    counts: Optional[FillCounts]
    width: int
    height: int
    bits_per_value: int
    read_ms: float                  # reading and decoding
    analyse_ms: float               # the fill alone
    write_ms: float                 # encoding and writing the result and map
    stats_line: str                 # darkfill-cli's --stats line for the file
    json_line: str                  # and its --json line


def _fill_chunk(chunk, existing):
    """Runs on a worker: a few files, each read, filled and written there."""
    return [_darkfill.run_task(*task, existing) for task in chunk]


def _chunks(tasks, threads):
    """The tasks in runs of neighbours: a Dask task costs a few milliseconds of
    the scheduler's and the worker's time, as much as a small file's fill, so
    each takes up to CHUNK files; every worker still gets several."""
    size = max(1, min(CHUNK, len(tasks) // (4 * max(1, threads))))
    return [tasks[i:i + size] for i in range(0, len(tasks), size)]


CHUNK = 8


def _report(task, result):
    name, output = os.fsdecode(task[0]), os.fsdecode(task[1])
    ok, error, counts, width, height, bits, read, analyse, write, stats, json = result
    return FileReport(name, output, ok, error, FillCounts(*counts) if ok else None, width, height, bits,
                      read, analyse, write, stats, json)


def _lost(task, reason):
    """The report for a task that no worker could finish, in darkfill-cli's words
    for a refused file."""
    input, output, fill_map, _, rule, far = task
    message = f"{_darkfill.quoted_file_name(input)}: no worker could fill it ({reason})."
    return _report(task, _darkfill.run_task(input, output, fill_map, message, rule, far, "refuse"))


def _absolute(task):
    """A task whose paths hold on any machine that shares the files."""
    input, output, fill_map, *rest = task
    return (os.path.abspath(input), os.path.abspath(output), os.path.abspath(fill_map) if fill_map else fill_map,
            *rest)


def _plan(arguments):
    error, tasks, options = _darkfill.plan_batch([os.fsencode(a) for a in arguments])
    if error is not None:
        raise ValueError(error)
    return tasks, options


def _run(client, tasks, existing, progress):
    """Every task on the cluster; the reports in the order of the tasks."""
    threads = sum(w["nthreads"] for w in client.scheduler_info()["workers"].values())
    chunks = _chunks(tasks, threads)
    futures = client.map(_fill_chunk, chunks, existing=existing, pure=False)
    if progress:
        import distributed
        # Dask draws its bar on sys.stdout; here it goes where darkfill-cli's goes.
        with contextlib.redirect_stdout(sys.stderr):
            distributed.progress(futures)
    reports = []
    for chunk, future in zip(chunks, futures):
        try:
            reports.extend(_report(task, result) for task, result in zip(chunk, future.result()))
        except Exception as e:  # a worker lost too often (KilledWorker), a cluster gone
            reports.extend(_lost(task, f"{type(e).__name__}: {e}") for task in chunk)
    return reports


@contextlib.contextmanager
def _client(scheduler, workers):
    import distributed
    if scheduler:
        with distributed.Client(scheduler) as client:
            yield client
        return
    import logging
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
            distributed.Client(cluster) as client:
        yield client


def fill_files(inputs, output_dir, *, client=None, fill_map=None, format="png", force=False, skip_existing=False,
               progress=False):
    """Fill picture files on a Dask cluster, each in a task of its own.

    Parameters
    ----------
    inputs : iterable of str, bytes or os.PathLike
        The pictures. Each result goes into ``output_dir`` under its input's
        name, with the extension of ``format``.
    output_dir : str, bytes or os.PathLike
        Made where it does not exist.
    client : distributed.Client, optional
        The cluster to use; its workers must see the files under the same
        absolute paths. Without one, a cluster of one single-thread worker
        process a core is started on this machine for the call.
    fill_map : str, bytes or os.PathLike, optional
        A folder for the fill maps, named after the inputs, as PNG.
    format : str
        "png", "pgm", "tiff", "bmp" or "ppm".
    force : bool
        Write over existing outputs and maps (never over an input).
    skip_existing : bool
        Leave an input whose output (and map) exist, reported as already done.
    progress : bool
        Show Dask's progress bar on standard error.

    Returns
    -------
    list of FileReport, in the order of ``inputs``. A file that failed has
    ``ok`` False and darkfill-cli's message in ``error``; nothing raises for one.

    Raises
    ------
    ValueError
        What darkfill-cli would refuse as a wrong command line (an unknown
        format, say).
    """
    arguments = ["--output-dir", output_dir, "--format", format]
    if fill_map is not None:
        arguments += ["--fill-map", fill_map]
    if force:
        arguments.append("--force")
    if skip_existing:
        arguments.append("--skip-existing")
    tasks, options = _plan(arguments + ["--"] + list(inputs))
    if client is not None:
        return _run(client, [_absolute(task) for task in tasks], options["existing"], progress)
    with _client(None, os.cpu_count()) as own:
        return _run(own, tasks, options["existing"], progress)


def _parser():
    parser = argparse.ArgumentParser(
        prog="python3 -m darkfill.batch", allow_abbrev=False,
        usage="%(prog)s IN... --output-dir DIR [--scheduler ADDRESS] [darkfill-cli's batch options]",
        description="Fill the holes of many pictures on a Dask cluster, as darkfill-cli's batch form does.",
        epilog="The other options are darkfill-cli's (see darkfill-cli --help): --fill-map DIR, "
               "--format png|pgm|tiff|bmp|ppm, -j/--jobs N (workers of the local cluster), -f/--force, --skip-existing, "
               "--stats, --json, -q/--quiet. Exit status: 0 when every file went well, 1 when any "
               "failed, 2 for a wrong command line.")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running Dask scheduler (tcp://host:8786); without it, a cluster on this machine")
    parser.add_argument("--version", action="version", version=f"darkfill.batch {_darkfill.__version__}")
    return parser


def main(argv=None):
    """The command line; returns the exit status."""
    parser = _parser()
    known, rest = parser.parse_known_args(argv)
    try:
        tasks, options = _plan(rest)
    except ValueError as e:
        parser.print_usage(sys.stderr)
        print(f"darkfill.batch: {e}", file=sys.stderr)
        return 2
    if options["clash"]:
        print(f"darkfill.batch: {options['clash']}", file=sys.stderr)
        return 1
    if known.scheduler:
        tasks = [_absolute(task) for task in tasks]
    progress = sys.stderr.isatty() and not options["quiet"]
    started = time.monotonic()
    with _client(known.scheduler, options["jobs"] or os.cpu_count()) as client:
        reports = _run(client, tasks, options["existing"], progress)
    failed = 0
    for report in reports:
        if not report.ok:
            failed += 1
            print(f"darkfill.batch: {report.error}", file=sys.stderr)
        elif options["stats"]:
            print(report.stats_line)
        if options["json"]:
            print(report.json_line)
    if options["stats"]:
        print(_darkfill.summary_line(len(reports) - failed, failed, time.monotonic() - started,
                                     sum(r.read_ms for r in reports), sum(r.analyse_ms for r in reports),
                                     sum(r.write_ms for r in reports)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
