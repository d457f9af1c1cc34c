"""Fill many picture files on a Dask cluster: darkfill-cli's batch form, spread
over the workers of one machine or of many.

    python3 -m darkfill.batch IN... --output-dir DIR [--scheduler ADDRESS]
                              [--fill-map DIR] [--format FORMAT] [--jobs N]
                              [--force | --skip-existing] [--stats] [--json]
                              [--quiet]

Without --scheduler the runner starts a cluster on this machine, one worker
process of one thread a core (or --jobs N of them), listening on the loopback
interface only, its HTTP servers serving no pages; with one it sends the work
to a cluster that is running already (dask-scheduler, and dask-worker on each
machine, all seeing the same files under the same paths), or ends with exit
status 2 where it cannot reach it within CONNECT_SECONDS. Each task reads,
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

from darkfill import FillCounts, _counts, _darkfill

__all__ = ["FileReport", "SchedulerError", "fill_files", "main"]


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
    return [_report(task, _darkfill.run_task(task, existing)) for task in chunk]


def _chunks(tasks, threads):
    """The tasks in runs of neighbours: a Dask task costs a few milliseconds of
    the scheduler's and the worker's time, as much as a small file's fill, so
    each takes up to CHUNK files; every worker still gets several."""
    size = max(1, min(CHUNK, len(tasks) // (4 * max(1, threads))))
    return [tasks[i:i + size] for i in range(0, len(tasks), size)]


CHUNK = 8


def _report(task, report):
    outcome = report.outcome
    return FileReport(os.fsdecode(task.input), os.fsdecode(task.output), outcome.ok, outcome.error,
                      _counts(outcome.counts) if outcome.ok else None, outcome.width, outcome.height, outcome.bits,
                      outcome.read_ms, outcome.analyse_ms, outcome.write_ms, report.stats_line, report.json_line)


def _lost(task, reason):
    """The report for a task that no worker could finish, in darkfill-cli's words
    for a refused file."""
    task.refusal = f"{_darkfill.quoted_file_name(task.input)}: no worker could fill it ({reason})."
    return _report(task, _darkfill.run_task(task, "refuse"))


def _absolute(task):
    """The task with paths that hold on any machine that shares the files."""
    task.input = os.path.abspath(task.input)
    task.output = os.path.abspath(task.output)
    if task.fill_map:
        task.fill_map = os.path.abspath(task.fill_map)
    return task


def _plan(arguments):
    plan = _darkfill.plan_batch([os.fsencode(a) for a in arguments])
    if plan.error:
        raise ValueError(plan.error)
    return plan


def _run(client, tasks, existing, progress):
    """Every task on the cluster; the reports in the order of the tasks."""
    threads = sum(w["nthreads"] for w in client.scheduler_info()["workers"].values())
    chunks = _chunks(tasks, threads)
    # By the module's name, also where it runs as __main__: the workers import
    # it, rather than take its function and classes as pickled copies.
    from darkfill import batch
    futures = client.map(batch._fill_chunk, chunks, existing=existing, pure=False)
    if progress:
        import distributed
        # Dask draws its bar on sys.stdout; here it goes where darkfill-cli's goes.
        with contextlib.redirect_stdout(sys.stderr):
            distributed.progress(futures)
    reports = []
    for chunk, future in zip(chunks, futures):
        try:
            reports.extend(future.result())
        except Exception as e:  # a worker lost too often (KilledWorker), a cluster gone
            reports.extend(_lost(task, f"{type(e).__name__}: {e}") for task in chunk)
    return reports


#: How long the runner tries to reach a scheduler, in seconds.
CONNECT_SECONDS = 10


class SchedulerError(Exception):
    """A scheduler that could not be reached, or an address that names none."""


@contextlib.contextmanager
def _client(scheduler, workers):
    import distributed
    if scheduler:
        try:
            client = distributed.Client(scheduler, timeout=CONNECT_SECONDS)
        except Exception as e:  # a wrong address (ValueError, TypeError), no answer (OSError)
            raise SchedulerError(f"cannot reach the scheduler {scheduler!r} within {CONNECT_SECONDS} s: "
                                 f"{str(e) or type(e).__name__}") from None
        with client:
            yield client
        return
    import logging
    import dask
    # The cluster of this machine serves this runner alone: its scheduler and
    # workers listen on the loopback interface only, and their HTTP servers
    # (which Dask starts even without a dashboard) serve no pages.
    loopback = "127.0.0.1"
    http = {"dashboard": False, "dashboard_address": f"{loopback}:0"}
    scheduler = {"cls": distributed.Scheduler, "options": {"host": loopback, "port": 0, **http}}
    worker = {"cls": distributed.Nanny,
              "options": {"host": loopback, "nthreads": 1, "silence_logs": logging.ERROR, **http}}
    with dask.config.set({"distributed.scheduler.http.routes": [], "distributed.worker.http.routes": []}), \
            distributed.SpecCluster(scheduler=scheduler, workers={i: worker for i in range(workers)},
                                    silence_logs=logging.ERROR) as cluster, \
            distributed.Client(cluster) as client:
        yield client


def fill_files(inputs, output_dir, *, client=None, fill_map=None, format=None, force=False, skip_existing=False,
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
    format : str, optional
        "png", "pgm", "ppm", "bmp", "tif", "tiff", "pfm" or "npy"; without it
        PNG, and for PFM and NPY inputs their own format.
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
    arguments = ["--output-dir", output_dir] + (["--format", format] if format is not None else [])
    if fill_map is not None:
        arguments += ["--fill-map", fill_map]
    if force:
        arguments.append("--force")
    if skip_existing:
        arguments.append("--skip-existing")
    plan = _plan(arguments + ["--"] + list(inputs))
    if client is not None:
        return _run(client, [_absolute(task) for task in plan.tasks], plan.existing, progress)
    with _client(None, os.cpu_count()) as own:
        return _run(own, plan.tasks, plan.existing, progress)


def _parser():
    parser = argparse.ArgumentParser(
        prog="python3 -m darkfill.batch", allow_abbrev=False,
        usage="%(prog)s IN... --output-dir DIR [--scheduler ADDRESS] [darkfill-cli's batch options]",
        description="Fill the holes of many pictures on a Dask cluster, as darkfill-cli's batch form does.",
        epilog="The other options are darkfill-cli's (see darkfill-cli --help): --fill-map DIR, "
               "--format png|pgm|ppm|bmp|tif|tiff|pfm|npy, --compression fast|small|0-9, -j/--jobs N (workers of "
               "the local cluster), -f/--force, --skip-existing, --stats, --json, -q/--quiet. Exit status: 0 when "
               "every file went well, 1 when any failed, 2 for a wrong command line or a scheduler that cannot be "
               f"reached within {CONNECT_SECONDS} s.")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running Dask scheduler (tcp://host:8786); without it, a cluster on this machine, "
                             "listening on the loopback interface only")
    parser.add_argument("--version", action="version", version=f"darkfill.batch {_darkfill.__version__}")
    return parser


def main(argv=None):
    """The command line; returns the exit status."""
    parser = _parser()
    known, rest = parser.parse_known_args(argv)
    try:
        plan = _plan(rest)
    except ValueError as e:
        parser.print_usage(sys.stderr)
        print(f"darkfill.batch: {e}", file=sys.stderr)
        return 2
    if plan.clash:
        print(f"darkfill.batch: {plan.clash}", file=sys.stderr)
        return 1
    tasks = [_absolute(task) for task in plan.tasks] if known.scheduler else plan.tasks
    progress = sys.stderr.isatty() and not plan.quiet
    started = time.monotonic()
    try:
        with _client(known.scheduler, plan.jobs or os.cpu_count()) as client:
            reports = _run(client, tasks, plan.existing, progress)
    except SchedulerError as e:
        print(f"darkfill.batch: {e}", file=sys.stderr)
        return 2
    failed = 0
    try:
        for report in reports:
            if not report.ok:
                failed += 1
                print(f"darkfill.batch: {report.error}", file=sys.stderr)
            elif plan.stats:
                print(report.stats_line)
            if plan.json:
                print(report.json_line)
        if plan.stats:
            print(_darkfill.summary_line(len(reports) - failed, failed, time.monotonic() - started,
                                         sum(r.read_ms for r in reports), sum(r.analyse_ms for r in reports),
                                         sum(r.write_ms for r in reports)))
        sys.stdout.flush()
    except OSError as e:  # reports onto a full disk, say
        print(f"darkfill.batch: the reports could not be written to standard output: {e.strerror or e}.",
              file=sys.stderr)
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
