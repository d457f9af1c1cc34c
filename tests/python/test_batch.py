"""The Dask batch runner against darkfill-cli: the same files byte for byte, a
bad file reported while the batch goes on, a killed worker leaving only whole
outputs and a batch that --skip-existing completes, and the tool's usage
errors."""

import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

distributed = pytest.importorskip("distributed")

from darkfill import batch  # noqa: E402


def write_pgm(path, frame):
    rows, columns = frame.shape
    path.write_bytes(b"P5\n%d %d\n65535\n" % (columns, rows) + frame.astype(">u2").tobytes())


@pytest.fixture
def inputs(tmp_path):
    """Sixteen-bit depth maps with holes, and a damaged file among them."""
    rng = np.random.default_rng(7)
    names = []
    for i in range(5):
        frame = (np.add.outer(np.arange(60), np.arange(80)) * (i + 3) % 60000 + 1).astype(np.uint16)
        frame[rng.random(frame.shape) < 0.25] = 0
        write_pgm(tmp_path / f"frame{i}.pgm", frame)
        names.append(f"frame{i}.pgm")
    # Guides for --rule guided, one of each input's name.
    (tmp_path / "guides").mkdir()
    for name in [f"frame{i}" for i in range(5)] + ["damaged"]:
        guide = rng.integers(0, 256, (60, 80), dtype=np.uint8)
        (tmp_path / "guides" / f"{name}.pgm").write_bytes(b"P5\n80 60\n255\n" + guide.tobytes())
    (tmp_path / "damaged.png").write_bytes(b"\x89PNG\r\n\x1a\n" + b"\0" * 20)
    names.insert(2, "damaged.png")
    return names


def run(command, folder):
    return subprocess.run(command, cwd=folder, capture_output=True, text=True, timeout=120)


@pytest.mark.parametrize("rule", [[], ["--rule", "nearest"], ["--rule", "background", "--far", "smaller"],
                                  ["--rule", "guided", "--guide-dir", "guides"]])
def test_the_batch_writes_what_darkfill_cli_writes_and_goes_on_past_a_bad_file(tmp_path, inputs, rule):
    tool = run([os.environ["DARKFILL_CLI"], *inputs, "--output-dir", "cli", "--fill-map", "cli-maps", "--json", *rule],
               tmp_path)
    runner = run([sys.executable, "-m", "darkfill.batch", *inputs, "--output-dir", "dask", "--fill-map", "dask-maps",
                  "--json", "--jobs", "2", *rule], tmp_path)
    assert (tool.returncode, runner.returncode) == (1, 1), runner.stderr
    assert 'darkfill.batch: "damaged.png" is damaged' in runner.stderr
    written = [f"frame{i}.png" for i in range(5)]
    for kind in ("", "-maps"):
        assert sorted(p.name for p in (tmp_path / ("dask" + kind)).iterdir()) == written
        for name in written:
            assert (tmp_path / ("dask" + kind) / name).read_bytes() \
                == (tmp_path / ("cli" + kind) / name).read_bytes(), name
    reports = runner.stdout.splitlines()
    assert [r.split('"input":"')[1].split('"')[0] for r in reports] == inputs


def test_a_killed_worker_leaves_only_whole_outputs(tmp_path):
    rng = np.random.default_rng(3)
    names = []
    for i in range(40):
        frame = (np.add.outer(np.arange(240), np.arange(320)) * 37 % 65000 + 1).astype(np.uint16)
        frame[rng.random(frame.shape) < 0.3] = 0
        write_pgm(tmp_path / f"f{i:02}.pgm", frame)
        names.append(str(tmp_path / f"f{i:02}.pgm"))
    expected = run([os.environ["DARKFILL_CLI"], *names, "--output-dir", "cli"], tmp_path)
    assert expected.returncode == 0, expected.stderr

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=50) as cluster, distributed.Client(cluster) as client:
        victim = next(iter(client.run(os.getpid).values()))
        reports = []
        runner = threading.Thread(target=lambda: reports.extend(batch.fill_files(names, tmp_path / "out",
                                                                                 client=client)))
        runner.start()
        deadline = time.monotonic() + 60
        while len(list((tmp_path / "out").glob("*.png"))) < 4 and time.monotonic() < deadline:
            time.sleep(0.01)
        os.kill(victim, signal.SIGKILL)
        runner.join(120)
        # Run again, the batch fills what is missing and leaves the rest.
        resumed = batch.fill_files(names, tmp_path / "out", client=client, skip_existing=True)

    assert len(reports) == 40
    failed = [r for r in reports if not r.ok]
    # The files that the lost worker had written of the run it was filling are
    # there when the run is filled again, which refuses them as existing.
    assert len(failed) <= batch.CHUNK, failed
    assert all("exists" in r.error or "no worker" in r.error for r in failed)
    assert all(r.ok for r in resumed), [r.error for r in resumed if not r.ok]
    assert len(list((tmp_path / "out").glob("*.png"))) == 40
    for path in (tmp_path / "out").glob("*.png"):
        assert path.read_bytes() == (tmp_path / "cli" / path.name).read_bytes(), path.name


@pytest.mark.parametrize("arguments, words", [
    (["a.pgm"], "--output-dir"),
    (["a.pgm", "-o", "b.png"], "--output-dir"),
    (["a.pgm", "--output-dir", "out", "--format", "xyz"], "the format xyz is unknown"),
    (["--output-dir", "out"], "no input picture"),
    (["a.pgm", "--output-dir", "out", "--jobs", "0"], "--jobs"),
])
def test_wrong_command_lines_exit_two_before_any_work(tmp_path, arguments, words):
    result = run([sys.executable, "-m", "darkfill.batch", *arguments], tmp_path)
    assert result.returncode == 2
    assert words in result.stderr
    assert not (tmp_path / "out").exists() or not any((tmp_path / "out").iterdir())
